// system_calls.cpp: the real system calls behind the BlueZ system parts' call table. The variadic
// ioctl gets a fixed signature here, so a replacement is an ordinary function.
#include "bluetooth/bluez/system/system_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv::bt::bluez::sys {

namespace {

int Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }
int Lstat(const char* path, struct stat* info) { return ::lstat(path, info); }

constexpr SystemCalls kReal{::socket, ::close,  Ioctl,  ::getsockname, ::getpeername,
                            Lstat,    ::pipe2,  ::posix_spawn_file_actions_init,
                            ::posix_spawn_file_actions_adddup2,      ::posix_spawnp,
                            ::poll,   ::read,   ::waitpid};

}  // namespace

SystemCalls& Calls() {
  static SystemCalls calls = kReal;
  return calls;
}

const SystemCalls& RealSystemCalls() { return kReal; }

}  // namespace kv::bt::bluez::sys
