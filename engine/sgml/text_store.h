// The text of a document: the parsed character data without markup, written
// once by appending and then read by byte range, kept in the engine's block
// cache. Offsets into it are 24-bit
// (marks pack them with their kind), so it never grows past
// kMaxDocumentText bytes: an append that would pass that is refused whole.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/block_cache.h"
#include "foundation/memory.h"
#include "sgml/mark_kinds.h"
#include "sgml/use_count.h"

namespace qs {

class TextStore : public EngineObject {
 public:
  // On the engine's block cache, or on the given one.
  TextStore();
  explicit TextStore(BlockCache& cache);
  virtual ~TextStore();
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;

  TextStore* AddRef() {
    uses_.Add();
    return this;
  }
  void Release() {
    if (uses_.Drop()) delete this;
  }

  std::uint32_t Length() const { return length_; }
  // Appends n bytes. False, with nothing appended, when the text would pass
  // kMaxDocumentText bytes or memory runs out.
  bool Append(const char* bytes, std::size_t n);
  bool AppendByte(char c) { return Append(&c, 1); }
  // A hint from a writer that knows the text comes to at least n bytes (a
  // large text then goes to the cache file without passing through memory).
  void ExpectLength(std::uint32_t n) {
    stream_->ExpectSize(std::int32_t(n < kMaxDocumentText ? n : kMaxDocumentText));
  }
  // Whether n more bytes still fit.
  bool HasRoomFor(std::size_t n) const { return n <= kMaxDocumentText - length_; }
  // Ends writing; later appends are refused.
  void Close();
  // The block-cached stream that holds the text (for readers that walk it).
  CachedStream& Stream() { return *stream_; }

  // Copies [from, to) into dest and writes a NUL; dest holds to - from + 1
  // bytes. The range is clipped to the text. With fold set every byte goes
  // through the identity row of the character table (byte 1 reads as a
  // blank). Returns the number of bytes copied.
  std::size_t CopyRange(char* dest, std::uint32_t from, std::uint32_t to, bool fold) const;
  // The same into a new heap block (MemFree it); null when out of memory.
  char* CopyRangeAlloc(std::uint32_t from, std::uint32_t to, bool fold) const;
  // The byte at an offset, 0 past the end.
  unsigned char ByteAt(std::uint32_t offset) const;

 private:
  UseCount32 uses_;
  CachedStream* stream_;
  std::uint32_t length_ = 0;
  bool closed_ = false;
};

}  // namespace qs
