#include "sgml/unicode_tables.h"

#include <cstring>

#include "foundation/engine_services.h"
#include "foundation/file.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/utf8.h"

namespace qs {

namespace {

#include "sgml/unicode_pages.inc"

std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

// The tables live in static storage, so a decoder always finds a table, and
// one that was never read or could not be read holds only zeros.
struct DoubleByteTable {
  std::uint32_t section;
  std::uint32_t size;
  bool tried;
  std::uint16_t* units;
};
std::uint16_t g_sjisUnits[kShiftJisSize / 2];
std::uint16_t g_gbUnits[kGb2312Size / 2];
std::uint16_t g_big5Units[kBig5Size / 2];
DoubleByteTable g_sjis = {kSectionShiftJis, kShiftJisSize, false, g_sjisUnits};
DoubleByteTable g_gb = {kSectionGb2312, kGb2312Size, false, g_gbUnits};
DoubleByteTable g_big5 = {kSectionBig5, kBig5Size, false, g_big5Units};

std::uint8_t g_classPages[kClassPageCount][128];
const std::uint8_t g_zeroPage[128] = {};
const std::uint8_t* g_classPageOf[256];
const std::uint16_t* g_casePageOf[256];
const std::uint8_t* g_wordPageOf[256];
const std::uint16_t g_noCasePage[256] = {};
// High bytes without a built-in page count every code point as a word
// character (ideographs, Hangul and letters of the other scripts).
const std::uint8_t g_allWordPage[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

int g_loadCount = 0;
UnicodeFile g_file;

void SetBuiltInPages() {
  for (int h = 0; h < 256; ++h) {
    g_casePageOf[h] = g_noCasePage;
    g_wordPageOf[h] = g_allWordPage;
  }
  for (std::size_t i = 0; i < sizeof kCaseRows; ++i) g_casePageOf[kCaseRows[i]] = kCasePages[i];
  for (std::size_t i = 0; i < sizeof kWordRows; ++i) g_wordPageOf[kWordRows[i]] = kWordPages[i];
}

// Built-in pages are in place from the start, so lookups work before and
// without a tables file.
struct InitPages {
  InitPages() {
    SetBuiltInPages();
    for (auto& p : g_classPageOf) p = g_zeroPage;
  }
} g_initPages;

void ReadClassSections() {
  std::uint8_t index[kClassIndexSize];
  for (auto& p : g_classPageOf) p = g_zeroPage;
  if (!g_file.ReadSection(kSectionClassIndex, kClassIndexSize, index) ||
      index[0] != kClassPageCount ||
      !g_file.ReadSection(kSectionClassPages, kClassPagesSize, g_classPages)) {
    std::memset(g_classPages, 0, sizeof g_classPages);
    return;
  }
  for (int h = 0; h < 256; ++h) {
    // A page number past the pages would read beyond them: such a row
    // keeps class 0.
    std::uint8_t page = index[h + 1];
    if (page < kClassPageCount) g_classPageOf[h] = g_classPages[page];
  }
}

// The engine's tables file, named when the engine starts and read when a
// decoder or the line breaking first needs it: an engine that never meets
// such text never needs the file.
char g_pendingPath[260];
bool g_pending = false;
bool g_loadedForEngine = false;

void LoadPending() {
  g_pending = false;
  if (g_loadCount > 0) return;
  LoadUnicodeTables(g_pendingPath);
  g_loadedForEngine = true;
}

const std::uint16_t* LoadDoubleByte(DoubleByteTable& table) {
  if (g_pending) LoadPending();
  if (!table.tried) {
    table.tried = true;
    if (!g_file.ReadSection(table.section, table.size, table.units))
      std::memset(table.units, 0, table.size);
  }
  return table.units;
}

void ForgetDoubleByte(DoubleByteTable& table) {
  table.tried = false;
  std::memset(table.units, 0, table.size);
}

}  // namespace

UnicodeFile::~UnicodeFile() { Close(); }

void UnicodeFile::Close() {
  MemFree(path_);
  path_ = nullptr;
  count_ = 0;
}

void UnicodeFile::Open(const char* path) {
  Close();
  File* f = path ? File::Open(path, File::kModeRead) : nullptr;
  if (!f) {
    ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(path ? path : ""));
    return;
  }
  std::uint8_t head[8 + 12 * 32];
  std::size_t got = 0;
  while (got < sizeof head) {
    std::size_t n = f->Read(head + got, sizeof head - got);
    if (n == 0) break;
    got += n;
  }
  delete f;
  if (got < 8 || GetU32(head) != kUnicodeTablesMagic) return;
  std::uint32_t count = GetU32(head + 4);
  if (count < 1 || count > 32 || got < 8 + 12 * count) return;
  path_ = DuplicateString(path);
  if (!path_) return;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = head + 8 + 12 * i;
    entries_[i] = {GetU32(e), GetU32(e + 4), GetU32(e + 8)};
  }
  count_ = static_cast<int>(count);
}

void* UnicodeFile::ReadSection(std::uint32_t id, std::uint32_t size, void* buffer) const {
  const Entry* entry = nullptr;
  for (int i = 0; i < count_ && !entry; ++i)
    if (entries_[i].id == id) entry = &entries_[i];
  if (!entry || entry->size != size) return nullptr;
  File* f = File::Open(path_, File::kModeRead);
  if (!f) return nullptr;
  auto* out = static_cast<std::uint8_t*>(buffer ? buffer : MemAlloc(size));
  bool ok = out && f->Seek(entry->offset, 0) == static_cast<std::int64_t>(entry->offset);
  std::size_t got = 0;
  while (ok && got < size) {
    std::size_t n = f->Read(out + got, size - got);
    if (n == 0) break;
    got += n;
  }
  delete f;
  if (ok && got == size) return out;
  if (out && out != buffer) MemFree(out);
  return nullptr;
}

void LoadUnicodeTables(const char* path) {
  if (g_loadCount++ > 0) return;
  g_file.Open(path);
  ReadClassSections();
  SetBuiltInPages();
}

void FreeUnicodeTables() {
  if (g_loadCount == 0 || --g_loadCount > 0) return;
  g_file.Close();
  for (auto& p : g_classPageOf) p = g_zeroPage;
  std::memset(g_classPages, 0, sizeof g_classPages);
  ForgetDoubleByte(g_sjis);
  ForgetDoubleByte(g_gb);
  ForgetDoubleByte(g_big5);
}

void SetEngineTablesPath(const char* path) {
  ClearEngineTablesPath();
  if (!path || !*path || std::strlen(path) >= sizeof g_pendingPath) return;
  std::memcpy(g_pendingPath, path, std::strlen(path) + 1);
  g_pending = true;
}

void ClearEngineTablesPath() {
  g_pending = false;
  if (g_loadedForEngine) {
    g_loadedForEngine = false;
    FreeUnicodeTables();
  }
}

char* UnicodeTablesPath(const char* setupFile, const char* home, char* out,
                        std::size_t capacity) {
  if (capacity == 0) return out;
  auto isSeparator = [](char c) { return c == '\\' || c == '/' || c == ':'; };
  const char* folder = home ? home : "";
  std::size_t len = std::strlen(folder);
  if (setupFile && *setupFile) {
    // The setup file's folder: up to its last separator.
    folder = setupFile;
    len = 0;
    for (std::size_t i = 0; folder[i]; ++i)
      if (isSeparator(folder[i])) len = i + 1;
  }
  bool addSeparator = len > 0 && !isSeparator(folder[len - 1]);
  std::size_t nameLength = std::strlen(kUnicodeTablesFileName);
  if (len + addSeparator + nameLength + 1 > capacity) {
    // No path at all rather than another file's.
    out[0] = '\0';
    return out;
  }
  std::memcpy(out, folder, len);
  if (addSeparator) out[len++] = '\\';
  std::memcpy(out + len, kUnicodeTablesFileName, nameLength + 1);
  return out;
}

const std::uint16_t* ShiftJisTable() { return LoadDoubleByte(g_sjis); }
const std::uint16_t* Gb2312Table() { return LoadDoubleByte(g_gb); }
const std::uint16_t* Big5Table() { return LoadDoubleByte(g_big5); }

const std::uint16_t* Iso8859Table(int part) {
  if (part < 2 || part > 9) return nullptr;
  return kIso8859Tables[part - 2];
}

int LineBreakClass(char32_t cp) {
  if (g_pending) LoadPending();
  if (cp > 0xFFFF) return 0;
  std::uint8_t b = g_classPageOf[cp >> 8][(cp & 0xFF) >> 1];
  return (cp & 1) ? b >> 4 : b & 0x0F;
}

const std::uint8_t* LineBreakClassPage(int high) {
  if (g_pending) LoadPending();
  return g_classPageOf[high & 0xFF];
}

bool IsWordChar(char32_t cp) {
  if (cp > 0xFFFF) return false;
  return (g_wordPageOf[cp >> 8][(cp >> 3) & 31] >> (cp & 7)) & 1;
}

char16_t FoldCaseUnit(char16_t unit) {
  std::uint16_t folded = g_casePageOf[unit >> 8][unit & 0xFF];
  return folded ? static_cast<char16_t>(folded) : unit;
}

char16_t* Utf8ToUtf16(const char* text, std::size_t* count, bool fold) {
  std::size_t len = text ? std::strlen(text) : 0;
  // Each byte gives at most one unit; a four-byte sequence gives two.
  auto* out = static_cast<char16_t*>(MemAlloc((len + 1) * sizeof(char16_t)));
  if (!out) {
    if (count) *count = 0;
    return nullptr;
  }
  std::size_t n = 0;
  const char* p = text;
  const char* end = text + len;
  while (p < end) {
    char32_t cp = DecodeUtf8(p, end);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      char16_t unit = static_cast<char16_t>(cp);
      out[n++] = fold ? FoldCaseUnit(unit) : unit;
    }
  }
  out[n] = 0;
  if (count) *count = n;
  return out;
}

int PutUtf8(std::uint32_t cp, char* dest) {
  if (cp < 0x200000) return EncodeUtf8(cp, dest);
  if (cp >= 0x80000000) return EncodeUtf8(kReplacementChar, dest);
  int n = cp < 0x4000000 ? 5 : 6;
  static const std::uint8_t kMark[7] = {0, 0, 0, 0, 0, 0xF8, 0xFC};
  for (int i = n - 1; i > 0; --i) {
    dest[i] = static_cast<char>(0x80 | (cp & 0x3F));
    cp >>= 6;
  }
  dest[0] = static_cast<char>(kMark[n] | cp);
  return n;
}

}  // namespace qs
