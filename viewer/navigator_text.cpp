#include "navigator_text.h"

#include <algorithm>
#include <cstdlib>

namespace qs::viewer {

std::string EntryText(const std::string& body, const std::string& title,
                      const std::string& qualifier) {
  std::string text = title.empty() ? body : body + ": " + title;
  if (!qualifier.empty()) text += " [" + qualifier + "]";
  return text;
}

namespace {

// The engine trims every control character and space around a title path:
// the same set here, so that the editor finds the entry the engine would.
bool Blank(char c) { return c != 0 && static_cast<unsigned char>(c) <= 32; }

std::string Trimmed(const std::string& text) {
  std::size_t from = 0, to = text.size();
  while (from < to && Blank(text[from])) ++from;
  while (to > from && Blank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

}  // namespace

void SplitEntryText(const std::string& typed, std::string* body, std::string* title) {
  const std::string text = typed.substr(0, kMaxEntryText);
  const std::size_t colon = text.find(':');
  *body = Trimmed(text.substr(0, colon));
  title->clear();
  if (colon == std::string::npos) return;
  *title = Trimmed(text.substr(colon + 1));
}

std::vector<std::string> EntryCandidates(const std::vector<std::string>& names) {
  std::vector<std::string> candidates;
  if (names.empty()) return candidates;
  candidates.push_back(names[0]);
  const std::size_t ancestors =
      std::min<std::size_t>(names.size() - 1, static_cast<std::size_t>(kMaxEntryAncestors));
  for (std::size_t i = 1; i <= ancestors; ++i) {
    std::string candidate = names[i] + ": ";
    for (std::size_t j = i - 1; j >= 1; --j) candidate += names[j] + ",";
    candidates.push_back(candidate + names[0]);
  }
  return candidates;
}

std::string ScaleFieldText(int value) { return value ? std::to_string(value) : std::string(); }

int ScaleFieldValue(const std::string& text) {
  const std::string field = text.substr(0, kMaxScaleField);
  return static_cast<int>(std::strtol(field.c_str(), nullptr, 10));
}

}  // namespace qs::viewer
