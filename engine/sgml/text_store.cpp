#include "sgml/text_store.h"

namespace qs {

TextStore::TextStore() : stream_(new CachedStream) { stream_->StartWriting(); }

TextStore::TextStore(BlockCache& cache) : stream_(new CachedStream(cache)) {
  stream_->StartWriting();
}

TextStore::~TextStore() { stream_->Release(); }

bool TextStore::Append(const char* bytes, std::size_t n) {
  if (n == 0) return true;
  if (closed_ || !HasRoomFor(n) || stream_->Failed()) return false;
  stream_->Write(bytes, n);
  if (stream_->Failed()) return false;
  length_ += std::uint32_t(n);
  return true;
}

void TextStore::Close() {
  if (closed_) return;
  closed_ = true;
  stream_->FinishWriting();
}

std::size_t TextStore::CopyRange(char* dest, std::uint32_t from, std::uint32_t to,
                                 bool fold) const {
  if (to > length_) to = length_;
  if (from >= to) {
    dest[0] = '\0';
    return 0;
  }
  stream_->CopyRange(dest, std::int32_t(from), std::int32_t(to), fold);
  return to - from;
}

char* TextStore::CopyRangeAlloc(std::uint32_t from, std::uint32_t to, bool fold) const {
  std::uint32_t end = to > length_ ? length_ : to;
  std::size_t n = from < end ? end - from : 0;
  char* copy = static_cast<char*>(MemAlloc(n + 1));
  if (copy) CopyRange(copy, from, end, fold);
  return copy;
}

unsigned char TextStore::ByteAt(std::uint32_t offset) const {
  if (offset >= length_) return 0;
  char byte[2];
  CopyRange(byte, offset, offset + 1, false);
  return static_cast<unsigned char>(byte[0]);
}

}  // namespace qs
