// RunDialogProgram for real, with /bin/sh standing in for the dialog program.
#include <gtest/gtest.h>
#include <unistd.h>

#include "bluetooth/bluez/system/prompter.h"

namespace kv::bt::bluez {
namespace {

struct RunCase {
  const char* name;
  friend void PrintTo(const RunCase& testCase, std::ostream* os) { *os << testCase.name; }
  std::string script;
  int exitStatus;
  std::string output;
};

class BluezDialogRunner : public ::testing::TestWithParam<RunCase> {};

TEST_P(BluezDialogRunner, ReportsStatusAndOutput) {
  const DialogRun run = RunDialogProgram({"sh", "-c", GetParam().script});
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitStatus, GetParam().exitStatus);
  EXPECT_EQ(run.output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, BluezDialogRunner,
    ::testing::Values(RunCase{"Success", "exit 0", 0, ""}, RunCase{"ExitStatus", "exit 5", 5, ""},
                      RunCase{"Output", "printf 'No\\n'; exit 1", 1, "No\n"},
                      RunCase{"StderrDropped", "echo noise >&2; echo 2", 0, "2\n"},
                      RunCase{"LargeOutput", "i=0; while [ $i -lt 20000 ]; do echo 0123456789; i=$((i+1)); done", 0,
                              [] {
                                std::string s;
                                for (int i = 0; i < 20000; ++i) s += "0123456789\n";
                                return s;
                              }()},
                      RunCase{"KilledBySignal", "kill -9 $$", -1, ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The test's own standard input becomes a pipe holding a line, its write end kept open: a child that
// inherited it would read the line, and `cat` would then wait for ever.
TEST(BluezDialogRunnerStart, ChildNeverReadsHostStdin) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::write(pipeFds[1], "host line\n", 10), 10);
  const int savedStdin = ::dup(STDIN_FILENO);
  ASSERT_GE(savedStdin, 0);
  ASSERT_EQ(::dup2(pipeFds[0], STDIN_FILENO), STDIN_FILENO);

  const DialogRun readLine = RunDialogProgram({"sh", "-c", "read -r line; echo \"[$line]\""});
  const DialogRun cat = readLine.output == "[]\n" ? RunDialogProgram({"sh", "-c", "cat; echo done"}) : DialogRun{};

  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
  ::close(pipeFds[1]);  // so that reading what is left ends at once even when a child took the line
  char left[16] = {};
  const ssize_t unread = ::read(pipeFds[0], left, sizeof left);
  ::close(pipeFds[0]);

  EXPECT_EQ(readLine.output, "[]\n");
  EXPECT_EQ(cat.output, "done\n");
  EXPECT_EQ(cat.exitStatus, 0);
  EXPECT_EQ(std::string(left, unread > 0 ? static_cast<size_t>(unread) : 0), "host line\n");
}

TEST(BluezDialogRunnerStart, PassesEveryArgument) {
  const DialogRun run = RunDialogProgram({"/bin/sh", "-c", "printf '%s,' \"$@\"", "x", "--title=A B", ""});
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.output, "--title=A B,,");
}

TEST(BluezDialogRunnerStart, MissingProgramDidNotStart) {
  EXPECT_FALSE(RunDialogProgram({"kv-dialog-program-that-is-not-installed"}).started);
  EXPECT_FALSE(RunDialogProgram({"/nonexistent/dir/zenity", "--info"}).started);
  EXPECT_FALSE(RunDialogProgram({}).started);
}

}  // namespace
}  // namespace kv::bt::bluez
