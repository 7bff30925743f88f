// The zenity prompter against a recording runner: the command line of each style, how zenity's exit
// status and output become buttons and list choices (data/zenity.txt), text escaping, owners and the
// no-display rule.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>

#include "../../support/data_table.h"
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

}  // namespace
}  // namespace kv::bt::bluez
