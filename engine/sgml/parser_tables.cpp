// The parser's shared tables (reserved names, declaration keywords, the
// five character tables) and its message texts.
#include <cstring>
#include <initializer_list>

#include "foundation/errors.h"
#include "sgml/parser.h"

namespace qs {

namespace {

const ReservedNameEntry kReservedNames[kReservedNameCount] = {
    {"token", 0},         {"SYSTEM", 0},          {"PUBLIC", 0},        {"DEFAULT", 0},
    {"SUBDOC", 0x200},    {"ANY", 0x400},         {"EMPTY", 0x400},     {"ENTITY", 0x1000},
    {"ENTITIES", 0x4},    {"ID", 0x1001},         {"IDREF", 0x1002},    {"IDREFS", 0x6},
    {"NAME", 0x1000},     {"NAMES", 0x4},         {"NMTOKEN", 0x1000},  {"NMTOKENS", 0x4},
    {"NUMBER", 0x1000},   {"NUMBERS", 0x4},       {"NUTOKEN", 0x1000},  {"NUTOKENS", 0x4},
    {"NOTATION", 0},      {"FIXED", 0x2000},      {"REQUIRED", 0x2000}, {"CURRENT", 0x2000},
    {"CONREF", 0x2010},   {"IMPLIED", 0x2000},    {"IGNORE", 0x4000},   {"INCLUDE", 0x4000},
    {"TEMP", 0x4000},     {"CDATA", 0x4F00},      {"SDATA", 0x300},     {"RCDATA", 0x4400},
    {"NDATA", 0x200},     {"PCDATA", 0},          {"PI", 0x100},        {"STARTTAG", 0x100},
    {"ENDTAG", 0x100},    {"MS", 0x100},          {"MD", 0x100},        {"RE", 0},
    {"RS", 0},            {"SPACE", 0},           {"TAB", 0},           {"ALL", 0},
    {"IMPLICIT", 0},
};

const char* const kDeclarationKeywords[8] = {"",         "ENTITY", "ELEMENT", "ATTLIST",
                                             "NOTATION", "SHORTREF", "USEMAP", "EOR"};

const char* const kMessageTexts[kParserMessageCount] = {
    "Can't open document '%s'",
    "Can't resolve DTD from '%s'",
    "Bad start of document instance",
    "Undefined entity: '%s'",
    "Can't resolve entity '%s'",
    "Can't resolve SDATA: '%s'",
    "Can't resolve element of this empty open",
    "Unallowed character entity: '%s'",
    "Syntax error",
    "Recursive inclusion of entity '%s'",
    "Unallowed connector change",
    "Can't define more than 100 attributes/element",
    "PI too much data",
    "Element nesting too deep",
    "Multiple NOTATION attributes",
    "Undeclared attribute: '%s'",
    "Undeclared element: '%s'",
    "Expected '#ALL' or '#IMPLICIT'",
    "Missing REQUIRED attribute: '%s'",
    "Duplicate ID: '%s'",
    "Element '%s' is not open",
    "Bad Token",
    "Bad public identifier",
    "Unallowed entity type: '%s'",
    "Unallowed entity value specifier: '%s'",
    "Bad element omitting specification",
    "Bad element content specification: '%s'",
    "Bad tag open",
    "Bad tag close",
    "Misformed SHORTREF",
    "Unallowed attribute type: '%s'",
    "Unallowed attribute default value: '%s'",
    "Unallowed marked section specifier: '%s'",
    "Syntax Error in DTD",
    "Misformed <!DOCTYPE",
    "Expected '<!SGML'",
    "Expected '<!DOCTYPE'",
    "Expected '#PCDATA'",
    "Expected '#DEFAULT'",
    "Expected '#NOTATION'",
    "Expected '#EMPTY'",
    "Expected '('",
    "Expected ')'",
    "Expected ','",
    "Expected ']'",
    "Expected '>'",
    "Expected '\"' or \"'\"",
    "Expected '='",
    "Only comment declaration allowed here",
    "Expected a notation entity",
    "Misformed DATA TAG",
    "Unexpected EOF",
    "Unsupported character encoding: '%s'",
    "Parsing '%s'",
};

// Keyword lookups go through a small open-addressed hash of the upper-case
// word, so no word is compared with more than the one entry it hashes to
// (and its few collisions).
constexpr std::size_t kHashSize = 128;

std::size_t HashWord(const char* s, std::size_t n) {
  std::size_t h = n * 31u;
  for (std::size_t i = 0; i < n; ++i) h = h * 33u + static_cast<unsigned char>(s[i]);
  return h & (kHashSize - 1);
}

struct Tables {
  ParserTables chars;
  std::int8_t reserved[kHashSize];
  std::int8_t declarations[kHashSize];
};

void Insert(std::int8_t* slots, const char* word, int value) {
  std::size_t h = HashWord(word, std::strlen(word));
  while (slots[h] >= 0) h = (h + 1) & (kHashSize - 1);
  slots[h] = static_cast<std::int8_t>(value);
}

Tables MakeTables() {
  Tables t;
  std::memset(&t.chars, 0, sizeof t.chars);
  std::memset(t.reserved, -1, sizeof t.reserved);
  std::memset(t.declarations, -1, sizeof t.declarations);
  ParserTables& c = t.chars;
  for (int b : {0, 0x09, 0x0A, 0x0D, 0x1A, 0x20}) c.separators[b] = 1;
  for (int b = 'A'; b <= 'Z'; ++b) {
    c.upperNames[b] = static_cast<std::uint8_t>(b);
    c.upperNames[b + 32] = static_cast<std::uint8_t>(b);
    c.names[b] = static_cast<std::uint8_t>(b);
    c.names[b + 32] = static_cast<std::uint8_t>(b + 32);
  }
  for (int b = '0'; b <= '9'; ++b) {
    c.upperNames[b] = c.names[b] = static_cast<std::uint8_t>(b);
    c.tokenClasses[b] = kTcDigit;
  }
  for (int b : {'-', '.', '_', ':', '\\'}) c.upperNames[b] = c.names[b] = static_cast<std::uint8_t>(b);
  for (int b = 'A'; b <= 'F'; ++b) c.tokenClasses[b] = c.tokenClasses[b + 32] = kTcHexLetter;
  for (int b : {'*', '+', '?'}) c.tokenClasses[b] = kTcOccurrence;
  for (int b : {'|', '&', ','}) c.tokenClasses[b] = kTcConnector;
  for (int b : {'"', '\''}) c.tokenClasses[b] = kTcLiteral;
  for (int b : {0x0D, int('-'), int('%')}) c.tokenClasses[b] = kTcScanner;
  c.contentDelimiters['<'] = '<';
  c.contentDelimiters['&'] = '&';
  for (int b : {0x09, 0x0A, 0x20}) c.contentDelimiters[b] = 1;
  for (int i = 1; i < kReservedNameCount; ++i) Insert(t.reserved, kReservedNames[i].name, i);
  for (int i = 1; i < 8; ++i) Insert(t.declarations, kDeclarationKeywords[i], i);
  return t;
}

Tables& GetTables() {
  static Tables tables = MakeTables();
  return tables;
}

int Find(const std::int8_t* slots, const char* const* names, std::size_t stride,
         const char* word, std::size_t n) {
  std::size_t h = HashWord(word, n);
  for (std::size_t probes = 0; probes < kHashSize && slots[h] >= 0; ++probes) {
    const char* name = *reinterpret_cast<const char* const*>(
        reinterpret_cast<const char*>(names) + stride * static_cast<std::size_t>(slots[h]));
    if (std::strncmp(name, word, n) == 0 && name[n] == 0) return slots[h];
    h = (h + 1) & (kHashSize - 1);
  }
  return 0;
}

}  // namespace

const ReservedNameEntry& GetReservedName(int index) {
  return kReservedNames[index >= 0 && index < kReservedNameCount ? index : 0];
}

int FindReservedName(const char* upper, std::size_t length) {
  return Find(GetTables().reserved, &kReservedNames[0].name, sizeof(ReservedNameEntry), upper,
              length);
}

int FindDeclarationKeyword(const char* upper, std::size_t length) {
  return Find(GetTables().declarations, kDeclarationKeywords, sizeof(const char*), upper, length);
}

const ParserTables& GetParserTables() { return GetTables().chars; }

const std::uint8_t* XmlNameTable() {
  // XML's names take letters beyond ASCII: every byte of a multi-byte
  // character is a name byte, kept as it is.
  static const auto table = [] {
    struct Table {
      std::uint8_t bytes[256];
    } t;
    std::memcpy(t.bytes, GetParserTables().names, sizeof t.bytes);
    for (int b = 0x80; b < 0x100; ++b) t.bytes[b] = static_cast<std::uint8_t>(b);
    return t;
  }();
  return table.bytes;
}

void InitParserTables() { GetTables(); }
void FreeParserTables() {}

void SetBracketIsContentDelimiter(bool on) {
  GetTables().chars.contentDelimiters[']'] = on ? ']' : 0;
}

const char* GetParserMessageText(int number) {
  if (number >= kMsgEngineErrorBase && number < kReportMessageCount) {
    return EngineErrorText(number - kMsgEngineErrorBase);
  }
  return number >= 0 && number < kParserMessageCount ? kMessageTexts[number] : nullptr;
}

char* FormatParserMessage(int number, const char* argument, char* out, std::size_t capacity) {
  if (!out || capacity == 0) return out;
  const char* text = GetParserMessageText(number);
  if (!text) text = "";
  if (!argument) argument = "";
  std::size_t n = 0;
  auto put = [&](char c) {
    if (n + 1 < capacity) out[n++] = c;
  };
  for (const char* p = text; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      for (const char* a = argument; *a; ++a) put(*a);
      ++p;
    } else {
      put(*p);
    }
  }
  out[n] = 0;
  return out;
}

}  // namespace qs
