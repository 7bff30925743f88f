// korvanta_run.h: the built `korvanta` run as a child process in UTC, and simulators serving presets
// on pseudo-terminals; shared by the tool's end-to-end and archive tests.
#pragma once
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "../../support/data_table.h"
#include "pty_runner.h"

namespace kv::cli {

inline const std::string kRunDir = "/tmp/korvanta_run_" + std::to_string(getpid());

inline std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Starts `korvanta` with the words of `line` (no word holds a space), its output streams in
// kRunDir/<tag>.out and .err; a delay holds each archive insert back so a test can act inside the transaction.
inline pid_t Spawn(const std::string& line, const std::string& tag = "run", int insertDelayMs = 0) {
  const TableRow args = SplitCells(line);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setenv("TZ", "UTC", 1);
  if (insertDelayMs > 0) setenv("KORVANTA_ARCHIVE_INSERT_DELAY_MS", std::to_string(insertDelayMs).c_str(), 1);
  dup2(open((kRunDir + "/" + tag + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
  dup2(open((kRunDir + "/" + tag + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
  std::vector<char*> argv{const_cast<char*>(KV_KORVANTA_PATH)};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  execv(KV_KORVANTA_PATH, argv.data());
  _exit(127);
}

struct ProcessRun {
  int status = -1;  // the exit status, or -1 when a signal ended it
  std::string out, err;
};

inline ProcessRun Finish(pid_t pid, const std::string& tag = "run") {
  int raw = 0;
  waitpid(pid, &raw, 0);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(kRunDir + "/" + tag + ".out"),
          Slurp(kRunDir + "/" + tag + ".err")};
}

// `korvanta` with the words of `line`, run to its end.
inline ProcessRun Korvanta(const std::string& line) { return Finish(Spawn(line)); }

// A fresh kRunDir and the simulators a test starts; each serves until the test ends.
class WithSimulators : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, system(("rm -rf " + kRunDir + " && mkdir -p " + kRunDir).c_str())); }
  void TearDown() override {
    simulators.clear();
    ASSERT_EQ(0, system(("rm -rf " + kRunDir).c_str()));
  }
  // The port of a new simulator of `scenario`, or "" when no pseudo-terminal could be had.
  std::string Serve(sim::Scenario scenario) {
    simulators.push_back(std::make_unique<sim::PtySimulator>(std::move(scenario)));
    std::string error;
    return simulators.back()->Start(&error) ? simulators.back()->PortPath() : "";
  }
  std::vector<std::unique_ptr<sim::PtySimulator>> simulators;
};

}  // namespace kv::cli
