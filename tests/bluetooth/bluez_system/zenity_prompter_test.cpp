// The zenity prompter against a recording runner: the command line each style produces, how zenity's
// exit status and output turn into buttons and list choices, and the no-display rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "bluetooth/bluez/system/prompter.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {
namespace {

using Args = std::vector<std::string>;

// Sets DISPLAY and WAYLAND_DISPLAY for one test and puts the old values back afterwards.
class DisplayEnvironment {
 public:
  DisplayEnvironment(const char* display, const char* wayland) {
    Save("DISPLAY", display, savedDisplay_);
    Save("WAYLAND_DISPLAY", wayland, savedWayland_);
  }
  ~DisplayEnvironment() {
    Restore("DISPLAY", savedDisplay_);
    Restore("WAYLAND_DISPLAY", savedWayland_);
  }

 private:
  static void Save(const char* name, const char* value, std::optional<std::string>& saved) {
    if (const char* old = std::getenv(name)) saved = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  static void Restore(const char* name, const std::optional<std::string>& saved) {
    if (saved) {
      ::setenv(name, saved->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  std::optional<std::string> savedDisplay_;
  std::optional<std::string> savedWayland_;
};

struct RecordingRunner {
  DialogRun reply;
  std::vector<Args> calls;
  DialogRunner Runner() {
    return [this](const Args& argv) {
      calls.push_back(argv);
      return reply;
    };
  }
};

DialogRun Exited(int status, std::string output = {}) { return {true, status, std::move(output)}; }

Args AskCommand(const Args& kind) {
  Args argv{"zenity"};
  argv.insert(argv.end(), kind.begin(), kind.end());
  for (const char* common : {"--title=Setup", "--text=Turn the scale on", "--modal"}) {
    argv.emplace_back(common);
  }
  return argv;
}

struct AskCase {
  const char* name;
  friend void PrintTo(const AskCase& testCase, std::ostream* os) { *os << testCase.name; }
  uint32_t style;
  Args kind;
  DialogRun run;
  int32_t expected;
};

class BluezZenityAsk : public ::testing::TestWithParam<AskCase> {};

TEST_P(BluezZenityAsk, RunsStyleAndMapsAnswer) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{GetParam().run, {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  EXPECT_EQ(prompter->Ask(nullptr, u"Turn the scale on", u"Setup", GetParam().style), GetParam().expected);
  ASSERT_EQ(runner.calls.size(), 1u);
  EXPECT_EQ(runner.calls[0], AskCommand(GetParam().kind));
}

const Args kRetryCancel{"--question", "--icon-name=dialog-warning", "--ok-label=Retry", "--cancel-label=Cancel"};
const Args kOkWarning{"--warning", "--ok-label=OK"};
const Args kOkCancel{"--question", "--icon-name=dialog-information", "--ok-label=OK", "--cancel-label=Cancel"};
const Args kYesNo{"--question", "--ok-label=Yes", "--cancel-label=No"};
const Args kYesNoCancel{"--question", "--ok-label=Yes", "--cancel-label=Cancel", "--extra-button=No"};
const Args kInfo{"--info", "--ok-label=OK"};

INSTANTIATE_TEST_SUITE_P(
    Styles, BluezZenityAsk,
    ::testing::Values(AskCase{"RetryPressed", 0x35, kRetryCancel, Exited(0), kButtonRetry},
                      AskCase{"RetryCancelled", 0x35, kRetryCancel, Exited(1), kButtonCancel},
                      AskCase{"WarningOk", 0x30, kOkWarning, Exited(0), kButtonOk},
                      AskCase{"WarningClosed", 0x30, kOkWarning, Exited(1), kButtonOk},
                      AskCase{"OkCancelOk", 0x41, kOkCancel, Exited(0), kButtonOk},
                      AskCase{"OkCancelCancelled", 0x41, kOkCancel, Exited(1), kButtonCancel},
                      AskCase{"YesNoYes", 4, kYesNo, Exited(0), kButtonYes},
                      AskCase{"YesNoNo", 4, kYesNo, Exited(1), kButtonNo},
                      AskCase{"YesNoCancelYes", 3, kYesNoCancel, Exited(0), kButtonYes},
                      AskCase{"YesNoCancelExtraNo", 3, kYesNoCancel, Exited(1, "No\n"), kButtonNo},
                      AskCase{"YesNoCancelCancelled", 3, kYesNoCancel, Exited(1), kButtonCancel},
                      AskCase{"YesNoCancelOtherOutput", 3, kYesNoCancel, Exited(1, "Yes\n"), kButtonCancel},
                      AskCase{"OtherStyleOk", 0x40, kInfo, Exited(0), kButtonOk},
                      AskCase{"OtherStyleClosed", 0, kInfo, Exited(1), kButtonOk},
                      AskCase{"NotStarted", 4, kYesNo, DialogRun{false, 127, {}}, kButtonNone},
                      AskCase{"KilledBySignal", 0x41, kOkCancel, DialogRun{true, -1, {}}, kButtonNone}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct DisplayCase {
  const char* name;
  friend void PrintTo(const DisplayCase& testCase, std::ostream* os) { *os << testCase.name; }
  const char* display;
  const char* wayland;
  bool present;
};

class BluezZenityDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(BluezZenityDisplay, RunsOnlyWithADisplay) {
  DisplayEnvironment env(GetParam().display, GetParam().wayland);
  RecordingRunner runner{Exited(0, "0\n"), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  const int32_t button = prompter->Ask(nullptr, u"t", u"c", 4);
  const std::optional<size_t> chosen = prompter->Choose(nullptr, u"c", u"i", {u"Scale"});
  if (GetParam().present) {
    EXPECT_EQ(button, kButtonYes);
    EXPECT_EQ(chosen, 0u);
    EXPECT_EQ(runner.calls.size(), 2u);
  } else {
    EXPECT_EQ(button, kButtonNone);
    EXPECT_EQ(chosen, std::nullopt);
    EXPECT_TRUE(runner.calls.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BluezZenityDisplay,
                         ::testing::Values(DisplayCase{"Neither", nullptr, nullptr, false},
                                           DisplayCase{"BothEmpty", "", "", false},
                                           DisplayCase{"X11", ":1", nullptr, true},
                                           DisplayCase{"WaylandOnly", "", "wayland-0", true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(BluezZenityCommand, AttachesToOwnerAndEncodesText) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  // 0x2a00001 as a window id is 44040193 in decimal.
  const auto owner = reinterpret_cast<KVWindowHandle>(static_cast<uintptr_t>(0x2a00001));
  prompter->Ask(owner, u"Waage gef\u00fcnden", u"Ger\u00e4t", 0x30);
  ASSERT_EQ(runner.calls.size(), 1u);
  EXPECT_EQ(runner.calls[0], (Args{"zenity", "--warning", "--ok-label=OK", "--title=Ger\xC3\xA4t",
                                   "--text=Waage gef\xC3\xBCnden", "--modal", "--attach=44040193"}));
}

TEST(BluezZenityCommand, ListsItemsWithHiddenIndexColumn) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0, "1\n"), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  EXPECT_EQ(prompter->Choose(nullptr, u"Devices", u"Pick one", {u"Scale A", u"\u00c9chelle"}), 1u);
  ASSERT_EQ(runner.calls.size(), 1u);
  EXPECT_EQ(runner.calls[0],
            (Args{"zenity", "--list", "--title=Devices", "--text=Pick one", "--modal", "--column=Index",
                  "--column=Device", "--hide-column=1", "--print-column=1", "0", "Scale A", "1",
                  "\xC3\x89"
                  "chelle"}));
}

// zenity reads --text as Pango markup after expanding backslash escapes; the title is shown as given.
TEST(BluezZenityCommand, TextIsEscapedForMarkup) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0, "0\n"), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  prompter->Ask(nullptr, u"<b>A & B</b> in C:\\n", u"R&D <1>", 0x30);
  prompter->Choose(nullptr, u"R&D", u"x<y & y>z", {u"<i>"});
  ASSERT_EQ(runner.calls.size(), 2u);
  EXPECT_EQ(runner.calls[0][3], "--title=R&D <1>");
  EXPECT_EQ(runner.calls[0][4], "--text=&lt;b&gt;A &amp; B&lt;/b&gt; in C:\\\\n");
  EXPECT_EQ(runner.calls[1][2], "--title=R&D");
  EXPECT_EQ(runner.calls[1][3], "--text=x&lt;y &amp; y&gt;z");
  EXPECT_EQ(runner.calls[1].back(), "<i>");  // list cells are plain text
}

TEST(BluezZenityCommand, RowStartingWithDashIsNotAnOption) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0, "1\n"), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  EXPECT_EQ(prompter->Choose(nullptr, u"c", u"i", {u"Scale", u"--help", u"a-b"}), 1u);
  ASSERT_EQ(runner.calls.size(), 1u);
  const Args rows(runner.calls[0].end() - 6, runner.calls[0].end());
  EXPECT_EQ(rows, (Args{"0", "Scale", "1", " --help", "2", "a-b"}));
}

// X11 window ids fit in 29 bits; anything larger cannot be one and zenity would refuse the number.
TEST(BluezZenityCommand, AttachOnlyForWindowIds) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  for (const uintptr_t window : {uintptr_t{0x1FFFFFFF}, uintptr_t{0x20000000}}) {
    prompter->Ask(reinterpret_cast<KVWindowHandle>(window), u"t", u"c", 0x30);
  }
  ASSERT_EQ(runner.calls.size(), 2u);
  EXPECT_EQ(runner.calls[0].back(), "--attach=536870911");
  EXPECT_EQ(runner.calls[1].back(), "--modal");
}

TEST(BluezZenityCommand, EmptyListIsNotShown) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{Exited(0, "0\n"), {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  EXPECT_EQ(prompter->Choose(nullptr, u"Devices", u"Pick one", {}), std::nullopt);
  EXPECT_TRUE(runner.calls.empty());
}

struct ChooseCase {
  const char* name;
  friend void PrintTo(const ChooseCase& testCase, std::ostream* os) { *os << testCase.name; }
  DialogRun run;
  std::optional<size_t> expected;
};

class BluezZenityChoose : public ::testing::TestWithParam<ChooseCase> {};

TEST_P(BluezZenityChoose, ParsesChosenIndex) {
  DisplayEnvironment env(":0", nullptr);
  RecordingRunner runner{GetParam().run, {}};
  auto prompter = MakeZenityPrompter(runner.Runner());
  EXPECT_EQ(prompter->Choose(nullptr, u"c", u"i", {u"a", u"b", u"c"}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, BluezZenityChoose,
                         ::testing::Values(ChooseCase{"First", Exited(0, "0\n"), 0u},
                                           ChooseCase{"Last", Exited(0, "2\n"), 2u},
                                           ChooseCase{"NoNewline", Exited(0, "1"), 1u},
                                           ChooseCase{"OutOfRange", Exited(0, "3\n"), std::nullopt},
                                           ChooseCase{"NothingSelected", Exited(0, "\n"), std::nullopt},
                                           ChooseCase{"NotANumber", Exited(0, "b\n"), std::nullopt},
                                           ChooseCase{"Negative", Exited(0, "-1\n"), std::nullopt},
                                           ChooseCase{"Cancelled", Exited(1, "1\n"), std::nullopt},
                                           ChooseCase{"NotStarted", DialogRun{false, -1, {}}, std::nullopt},
                                           ChooseCase{"Killed", DialogRun{true, -1, "1\n"}, std::nullopt}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace kv::bt::bluez
