// RunDialogProgram for real, with /bin/sh standing in for the dialog program.
#include <gtest/gtest.h>

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
                      RunCase{"StdinIsDevNull", "cat; echo done", 0, "done\n"},
                      RunCase{"StderrDropped", "echo noise >&2; echo 2", 0, "2\n"},
                      RunCase{"LargeOutput", "i=0; while [ $i -lt 20000 ]; do echo 0123456789; i=$((i+1)); done", 0,
                              [] {
                                std::string s;
                                for (int i = 0; i < 20000; ++i) s += "0123456789\n";
                                return s;
                              }()},
                      RunCase{"KilledBySignal", "kill -9 $$", -1, ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

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
