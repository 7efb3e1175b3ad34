// The texts of the navigator editor: an entry as the reader sees it and
// types it ("BODY: TITLE,PATH"), the candidates an element offers for its
// ancestors, and the font-size fields.
#pragma once
#include <string>
#include <vector>

namespace qs::viewer {

// The most ancestors an element offers entries for.
inline constexpr int kMaxEntryAncestors = 47;
// The most characters of a typed entry and of a scale field.
inline constexpr std::size_t kMaxEntryText = 511;
inline constexpr std::size_t kMaxScaleField = 14;

// "body: title" (the title path given), else "body"; an entry with a
// qualifier of its own shows it in brackets after that.
std::string EntryText(const std::string& body, const std::string& title,
                      const std::string& qualifier = std::string());

// A typed entry split at its first ':' into the body element and the
// title path; blanks around each go, and an empty path is none.
void SplitEntryText(const std::string& text, std::string* body, std::string* title);

// The candidates of an element whose name comes first in `names`, followed
// by its ancestors' names from the parent up: its own name, then for each
// ancestor "ANCESTOR: " and the names below it down to the element, joined
// by ','.
std::vector<std::string> EntryCandidates(const std::vector<std::string>& names);

// A scale value as its field shows it: empty for 0.
std::string ScaleFieldText(int value);
// A field's value: its first characters as a decimal number, 0 when empty
// or not a number.
int ScaleFieldValue(const std::string& text);

}  // namespace qs::viewer
