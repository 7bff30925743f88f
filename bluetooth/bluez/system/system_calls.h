// system_calls.h: the system calls under the BlueZ backend's system parts (the RFCOMM TTY layer, the
// dialog runner, the udev queue), made through one table so that a test can put its own function in
// place of any of them (to fail the Nth call with a chosen errno and see the failure path). The table
// starts as the real calls; the library never changes it.
#pragma once

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace kv::bt::bluez::sys {

struct SystemCalls {
  int (*socket)(int domain, int type, int protocol);
  int (*close)(int fd);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*getsockname)(int fd, sockaddr* address, socklen_t* length);
  int (*getpeername)(int fd, sockaddr* address, socklen_t* length);
  int (*lstat)(const char* path, struct stat* info);
  int (*pipe2)(int* fds, int flags);
  // The spawn calls return 0 or an error number (errno is not set), as posix_spawn's do.
  int (*spawnActionsInit)(posix_spawn_file_actions_t* actions);
  int (*spawnActionsAddDup2)(posix_spawn_file_actions_t* actions, int fd, int newFd);
  int (*spawnp)(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]);
  int (*poll)(pollfd* fds, nfds_t count, int milliseconds);
  ssize_t (*read)(int fd, void* into, size_t bytes);
  pid_t (*waitpid)(pid_t pid, int* status, int options);
};

// The table the system parts call through. Replace entries only while none of them is in use, and
// put RealSystemCalls() back afterwards.
SystemCalls& Calls();
const SystemCalls& RealSystemCalls();

}  // namespace kv::bt::bluez::sys
