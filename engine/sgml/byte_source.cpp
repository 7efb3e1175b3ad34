#include "sgml/byte_source.h"

#include <cstring>

#include "foundation/codepage.h"

namespace qs {

bool ByteSource::Advance() {
  if (ended_) return false;
  bufferPos_ += static_cast<std::uint32_t>(cur_ - start_);
  if (!Refill() || start_ == end_) {
    start_ = cur_ = end_;
    ended_ = true;
    return false;
  }
  cur_ = start_;
  return true;
}

const std::uint8_t* ByteSource::Peek(std::size_t* available) {
  if (cur_ == end_ && !Advance()) {
    *available = 0;
    return nullptr;
  }
  *available = static_cast<std::size_t>(end_ - cur_);
  return cur_;
}

void ByteSource::Skip(std::size_t n) {
  std::size_t left = static_cast<std::size_t>(end_ - cur_);
  cur_ += n < left ? n : left;
}

std::size_t ByteSource::Read(void* dest, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dest);
  std::size_t done = 0;
  while (done < n) {
    std::size_t avail;
    const std::uint8_t* p = Peek(&avail);
    if (!p) break;
    std::size_t take = n - done < avail ? n - done : avail;
    std::memcpy(out + done, p, take);
    Skip(take);
    done += take;
  }
  return done;
}

std::size_t ByteSource::ReadString(char* dest) {
  std::size_t n = 0;
  while (n < 1026) {
    int c = GetByte();
    if (c <= 0) break;
    dest[n++] = static_cast<char>(c);
  }
  dest[n] = '\0';
  return n;
}

std::uint32_t ByteSource::ReadU24() {
  std::uint8_t b[3] = {0, 0, 0};
  Read(b, 3);
  return (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
}

MemoryByteSource::MemoryByteSource(const void* data, std::size_t size, std::size_t chunk)
    : data_(static_cast<std::uint8_t*>(MemAlloc(size))), size_(data_ ? size : 0), chunk_(chunk) {
  if (data_ && size) std::memcpy(data_, data, size);
}

MemoryByteSource::~MemoryByteSource() { MemFree(data_); }

bool MemoryByteSource::Refill() {
  if (next_ >= size_) return false;
  std::size_t take = size_ - next_;
  if (chunk_ && take > chunk_) take = chunk_;
  start_ = data_ + next_;
  end_ = start_ + take;
  next_ += take;
  return true;
}

std::FILE* OpenFileForReading(const char* utf8Name) {
  if (!utf8Name || !*utf8Name) return nullptr;
  char* ansi = Utf8ToAnsi(utf8Name);
  if (!ansi) return nullptr;
  std::FILE* f = std::fopen(ansi, "rb");
  if (ansi != utf8Name) MemFree(ansi);
  return f;
}

FileByteSource::FileByteSource(const char* utf8Name) : file_(OpenFileForReading(utf8Name)) {}

FileByteSource::~FileByteSource() {
  if (file_) std::fclose(file_);
}

bool FileByteSource::Refill() {
  if (!file_) return false;
  std::size_t n = std::fread(buffer_, 1, sizeof buffer_, file_);
  bufferPos_ = filePos_;
  filePos_ += static_cast<std::uint32_t>(n);
  start_ = buffer_;
  end_ = buffer_ + n;
  return n > 0;
}

bool FileByteSource::Seek(std::uint32_t position) {
  if (!file_ || position > 0x7FFFFFFF) return false;
  if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) return false;
  filePos_ = position;
  // The buffer is dropped; the next read refills from the new place.
  start_ = cur_ = end_ = buffer_;
  bufferPos_ = position;
  ended_ = false;
  return true;
}

}  // namespace qs
