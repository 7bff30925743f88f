// archive_test.cpp: the archive as users meet it: `korvanta download --archive` run as processes
// against the simulator (overlapping downloads, two writers at once, a kill -9 inside the transaction, also
// of a run of two analysers, a file of another schema version), and the test identity of records with no time.
#include <signal.h>

#include <chrono>
#include <set>
#include <thread>

#include "archive_schema.h"
#include "archive_store.h"
#include "korvanta_run.h"
#include "time_text.h"

namespace kv::cli {
namespace {

std::set<std::string> Lines(const std::string& text) {
  std::set<std::string> lines;
  for (const std::string& line : SplitCells(text, '\n'))
    if (line.rfind("slot,", 0) != 0) lines.insert(line);
  return lines;
}

// The first value of SQL over the archive as text, "" for none; opening rolls back what a killed writer left.
std::string Query(const std::string& path, const std::string& sql) {
  archive::Db db(path, false, 1000);
  archive::Statement query = db.Prepare(sql);
  return query.Step() ? query.Text(0) : "";
}

class ArchiveDownloads : public WithSimulators {
 protected:
  // Puts a new test (slot 0's, another age and minute) into the highest slots holding none.
  void AddTests(int count, int age) {
    auto& slots = scenario.model.slots;
    for (int slot = sim::kSlotCount - 1; slot >= 0 && count > 0; --slot) {
      if (std::holds_alternative<sim::HumanTest>(slots[slot])) continue;
      sim::HumanTest test = model;
      test.age = static_cast<uint8_t>(age + count);
      test.time[1] = static_cast<uint8_t>(0x10 + count);
      slots[slot] = test;
      --count;
    }
  }
  std::string Tests() const { return Query(db, "SELECT count(*) FROM tests"); }
  sim::Scenario scenario = sim::PresetScenario(7);
  const sim::HumanTest model = std::get<sim::HumanTest>(scenario.model.slots[0]);  // pattern of new tests
  const std::string db = kRunDir + "/tests.korvanta";
};

// Three downloads: the preset, the preset with 5 new tests, then with 10 tests deleted on the
// analyser and 3 more new. Every test of every download is kept exactly once.
TEST_F(ArchiveDownloads, ThreeOverlappingDownloadsKeepEachTestOnce) {
  std::set<std::string> union_;
  const int added[] = {33, 5, 3}, seen[] = {33, 38, 31};
  for (int download = 0; download < 3; ++download) {
    if (download == 1) AddTests(5, 20);
    if (download == 2) std::fill_n(scenario.model.slots.begin(), 10, sim::EmptySlot{});  // the first 10 tests
    if (download == 2) AddTests(3, 60);
    const std::string port = Serve(scenario);
    if (port.empty()) GTEST_SKIP() << "no pseudo-terminal";
    const ProcessRun run = Korvanta("download --port " + port + " --archive " + db + " --format csv");
    ASSERT_EQ(0, run.status) << run.err;
    union_.merge(Lines(run.out));
    EXPECT_NE(std::string::npos, run.err.find(": " + std::to_string(added[download]) + " new of " +
                                              std::to_string(seen[download]) + " tests"))
        << run.err;
  }
  const ProcessRun exported = Korvanta("archive export --archive " + db + " --format csv");
  ASSERT_EQ(0, exported.status) << exported.err;
  EXPECT_EQ(union_, Lines(exported.out));
  EXPECT_EQ(42, std::count(exported.out.begin(), exported.out.end(), '\n'));  // header and 41: no duplicate
}

// Two processes writing one new archive at once, each holding its transaction open a while: both
// succeed, one after the other, with both analysers' tests. Then kill -9 while a third download's
// transaction is open: the archive stays valid with nothing of it, and the next download completes.
TEST_F(ArchiveDownloads, TwoWritersAtOnceThenOneKilledInsideItsTransaction) {
  const std::string first = Serve(scenario);
  if (first.empty()) GTEST_SKIP() << "no pseudo-terminal";
  scenario.model.serialNumber += 1;
  const std::string second = Serve(scenario);
  const pid_t a = Spawn("download --port " + first + " --archive " + db, "a", 30);
  const pid_t b = Spawn("download --port " + second + " --archive " + db, "b", 30);
  const ProcessRun runA = Finish(a, "a"), runB = Finish(b, "b");
  EXPECT_EQ(0, runA.status) << runA.err;
  EXPECT_EQ(0, runB.status) << runB.err;
  EXPECT_EQ("66", Tests());
  EXPECT_EQ("2", Query(db, "SELECT count(DISTINCT serial_number) FROM tests"));

  AddTests(4, 30);
  const std::string port = Serve(scenario);
  const pid_t pid = Spawn("download --port " + port + " --archive " + db, "killed", 100);
  // The rollback journal appears with the transaction's first write; kill a few inserts later.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (access((db + "-journal").c_str(), F_OK) != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(0, access((db + "-journal").c_str(), F_OK)) << "the download never began its transaction";
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  kill(pid, SIGKILL);
  EXPECT_EQ(-1, Finish(pid, "killed").status);
  EXPECT_EQ("ok", Query(db, "PRAGMA integrity_check"));
  EXPECT_EQ("66", Tests());
  EXPECT_EQ("2", Query(db, "SELECT count(*) FROM downloads"));
  const ProcessRun next = Korvanta("download --port " + port + " --archive " + db);
  ASSERT_EQ(0, next.status) << next.err;
  EXPECT_EQ("70", Tests());
}

// Two analysers in one run are one transaction: killed while the second one's tests go in, the archive keeps
// neither download; run whole, both.
TEST_F(ArchiveDownloads, OneRunOfTwoAnalysersIsOneTransaction) {
  const std::string first = Serve(scenario);
  if (first.empty()) GTEST_SKIP() << "no pseudo-terminal";
  scenario.model.serialNumber += 1;
  const std::string run = "download --port " + first + " --port " + Serve(scenario) + " --archive " + db;
  const pid_t pid = Spawn(run, "killed", 30);
  while (access((db + "-journal").c_str(), F_OK) != 0 && waitpid(pid, nullptr, WNOHANG) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(33 * 30 + 300));  // past the first analyser's 33 inserts
  kill(pid, SIGKILL);
  EXPECT_EQ(-1, Finish(pid, "killed").status);
  EXPECT_EQ("0", Query(db, "SELECT count(*) FROM downloads"));
  ASSERT_EQ(0, Korvanta(run).status);
  EXPECT_EQ("2", Query(db, "SELECT count(*) FROM downloads"));
  EXPECT_EQ("66", Tests());
}

// A file of another schema version is refused by every command, and left untouched.
TEST_F(ArchiveDownloads, AnotherSchemaVersionIsRefused) {
  {
    archive::Db made(db, true, 1000);
    archive::CheckOrCreateSchema(made, db, true);
    made.Exec("PRAGMA user_version = 2");
  }
  const std::string port = Serve(scenario);
  if (port.empty()) GTEST_SKIP() << "no pseudo-terminal";
  for (const auto& [args, status] : {std::pair{"archive list --archive " + db, 1},
                                     {"report --input " + db + " --output " + kRunDir + "/r.html", 1},
                                     {"download --port " + port + " --archive " + db, 9}}) {
    const ProcessRun run = Korvanta(args);
    EXPECT_EQ(status, run.status) << args;
    EXPECT_NE(std::string::npos, run.err.find("has archive schema version 2; this korvanta reads version 1 only"))
        << run.err;
  }
  EXPECT_EQ("2", Query(db, "PRAGMA user_version"));
  EXPECT_EQ("0", Query(db, "SELECT count(*) FROM downloads"));
}

// Tests with no time are told apart by their readings; archived rows can be neither changed nor removed.
TEST(ArchiveStore, TestsWithoutTimeAreIdentifiedByTheirFields) {
  archive::Db db(":memory:", true, 0);
  archive::CheckOrCreateSchema(db, ":memory:", true);
  EquineRow a;
  a.test = {13, 4242, kNoTime, 160, 5, 300, 280, 270, 250, 230, 220, 210, 1.5f};
  EquineRow b = a;
  b.test.impedance50 += 1;
  EXPECT_EQ(2, archive::StoreDownload(db, std::vector<EquineRow>{a, b, a}, {"p", 13, 1}).added);
  EXPECT_EQ(0, archive::StoreDownload(db, std::vector<EquineRow>{b, a}, {"p", 13, 2}).added);
  EXPECT_THROW(db.Exec("DELETE FROM tests"), archive::DbError);
  EXPECT_THROW(db.Exec("UPDATE tests SET slot = 5"), archive::DbError);
}

}  // namespace
}  // namespace kv::cli
