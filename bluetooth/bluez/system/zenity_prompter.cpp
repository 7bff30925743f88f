// zenity_prompter.cpp: message boxes and the device list as zenity dialogs. Each message box style of
// platform.h maps onto one zenity kind and button set; zenity reports OK as exit 0, Cancel/close as 1,
// and an extra button by printing its label and exiting 1.
#include <cstdlib>
#include <utility>

#include "bluetooth/bluez/system/prompter.h"
#include "utf_convert.h"
#include "bluetooth/platform.h"

namespace kv::bt::bluez {
namespace {

bool DisplayPresent() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

// The zenity arguments for a style and how its exit status and output map onto a button.
struct BoxKind {
  std::vector<std::string> arguments;
  int32_t (*answer)(const DialogRun& run);
};

int32_t RetryOrCancel(const DialogRun& run) { return run.exitStatus == 0 ? kButtonRetry : kButtonCancel; }
int32_t OkOrCancel(const DialogRun& run) { return run.exitStatus == 0 ? kButtonOk : kButtonCancel; }
int32_t YesOrNo(const DialogRun& run) { return run.exitStatus == 0 ? kButtonYes : kButtonNo; }
int32_t YesNoOrCancel(const DialogRun& run) {
  if (run.exitStatus == 0) return kButtonYes;
  if (run.exitStatus == 1 && run.output == "No\n") return kButtonNo;
  return kButtonCancel;
}
// A box with one button: closing it counts as that button too; the warning box treats any other
// status (zenity's own failure) as a box that was never shown, as it offers nothing to cancel.
int32_t AlwaysOk(const DialogRun&) { return kButtonOk; }
int32_t OkWhenClosed(const DialogRun& run) {
  return run.exitStatus == 0 || run.exitStatus == 1 ? kButtonOk : kButtonNone;
}

BoxKind KindFor(uint32_t style) {
  switch (style) {
    case kStyleRetryCancelWarning:
      return {{"--question", "--icon-name=dialog-warning", "--ok-label=Retry", "--cancel-label=Cancel"}, RetryOrCancel};
    case kStyleOkWarning:
      return {{"--warning", "--ok-label=OK"}, OkWhenClosed};
    case kStyleOkCancelInfo:
      return {{"--question", "--icon-name=dialog-information", "--ok-label=OK", "--cancel-label=Cancel"}, OkOrCancel};
    case kStyleYesNo:
      return {{"--question", "--ok-label=Yes", "--cancel-label=No"}, YesOrNo};
    case kStyleYesNoCancel:
      return {{"--question", "--ok-label=Yes", "--cancel-label=Cancel", "--extra-button=No"}, YesNoOrCancel};
    default:
      return {{"--info", "--ok-label=OK"}, AlwaysOk};
  }
}

// zenity expands backslash escapes in a dialog's text and then reads it as Pango markup, for message
// boxes and lists alike (--no-markup only exists for message boxes, and not in older releases), so the
// text is escaped for both steps to show exactly as given.
std::string LabelText(std::u16string_view text) {
  std::string escaped;
  for (const char c : Utf8FromUtf16(text)) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A list row is a bare argument, which zenity would take for an option if it began with '-'.
std::string RowText(std::u16string_view text) {
  std::string row = Utf8FromUtf16(text);
  if (!row.empty() && row.front() == '-') row.insert(row.begin(), ' ');
  return row;
}

// X11 window ids leave the top three bits clear; zenity parses --attach as an int and would refuse
// (and show nothing) for anything larger, so such an owner is left out.
constexpr uintptr_t kMaxWindowId = 0x1FFFFFFF;

// The arguments every dialog shares after its kind: modal, tied to the owner window.
void AppendCommon(std::vector<std::string>& argv, KVWindowHandle owner) {
  argv.emplace_back("--modal");
  const auto window = reinterpret_cast<uintptr_t>(owner);
  if (window != 0 && window <= kMaxWindowId) argv.push_back("--attach=" + std::to_string(window));
}

// A zenity list prints the chosen row's hidden index column; anything else is not an answer.
std::optional<size_t> ParseIndex(const std::string& output, size_t count) {
  std::string digits = output;
  while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\r')) digits.pop_back();
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  size_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  if (value >= count) return std::nullopt;
  return value;
}

class ZenityPrompter final : public Prompter {
 public:
  explicit ZenityPrompter(DialogRunner runner) : runner_(std::move(runner)) {}

  int32_t Ask(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption, uint32_t style) override {
    if (!DisplayPresent()) return kButtonNone;
    BoxKind kind = KindFor(style);
    std::vector<std::string> argv{"zenity"};
    argv.insert(argv.end(), kind.arguments.begin(), kind.arguments.end());
    argv.push_back("--title=" + Utf8FromUtf16(caption));
    argv.push_back("--text=" + LabelText(text));
    AppendCommon(argv, owner);
    const DialogRun run = runner_(argv);
    if (!run.started || run.exitStatus < 0) return kButtonNone;
    return kind.answer(run);
  }

  std::optional<size_t> Choose(KVWindowHandle owner, std::u16string_view caption, std::u16string_view info,
                               const std::vector<std::u16string>& items) override {
    if (items.empty() || !DisplayPresent()) return std::nullopt;
    std::vector<std::string> argv{"zenity", "--list", "--title=" + Utf8FromUtf16(caption), "--text=" + LabelText(info)};
    AppendCommon(argv, owner);
    for (const char* extra : {"--column=Index", "--column=Device", "--hide-column=1", "--print-column=1"}) {
      argv.emplace_back(extra);
    }
    for (size_t i = 0; i < items.size(); ++i) {
      argv.push_back(std::to_string(i));
      argv.push_back(RowText(items[i]));
    }
    const DialogRun run = runner_(argv);
    if (!run.started || run.exitStatus != 0) return std::nullopt;
    return ParseIndex(run.output, items.size());
  }

 private:
  DialogRunner runner_;
};

}  // namespace

std::unique_ptr<Prompter> MakeZenityPrompter(DialogRunner runner) {
  return std::make_unique<ZenityPrompter>(std::move(runner));
}

}  // namespace kv::bt::bluez
