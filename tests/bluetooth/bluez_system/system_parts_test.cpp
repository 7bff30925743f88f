// The BlueZ system parts: the zenity prompter against a recording runner (the command line of each style, how
// zenity's exit status and output become buttons and list choices as data/zenity.txt says, text escaping, owners
// and the no-display rule); then through their call table the dialog runner against /bin/sh (with its runs that
// fail no call) and the RFCOMM layer against a stand-in kernel, one system call failed at a time; the RFCOMM
// layer without kernel Bluetooth over a sysfs of the test's own; the udev queue markers. Every SyscallFaults test
// checks that no descriptor is left open; an alarm ends the program should a row hang.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "../../support/data_table.h"
#include "../../support/open_descriptors.h"
#include "bluetooth/bluez/system/install_queue.h"
#include "bluetooth/bluez/system/prompter.h"
#include "bluetooth/bluez/system/rfcomm_kernel_abi.h"
#include "bluetooth/bluez/system/rfcomm_tty.h"
#include "bluetooth/bluez/system/system_calls.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {
namespace {

using Args = std::vector<std::string>;

struct Recorder {
  DialogRun reply;
  std::vector<Args> calls;
  std::unique_ptr<Prompter> Make() {
    return MakeZenityPrompter([this](const Args& argv) {
      calls.push_back(argv);
      return reply;
    });
  }
};

TEST(BluezZenity, RunsBecomeButtonsAndChoicesAsTheRowsOfDataZenitySay) {
  ::setenv("DISPLAY", ":0", 1);
  const std::map<std::string, uint32_t> styles = {{"retry", kStyleRetryCancelWarning}, {"okwarning", kStyleOkWarning},
                                                  {"okcancel", kStyleOkCancelInfo},    {"yesno", kStyleYesNo},
                                                  {"yesnocancel", kStyleYesNoCancel},  {"plain", 0}};
  const std::map<std::string, int32_t> buttons = {{"-", kButtonNone},        {"OK", kButtonOk},
                                                  {"Cancel", kButtonCancel}, {"Retry", kButtonRetry},
                                                  {"Yes", kButtonYes},       {"No", kButtonNo}};
  const std::vector<std::vector<std::string>> rows = ReadTable("zenity.txt", '|', 4);
  EXPECT_EQ(rows.size(), 22u);
  for (const std::vector<std::string>& cell : rows) {
    SCOPED_TRACE(cell[0] + " | " + cell[1]);
    const Args call = SplitCells(cell[0]), run = SplitCells(cell[1]), answer = SplitCells(cell[2]);
    std::string output = run.size() > 2 ? run[2] : "";
    for (size_t at; (at = output.find("\\n")) != output.npos;) output.replace(at, 2, "\n");
    Recorder recorder{{run[0] == "1", std::stoi(run[1]), output}, {}};
    if (call[0] == "choose") {
      const std::optional<size_t> chosen = recorder.Make()->Choose(nullptr, u"c", u"i", {u"a", u"b", u"c"});
      EXPECT_EQ(chosen, answer[0] == "-" ? std::nullopt : std::optional<size_t>(std::stoul(answer[0])));
      continue;
    }
    EXPECT_EQ(recorder.Make()->Ask(nullptr, u"Turn the scale on", u"Setup", styles.at(call[1])), buttons.at(answer[0]));
    Args expected = SplitCells("zenity " + cell[3]);
    expected.insert(expected.end(), {"--title=Setup", "--text=Turn the scale on", "--modal"});
    EXPECT_EQ(recorder.calls, std::vector<Args>{expected});
  }
}

// zenity expands backslash escapes in --text and then reads it as Pango markup; titles and list rows
// are shown as given, except that a row must not look like an option. An empty list runs nothing.
TEST(BluezZenity, TextIsEscapedOwnersAttachedAndAnEmptyListNotShown) {
  ::setenv("DISPLAY", ":0", 1);
  Recorder recorder{{true, 0, "1\n"}, {}};
  const auto prompter = recorder.Make();
  const auto owner = reinterpret_cast<KVWindowHandle>(uintptr_t{0x1FFFFFFF});
  prompter->Ask(owner, u"<b>A & B</b> in C:\\n \u00e9", u"R&D \u00e4", kStyleOkWarning);
  EXPECT_EQ(prompter->Choose(reinterpret_cast<KVWindowHandle>(uintptr_t{0x20000000}), u"R&D", u"x<y",
                             {u"<i>", u"--help", u"-", u"a-b"}),
            1u);
  EXPECT_EQ(prompter->Choose(nullptr, u"c", u"i", {}), std::nullopt);
  const std::vector<Args> expected{
      {"zenity", "--warning", "--ok-label=OK", "--title=R&D \xC3\xA4",
       "--text=&lt;b&gt;A &amp; B&lt;/b&gt; in C:\\\\n \xC3\xA9", "--modal", "--attach=536870911"},
      {"zenity", "--list", "--title=R&D", "--text=x&lt;y", "--modal", "--column=Index", "--column=Device",
       "--hide-column=1", "--print-column=1", "0", "<i>", "1", " --help", "2", " -", "3", "a-b"}};
  EXPECT_EQ(recorder.calls, expected);
}

// Both variables unset, then both empty, then a Wayland display alone: only that one runs zenity.
TEST(BluezZenity, NothingRunsWithoutADisplay) {
  Recorder recorder{{true, 0, "0\n"}, {}};
  const auto prompter = recorder.Make();
  for (const char* wayland : {static_cast<const char*>(nullptr), "", "wayland-0"}) {
    SCOPED_TRACE(wayland ? wayland : "unset");
    wayland ? ::setenv("DISPLAY", "", 1) : ::unsetenv("DISPLAY");
    wayland ? ::setenv("WAYLAND_DISPLAY", wayland, 1) : ::unsetenv("WAYLAND_DISPLAY");
    const bool present = wayland != nullptr && *wayland != '\0';
    EXPECT_EQ(prompter->Ask(nullptr, u"t", u"c", kStyleYesNo), present ? kButtonYes : kButtonNone);
    EXPECT_EQ(prompter->Choose(nullptr, u"c", u"i", {u"Scale"}), present ? std::optional<size_t>(0) : std::nullopt);
    EXPECT_EQ(recorder.calls.size(), present ? 2u : 0u);
  }
}

using sys::Calls;
using sys::RealSystemCalls;
namespace abi = rfcomm_abi;

enum Kind { kNone, kSocket, kIoctl, kSockName, kPeerName, kPipe, kPoll, kRead, kWait, kInit, kDup2, kSpawn };
struct Fault {
  Kind kind;
  int nth, times, error;
};
constexpr Fault kNoFault{kNone, 0, 0, 0};
Fault fault;
int seen = 0;
bool Fails(Kind kind) {
  if (kind != fault.kind) return false;
  ++seen;
  return seen >= fault.nth && seen < fault.nth + fault.times && (errno = fault.error, true);
}

// The real call unless the fault fails it: -1 with errno set, or for the spawn calls the error number.
template <Kind kind, auto call>
constexpr auto Faulty = [](auto... args) -> decltype((RealSystemCalls().*call)(args...)) {
  if (!Fails(kind)) return (RealSystemCalls().*call)(args...);
  return kind == kInit || kind == kDup2 || kind == kSpawn ? fault.error : -1;
};

class SyscallFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline = OpenDescriptors();
    ::alarm(60);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  }
  void TearDown() override {
    ::alarm(0);
    Calls() = RealSystemCalls();
    ::close(pair[0]);
    ::close(pair[1]);
    EXPECT_EQ(baseline, OpenDescriptors()) << "a descriptor left open";
  }
  int baseline = 0;
  int pair[2] = {-1, -1};  // connected sockets: the dialog runner's standard input, the RFCOMM layer's caller
};

// The dialog runner's calls pass to the real ones; the stand-in kernel: control sockets are real (closable)
// descriptors, the caller's socket reports an RFCOMM link, the bound form of create gives device 7, the adopting
// form 8, the list holds two devices.
int callerSocket = -1;
template <Kind kind>  // the caller's socket: a link from 00:11:22:33:44:01 to 00:11:22:33:44:AA, channel 4
int LinkEnd(int fd, sockaddr* a, socklen_t* n) {
  if (Fails(kind) || fd != callerSocket) return -1;
  constexpr bool peer = kind == kPeerName;
  const uint8_t last = peer ? 0xAA : 0x01, channel = peer ? 4 : 0;
  *reinterpret_cast<abi::SockAddrRc*>(a) = {abi::kAfBluetooth, {{last, 0x44, 0x33, 0x22, 0x11, 0}}, channel};
  return *n = sizeof(abi::SockAddrRc), 0;
}
void Install(const Fault& f) {
  fault = f, seen = 0;
  sys::SystemCalls& c = Calls();
  c.pipe2 = Faulty<kPipe, &sys::SystemCalls::pipe2>;
  c.poll = Faulty<kPoll, &sys::SystemCalls::poll>;
  c.read = Faulty<kRead, &sys::SystemCalls::read>;
  c.spawnActionsInit = Faulty<kInit, &sys::SystemCalls::spawnActionsInit>;
  c.spawnActionsAddDup2 = Faulty<kDup2, &sys::SystemCalls::spawnActionsAddDup2>;
  c.spawnp = Faulty<kSpawn, &sys::SystemCalls::spawnp>;
  c.waitpid = [](pid_t pid, int* status, int options) {
    if (!Fails(kWait)) return RealSystemCalls().waitpid(pid, status, options);
    const int error = errno;
    if (error != EINTR) RealSystemCalls().waitpid(pid, status, options);  // the child is gone either way
    errno = error;
    return pid_t{-1};
  };
  c.socket = [](int, int, int) {
    return Fails(kSocket) ? -1 : RealSystemCalls().socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  };
  c.getsockname = LinkEnd<kSockName>;
  c.getpeername = LinkEnd<kPeerName>;
  c.ioctl = [](int fd, unsigned long request, void* argument) {
    if (Fails(kIoctl)) return -1;
    const auto* dev = static_cast<const abi::DevReq*>(argument);
    if (request == abi::kIoctlCreateDev) {
      const bool adopting = fd == callerSocket;
      if (dev->channel != 4 || dev->dst.b[0] != 0xAA || dev->flags != (adopting ? 3u : 0u)) return errno = EINVAL, -1;
      return adopting ? 8 : 7;
    }
    if (request == abi::kIoctlGetDevList) {
      auto* list = static_cast<abi::DevListReq*>(argument);
      if (list->devNum != abi::kMaxDevices) return errno = EINVAL, -1;
      list->devNum = 2;
      list->devInfo[0] = {7, 0, abi::kStateConnected, {}, {{0xAA, 0x44, 0x33, 0x22, 0x11, 0}}, 4};
      list->devInfo[1] = {9, 0, 2, {}, {}, 1};
      return 0;
    }
    if (request == abi::kIoctlReleaseDev && dev->devId == 9 && dev->flags == abi::kFlagHangupNow) return 0;
    return errno = EINVAL, -1;
  };
}

// RunDialogProgram against /bin/sh: without a failed call, its status and output; then each call
// failed against a child that first fills its error pipe, then prints a line and exits with 3.
// Standard input is the fixture's socket holding a line meanwhile: a child that inherited it would pass the line on
// (cat).
TEST_F(SyscallFaults, DialogRunnerReportsStatusOutputAndEachFailure) {
  const std::vector<std::string> fills{"sh", "-c", "head -c 100000 /dev/zero >&2; echo ok; exit 3"};
  struct Row {
    Fault fault;
    std::vector<std::string> argv;
    bool started;
    int exitStatus;
    std::string output;
  };
  const Row rows[] = {
      {kNoFault, {"sh", "-c", "head -c 200000 /dev/zero | tr '\\0' x"}, true, 0, std::string(200000, 'x')},
      {kNoFault, {"sh", "-c", "kill -9 $$"}, true, -1, ""},
      {kNoFault, {"/bin/sh", "-c", "printf '%s,' \"$@\"", "x", "--title=A B", ""}, true, 0, "--title=A B,,"},
      {kNoFault, {"kv-dialog-program-that-is-not-installed"}, false, -1, ""},
      {kNoFault, {}, false, -1, ""},
      {kNoFault, {"sh", "-c", "cat; echo done"}, true, 0, "done\n"},
      {{kPipe, 1, 1, EMFILE}, fills, false, -1, ""},
      {{kPipe, 3, 1, ENFILE}, fills, false, -1, ""},
      {{kInit, 1, 1, ENOMEM}, fills, false, -1, ""},
      {{kDup2, 3, 1, EBADF}, fills, false, -1, ""},
      {{kSpawn, 1, 1, ENOENT}, fills, false, -1, ""},
      {{kPoll, 1, 3, EINTR}, fills, true, 3, "ok\n"},
      {{kPoll, 1, 1, ENOMEM}, fills, true, -1, ""},
      {{kRead, 1, 2, EINTR}, fills, true, 3, "ok\n"},
      {{kRead, 1, 1, EIO}, fills, true, 3, "ok\n"},
      {{kWait, 1, 2, EINTR}, fills, true, 3, "ok\n"},
      {{kWait, 1, 1, ECHILD}, fills, true, -1, "ok\n"},
  };
  ASSERT_EQ(::write(pair[1], "host line\n", 10), 10);
  ::shutdown(pair[1], SHUT_WR);
  const int savedStdin = ::dup(STDIN_FILENO);
  ::dup2(pair[0], STDIN_FILENO);
  const int withInput = OpenDescriptors();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "call " << row.fault.kind << " #" << row.fault.nth << " errno "
                                    << row.fault.error << " of " << (row.argv.empty() ? "" : row.argv.back()));
    Install(row.fault);
    const DialogRun run = RunDialogProgram(row.argv);
    EXPECT_EQ(std::tie(run.started, run.exitStatus), std::tie(row.started, row.exitStatus));
    EXPECT_TRUE(run.output == row.output) << run.output.substr(0, 40);
    EXPECT_GE(seen, row.fault.nth) << "the failed call was never made";
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a child left unreaped";
    EXPECT_EQ(withInput, OpenDescriptors());
  }
  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
}

TEST_F(SyscallFaults, RfcommCreateListReleaseReportEachFailure) {
  // Calls in order: create (socket, getsockname, getpeername, ioctl[, ioctl]), list (socket, ioctl),
  // release (socket, ioctl). Without kernel Bluetooth the list falls back to a sysfs that is missing.
  struct Row {
    Fault fault;
    int id, error, listed;  // the created device, its error, how many listed (-1: no list)
    bool persistent, released;
  };
  const Row rows[] = {
      {{kSocket, 1, 1, EAFNOSUPPORT}, 8, 0, 2, false, true},
      {{kIoctl, 1, 1, EPERM}, 8, 0, 2, false, true},
      {{kIoctl, 1, 2, EPERM}, -1, EPERM, 2, false, true},
      {{kSockName, 1, 1, EBADF}, -1, EBADF, 2, false, true},
      {{kPeerName, 1, 1, ENOTCONN}, -1, ENOTCONN, 2, false, true},
      {{kSocket, 2, 1, EMFILE}, 7, 0, -1, true, true},
      {{kIoctl, 2, 1, EIO}, 7, 0, -1, true, true},
      {{kSocket, 3, 1, ENFILE}, 7, 0, 2, true, false},
      {{kIoctl, 3, 1, ENXIO}, 7, 0, 2, true, false},
  };
  callerSocket = pair[0];
  const std::unique_ptr<RfcommTty> rfcomm = MakeKernelRfcommTty("/nonexistent/kv-sys-class-tty");
  const int withPair = OpenDescriptors();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "call " << row.fault.kind << " #" << row.fault.nth << " errno "
                                    << row.fault.error);
    Install(row.fault);
    const RfcommCreated created = rfcomm->CreateFromSocket(pair[0]);
    const auto listed = rfcomm->List();
    const bool released = rfcomm->Release(9);
    EXPECT_EQ(std::tie(created.id, created.error, created.persistent), std::tie(row.id, row.error, row.persistent));
    EXPECT_EQ(listed ? static_cast<int>(listed->size()) : -1, row.listed);
    if (listed && !listed->empty()) {
      EXPECT_EQ(listed->front(), (RfcommDevice{7, 0x0011223344AAull, 4, true}));
    }
    EXPECT_EQ(released, row.released);
    EXPECT_EQ(withPair, OpenDescriptors());
  }
}

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kv-bluez-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  void Write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories((path / name).parent_path());
    std::ofstream(path / name) << text;
  }
};

TEST_F(SyscallFaults, RfcommWithoutKernelBluetoothListsFromSysfs) {
  Calls().socket = [](int, int, int) { return errno = EAFNOSUPPORT, -1; };
  TempDir sys;
  // Channel 31 is out of range: no channel. The rest of the odd entries are no RFCOMM devices at all.
  for (const std::string file : {"rfcomm0/address=00:11:22:33:44:aa\n", "rfcomm12/address=A0:b1:C2:d3:E4:F5\n",
                                 "rfcomm12/channel=5\n", "rfcomm13/address=00:11:22:33:44:55", "rfcomm13/channel=31",
                                 "ttyS0/address=00:11:22:33:44:55\n", "rfcommX/address=00:11:22:33:44:55\n",
                                 "rfcomm1234567890/address=00:11:22:33:44:55\n", "rfcomm3/address=00:11:22:33:44\n",
                                 "rfcomm4/address=00-11-22-33-44-55\n", "rfcomm5/address=00:11:22:33:44:5G\n"}) {
    sys.Write(file.substr(0, file.find('=')), file.substr(file.find('=') + 1));
  }
  const std::unique_ptr<RfcommTty> rfcomm = MakeKernelRfcommTty(sys.path.string());
  const std::vector<RfcommDevice> expected{
      {0, 0x0011223344AAull, 0, false}, {12, 0xA0B1C2D3E4F5ull, 5, false}, {13, 0x001122334455ull, 0, false}};
  EXPECT_EQ(rfcomm->List(), expected);
  EXPECT_FALSE(rfcomm->Release(-1));

  const RfcommCreated created = rfcomm->CreateFromSocket(pair[0]);  // no RFCOMM socket
  EXPECT_EQ(std::tie(created.id, created.error), std::tuple(-1, EAFNOSUPPORT));
  EXPECT_EQ(::write(pair[0], "x", 1), 1);  // the socket stays the caller's
}

TEST(BluezInstallQueue, ReportsFromUdevMarkers) {
  TempDir run;
  const std::unique_ptr<InstallQueue> queue = MakeUdevInstallQueue(run.path.string());
  run.Write("queue", "");
  EXPECT_EQ(queue->Pending(), std::nullopt);  // no udevd: nothing can be said
  run.Write("control", "");
  EXPECT_EQ(queue->Pending(), true);
  std::filesystem::remove(run.path / "queue");
  EXPECT_EQ(queue->Pending(), false);
}

}  // namespace
}  // namespace kv::bt::bluez
