// Parsed document text can be far larger than memory: every document's
// character data goes into a CachedStream, an append-only store kept in
// 4,096-byte blocks of which only 32 live in memory, shared by all streams
// in least-recently-used order. Blocks pushed out go to a cache file per
// stream and come back on demand; at most 8 cache files are open at once.
//
// A cache failure (no cache file, every block locked, a block that cannot
// be read back) is reported as an engine error and marks the stream
// failed: its reads then find the end of the data, and its writes are
// dropped. The calling thread always goes on.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/file.h"
#include "foundation/memory.h"

namespace qs {

class BlockClient;

struct CacheBlock {
  static constexpr std::int32_t kSize = 4096;
  BlockClient* owner = nullptr;
  std::int32_t position = -1;  // of the first byte in the owner's store
  std::int32_t length = 0;     // valid bytes
  std::uint8_t locked = 0;     // the owner is still writing into it
  CacheBlock* prev = nullptr;
  CacheBlock* next = nullptr;
  std::uint8_t data[kSize];

  bool Covers(const BlockClient* client, std::int32_t pos) const {
    return owner && owner == client && position <= pos && pos < position + length;
  }
};

class BlockCache : public EngineObject {
 public:
  static constexpr int kBlocks = 32;
  static constexpr int kFiles = 8;

  BlockCache();
  ~BlockCache();
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  // The block of `client` that holds `position`, read back through the
  // client's FillBlock when none in memory does; moved to the front.
  // Null after a reported failure.
  CacheBlock* FindBlock(BlockClient* client, std::int32_t position);
  // An empty locked block for `client`, at the front; null after a
  // reported failure (every block locked).
  CacheBlock* NewBlock(BlockClient* client);
  void MoveToFront(CacheBlock* block);
  // Frees every block of the client.
  void ReleaseClient(BlockClient* client);
  // Spills and frees every unlocked block (the engine's memory release).
  void GiveBackUnused();

  // The open cache file of that name from the pool, opened for reading and
  // writing (created when missing); null after reporting engine error 3.
  File* GetFile(const char* name);
  void CloseFile(const char* name);
  int OpenFileCount() const;

  CacheBlock* Head() const { return head_; }

 private:
  struct PoolEntry {
    char* name = nullptr;
    File* file = nullptr;
    PoolEntry* prev = nullptr;
    PoolEntry* next = nullptr;
  };
  CacheBlock* Take(BlockClient* client);
  void Unlink(CacheBlock* block);
  void LinkAtTail(CacheBlock* block);
  void Free(CacheBlock* block);
  void PoolToFront(PoolEntry* entry);
  void PoolToTail(PoolEntry* entry);

  CacheBlock* arrays_[4] = {};  // 8 records each
  CacheBlock* head_ = nullptr;
  CacheBlock* tail_ = nullptr;
  PoolEntry pool_[kFiles];
  PoolEntry* poolHead_ = nullptr;
  PoolEntry* poolTail_ = nullptr;
};

// The owner of blocks: a store read and written through the cache.
class BlockClient : public EngineObject {
 public:
  explicit BlockClient(BlockCache& cache) : cache_(cache) {}
  virtual ~BlockClient();
  BlockClient(const BlockClient&) = delete;
  BlockClient& operator=(const BlockClient&) = delete;

  void AddRef() { ++useCount_; }
  void Release() {
    if (--useCount_ == 0) delete this;
  }

  virtual void Fetch(std::int32_t position) = 0;
  virtual void StartWriting() {}
  virtual void Overflow(std::uint8_t c) {}
  virtual void FinishWriting() {}
  // Saves a block the cache takes away; false when it could not.
  virtual bool Spill(CacheBlock* block) { return true; }
  // Reads back the block that holds `position`; false when it could not.
  virtual bool FillBlock(CacheBlock* block, std::int32_t position) { return false; }
  virtual const std::uint8_t* GetBlockAt(std::int32_t position, const std::uint8_t** end) = 0;

  // Appends a byte (between StartWriting and FinishWriting).
  void PutChar(std::uint8_t c) {
    if (cur_ < end_) *cur_++ = c;
    else Overflow(c);
  }

 protected:
  BlockCache& cache_;
  std::uint8_t* start_ = nullptr;  // the block being written
  std::uint8_t* cur_ = nullptr;
  std::uint8_t* end_ = nullptr;
  CacheBlock* current_ = nullptr;
  std::int32_t position_ = 0;

 private:
  std::uint16_t useCount_ = 1;
};

class CachedStream : public BlockClient {
 public:
  // A stream holds at most this many blocks (17,039,360 bytes).
  static constexpr std::int32_t kMaxBlocks = 64 + 64 * 64;

  // On the engine's cache.
  CachedStream();
  explicit CachedStream(BlockCache& cache);
  ~CachedStream() override;

  void Fetch(std::int32_t position) override;
  void StartWriting() override;
  // The block being written is full: `c` starts the next one. Refused (and
  // reported) past kMaxBlocks blocks.
  void Overflow(std::uint8_t c) override;
  void FinishWriting() override;
  bool Spill(CacheBlock* block) override;
  bool FillBlock(CacheBlock* block, std::int32_t position) override;
  // A pointer to the byte at `position` and, in `end`, the end of the
  // block's valid bytes; null (and end null) at or past the end of the data.
  const std::uint8_t* GetBlockAt(std::int32_t position, const std::uint8_t** end) override;

  void Write(const void* data, std::size_t n);
  // Told by a writer that knows the data will come to at least `bytes`:
  // when that is more than the cache holds, whole blocks go straight to the
  // cache file from the start instead of passing through blocks in memory
  // that would be spilled anyway.
  void ExpectSize(std::int32_t bytes) { expected_ = bytes; }
  // Bytes stored so far.
  std::int32_t Size();

  // The byte at the position, which advances; 0 at the end of the data.
  int GetChar() {
    if (const std::uint8_t* here = ByteHere()) {
      ++position_;
      return *here;
    }
    return GetCharFetching();
  }
  int ReadByte() { return GetChar(); }
  // One UTF-8 coded character; U+FFFD for a sequence the data cuts short,
  // 0 at the end.
  std::uint32_t GetUtf8Char() {
    // Text is mostly ASCII: its bytes are characters.
    const std::uint8_t* here = ByteHere();
    if (here && *here < 0x80) {
      ++position_;
      return *here;
    }
    return GetUtf8CharFetching();
  }
  // Copies [from, to) and a NUL; with `fold` byte 1 becomes a blank.
  // Bytes that cannot be read are zero. Returns the address of the NUL
  // after the bytes copied.
  char* CopyRange(char* destination, std::int32_t from, std::int32_t to, bool fold);
  // The same into a new engine-heap block the caller frees.
  char* CopyRangeAlloc(std::int32_t from, std::int32_t to, bool fold);

  // The bytes from the position on that can be read without a fetch, with
  // their count in `available`; null when the position's block is not the
  // one read last. The position does not move: a reader taking many bytes
  // at once sets it after them.
  const std::uint8_t* BytesHere(std::int32_t* available) { return ReadableHere(available); }

  std::int32_t Position() const { return position_; }
  void SetPosition(std::int32_t position) { position_ = position; }
  bool Failed() const { return failed_; }
  const char* CacheFileName() const { return fileName_; }

 private:
  // The byte at the position in the block read last, with how many valid
  // bytes follow from it (itself included); null when it is not there.
  // Reading goes byte by byte through that block: found there, the bytes
  // are what a fetch would find, without one.
  const std::uint8_t* ReadableHere(std::int32_t* available);
  const std::uint8_t* ByteHere() {
    CacheBlock* block = current_;
    if (writing_ || !block || !block->Covers(this, position_) || position_ >= size_) return nullptr;
    if (cache_.Head() != block) cache_.MoveToFront(block);
    return block->data + (position_ - block->position);
  }
  int GetCharFetching();
  std::uint32_t GetUtf8CharFetching();
  std::uint16_t PageOf(std::int32_t index) const;
  bool SetPage(std::int32_t index, std::uint16_t page);
  void ResetPageMap();
  void Fail() { failed_ = true; }
  // With the block being written full: stores the whole blocks at the
  // front of the data straight in the cache file, once the stream has
  // outgrown the cache; the bytes taken (0: none, go on byte-wise).
  std::size_t WriteWholeBlocks(const std::uint8_t* data, std::size_t n);
  // Makes the written length of the block being written visible to readers.
  void SyncWriteBlock();

  std::uint16_t direct_[64];
  std::uint16_t* directory_[64] = {};
  std::uint16_t pageCounter_ = 0;
  char* fileName_ = nullptr;
  CacheBlock* writeBlock_ = nullptr;
  std::int32_t size_ = 0;
  std::int32_t expected_ = 0;
  bool writing_ = false;
  bool failed_ = false;
  bool refused_ = false;
};

}  // namespace qs
