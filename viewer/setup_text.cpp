#include "setup_text.h"

namespace qs::viewer {
namespace {

// A CR counts as well: setup files written on Windows end their lines with
// CR LF, and the LAUNCH line must be found in them too.
bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && Blank(text[at])) ++at;
  return at;
}

bool WordAt(std::string_view text, std::size_t at, std::string_view word) {
  if (text.substr(at, word.size()) != word) return false;
  // The whole word: "PDF" is no match for "PDFX".
  std::size_t end = at + word.size();
  return end == text.size() || Blank(text[end]) || text[end] == '"';
}

constexpr std::string_view kFileMark = " \\file";

}  // namespace

LaunchSpot FindLaunchLine(std::string_view text, std::string_view notation) {
  LaunchSpot spot;
  if (notation.empty()) return spot;
  for (std::size_t at = text.find("ENTITY"); at != std::string_view::npos;
       at = text.find("ENTITY", at + 1)) {
    std::size_t p = SkipBlanks(text, at + 6);
    if (p == at + 6 || !WordAt(text, p, notation)) continue;
    p = SkipBlanks(text, p + notation.size());
    if (!WordAt(text, p, "LAUNCH")) continue;
    p = SkipBlanks(text, p + 6);
    spot.found = true;
    if (p < text.size() && text[p] == '"') {
      spot.quoted = true;
      spot.open = p + 1;
      std::size_t close = text.find('"', spot.open);
      spot.close = close == std::string_view::npos ? text.size() : close;
    } else {
      spot.open = spot.close = p;
    }
    return spot;
  }
  return spot;
}

std::string ReadLaunchCommand(std::string_view text, std::string_view notation) {
  LaunchSpot spot = FindLaunchLine(text, notation);
  if (!spot.found || !spot.quoted) return {};
  std::string_view command = text.substr(spot.open, spot.close - spot.open);
  std::size_t mark = command.find(kFileMark);
  if (mark != std::string_view::npos) command = command.substr(0, mark);
  return std::string(command);
}

std::optional<std::string> RewriteLaunchCommand(std::string_view text, std::string_view notation,
                                                std::string_view program) {
  if (program.empty() || notation.empty()) return std::nullopt;
  if (program.find_first_of("\"\r\n") != std::string_view::npos) return std::nullopt;
  if (notation.find_first_of(" \t\r\n\"") != std::string_view::npos) return std::nullopt;
  std::string command = "\"" + std::string(program) + std::string(kFileMark) + "\"";
  LaunchSpot spot = FindLaunchLine(text, notation);
  std::string out;
  if (spot.found) {
    std::size_t from = spot.quoted ? spot.open - 1 : spot.open;
    std::size_t to = spot.quoted ? std::min(spot.close + 1, text.size()) : spot.close;
    out.append(text.substr(0, from));
    out.append(command);
    out.append(text.substr(to));
  } else {
    out.append(text);
    out.append("\nENTITY ");
    out.append(notation);
    out.append("\n  LAUNCH ");
    out.append(command);
    out.append("\n");
  }
  return out;
}

std::optional<std::string> FindUrlArgument(std::string_view text) {
  std::size_t open = text.find("<url>");
  if (open == std::string_view::npos) return std::nullopt;
  open += 5;
  std::size_t close = text.find("</url>", open);
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view url = text.substr(open, close - open);
  if (url.substr(0, 6) != "http:/") return std::nullopt;
  return std::string(url);
}

}  // namespace qs::viewer
