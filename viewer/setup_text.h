// The text handling behind the viewer's setup-file and command-line code,
// free of the platform: the LAUNCH line of a notation in the engine's setup
// file, read and rewritten, and the URL of a "<url>" file.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qs::viewer {

// Where a notation's LAUNCH command stands: `found` when an "ENTITY <name>
// LAUNCH" line exists; then the command is text [open, close) and
// `quoted` tells whether it stands between double quotes (`open` is just
// after the opening quote, `close` at the closing one or, without a closing
// quote, the end of the text).
struct LaunchSpot {
  bool found = false;
  bool quoted = false;
  std::size_t open = 0;
  std::size_t close = 0;
};
LaunchSpot FindLaunchLine(std::string_view text, std::string_view notation);

// The notation's command without its trailing " \file"; empty when none.
std::string ReadLaunchCommand(std::string_view text, std::string_view notation);

// The setup text with the notation's command replaced by "<program> \file",
// or a new entry appended when the notation has none. Empty optional when the
// program path cannot stand in a quoted command (a double quote or a line
// end in it) or is empty.
std::optional<std::string> RewriteLaunchCommand(std::string_view text, std::string_view notation,
                                                std::string_view program);

// The URL between "<url>" and "</url>" when it begins with "http:/".
std::optional<std::string> FindUrlArgument(std::string_view text);

}  // namespace qs::viewer
