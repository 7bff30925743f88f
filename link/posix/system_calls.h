// system_calls.h: the system calls under the POSIX serial port and clock, made through one table so
// that a test can put its own function in place of any of them (to fail the Nth call with a chosen
// errno and see the failure path). The table starts as the real calls; the library never changes it.
#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>
#include <time.h>

namespace kv::link::posix {

struct SystemCalls {
  int (*open)(const char* path, int flags);
  int (*close)(int fd);
  int (*isatty)(int fd);
  int (*flock)(int fd, int operation);
  int (*ioctl)(int fd, unsigned long request, void* argument);
  int (*tcgetattr)(int fd, termios* settings);
  int (*tcsetattr)(int fd, int when, const termios* settings);
  int (*tcflush)(int fd, int queue);
  int (*fcntl)(int fd, int command, int argument);
  ssize_t (*read)(int fd, void* into, size_t bytes);
  ssize_t (*write)(int fd, const void* from, size_t bytes);
  int (*poll)(pollfd* fds, nfds_t count, int milliseconds);
  int (*nanosleep)(const timespec* pause, timespec* left);
};

// The table the port and clock call through. Replace entries only while no port is in use, and
// put RealSystemCalls() back afterwards.
SystemCalls& Calls();
const SystemCalls& RealSystemCalls();

}  // namespace kv::link::posix
