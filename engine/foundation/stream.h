// The byte stream through which the engine reads every document, DTD,
// entity, catalog and compiled file: a buffer with a virtual refill, plus the
// put operations with which writers derived from it produce text and binary
// files. Multi-byte integers are big-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/file.h"
#include "foundation/memory.h"

namespace qs {

// A host that hands data out block by block may answer an empty block: only
// a null block or the last-block flag ends its data. This many empty blocks
// in a row mean the host is stuck, and the read ends with an engine error
// (ReportStuckHost).
inline constexpr int kMaxEmptyHostBlocks = 1000;
// Reports that the host's data for `source` (may be null) could not be read.
void ReportStuckHost(const char* source);

class Stream : public EngineObject {
 public:
  // The state byte: more data may follow; the source is exhausted after
  // this buffer; the end has been reached.
  enum : std::uint8_t { kMore = 0, kLastBuffer = 1, kAtEnd = 2 };
  // ReadString's destination holds this many bytes.
  static constexpr std::size_t kStringCapacity = 1027;

  // `sourceName`: the entity or file the stream reads (copied; may be null).
  explicit Stream(const char* sourceName = nullptr);
  virtual ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // A new stream holds one use; the last Release deletes it.
  void AddRef() { ++useCount_; }
  void Release() {
    if (--useCount_ == 0) delete this;
  }

  virtual std::int32_t Tell();
  virtual bool IsReadable() { return false; }
  virtual void Refill();
  // Forward only: 0 when the position lies behind Tell or past the data.
  virtual int Seek(std::int32_t position);
  virtual int GetEncoding();
  // Writers store a byte; a reading stream drops it.
  virtual void PutChar(std::uint8_t c) {}
  // A pointer into the buffer and up to `maximum` bytes, refilling when it
  // is used up; null and length 0 at the end.
  virtual const std::uint8_t* ReadBlock(std::size_t* length, std::size_t maximum);
  // The buffered bytes from the read position on, refilling when none are
  // left, without consuming them (how a decoder looks for a byte-order mark
  // or an encoding declaration); null and 0 at the end.
  const std::uint8_t* Peek(std::size_t* length);
  // Gives back the last `count` bytes read, at most back to the start of
  // the buffer, so that they are read again.
  void Unread(std::size_t count = 1) {
    std::size_t back = static_cast<std::size_t>(cur_ - start_);
    cur_ -= count < back ? count : back;
  }

  // The next byte, 0 at the end.
  int GetChar() { return cur_ < end_ ? *cur_++ : GetCharSlow(); }
  // The bytes buffered from the read position on, without a refill (empty
  // when the buffer is used up): a scanner takes runs of them in place and
  // consumes them with Skip.
  const std::uint8_t* Buffered(std::size_t* length) const {
    *length = static_cast<std::size_t>(end_ - cur_);
    return cur_;
  }
  void Skip(std::size_t count) { cur_ += count; }
  // Whether Tell moves by one for each byte read (not so for a decoder,
  // whose bytes stand for source characters of other sizes).
  bool TellCountsBytes() const { return tellCountsBytes_; }
  // Copies up to `count` bytes; returns how many came.
  std::size_t Read(void* destination, std::size_t count);
  // Bytes up to and including a NUL, at most kStringCapacity - 1 of them
  // before the terminating NUL; returns the length without the NUL.
  std::size_t ReadString(char* destination);
  unsigned ReadU16();
  std::uint32_t ReadU24();

  void PutString(const char* s);
  void PutStringZ(const char* s);
  // Between double quotes; between apostrophes when it holds a double
  // quote and no apostrophe; else between double quotes with each inner
  // double quote written as "&Q;". Null writes two double quotes.
  void PutQuoted(const char* literal);
  void PutExternalId(const char* systemId, const char* publicId);

  const char* SourceName() const { return sourceName_; }
  std::uint8_t State() const { return state_; }

 protected:
  // The refill rule when current has reached end; true when bytes are ready.
  bool Advance();

  char* sourceName_ = nullptr;
  std::uint8_t* start_ = nullptr;
  std::uint8_t* cur_ = nullptr;
  std::uint8_t* end_ = nullptr;
  std::int32_t bufferPos_ = 0;  // stream offset of start_
  std::uint8_t state_ = kMore;
  bool tellCountsBytes_ = true;

 private:
  int GetCharSlow();
  std::uint16_t useCount_ = 1;
};

// Reads a file in blocks of 8192 bytes, or of a larger power of two asked
// for by a reader that takes a large file whole (each block is one system
// call); a missing file reads as empty. Read with the default block, a file
// that goes on past kLargeBlock bytes goes on in blocks of that size: a
// large document made a system call per 8 KB, and a small file (most
// declarations and catalogs) still costs no more than the stream itself.
class FileInStream : public Stream {
 public:
  static constexpr std::size_t kBlockSize = 8192;
  static constexpr std::size_t kLargeBlock = 65536;
  // A block size that is no power of two above kBlockSize, or whose buffer
  // cannot be had, gives kBlockSize.
  FileInStream(const char* fileName, const char* sourceName, std::size_t blockSize = kBlockSize);
  ~FileInStream() override;
  std::size_t BlockSize() const { return blockSize_; }
  bool IsReadable() override { return state_ != kAtEnd; }
  void Refill() override;
  // Loads the aligned block that holds the position and points into it;
  // 0 (the stream left where it was) when the position is past the data.
  int Seek(std::int32_t position) override;

 private:
  bool LoadBlock(std::int32_t position);
  RawFile* file_;
  std::size_t blockSize_ = kBlockSize;
  bool mayGrow_ = false;
  std::uint8_t* buffer_ = small_;  // small_, or a larger block on the engine heap
  std::uint8_t small_[kBlockSize];
};

}  // namespace qs
