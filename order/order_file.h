// The order item record and the text of order files: the viewer's exchange
// file (fields ended by STX, records by ETX) and the program's own save and
// order files (fields ended by '*', one line per item). Platform-free, so the
// file handling can be exercised under the sanitizers.
#pragma once
#include <cstddef>
#include <string>

namespace qs::order {

inline constexpr int kFieldCount = 6;

// Every field is zero-terminated ANSI text; what is stored is cut to the
// field's size less one, never more.
struct OrderItem {
  char model[16];
  char reference[12];
  char part[16];
  char spec[26];
  char quantity[4];
  char remarks[32];
};

// Field k (0-based, in the order of the table above) and its size with the
// terminator; null and 0 for k outside 0..5.
char* ItemField(OrderItem* item, int k);
const char* ItemField(const OrderItem* item, int k);
std::size_t FieldSize(int k);

// Zero-filled record from malloc, or null; FreeItem takes null.
OrderItem* NewItem();
void FreeItem(OrderItem* item);

// Copies up to `length` bytes of `text` (stopping early at a zero byte) into
// a field of `size` bytes, cut to size - 1, always terminated.
void CopyField(char* field, std::size_t size, const char* text, std::size_t length);

// Save and order files have no escaping: a '*' or a line break inside a
// field would split it when read, so no field ever holds one. Text taken from
// the form or a hand-off has each of them replaced by a blank.
void CleanField(char* field);

enum class FileForm { kExchange = 0, kSaveFile = 1 };

// Receives each record made; the receiver owns it.
using ItemReceiver = void (*)(void* context, OrderItem* item);

// Splits file contents into records. A record without its end (ETX, or CR or
// LF for save files) is dropped; in save files, blank lines make nothing.
// Fields past the fifth all go to the remarks (the last one wins); text after
// the last field end is ignored. Every field is cleaned (CleanField). Returns
// the number of records handed on.
std::size_t ParseItems(const char* text, std::size_t length, FileForm form,
                       ItemReceiver receiver, void* context);

// One line of a save or order file: the six fields, each followed by '*',
// then CR LF. A '*' or line break in a field is written as a blank, so the
// line always reads back to the same item.
std::string FormatItemLine(const OrderItem& item);

// The order file named on the command line: the text from one character
// before the last ':' (the drive letter of the last drive-qualified path).
// A leading token that names the program itself (as a shell passes it) is
// skipped first, so a bare start never takes the program for an order file.
// Only the first 255 characters of the command line are looked at.
// Returns false, with `out` empty, when no file is named.
bool CommandLineFile(const char* commandLine, const char* programFileName, char* out,
                     std::size_t size);

}  // namespace qs::order
