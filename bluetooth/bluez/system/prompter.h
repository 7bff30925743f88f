// prompter.h: message boxes and the device list shown to the user on Linux. The setup's prompts all go
// through here; the implementation runs zenity when a display is present. Nothing here ever reads
// the host's standard input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KorvantaSDK.h"

namespace kv::bt::bluez {

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A modal message box of a style of platform.h (kStyle...): the button pressed (kButton...), or
  // kButtonNone when no box could be shown.
  virtual int32_t Ask(KVWindowHandle owner, std::u16string_view text, std::u16string_view caption,
                      uint32_t style) = 0;
  // A modal list of items: the index chosen, std::nullopt on Cancel or when no list could be shown.
  virtual std::optional<size_t> Choose(KVWindowHandle owner, std::u16string_view caption, std::u16string_view info,
                                       const std::vector<std::u16string>& items) = 0;
};

// What running a dialog program gave: whether it started, its exit status and its standard output.
struct DialogRun {
  bool started = false;
  int exitStatus = -1;
  std::string output;
};
// Runs argv[0] (looked up in PATH) with standard input from /dev/null and waits for it.
using DialogRunner = std::function<DialogRun(const std::vector<std::string>& argv)>;
DialogRun RunDialogProgram(const std::vector<std::string>& argv);

// zenity boxes; a display is "present" when DISPLAY or WAYLAND_DISPLAY is set and not empty. Without
// one, Ask answers kButtonNone and Choose std::nullopt, and nothing is started.
std::unique_ptr<Prompter> MakeZenityPrompter(DialogRunner runner = RunDialogProgram);

}  // namespace kv::bt::bluez
