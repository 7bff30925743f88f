// RunDialogProgram for real, with /bin/sh standing in for the dialog program.
#include <gtest/gtest.h>
#include <unistd.h>

#include "bluetooth/bluez/system/prompter.h"

namespace kv::bt::bluez {
namespace {

TEST(BluezDialogRunner, ReportsStatusAndOutput) {
  struct Case {
    std::vector<std::string> argv;
    bool started;
    int exitStatus;
    std::string output;
  };
  const std::string large(200000, 'x');  // more than a pipe holds: read while the child writes
  const Case cases[] = {
      {{"sh", "-c", "printf 'No\\n'; echo noise >&2; exit 5"}, true, 5, "No\n"},
      {{"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' x"}, true, 0, large},
      {{"sh", "-c", "head -c 200000 /dev/zero >&2; echo ok"}, true, 0, "ok\n"},  // a full error pipe
      {{"sh", "-c", "kill -9 $$"}, true, -1, ""},
      {{"/bin/sh", "-c", "printf '%s,' \"$@\"", "x", "--title=A B", ""}, true, 0, "--title=A B,,"},
      {{"kv-dialog-program-that-is-not-installed"}, false, -1, ""},
      {{}, false, -1, ""},
      {{"sh", "-c", "cat; echo done"}, true, 0, "done\n"},  // stdin is not the host's
  };
  // Standard input becomes a pipe holding a line: a child that inherited it would take the line.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::write(pipeFds[1], "host line\n", 10), 10);
  ::close(pipeFds[1]);
  const int savedStdin = ::dup(STDIN_FILENO);
  ::dup2(pipeFds[0], STDIN_FILENO);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.empty() ? "no argv" : c.argv.back().substr(0, 40));
    const DialogRun run = RunDialogProgram(c.argv);
    EXPECT_EQ(run.started, c.started);
    EXPECT_EQ(run.exitStatus, c.exitStatus);
    EXPECT_TRUE(run.output == c.output) << run.output.substr(0, 40);
  }
  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
  char left[16] = {};
  const ssize_t unread = ::read(pipeFds[0], left, sizeof left);
  ::close(pipeFds[0]);
  EXPECT_EQ(std::string(left, unread > 0 ? static_cast<size_t>(unread) : 0), "host line\n");
}

}  // namespace
}  // namespace kv::bt::bluez
