// system_calls.cpp: the real system calls behind the POSIX port's call table. The variadic ones
// (open, ioctl, fcntl) get fixed signatures here, so a replacement is an ordinary function.
#include "link/posix/system_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kv::link::posix {

namespace {

int Open(const char* path, int flags) { return ::open(path, flags); }
int Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int Fcntl(int fd, int command, int argument) { return ::fcntl(fd, command, argument); }

constexpr SystemCalls kReal{Open,       ::close,   ::isatty, ::flock,  Ioctl,   ::tcgetattr, ::tcsetattr,
                            ::tcflush, Fcntl,     ::read,   ::write,  ::poll,  ::nanosleep};

}  // namespace

SystemCalls& Calls() {
  static SystemCalls calls = kReal;
  return calls;
}

const SystemCalls& RealSystemCalls() { return kReal; }

}  // namespace kv::link::posix
