// run_tied_to_parent.cpp: `run_tied_to_parent <parent pid> <program> <args...>` runs the program so that it is
// killed when the test process that spawned it dies, even by SIGKILL (a ctest timeout), which no destructor sees.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <parent pid> <program> [args...]\n", argv[0]);
    return 2;
  }
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
    std::perror("prctl");
    return 127;
  }
  // The parent may have died before the death signal was armed.
  if (getppid() != static_cast<pid_t>(std::strtol(argv[1], nullptr, 10))) return 127;
  execv(argv[2], argv + 2);
  std::perror(argv[2]);
  return 127;
}
