// Buffered byte input for the character decoders and the SDATA table: a
// reference-counted reader with a buffer that a virtual Refill fills. The
// decoders are byte sources themselves (their buffer holds UTF-8), so a
// decoder reads from any source, a file, memory or another stream adapted
// to this interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "foundation/memory.h"

namespace qs {

class ByteSource : public EngineObject {
 public:
  ByteSource() = default;
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  void AddRef() { ++uses_; }
  // Deletes the source when the last use goes.
  void Release() {
    if (--uses_ == 0) delete this;
  }

  // The next byte, or -1 at the end of the source.
  int GetByte() {
    if (cur_ == end_ && !Advance()) return -1;
    return *cur_++;
  }
  // Gives back the byte that the last GetByte returned.
  void UngetByte() {
    if (cur_ > start_) --cur_;
  }
  // The buffered bytes, refilling when none are left; null and 0 at the end.
  const std::uint8_t* Peek(std::size_t* available);
  // Drops up to n buffered bytes (after Peek).
  void Skip(std::size_t n);
  // Copies up to n bytes; returns how many came.
  std::size_t Read(void* dest, std::size_t n);
  // Reads up to a NUL into dest (1027 bytes): after 1026 bytes without a NUL
  // the string is cut and terminated there. Returns the length.
  std::size_t ReadString(char* dest);
  std::uint32_t ReadU24();

  // The offset of the next byte, counted in bytes of the underlying data.
  virtual std::uint32_t Tell() const { return bufferPos_ + static_cast<std::uint32_t>(cur_ - start_); }
  // The encoding number of what this source delivers (0 UTF-8 for raw
  // sources).
  virtual int GetEncoding() const { return 0; }

 protected:
  virtual ~ByteSource() = default;
  // Points start_/end_ at the next run of bytes and sets bufferPos_ to the
  // offset of its first byte; false when nothing more comes.
  virtual bool Refill() = 0;

  const std::uint8_t* start_ = nullptr;
  const std::uint8_t* cur_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  std::uint32_t bufferPos_ = 0;
  // Set once Refill had nothing more; a source that can seek clears it.
  bool ended_ = false;

 private:
  bool Advance();
  unsigned uses_ = 1;
};

// Bytes in memory (copied), handed out `chunk` bytes a refill (0 = all at
// once), so readers can be tried across buffer boundaries.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const void* data, std::size_t size, std::size_t chunk = 0);

 protected:
  ~MemoryByteSource() override;
  bool Refill() override;

 private:
  std::uint8_t* data_;
  std::size_t size_;
  std::size_t chunk_;
  std::size_t next_ = 0;
};

// A file read in 8 KB blocks; a file that cannot be opened reads as empty.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(const char* utf8Name);
  bool IsOpen() const { return file_ != nullptr; }
  // Moves to an absolute offset; false when the file cannot go there.
  bool Seek(std::uint32_t position);

 protected:
  ~FileByteSource() override;
  bool Refill() override;

 private:
  std::FILE* file_ = nullptr;
  std::uint32_t filePos_ = 0;
  std::uint8_t buffer_[8192];
};

// Opens a file for binary reading by its UTF-8 name (converted to the ANSI
// code page as the platform's file calls expect); null when it cannot.
std::FILE* OpenFileForReading(const char* utf8Name);

}  // namespace qs
