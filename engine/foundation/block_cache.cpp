#include "foundation/block_cache.h"

#include <cstring>
#include <new>

#include "foundation/arena.h"
#include "foundation/engine_services.h"
#include "foundation/paths.h"
#include "foundation/strings.h"

namespace qs {

namespace {
constexpr std::uint16_t kNoPage = 0xFFFF;
}  // namespace

// ---- BlockCache -----------------------------------------------------------

BlockCache::BlockCache() {
  CacheBlock* previous = nullptr;
  for (int k = 0; k < kBlocks; ++k) {
    if (k % 8 == 0) {
      void* memory = MemAlloc(sizeof(CacheBlock) * 8);
      if (!memory) throw std::bad_alloc();
      // Every block is written before long (its header now, its data with
      // the first large text): the pages come in at once.
      BringInPages(memory, sizeof(CacheBlock) * 8);
      arrays_[k / 8] = static_cast<CacheBlock*>(memory);
      for (int i = 0; i < 8; ++i) new (&arrays_[k / 8][i]) CacheBlock;
    }
    CacheBlock* block = &arrays_[k / 8][k % 8];
    block->prev = previous;
    if (previous) previous->next = block;
    else head_ = block;
    previous = block;
  }
  tail_ = previous;
  for (int i = 0; i < kFiles; ++i) {
    pool_[i].prev = i > 0 ? &pool_[i - 1] : nullptr;
    pool_[i].next = i + 1 < kFiles ? &pool_[i + 1] : nullptr;
  }
  poolHead_ = &pool_[0];
  poolTail_ = &pool_[kFiles - 1];
}

BlockCache::~BlockCache() {
  for (PoolEntry& e : pool_) {
    delete e.file;
    MemFree(e.name);
  }
  for (CacheBlock* array : arrays_) MemFree(array);
}

void BlockCache::Unlink(CacheBlock* block) {
  if (block->prev) block->prev->next = block->next;
  else head_ = block->next;
  if (block->next) block->next->prev = block->prev;
  else tail_ = block->prev;
  block->prev = block->next = nullptr;
}

void BlockCache::LinkAtTail(CacheBlock* block) {
  block->prev = tail_;
  block->next = nullptr;
  if (tail_) tail_->next = block;
  else head_ = block;
  tail_ = block;
}

void BlockCache::MoveToFront(CacheBlock* block) {
  if (block == head_) return;
  Unlink(block);
  block->next = head_;
  if (head_) head_->prev = block;
  else tail_ = block;
  head_ = block;
}

void BlockCache::Free(CacheBlock* block) {
  block->owner = nullptr;
  block->position = -1;
  block->length = 0;
  block->locked = 0;
  Unlink(block);
  LinkAtTail(block);
}

CacheBlock* BlockCache::Take(BlockClient* client) {
  CacheBlock* candidate = head_;
  while (candidate && candidate->owner) candidate = candidate->next;
  if (!candidate) candidate = tail_;
  while (candidate && candidate->locked) candidate = candidate->prev;
  if (!candidate) {
    ReportEngineError(kErrAllBlocksLocked);
    return nullptr;
  }
  // A failed spill has marked its owner failed; the block goes on anyway.
  if (candidate->owner) candidate->owner->Spill(candidate);
  candidate->owner = client;
  candidate->position = -1;
  candidate->length = 0;
  candidate->locked = 0;
  return candidate;
}

CacheBlock* BlockCache::FindBlock(BlockClient* client, std::int32_t position) {
  for (CacheBlock* b = head_; b && b->owner; b = b->next) {
    if (b->Covers(client, position)) {
      MoveToFront(b);
      return b;
    }
  }
  CacheBlock* block = Take(client);
  if (!block) return nullptr;
  if (!client->FillBlock(block, position)) {
    Free(block);
    return nullptr;
  }
  MoveToFront(block);
  return block;
}

CacheBlock* BlockCache::NewBlock(BlockClient* client) {
  CacheBlock* block = Take(client);
  if (!block) return nullptr;
  block->length = 0;
  block->locked = 1;
  MoveToFront(block);
  return block;
}

void BlockCache::ReleaseClient(BlockClient* client) {
  for (int k = 0; k < kBlocks; ++k) {
    CacheBlock* b = &arrays_[k / 8][k % 8];
    if (b->owner == client) Free(b);
  }
}

void BlockCache::GiveBackUnused() {
  for (int k = 0; k < kBlocks; ++k) {
    CacheBlock* b = &arrays_[k / 8][k % 8];
    if (b->owner && !b->locked) {
      b->owner->Spill(b);
      Free(b);
    }
  }
}

void BlockCache::PoolToFront(PoolEntry* e) {
  if (e == poolHead_) return;
  e->prev->next = e->next;
  if (e->next) e->next->prev = e->prev;
  else poolTail_ = e->prev;
  e->prev = nullptr;
  e->next = poolHead_;
  poolHead_->prev = e;
  poolHead_ = e;
}

void BlockCache::PoolToTail(PoolEntry* e) {
  if (e == poolTail_) return;
  e->next->prev = e->prev;
  if (e->prev) e->prev->next = e->next;
  else poolHead_ = e->next;
  e->next = nullptr;
  e->prev = poolTail_;
  poolTail_->next = e;
  poolTail_ = e;
}

File* BlockCache::GetFile(const char* name) {
  PoolEntry* e = poolHead_;
  for (; e; e = e->next) {
    if (!e->file) break;
    if (CompareStrings(e->name, name) == 0) {
      PoolToFront(e);
      return e->file;
    }
    if (!e->next) break;  // the least recently used entry makes room
  }
  delete e->file;
  e->file = nullptr;
  MemFree(e->name);
  e->name = nullptr;
  e->file = File::Open(name, File::kModeUpdate);
  if (!e->file) {
    PoolToTail(e);
    ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(name));
    return nullptr;
  }
  e->name = DuplicateString(name);
  PoolToFront(e);
  return e->file;
}

void BlockCache::CloseFile(const char* name) {
  if (!name) return;
  for (PoolEntry* e = poolHead_; e; e = e->next) {
    if (e->name && CompareStrings(e->name, name) == 0) {
      delete e->file;
      e->file = nullptr;
      MemFree(e->name);
      e->name = nullptr;
      PoolToTail(e);
      return;
    }
  }
}

int BlockCache::OpenFileCount() const {
  int n = 0;
  for (const PoolEntry& e : pool_) n += e.file != nullptr;
  return n;
}

// ---- BlockClient ----------------------------------------------------------

BlockClient::~BlockClient() { cache_.ReleaseClient(this); }

// ---- CachedStream ---------------------------------------------------------

CachedStream::CachedStream() : CachedStream(GetEngineServices().GetBlockCache()) {}

CachedStream::CachedStream(BlockCache& cache) : BlockClient(cache) {
  for (std::uint16_t& p : direct_) p = kNoPage;
}

CachedStream::~CachedStream() {
  if (fileName_) {
    cache_.CloseFile(fileName_);
    File::Delete(fileName_);
    MemFree(fileName_);
  }
  for (std::uint16_t* page : directory_) MemFree(page);
}

std::uint16_t CachedStream::PageOf(std::int32_t index) const {
  if (index < 0 || index >= kMaxBlocks) return kNoPage;
  if (index < 64) return direct_[index];
  const std::uint16_t* page = directory_[(index - 64) / 64];
  return page ? page[(index - 64) % 64] : kNoPage;
}

bool CachedStream::SetPage(std::int32_t index, std::uint16_t value) {
  if (index < 0 || index >= kMaxBlocks) return false;
  if (index < 64) {
    direct_[index] = value;
    return true;
  }
  std::uint16_t*& page = directory_[(index - 64) / 64];
  if (!page) {
    page = static_cast<std::uint16_t*>(MemAlloc(64 * sizeof(std::uint16_t)));
    if (!page) return false;
    for (int i = 0; i < 64; ++i) page[i] = kNoPage;
  }
  page[(index - 64) % 64] = value;
  return true;
}

void CachedStream::ResetPageMap() {
  for (std::uint16_t& p : direct_) p = kNoPage;
  for (std::uint16_t*& page : directory_) {
    MemFree(page);
    page = nullptr;
  }
  pageCounter_ = 0;
}

void CachedStream::StartWriting() {
  cache_.ReleaseClient(this);
  current_ = nullptr;
  ResetPageMap();
  if (fileName_) {
    cache_.CloseFile(fileName_);
    File::Delete(fileName_);
    MemFree(fileName_);
    fileName_ = nullptr;
  }
  failed_ = refused_ = false;
  size_ = 0;
  expected_ = 0;
  position_ = 0;
  writing_ = true;
  start_ = cur_ = end_ = nullptr;
  writeBlock_ = cache_.NewBlock(this);
  if (!writeBlock_) {
    Fail();
    return;
  }
  writeBlock_->position = 0;
  start_ = cur_ = writeBlock_->data;
  end_ = start_ + CacheBlock::kSize;
}

void CachedStream::Overflow(std::uint8_t c) {
  if (!writing_ || failed_ || refused_ || !writeBlock_) return;
  std::int32_t next = writeBlock_->position + CacheBlock::kSize;
  if (next / CacheBlock::kSize >= kMaxBlocks) {
    refused_ = true;  // the page map has no room: the text ends here
    ReportEngineError(0, kMaxBlocks);
    return;
  }
  writeBlock_->length = CacheBlock::kSize;
  writeBlock_->locked = 0;
  size_ = next;
  writeBlock_ = cache_.NewBlock(this);
  start_ = cur_ = end_ = nullptr;
  if (!writeBlock_) {
    Fail();
    return;
  }
  writeBlock_->position = next;
  start_ = cur_ = writeBlock_->data;
  end_ = start_ + CacheBlock::kSize;
  *cur_++ = c;
}

void CachedStream::SyncWriteBlock() {
  if (writing_ && writeBlock_ && start_) {
    writeBlock_->length = static_cast<std::int32_t>(cur_ - start_);
    size_ = writeBlock_->position + writeBlock_->length;
  }
}

void CachedStream::FinishWriting() {
  if (!writing_) return;
  SyncWriteBlock();
  if (writeBlock_) writeBlock_->locked = 0;
  writeBlock_ = nullptr;
  start_ = cur_ = end_ = nullptr;
  writing_ = false;
}

std::size_t CachedStream::WriteWholeBlocks(const std::uint8_t* data, std::size_t n) {
  if (!writing_ || failed_ || refused_ || !writeBlock_ || n < std::size_t(CacheBlock::kSize)) return 0;
  const std::int32_t next = writeBlock_->position + CacheBlock::kSize;
  const std::int32_t index = next / CacheBlock::kSize;
  // Only a stream that has outgrown the cache or will: a smaller one keeps
  // its text in memory, and these blocks would be spilled on the next take.
  constexpr std::int32_t kCacheBytes = BlockCache::kBlocks * CacheBlock::kSize;
  if (index < BlockCache::kBlocks && expected_ <= kCacheBytes) return 0;
  // The page map's last block is left to Overflow, so that writing goes on
  // in a block the map holds, or is refused there.
  std::size_t count = n / CacheBlock::kSize;
  if (index >= kMaxBlocks - 1) return 0;
  if (count > std::size_t(kMaxBlocks - 1 - index)) count = std::size_t(kMaxBlocks - 1 - index);
  if (count == 0) return 0;
  if (!fileName_) {
    char name[kPathCapacity];
    if (!MakeTempName(name)) {
      ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(""));
      Fail();
      return 0;
    }
    fileName_ = DuplicateString(name);
    pageCounter_ = 0;
  }
  File* file = cache_.GetFile(fileName_);
  if (!file) {
    Fail();
    return 0;
  }
  const std::size_t bytes = count * CacheBlock::kSize;
  const std::int64_t offset = static_cast<std::int64_t>(pageCounter_) * CacheBlock::kSize;
  bool ok = file->Seek(offset, 0) == offset && file->Write(data, bytes) == bytes;
  for (std::size_t i = 0; ok && i < count; ++i) {
    ok = SetPage(index + std::int32_t(i), std::uint16_t(pageCounter_ + i));
  }
  if (!ok) {
    ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(fileName_));
    Fail();
    return 0;
  }
  pageCounter_ = std::uint16_t(pageCounter_ + count);
  // The full block goes back to the cache like any other; writing goes on
  // in a new block after the ones stored.
  writeBlock_->length = CacheBlock::kSize;
  writeBlock_->locked = 0;
  const std::int32_t after = next + std::int32_t(bytes);
  size_ = after;
  start_ = cur_ = end_ = nullptr;
  writeBlock_ = cache_.NewBlock(this);
  if (!writeBlock_) {
    Fail();
    return bytes;
  }
  writeBlock_->position = after;
  start_ = cur_ = writeBlock_->data;
  end_ = start_ + CacheBlock::kSize;
  return bytes;
}

void CachedStream::Write(const void* data, std::size_t n) {
  auto* p = static_cast<const std::uint8_t*>(data);
  while (n > 0) {
    // What fits in the block being written goes at once; whole blocks past
    // the cache's room go to the cache file in one write; the byte that
    // finds the block full goes through PutChar, which starts the next one.
    std::size_t room = static_cast<std::size_t>(end_ - cur_);
    if (room == 0) {
      if (std::size_t stored = WriteWholeBlocks(p, n)) {
        p += stored;
        n -= stored;
        continue;
      }
      PutChar(*p++);
      --n;
      continue;
    }
    std::size_t take = n < room ? n : room;
    std::memcpy(cur_, p, take);
    cur_ += take;
    p += take;
    n -= take;
  }
}

std::int32_t CachedStream::Size() {
  SyncWriteBlock();
  return size_;
}

bool CachedStream::Spill(CacheBlock* block) {
  std::int32_t index = block->position / CacheBlock::kSize;
  if (block->position < 0 || PageOf(index) != kNoPage) return true;  // written before
  if (failed_) return false;
  if (!fileName_) {
    char name[kPathCapacity];
    if (!MakeTempName(name)) {
      ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(""));
      Fail();
      return false;
    }
    fileName_ = DuplicateString(name);
    pageCounter_ = 0;
  }
  File* file = cache_.GetFile(fileName_);
  if (!file) {
    Fail();
    return false;
  }
  std::int64_t offset = static_cast<std::int64_t>(pageCounter_) * CacheBlock::kSize;
  if (file->Seek(offset, 0) != offset ||
      file->Write(block->data, CacheBlock::kSize) != static_cast<std::size_t>(CacheBlock::kSize) ||
      !SetPage(index, pageCounter_)) {
    ReportEngineError(kErrCantOpenCacheFile, reinterpret_cast<std::intptr_t>(fileName_));
    Fail();
    return false;
  }
  ++pageCounter_;
  return true;
}

bool CachedStream::FillBlock(CacheBlock* block, std::int32_t position) {
  if (failed_) return false;
  std::int32_t index = position / CacheBlock::kSize;
  std::uint16_t page = PageOf(index);
  File* file = page != kNoPage && fileName_ ? cache_.GetFile(fileName_) : nullptr;
  std::int64_t offset = static_cast<std::int64_t>(page) * CacheBlock::kSize;
  if (!file || file->Seek(offset, 0) != offset ||
      file->Read(block->data, CacheBlock::kSize) != static_cast<std::size_t>(CacheBlock::kSize)) {
    if (page == kNoPage || file) ReportEngineError(kErrBadBlock);
    Fail();
    return false;
  }
  block->position = index * CacheBlock::kSize;
  block->length = CacheBlock::kSize;
  return true;
}

void CachedStream::Fetch(std::int32_t position) {
  position_ = position;
  SyncWriteBlock();
  if (current_ && current_->Covers(this, position)) {
    cache_.MoveToFront(current_);
    return;
  }
  current_ = failed_ ? nullptr : cache_.FindBlock(this, position);
}

const std::uint8_t* CachedStream::GetBlockAt(std::int32_t position, const std::uint8_t** end) {
  *end = nullptr;
  if (position < 0 || position >= Size()) return nullptr;
  Fetch(position);
  if (!current_ || !current_->Covers(this, position)) return nullptr;
  std::int32_t validEnd = current_->position + current_->length;
  if (validEnd > size_) validEnd = size_;  // the last block comes back whole
  *end = current_->data + (validEnd - current_->position);
  return current_->data + (position - current_->position);
}

namespace {
// What the lead byte and its continuation bytes add up to beyond the code
// point, by the number of continuation bytes.
constexpr std::uint32_t kUtf8Offset[6] = {0, 0x3080, 0xE2080, 0x3C82080, 0xFA082080u, 0x82082080u};

int ContinuationCount(std::uint32_t lead) {
  return lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : lead < 0xFC ? 4 : 5;
}
}  // namespace

const std::uint8_t* CachedStream::ReadableHere(std::int32_t* available) {
  const std::uint8_t* here = ByteHere();
  if (!here) return nullptr;
  std::int32_t validEnd = current_->position + current_->length;
  if (validEnd > size_) validEnd = size_;
  *available = validEnd - position_;
  return here;
}

int CachedStream::GetCharFetching() {
  const std::uint8_t* end;
  const std::uint8_t* p = GetBlockAt(position_, &end);
  if (!p) return 0;
  ++position_;
  return *p;
}

std::uint32_t CachedStream::GetUtf8CharFetching() {
  std::int32_t available;
  if (const std::uint8_t* here = ReadableHere(&available)) {
    std::uint32_t c = here[0];
    if (c < 0xC0) {
      ++position_;
      return c;
    }
    const int n = ContinuationCount(c);
    if (n < available) {
      for (int i = 1; i <= n; ++i) c = c * 64 + here[i];
      position_ += n + 1;
      return c - kUtf8Offset[n];
    }
  }
  std::int32_t size = Size();
  if (position_ >= size || position_ < 0) return 0;
  std::uint32_t c = static_cast<std::uint32_t>(GetChar());
  if (c < 0xC0) return c;
  int n = ContinuationCount(c);
  if (size - position_ < n) {
    position_ = size;
    return 0xFFFD;
  }
  for (int i = 0; i < n; ++i) c = c * 64 + static_cast<std::uint32_t>(GetChar());
  return c - kUtf8Offset[n];
}

char* CachedStream::CopyRange(char* destination, std::int32_t from, std::int32_t to, bool fold) {
  if (to < from) to = from;
  char* out = destination;
  std::int32_t pos = from;
  while (pos < to) {
    const std::uint8_t* end;
    const std::uint8_t* p = GetBlockAt(pos, &end);
    if (!p) break;
    std::int32_t n = static_cast<std::int32_t>(end - p);
    if (n > to - pos) n = to - pos;
    if (fold) {
      for (std::int32_t i = 0; i < n; ++i) out[i] = static_cast<char>(g_charTable.identity[p[i]]);
    } else {
      std::memcpy(out, p, static_cast<std::size_t>(n));
    }
    out += n;
    pos += n;
  }
  std::memset(out, 0, static_cast<std::size_t>(to - pos) + 1);
  return out;
}

char* CachedStream::CopyRangeAlloc(std::int32_t from, std::int32_t to, bool fold) {
  std::size_t n = to > from ? static_cast<std::size_t>(to - from) : 0;
  char* copy = static_cast<char*>(MemAlloc(n + 1));
  if (copy) CopyRange(copy, from, to, fold);
  return copy;
}

}  // namespace qs
