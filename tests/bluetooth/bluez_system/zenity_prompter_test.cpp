// The zenity prompter against a recording runner: the command line of each style, how zenity's exit
// status and output become buttons and list choices, text escaping, owners and the no-display rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "bluetooth/bluez/system/prompter.h"
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

class BluezZenity : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DISPLAY", ":0", 1);
    ::unsetenv("WAYLAND_DISPLAY");
  }
};

TEST_F(BluezZenity, StylesRunTheirBoxAndMapTheAnswer) {
  const Args retry{"--question", "--icon-name=dialog-warning", "--ok-label=Retry", "--cancel-label=Cancel"};
  const Args okCancel{"--question", "--icon-name=dialog-information", "--ok-label=OK", "--cancel-label=Cancel"};
  const Args yesNo{"--question", "--ok-label=Yes", "--cancel-label=No"};
  const Args yesNoCancel{"--question", "--ok-label=Yes", "--cancel-label=Cancel", "--extra-button=No"};
  const Args warning{"--warning", "--ok-label=OK"};
  struct Case {
    uint32_t style;
    const Args& kind;
    DialogRun run;
    int32_t button;
  };
  const Case cases[] = {
      {kStyleRetryCancelWarning, retry, {true, 0, ""}, kButtonRetry}, {kStyleRetryCancelWarning, retry, {true, 1, ""}, kButtonCancel},
      {kStyleOkWarning, warning, {true, 1, ""}, kButtonOk},           {kStyleOkWarning, warning, {true, 5, ""}, kButtonNone},
      {kStyleOkCancelInfo, okCancel, {true, 0, ""}, kButtonOk},       {kStyleOkCancelInfo, okCancel, {true, 1, ""}, kButtonCancel},
      {kStyleYesNo, yesNo, {true, 0, ""}, kButtonYes},                {kStyleYesNo, yesNo, {true, 1, ""}, kButtonNo},
      {kStyleYesNoCancel, yesNoCancel, {true, 0, ""}, kButtonYes},    {kStyleYesNoCancel, yesNoCancel, {true, 1, "No\n"}, kButtonNo},
      {kStyleYesNoCancel, yesNoCancel, {true, 1, "Yes\n"}, kButtonCancel}, {0, Args{"--info", "--ok-label=OK"}, {true, 1, ""}, kButtonOk},
      {kStyleYesNo, yesNo, {false, 127, ""}, kButtonNone},            {kStyleOkCancelInfo, okCancel, {true, -1, ""}, kButtonNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "style " << c.style << ", exit " << c.run.exitStatus);
    Recorder recorder{c.run, {}};
    EXPECT_EQ(recorder.Make()->Ask(nullptr, u"Turn the scale on", u"Setup", c.style), c.button);
    Args expected{"zenity"};
    expected.insert(expected.end(), c.kind.begin(), c.kind.end());
    expected.insert(expected.end(), {"--title=Setup", "--text=Turn the scale on", "--modal"});
    EXPECT_EQ(recorder.calls, std::vector<Args>{expected});
  }
}

// zenity expands backslash escapes in --text and then reads it as Pango markup; titles and list rows
// are shown as given, except that a row must not look like an option.
TEST_F(BluezZenity, TextIsEscapedAndOwnersAttached) {
  Recorder recorder{{true, 0, "1\n"}, {}};
  const auto prompter = recorder.Make();
  const auto owner = reinterpret_cast<KVWindowHandle>(uintptr_t{0x1FFFFFFF});
  prompter->Ask(owner, u"<b>A & B</b> in C:\\n \u00e9", u"R&D \u00e4", kStyleOkWarning);
  EXPECT_EQ(prompter->Choose(reinterpret_cast<KVWindowHandle>(uintptr_t{0x20000000}), u"R&D", u"x<y",
                             {u"<i>", u"--help", u"-", u"a-b"}),
            1u);
  ASSERT_EQ(recorder.calls.size(), 2u);
  EXPECT_EQ(recorder.calls[0], (Args{"zenity", "--warning", "--ok-label=OK", "--title=R&D \xC3\xA4",
                                     "--text=&lt;b&gt;A &amp; B&lt;/b&gt; in C:\\\\n \xC3\xA9", "--modal",
                                     "--attach=536870911"}));
  EXPECT_EQ(recorder.calls[1], (Args{"zenity", "--list", "--title=R&D", "--text=x&lt;y", "--modal", "--column=Index",
                                     "--column=Device", "--hide-column=1", "--print-column=1", "0", "<i>", "1",
                                     " --help", "2", " -", "3", "a-b"}));
}

TEST_F(BluezZenity, ListAnswersAreIndexesInRange) {
  struct Case {
    DialogRun run;
    std::optional<size_t> chosen;
  };
  const Case cases[] = {
      {{true, 0, "2\n"}, 2u},          {{true, 0, "1"}, 1u},
      {{true, 0, "3\n"}, std::nullopt}, {{true, 0, "\n"}, std::nullopt},
      {{true, 0, "-1\n"}, std::nullopt}, {{true, 0, "99999999999999999999\n"}, std::nullopt},
      {{true, 1, "1\n"}, std::nullopt}, {{false, -1, ""}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.run.output);
    Recorder recorder{c.run, {}};
    EXPECT_EQ(recorder.Make()->Choose(nullptr, u"c", u"i", {u"a", u"b", u"c"}), c.chosen);
  }
  Recorder recorder{{true, 0, "0\n"}, {}};
  EXPECT_EQ(recorder.Make()->Choose(nullptr, u"c", u"i", {}), std::nullopt);
  EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(BluezZenity, NothingRunsWithoutADisplay) {
  struct Case {
    const char* display;
    const char* wayland;
    bool present;
  };
  for (const Case c : {Case{nullptr, nullptr, false}, Case{"", "", false}, Case{"", "wayland-0", true}}) {
    SCOPED_TRACE(c.present);
    c.display ? ::setenv("DISPLAY", c.display, 1) : ::unsetenv("DISPLAY");
    c.wayland ? ::setenv("WAYLAND_DISPLAY", c.wayland, 1) : ::unsetenv("WAYLAND_DISPLAY");
    Recorder recorder{{true, 0, "0\n"}, {}};
    const auto prompter = recorder.Make();
    EXPECT_EQ(prompter->Ask(nullptr, u"t", u"c", kStyleYesNo), c.present ? kButtonYes : kButtonNone);
    EXPECT_EQ(prompter->Choose(nullptr, u"c", u"i", {u"Scale"}), c.present ? std::optional<size_t>(0) : std::nullopt);
    EXPECT_EQ(recorder.calls.size(), c.present ? 2u : 0u);
  }
}

}  // namespace
}  // namespace kv::bt::bluez
