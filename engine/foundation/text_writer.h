// The buffered writer of the engine's text files (entity-resolution files,
// style sheets, navigator definitions, webs, exports, temporary copies).
// The text goes to a scratch file beside the target, which replaces the
// target only when every byte was written: a failed save leaves the old
// file as it was.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/file.h"
#include "foundation/memory.h"

namespace qs {

class TextWriter : public EngineObject {
 public:
  static constexpr std::size_t kBufferSize = 8192;

  // `crlf`: every line feed is written as carriage return + line feed.
  TextWriter(const char* fileName, bool crlf);
  // Closes (and so commits) when the caller has not.
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // False once the file could not be made or a write fell short; writes
  // are then dropped.
  bool ok() const { return ok_; }
  std::uint32_t BytesWritten() const { return written_; }

  void PutChar(std::uint8_t c) {
    if (crlf_ && c == '\n') Store('\r');
    Store(c);
  }
  void PutString(const char* s);
  // As the stream's quoted literal, and in the third form each ampersand
  // is also written as "&A;".
  void PutQuoted(const char* value);
  void Flush();
  // Flushes and puts the file in place; true only when the whole text
  // reached it. Later calls return the same answer.
  bool Close();
  // Drops everything written; the target stays as it was.
  void Discard();

 private:
  void Store(std::uint8_t c) {
    if (count_ == kBufferSize) Flush();
    buffer_[count_++] = c;
  }
  void CloseFile();

  RawFile* file_ = nullptr;
  char* target_ = nullptr;
  char* scratch_ = nullptr;
  bool ok_ = false;
  bool opened_ = false;
  bool crlf_;
  bool closed_ = false;
  std::size_t count_ = 0;
  std::uint32_t written_ = 0;
  std::uint8_t buffer_[kBufferSize];
};

}  // namespace qs
