#include "order_file.h"

#include <cstdlib>
#include <cstring>

namespace qs::order {

namespace {

constexpr char kStx = 2;
constexpr char kEtx = 3;
constexpr std::size_t kCommandLineSize = 256;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// What ends a field or a line of a save file.
bool IsSeparator(char c) { return c == '*' || IsLineEnd(c); }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
  if (aLength != bLength) return false;
  for (std::size_t i = 0; i < aLength; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Fills one record from the bytes between its start and its end.
OrderItem* MakeItem(const char* text, std::size_t length, char fieldEnd) {
  OrderItem* item = NewItem();
  if (!item) return nullptr;
  std::size_t start = 0;
  int k = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] != fieldEnd) continue;
    int target = k < kFieldCount - 1 ? k : kFieldCount - 1;
    CopyField(ItemField(item, target), FieldSize(target), text + start, i - start);
    CleanField(ItemField(item, target));
    ++k;
    start = i + 1;
  }
  return item;
}

}  // namespace

char* ItemField(OrderItem* item, int k) {
  switch (k) {
    case 0: return item->model;
    case 1: return item->reference;
    case 2: return item->part;
    case 3: return item->spec;
    case 4: return item->quantity;
    case 5: return item->remarks;
    default: return nullptr;
  }
}

const char* ItemField(const OrderItem* item, int k) {
  return ItemField(const_cast<OrderItem*>(item), k);
}

std::size_t FieldSize(int k) {
  static constexpr std::size_t kSizes[kFieldCount] = {
      sizeof(OrderItem::model), sizeof(OrderItem::reference), sizeof(OrderItem::part),
      sizeof(OrderItem::spec),  sizeof(OrderItem::quantity),  sizeof(OrderItem::remarks)};
  return (k >= 0 && k < kFieldCount) ? kSizes[k] : 0;
}

void CleanField(char* field) {
  if (!field) return;
  for (; *field; ++field) {
    if (IsSeparator(*field)) *field = ' ';
  }
}

OrderItem* NewItem() { return static_cast<OrderItem*>(std::calloc(1, sizeof(OrderItem))); }

void FreeItem(OrderItem* item) { std::free(item); }

void CopyField(char* field, std::size_t size, const char* text, std::size_t length) {
  if (!field || size == 0) return;
  std::size_t n = 0;
  while (n < length && n + 1 < size && text[n] != '\0') {
    field[n] = text[n];
    ++n;
  }
  field[n] = '\0';
}

std::size_t ParseItems(const char* text, std::size_t length, FileForm form,
                       ItemReceiver receiver, void* context) {
  const bool saveFile = form == FileForm::kSaveFile;
  const char fieldEnd = saveFile ? '*' : kStx;
  std::size_t made = 0;
  std::size_t pos = 0;
  while (pos < length) {
    if (saveFile) {
      while (pos < length && IsLineEnd(text[pos])) ++pos;
      if (pos == length) break;
    }
    std::size_t end = pos;
    while (end < length && (saveFile ? !IsLineEnd(text[end]) : text[end] != kEtx)) ++end;
    if (end == length) break;  // the last record lacks its end
    if (OrderItem* item = MakeItem(text + pos, end - pos, fieldEnd)) {
      receiver(context, item);
      ++made;
    }
    pos = end + 1;
  }
  return made;
}

std::string FormatItemLine(const OrderItem& item) {
  std::string line;
  for (int k = 0; k < kFieldCount; ++k) {
    const char* field = ItemField(&item, k);
    std::size_t n = strnlen(field, FieldSize(k));
    for (std::size_t i = 0; i < n; ++i) line += IsSeparator(field[i]) ? ' ' : field[i];
    line += '*';
  }
  line += "\r\n";
  return line;
}

bool CommandLineFile(const char* commandLine, const char* programFileName, char* out,
                     std::size_t size) {
  if (out && size) out[0] = '\0';
  if (!commandLine || !out || size == 0) return false;
  char line[kCommandLineSize];
  CopyField(line, sizeof line, commandLine, sizeof line);
  std::size_t length = std::strlen(line);

  std::size_t start = 0;
  while (start < length && IsSpace(line[start])) ++start;
  // The first token, when it names this program, is not the order file.
  if (programFileName && *programFileName) {
    std::size_t tokenStart = start, tokenEnd;
    bool quoted = line[start] == '"';
    if (quoted) ++tokenStart;
    tokenEnd = tokenStart;
    while (tokenEnd < length && (quoted ? line[tokenEnd] != '"' : !IsSpace(line[tokenEnd])))
      ++tokenEnd;
    std::size_t nameStart = tokenStart;
    for (std::size_t i = tokenStart; i < tokenEnd; ++i) {
      if (line[i] == '\\' || line[i] == '/' || line[i] == ':') nameStart = i + 1;
    }
    const char* name = line + nameStart;
    std::size_t nameLength = tokenEnd - nameStart;
    std::size_t programLength = std::strlen(programFileName);
    bool same = EqualNoCase(name, nameLength, programFileName, programLength);
    // A shell may leave the ".exe" off.
    const char* dot = std::strrchr(programFileName, '.');
    if (!same && dot && EqualNoCase(dot, std::strlen(dot), ".exe", 4))
      same = EqualNoCase(name, nameLength, programFileName,
                         static_cast<std::size_t>(dot - programFileName));
    if (same) start = (quoted && tokenEnd < length) ? tokenEnd + 1 : tokenEnd;
  }

  std::size_t colon = length;
  for (std::size_t i = start; i < length; ++i) {
    if (line[i] == ':') colon = i;
  }
  if (colon == length) return false;
  std::size_t from = colon > start ? colon - 1 : start;
  std::size_t to = length;
  while (to > from && IsSpace(line[to - 1])) --to;
  if (to > from && line[to - 1] == '"') --to;
  CopyField(out, size, line + from, to - from);
  return out[0] != '\0';
}

}  // namespace qs::order
