#include "search_text.h"

#include <cctype>

#include "document_text.h"

namespace qs::viewer {

const char* const kMatchModeNames[kMatchModeCount] = {"Anywhere", "Prefix", "Suffix", "Word"};

const char* const kSearchInNames[kSearchInCount] = {
    "Entire Document", "Figures", "Headings", "Legal Notes",
    "Links",           "Notes",   "Parts List", "Tables"};
const char* const kSearchInSuffixes[kSearchInCount] = {
    " in <SVCDOC>", " in <CAP>",  " in <TTL>",  " in <LEGAL>", " in <XREF>",
    " in <NOTE>",   " in <TABLE TYPE = \"PARTS\">", " in <TABLE>"};

const char* const kPartsColumnNames[kPartsColumnCount] = {
    "Entire Parts List", "Reference No.", "Parts No.", "Parts Description"};
const char* const kPartsColumnSuffixes[kPartsColumnCount] = {
    "in <TABLE TYPE = \"PARTS\">", "in <ENTRY TYPE = \"RNO\">", "in <ENTRY TYPE = \"PNO\">",
    "in <ENTRY TYPE = \"PNM\">"};

namespace {

bool SameNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return i == a.size() && !b[i];
}

// The query parser's blanks: every byte from 1 to 32.
bool IsBlank(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

void AppendQuoted(std::string& out, const std::string& piece) {
  char quote = piece.find('"') == std::string::npos ? '"' : '\'';
  out += quote;
  out += piece;
  out += quote;
}

// A word in pieces of which none holds both quote marks; adjacent quoted
// pieces (no blank between them) join into one word again.
void AppendWord(std::string& out, const std::string& word) {
  std::string piece;
  bool dq = false, sq = false;
  for (char c : word) {
    bool d = c == '"', s = c == '\'';
    if ((d && sq) || (s && dq)) {
      AppendQuoted(out, piece);
      piece.clear();
      dq = sq = false;
    }
    piece += c;
    dq = dq || d;
    sq = sq || s;
  }
  AppendQuoted(out, piece);
}

}  // namespace

int FindSearchName(const char* const* names, int count, const std::string& text) {
  for (int i = 0; i < count; ++i)
    if (SameNoCase(text, names[i])) return i;
  return -1;
}

std::string QuoteSearchWords(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (IsBlank(text[i]) || text[i] == 0)) ++i;
    std::size_t start = i;
    while (i < text.size() && !IsBlank(text[i]) && text[i] != 0) ++i;
    if (i == start) break;
    if (!out.empty()) out += ' ';
    AppendWord(out, text.substr(start, i - start));
  }
  return out;
}

SearchQuery BuildStringQuery(const std::string& text, std::uint32_t flags, bool markupBased,
                             int searchIn) {
  SearchQuery query;
  query.flags = flags & (kSearchCaseSensitive | kSearchPatterns | kSearchMatchBits);
  if (text.empty()) return query;
  if (markupBased) {
    query.text = text;
  } else if (searchIn < 0 || searchIn >= kSearchInCount || searchIn == kSearchInEntireDocument) {
    // The root of a service manual holds all its text: no scope needed,
    // and none that would find nothing in another document type.
    query.text = text;
    query.flags |= kSearchLiteral;
  } else {
    std::string words = QuoteSearchWords(text);
    if (!words.empty()) query.text = words + kSearchInSuffixes[searchIn];
  }
  return query;
}

SearchQuery BuildPartsQuery(const std::string& text, int matchMode, int column) {
  SearchQuery query;
  query.flags = MatchModeBits(matchMode);
  if (column < 0 || column >= kPartsColumnCount) column = 0;
  std::string words = QuoteSearchWords(text);
  if (!words.empty()) query.text = words + " " + kPartsColumnSuffixes[column];
  return query;
}

void SearchHistory::Add(const std::string& text) { AddToFront(entries_, text, kSearchHistoryLimit); }

void SearchHistory::Load(const std::vector<std::string>& values) {
  for (std::size_t n = values.size(); n-- > 0;)
    if (!values[n].empty()) Add(values[n]);
}

std::string PrefillText(const std::string& selection) {
  std::size_t from = selection.find_first_not_of("\r\n");
  if (from == std::string::npos) return "";
  std::size_t to = selection.find_first_of("\r\n", from);
  return selection.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::string HitCountText(int hits) {
  if (hits <= 0) return "";
  if (hits == 1) return "1 hit";
  return std::to_string(hits) + " hits";
}

OverviewSize OverviewSizeFor(std::int32_t a, std::int32_t b, OverviewSize previous) {
  if (a <= 0 || b <= 0) return previous;
  std::int64_t side = kOverviewSide;
  OverviewSize size;
  if (b <= a) {
    size.width = static_cast<int>(b * side / a);
    size.height = kOverviewSide;
  } else {
    size.width = kOverviewSide;
    size.height = static_cast<int>(a * side / b);
  }
  return size;
}

}  // namespace qs::viewer
