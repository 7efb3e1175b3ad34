// The viewer's searches free of the platform: the texts and query suffixes
// of the "Text Search" and "Parts-List Search" dialogs, the queries they send
// the engine, their histories, the status bar's hit count and the size of
// the figure window's overview.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qs::viewer {

// Search flags as the engine's QsSearch takes them.
inline constexpr std::uint32_t kSearchCaseSensitive = 0x01;
inline constexpr std::uint32_t kSearchPatterns = 0x02;
inline constexpr std::uint32_t kSearchLiteral = 0x08;
inline constexpr std::uint32_t kSearchMatchBits = 0x60;

// The longest text either dialog reads from a box, and the history's length.
inline constexpr int kSearchTextMax = 255;
inline constexpr std::size_t kSearchHistoryLimit = 16;

// "Anywhere", "Prefix", "Suffix", "Word": match mode i sets the bits i * 32.
inline constexpr int kMatchModeCount = 4;
extern const char* const kMatchModeNames[kMatchModeCount];
inline std::uint32_t MatchModeBits(int mode) {
  return mode >= 0 && mode < kMatchModeCount ? static_cast<std::uint32_t>(mode) * 32 : 0;
}

// The "Search In:" texts of the text search and the scope each adds.
inline constexpr int kSearchInCount = 8;
inline constexpr int kSearchInEntireDocument = 0;
extern const char* const kSearchInNames[kSearchInCount];
extern const char* const kSearchInSuffixes[kSearchInCount];

// The parts search's columns and the scope each adds.
inline constexpr int kPartsColumnCount = 4;
extern const char* const kPartsColumnNames[kPartsColumnCount];
extern const char* const kPartsColumnSuffixes[kPartsColumnCount];

// The index of the name equal to `text` with case ignored, else -1.
int FindSearchName(const char* const* names, int count, const std::string& text);

// The text as a run of quoted words that the query parser reads as one
// search text (its words joined by single blanks) whatever the words hold:
// each word in double quotes, one holding '"' in single quotes, one holding
// both split into adjacent pieces. Empty when the text has no word.
std::string QuoteSearchWords(const std::string& text);

struct SearchQuery {
  std::string text;  // empty: nothing to search
  std::uint32_t flags = 0;
};

// The text search: `flags` holds the case, pattern and match bits.
// Markup based: the text as typed is a query. Otherwise the text is text:
// over the entire document one literal search (flag 8), in a scope the
// quoted words in that scope's elements.
SearchQuery BuildStringQuery(const std::string& text, std::uint32_t flags, bool markupBased,
                             int searchIn);
// The parts search: the quoted words in the column's elements, the match
// mode's bits.
SearchQuery BuildPartsQuery(const std::string& text, int matchMode, int column);

// Search texts, most recent first, at most 16: a text already there (case
// counts) moves to the front, else the oldest goes when it is full.
class SearchHistory {
 public:
  void Add(const std::string& text);
  // Stored values "SEARCH0".."SEARCH15" by number (missing ones empty):
  // added from the last to the first, so number 0 ends up first.
  void Load(const std::vector<std::string>& values);
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// The text a search started from a document window's selection offers
// first: from after any leading CR and LF up to the next line end.
std::string PrefillText(const std::string& selection);

// The status bar's hit count: "1 hit", "%d hits", "" for none.
std::string HitCountText(int hits);

// The overview of a picture whose event gave the sizes a (vertical) and b
// (horizontal): the longer side 192 pixels, the other in proportion; a
// size of 0 or below keeps the previous overview.
struct OverviewSize {
  int width = 256;
  int height = 256;
};
inline constexpr int kOverviewSide = 192;
OverviewSize OverviewSizeFor(std::int32_t a, std::int32_t b, OverviewSize previous);

}  // namespace qs::viewer
