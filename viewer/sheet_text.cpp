#include "sheet_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "style/color_names.h"

namespace qs::viewer {

namespace {

constexpr SheetProperty kProperties[kSheetProperties] = {
    // Content
    {"Font Family", 1, 6}, {"Font Size", 1, 7}, {"Font Slant", 1, 8}, {"Font Weight", 1, 9},
    {"Font Color", 1, 10}, {"Font Scale", 1, 11}, {"Font Shadow", 1, 12},
    {"Shadow Color", 1, 13}, {"Position", 1, 3}, {"Visibility", 1, 0},
    // Paragraph
    {"Justify", 1, 4}, {"Leading", 1, 22}, {"Break", 1, 5}, {"Space Above", 1, 17},
    {"Space Left", 1, 18}, {"Left Indent", 1, 19}, {"Space Right", 1, 20},
    {"Space Below", 1, 21},
    // Before
    {"Text Before", 0, 2}, {"Before Font Family", 0, 6}, {"Before Font Size", 0, 7},
    {"Before Font Slant", 0, 8}, {"Before Font Weight", 0, 9}, {"Before Font Color", 0, 10},
    {"Before Font Scale", 0, 11}, {"Before Font Shadow", 0, 12},
    {"Before Shadow Color", 0, 13}, {"Before Position", 0, 3}, {"Rule Before", 0, 27},
    // After
    {"Text After", 2, 2}, {"After Font Family", 2, 6}, {"After Font Size", 2, 7},
    {"After Font Slant", 2, 8}, {"After Font Weight", 2, 9}, {"After Font Color", 2, 10},
    {"After Font Scale", 2, 11}, {"After Font Shadow", 2, 12},
    {"After Shadow Color", 2, 13}, {"After Position", 2, 3}, {"Rule After", 2, 27},
    // Special
    {"Icon", 1, 1}, {"Table", 1, 23}, {"Math", 1, 24}, {"Line", 1, 30},
    {"Change Bar", 1, 31}, {"Link Source", 1, 28}, {"Link Destination", 1, 29},
    // Misc
    {"Background", 1, 14}, {"Autonumber", 1, 15}, {"Autonumber Type", 1, 16},
    {"Printer Form Feed", 1, 25}, {"Printer Header", 1, 26}, {"Widget", 1, 32},
};

const char* const kOccurrences[kOccurrenceCount] = {"All",       "First",      "Middle",  "Last",
                                                    "Non-First", "Non-Middle", "Non-Last"};
const char kOccurrenceLetters[] = "AFMLfml";

ColumnValues Prompt(ValueKind kind, const char* cleared) {
  return {kind, {{cleared, ""}, {"Specify...", ""}}, 0};
}

std::vector<ColumnValues> MakeColumns() {
  using K = ValueKind;
  std::vector<ColumnValues> c(kSheetColumns);
  c[0] = {K::kList, {{"Inherit", ""}, {"Hide", "HIDE"}, {"Show", "SHOW"}, {"Query", "QUERY"}}, 0};
  c[1] = {K::kList, {{"None", ""}}, 0};
  c[2] = Prompt(K::kText, "None");
  c[3] = {K::kList, {}, 7};
  static const char* const kOffsets[] = {"-7", "-6", "-5", "-4", "-3", "-2", "-1", "",
                                         "1",  "2",  "3",  "4",  "5",  "6",  "7"};
  static const char* const kOffsetLabels[] = {"-70%", "-60%", "-50%", "-40%", "-30%",
                                              "-20%", "-10%", "Baseline", "10%", "20%",
                                              "30%",  "40%",  "50%",  "60%",  "70%"};
  for (int i = 0; i < 15; ++i) c[3].choices.push_back({kOffsetLabels[i], kOffsets[i]});
  c[4] = {K::kList, {{"Inherit", ""}, {"Left", "LEFT"}, {"Center", "CENTER"}, {"Right", "RIGHT"}}, 0};
  // "Block" is what an unset cell means; choosing it clears the cell.
  c[5] = {K::kList, {{"Block", ""}, {"Before", "BEFORE"}, {"After", "AFTER"}, {"Inline", "INLINE"}}, 0};
  c[6] = Prompt(K::kFontFamily, "Inherit");
  c[7] = c[11] = c[22] = Prompt(K::kNumber, "Inherit");
  c[8] = {K::kList, {{"Inherit", ""}, {"Roman", "ROMAN"}, {"Italic", "ITALIC"}, {"Emphas", "EMPHAS"}}, 0};
  c[9] = {K::kList, {{"Inherit", ""}, {"Medium", "MEDIUM"}, {"Bold", "BOLD"}}, 0};
  c[10] = c[13] = Prompt(K::kColour, "Inherit");
  c[12] = Prompt(K::kShadow, "Inherit");
  c[14] = Prompt(K::kText, "Inherit");
  c[15] = {K::kList,
           {{"None", ""}, {"Linear", "LINEAR"}, {"Hierarchical Begin", "HZERO"},
            {"Hierarchical Block", "HBLOCK"}, {"Hierarchical Item", "HITEM"}},
           0};
  // Each label names the case it numbers with.
  c[16] = {K::kList,
           {{"1, 2, 3", ""}, {"a, b, c", "ALPHA-LW"}, {"A, B, C", "ALPHA-UP"},
            {"i, ii, iii", "ROMAN-LW"}, {"I, II, III", "ROMAN-UP"}, {"Binary (Misc 1)", "MISC1"},
            {"Octal (Misc 2)", "MISC2"}, {"Hexadecimal (Misc 3)", "MISC3"}},
           0};
  c[17] = c[21] = Prompt(K::kNumber, "0");
  c[18] = c[19] = c[20] = Prompt(K::kSignedNumber, "Inherit");
  c[23] = {K::kList,
           {{"None", ""}, {"Table", "TBL"}, {"Table (No Grid)", "TBL-NL"}, {"CALS Table", "TBL-CALS"},
            {"Row", "ROW"}, {"Cell(*)", "CELL"}, {"Cell(1)", "CELL-1"}, {"Cell(2)", "CELL-2"},
            {"Cell(3)", "CELL-3"}, {"Cell(4)", "CELL-4"}, {"Cell(5)", "CELL-5"}, {"Cell(6)", "CELL-6"},
            {"Cell(7)", "CELL-7"}, {"SQ-Cell", "SQ-TBLCELL"}},
           0};
  c[24] = {K::kList,
           {{"None", ""}, {"Fraction", "FRACTION"}, {"Radical", "RADICAL"}, {"Radix", "RADIX"},
            {"Superior", "SUPERIOR"}, {"Inferior", "INFERIOR"}, {"Above", "ABOVE"}, {"Below", "BELOW"}},
           0};
  // "No" is what an unset cell means.
  c[25] = c[31] = {K::kList, {{"Yes", "YES"}, {"No", ""}}, 1};
  c[26] = {K::kList,
           {{"None", ""}, {"1st Header", "HEAD-1"}, {"Header", "HEAD"}, {"Left Header", "LHEAD"},
            {"Middle Header", "MHEAD"}, {"Right Header", "RHEAD"}, {"1st Footer", "FOOT-1"},
            {"Footer", "FOOT"}, {"Left Footer", "LFOOT"}, {"Middle Footer", "MFOOT"},
            {"Right Footer", "RFOOT"}},
           0};
  c[27] = Prompt(K::kNumber, "No");
  c[28] = c[29] = {K::kList, {{"Inherit", ""}, {"Show", "SHOW"}, {"Suppress", "SUPPRESS"}}, 0};
  c[30] = {K::kList, {{"Inherit", ""}, {"Over", "OVER"}, {"Through", "THROUGH"}, {"Below", "BELOW"}}, 0};
  c[32] = Prompt(K::kText, "None");
  return c;
}

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

const SheetProperty& PropertyAt(int property) {
  return kProperties[std::clamp(property, 0, kSheetProperties - 1)];
}

const std::vector<PropertyGroup>& PropertyGroups() {
  static const std::vector<PropertyGroup> groups = {
      {"Content", 0, 10}, {"Paragraph", 10, 8}, {"Before", 18, 11}, {"After", 29, 11},
      {"Special", 40, 7}, {"Misc", 47, 6},      {"All", 0, 53}};
  return groups;
}

const ColumnValues& ValuesOf(int column) {
  static const std::vector<ColumnValues> columns = MakeColumns();
  return columns[static_cast<std::size_t>(std::clamp(column, 0, kSheetColumns - 1))];
}

const char* OccurrenceName(int occurrence) {
  return occurrence >= 0 && occurrence < kOccurrenceCount ? kOccurrences[occurrence] : kOccurrences[0];
}

int ChoiceMenuId(int property, int choice) { return property * kMenuIdsPerProperty + choice + 1; }

bool SplitChoiceMenuId(int id, int* property, int* choice) {
  if (id <= 0) return false;
  const int p = (id - 1) / kMenuIdsPerProperty, i = (id - 1) % kMenuIdsPerProperty;
  if (p >= kSheetProperties) return false;
  if (i >= static_cast<int>(ValuesOf(PropertyAt(p).column).choices.size())) return false;
  *property = p;
  *choice = i;
  return true;
}

std::string CellLabel(int column, const char* cell, bool* bold) {
  const ColumnValues& values = ValuesOf(column);
  *bold = cell && *cell;
  if (!*bold) return values.choices[static_cast<std::size_t>(values.cleared)].label;
  // An icon is named, not chosen from a list.
  if (values.kind != ValueKind::kList || column == 1) return cell;
  for (const ValueChoice& c : values.choices)
    if (*c.stored && EqualNoCase(c.stored, cell)) return c.label;
  return "<unknown>";
}

std::vector<std::string> TagContexts(const std::vector<std::string>& names,
                                     const std::string& notation) {
  std::vector<std::string> contexts;
  if (names.empty()) return contexts;
  if (!notation.empty() && names[0][0] != '#') {
    contexts.push_back("#" + notation);
    contexts.push_back(names[0] + ",#" + notation);
  } else {
    contexts.push_back(names[0]);
  }
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string next = names[i] + "," + contexts.back();
    if (next.size() > kMaxSheetText) break;
    contexts.push_back(next);
  }
  return contexts;
}

std::vector<std::string> ParentContexts(const std::vector<std::string>& contexts, int* selected) {
  std::vector<std::string> parents;
  for (const std::string& c : contexts) {
    const std::size_t comma = c.rfind(',');
    if (comma != std::string::npos) parents.push_back(c.substr(0, comma));
  }
  *selected = std::clamp(*selected - 1, 0, std::max(0, static_cast<int>(parents.size()) - 1));
  return parents;
}

std::string RuleListText(const std::string& enumerated) {
  if (enumerated.size() < 2 || enumerated[1] != ':') return enumerated;
  const char* letter = std::strchr(kOccurrenceLetters, enumerated[0]);
  const std::string tags = enumerated.substr(2);
  if (!letter || !*letter) return tags;
  const int occurrence = static_cast<int>(letter - kOccurrenceLetters);
  return occurrence == 0 ? tags : std::string(kOccurrences[occurrence]) + " " + tags;
}

void SplitRuleText(const std::string& text, std::string* context, int* occurrence) {
  *occurrence = 0;
  *context = text.substr(0, kMaxSheetText);
  for (int o = 1; o < kOccurrenceCount; ++o) {
    const std::string prefix = std::string(kOccurrences[o]) + " ";
    if (context->compare(0, prefix.size(), prefix) == 0) {
      *occurrence = o;
      context->erase(0, prefix.size());
      return;
    }
  }
}

bool IsNumberPromptText(const std::string& text, bool isSigned) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i == text.size()) return true;
  if (isSigned && (text[i] == '+' || text[i] == '-')) {
    ++i;
    if (i < text.size() && text[i] == '=') ++i;
  }
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == digits) return false;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i == text.size();
}

void ColourOfText(const char* text, std::uint8_t rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 0;
  if (!text) return;
  std::string name;
  for (const char* p = text; *p && name.size() < kMaxSheetText; ++p)
    if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  for (std::size_t at = name.find("GREY"); at != std::string::npos; at = name.find("GREY", at))
    name[at + 2] = 'A';
  if (name.size() == 7 && name[0] == '#') {
    std::uint8_t value[3];
    for (int i = 0; i < 3; ++i) {
      int byte = 0;
      for (int k = 1; k <= 2; ++k) {
        const char c = name[static_cast<std::size_t>(i * 2 + k)];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return;
        byte = byte * 16 + digit;
      }
      value[i] = static_cast<std::uint8_t>(byte);
    }
    std::copy(value, value + 3, rgb);
    return;
  }
  for (const NamedColor& c : kNamedColors) {
    if (name != c.name) continue;
    rgb[0] = static_cast<std::uint8_t>(c.rgb >> 16);
    rgb[1] = static_cast<std::uint8_t>(c.rgb >> 8);
    rgb[2] = static_cast<std::uint8_t>(c.rgb);
    return;
  }
}

std::string ColourText(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", red, green, blue);
  return text;
}

void ShadowEntries(const char* text, int* horizontal, int* vertical) {
  *horizontal = *vertical = 7;
  int numbers[2] = {0, 0}, found = 0;
  for (const char* p = text ? text : ""; *p && found < 2;) {
    if (IsBlank(*p)) {
      ++p;
      continue;
    }
    bool negative = false;
    const char* q = p;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (*q < '0' || *q > '9') return;
    long value = 0;
    for (; *q >= '0' && *q <= '9'; ++q) value = std::min(value * 10 + (*q - '0'), 100L);
    numbers[found++] = static_cast<int>(negative ? -value : value);
    p = q;
  }
  if (found < 2) return;
  *horizontal = std::clamp(numbers[0], -7, 7) + 7;
  *vertical = std::clamp(numbers[1], -7, 7) + 7;
}

std::string ShadowText(int horizontal, int vertical) {
  return std::to_string(std::clamp(horizontal, 0, 14) - 7) + " " +
         std::to_string(std::clamp(vertical, 0, 14) - 7);
}

std::string ShadowEntryLabel(int entry) {
  const int offset = std::clamp(entry, 0, 14) - 7;
  if (offset == 0) return "None";
  return offset > 0 ? "+" + std::to_string(offset) : std::to_string(offset);
}

}  // namespace qs::viewer
