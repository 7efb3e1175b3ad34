// The lines of the viewer's message window, free of the platform: the texts
// of the engine's message numbers filled with their arguments, and the line
// shown for one report.
#pragma once
#include <cstdint>
#include <string>

namespace qs::viewer {

inline constexpr int kMessageTextCount = 119;
inline constexpr int kMessageLimit = 100;
inline constexpr char kTooManyMessages[] = "To many warnings/errors";

// The text of `number` with its arguments in place of "%s" (a text, or
// nothing for 0) and "%d" (a number); each argument text counts at most
// 512 bytes. A number outside the table gives "Message <number>".
std::string FormatEngineMessage(int number, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3);

// "Error: <text>" or "Warning: <text>", with " (<name>)" when the file name
// holds a separator before its last character.
std::string MessageLine(const std::string& fileName, int severity, const std::string& text);

}  // namespace qs::viewer
