// The Unicode tables file "qsunicde.dat" (line-break classes and the
// double-byte tables of the East Asian decoders) and the built-in Unicode
// data: case folding, word characters and the UTF-8 helpers that go with
// them. The tables are process-wide and shared by every decoder.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

constexpr const char* kUnicodeTablesFileName = "qsunicde.dat";
constexpr std::uint32_t kUnicodeTablesMagic = 0x01020304;

// Section ids and their exact sizes.
enum : std::uint32_t {
  kSectionClassIndex = 0x11, kClassIndexSize = 0x101,
  kSectionClassPages = 0x21, kClassPagesSize = 0xE00,
  kSectionShiftJis = 0x32, kShiftJisSize = 0x4680,
  kSectionGb2312 = 0x42, kGb2312Size = 0x4680,
  kSectionBig5 = 0x52, kBig5Size = 0x75C0,
};
constexpr int kClassPageCount = 28;

// The header and directory of a tables file.
class UnicodeFile {
 public:
  UnicodeFile() = default;
  ~UnicodeFile();
  UnicodeFile(const UnicodeFile&) = delete;
  UnicodeFile& operator=(const UnicodeFile&) = delete;

  // Reads the header and directory. A missing file is reported as engine
  // error 3 "Fatal: Can't open file '%s'" with the path (the thread goes
  // on) and leaves the file without sections; a wrong magic or a section
  // count outside 1-32 leaves it without sections too.
  void Open(const char* path);
  void Close();
  // Fills `buffer` (allocated with MemAlloc when null) with the section, or
  // returns null when the directory lacks the id with exactly that size or
  // the file cannot give all its bytes; a buffer allocated here is then
  // freed again.
  void* ReadSection(std::uint32_t id, std::uint32_t size, void* buffer) const;
  int SectionCount() const { return count_; }

 private:
  struct Entry {
    std::uint32_t id, offset, size;
  };
  char* path_ = nullptr;
  int count_ = 0;
  Entry entries_[32] = {};
};

// Reference-counted: the first load opens `path` and reads the class
// sections; the last free closes the file and drops every loaded table.
void LoadUnicodeTables(const char* path);
void FreeUnicodeTables();
// The engine's tables file: loaded (as LoadUnicodeTables) when a double-byte
// table or a line-break class is first asked for, so a missing file is
// reported when text needs it; Clear frees what was loaded for it.
void SetEngineTablesPath(const char* path);
void ClearEngineTablesPath();
// Where the engine keeps the tables file: the folder of the setup file, or,
// when none is set, the home folder. Writes the path into `out` and returns
// it; a path longer than `capacity` gives "".
char* UnicodeTablesPath(const char* setupFile, const char* home, char* out, std::size_t capacity);

// The double-byte tables, read from the tables file the first time a
// decoder asks; a table whose section is missing or wrongly sized stays all
// zeros (every code without a character). Never null.
const std::uint16_t* ShiftJisTable();  // [trail index 0-187][lead index 0-46], 48 a row
const std::uint16_t* Gb2312Table();    // [trail - 0xA1][lead - 0xA1], 96 a row
const std::uint16_t* Big5Table();      // [trail index 0-156][lead - 0xA1], 96 a row
// ISO-8859-2 to 9 (part 2-9): the code point of each byte 0x80-0xFF, 0 where
// the part has none.
const std::uint16_t* Iso8859Table(int part);

// The 4-bit line-break class of a code point (0 above U+FFFF): 1 ordinary,
// 2 blank, 3 opening, 4 binding; other classes stand alone.
int LineBreakClass(char32_t cp);
// The classes of the 256 code points whose high byte is `high`, two to a
// byte (the odd code point in the high half), as LineBreakClass reads them.
const std::uint8_t* LineBreakClassPage(int high);
// LineBreakClass for the characters of one text in turn, U+0000-U+00FF
// without a call each. Made for the text: the page is the tables' as they
// are when it is made.
class LineBreakClasses {
 public:
  LineBreakClasses() : latin_(LineBreakClassPage(0)) {}
  int Of(char32_t cp) const {
    if (cp > 0xFF) return LineBreakClass(cp);
    const std::uint8_t b = latin_[cp >> 1];
    return (cp & 1) ? b >> 4 : b & 0x0F;
  }

 private:
  const std::uint8_t* latin_;
};
// Whether a code point counts as part of a word in whole-word searches
// (false above U+FFFF).
bool IsWordChar(char32_t cp);
// The case-folded unit of a UTF-16 unit (the unit itself when it has none).
char16_t FoldCaseUnit(char16_t unit);

// A new engine-heap UTF-16 string of `text` with a terminating 0; its unit
// count goes to *count. With `fold`, every unit is case-folded. Malformed
// UTF-8 gives U+FFFD. Null when memory runs out.
char16_t* Utf8ToUtf16(const char* text, std::size_t* count, bool fold);
// Writes a code point in 1 to 6 UTF-8 bytes (5 and 6 for code points up to
// 0x7FFFFFFF; larger values as U+FFFD); returns the count.
int PutUtf8(std::uint32_t cp, char* dest);

}  // namespace qs
