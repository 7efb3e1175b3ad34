// The texts of the style sheet editor: its 53 property lines, their groups
// and the values each offers, the tag contexts of an element, the rules of
// a sheet as the reader picks them, and the texts of its prompts (numbers,
// shadow offsets, colours).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qs::viewer {

inline constexpr int kSheetRows = 3;
inline constexpr int kSheetColumns = 33;
inline constexpr int kSheetProperties = 53;
// Popup ids are property × kMenuIdsPerProperty + choice + 1: a cancelled
// menu answers 0, which no choice may have.
inline constexpr int kMenuIdsPerProperty = 50;
inline constexpr int kOccurrenceCount = 7;
// The most characters a prompt's text and a context take.
inline constexpr std::size_t kMaxSheetText = 511;

enum class ValueKind { kList, kText, kNumber, kSignedNumber, kFontFamily, kColour, kShadow };

struct SheetProperty {
  const char* name;
  int row;
  int column;
};
struct PropertyGroup {
  const char* name;
  int first;
  int count;
};
struct ValueChoice {
  const char* label;
  const char* stored;  // empty: the cell is cleared
};
struct ColumnValues {
  ValueKind kind;
  std::vector<ValueChoice> choices;
  int cleared;  // the choice an empty cell shows
};

const SheetProperty& PropertyAt(int property);
const std::vector<PropertyGroup>& PropertyGroups();
const ColumnValues& ValuesOf(int column);
const char* OccurrenceName(int occurrence);

// A popup id for a property's choice, and back (false for 0 or an id
// naming no choice).
int ChoiceMenuId(int property, int choice);
bool SplitChoiceMenuId(int id, int* property, int* choice);

// What a line shows for a cell (`cell` null or empty: unset): the cleared
// choice's label, not bold; a list kind's matching label (case ignored),
// "<unknown>" when none matches; any other kind's text.
std::string CellLabel(int column, const char* cell, bool* bold);

// The contexts an element offers: `names` holds the element's name and
// then its ancestors', from the parent up. With a notation (a graphic
// entity's) and an element name not beginning with '#', "#NOTATION" and
// "ELEMENT,#NOTATION" come first instead of the name; each ancestor then
// joins the previous entry in front: E, "P,E", "G,P,E".
std::vector<std::string> TagContexts(const std::vector<std::string>& names,
                                     const std::string& notation = std::string());
// The contexts of the parent element: each entry cut before its last ',',
// entries without one dropped; `selected` moves to the entry before it.
std::vector<std::string> ParentContexts(const std::vector<std::string>& contexts, int* selected);

// A rule as QsEnumStyleTags names it ("F:A,B") as the reader sees it
// ("First A,B"; "A,B" for occurrence All), and a picked text back into
// occurrence and context (a leading occurrence name and blank, else All).
std::string RuleListText(const std::string& enumerated);
void SplitRuleText(const std::string& text, std::string* context, int* occurrence);

// A number prompt's text: blanks, digits and blanks; a signed one may put
// '+' or '-', either followed by '=', before the digits. All blanks (or
// nothing) is accepted and clears the cell.
bool IsNumberPromptText(const std::string& text, bool isSigned);

// A stored colour as red, green and blue: '#' and six hexadecimal digits,
// or a named colour (blanks gone, GREY read as GRAY, case ignored); any
// other text is black. And the text a chosen colour is stored as.
void ColourOfText(const char* text, std::uint8_t rgb[3]);
std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// The shadow prompt's two entries (0-14, entry i meaning i - 7) for a stored
// text: its first two optionally signed numbers, kept within -7..7; both 7
// ("None") when it holds fewer than two. And the text two entries give.
void ShadowEntries(const char* text, int* horizontal, int* vertical);
std::string ShadowText(int horizontal, int vertical);
std::string ShadowEntryLabel(int entry);

}  // namespace qs::viewer
