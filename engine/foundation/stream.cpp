#include "foundation/stream.h"

#include <cstring>

#include "foundation/arena.h"
#include "foundation/engine_services.h"
#include "foundation/strings.h"

namespace qs {

namespace {
// Read hands bytes over in pieces no larger than this.
constexpr std::size_t kReadPiece = 31000;
}  // namespace

Stream::Stream(const char* sourceName) : sourceName_(DuplicateString(sourceName)) {}

Stream::~Stream() { MemFree(sourceName_); }

std::int32_t Stream::Tell() { return bufferPos_ + static_cast<std::int32_t>(cur_ - start_); }

void Stream::Refill() {
  end_ = start_;
  state_ = kLastBuffer;
}

void ReportStuckHost(const char* source) {
  // "Can't open '%s'": the source's data never came.
  ReportEngineError(10, reinterpret_cast<std::intptr_t>(source ? source : ""));
}

int Stream::GetEncoding() { return GetEngineServices().GetLoadEncoding(); }

bool Stream::Advance() {
  if (state_ == kMore) {
    bufferPos_ += static_cast<std::int32_t>(cur_ - start_);
    Refill();
    cur_ = start_;
    if (end_ == start_) {
      state_ = kAtEnd;
      return false;
    }
    return true;
  }
  state_ = kAtEnd;
  return false;
}

int Stream::GetCharSlow() {
  if (!Advance()) return 0;
  return *cur_++;
}

const std::uint8_t* Stream::ReadBlock(std::size_t* length, std::size_t maximum) {
  if (cur_ >= end_ && !Advance()) {
    *length = 0;
    return nullptr;
  }
  std::size_t n = static_cast<std::size_t>(end_ - cur_);
  if (n > maximum) n = maximum;
  const std::uint8_t* p = cur_;
  cur_ += n;
  *length = n;
  return p;
}

const std::uint8_t* Stream::Peek(std::size_t* length) {
  if (cur_ >= end_ && !Advance()) {
    *length = 0;
    return nullptr;
  }
  *length = static_cast<std::size_t>(end_ - cur_);
  return cur_;
}

std::size_t Stream::Read(void* destination, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(destination);
  std::size_t done = 0;
  while (done < count) {
    std::size_t want = count - done;
    if (want > kReadPiece) want = kReadPiece;
    std::size_t got = 0;
    const std::uint8_t* p = ReadBlock(&got, want);
    if (!p || got == 0) break;
    std::memcpy(out + done, p, got);
    done += got;
  }
  return done;
}

std::size_t Stream::ReadString(char* destination) {
  std::size_t n = 0;
  while (n < kStringCapacity - 1) {
    int c = GetChar();
    if (c == 0) break;
    destination[n++] = static_cast<char>(c);
  }
  destination[n] = '\0';
  return n;
}

unsigned Stream::ReadU16() {
  unsigned hi = static_cast<unsigned>(GetChar());
  return (hi << 8) | static_cast<unsigned>(GetChar());
}

std::uint32_t Stream::ReadU24() {
  std::uint32_t v = static_cast<std::uint32_t>(GetChar()) << 16;
  v |= static_cast<std::uint32_t>(GetChar()) << 8;
  return v | static_cast<std::uint32_t>(GetChar());
}

int Stream::Seek(std::int32_t position) {
  if (position < Tell()) return 0;
  while (Tell() < position) {
    if (cur_ >= end_ && !Advance()) return 0;  // the data ends before the position
    std::size_t n = static_cast<std::size_t>(end_ - cur_);
    std::size_t gap = static_cast<std::size_t>(position - Tell());
    cur_ += n < gap ? n : gap;
  }
  return 1;
}

void Stream::PutString(const char* s) {
  if (!s) return;
  while (*s) PutChar(static_cast<std::uint8_t>(*s++));
}

void Stream::PutStringZ(const char* s) {
  if (!s) return;
  PutString(s);
  PutChar(0);
}

void Stream::PutQuoted(const char* literal) {
  if (!literal) {
    PutString("\"\"");
    return;
  }
  bool hasQuote = FindChar(literal, '"') != nullptr;
  if (!hasQuote) {
    PutChar('"');
    PutString(literal);
    PutChar('"');
  } else if (!FindChar(literal, '\'')) {
    PutChar('\'');
    PutString(literal);
    PutChar('\'');
  } else {
    PutChar('"');
    for (const char* p = literal; *p; ++p) {
      if (*p == '"') PutString("&Q;");
      else PutChar(static_cast<std::uint8_t>(*p));
    }
    PutChar('"');
  }
}

void Stream::PutExternalId(const char* systemId, const char* publicId) {
  if (publicId) {
    PutString("PUBLIC ");
    PutQuoted(publicId);
  } else {
    PutString("SYSTEM");
  }
  if (systemId) {
    PutChar(' ');
    PutQuoted(systemId);
  }
}

FileInStream::FileInStream(const char* fileName, const char* sourceName, std::size_t blockSize)
    : Stream(sourceName) {
  if (blockSize > kBlockSize && (blockSize & (blockSize - 1)) == 0 &&
      blockSize <= (std::size_t(1) << 30)) {
    if (auto* larger = static_cast<std::uint8_t*>(MemAlloc(blockSize))) {
      // The first read fills it whole.
      BringInPages(larger, blockSize);
      buffer_ = larger;
      blockSize_ = blockSize;
    }
  }
  mayGrow_ = blockSize_ == kBlockSize;
  start_ = cur_ = end_ = buffer_;
  file_ = File::Open(fileName, File::kModeRead);
  if (!file_) {
    file_ = new RawFile;
    state_ = kAtEnd;
  }
}

FileInStream::~FileInStream() {
  delete file_;
  if (buffer_ != small_) MemFree(buffer_);
}

void FileInStream::Refill() {
  // Only where the next block starts on a large block's boundary, so that
  // a later Seek finds its blocks aligned as before.
  if (mayGrow_ && bufferPos_ >= static_cast<std::int32_t>(kLargeBlock) &&
      (static_cast<std::size_t>(bufferPos_) & (kLargeBlock - 1)) == 0) {
    mayGrow_ = false;
    if (auto* larger = static_cast<std::uint8_t*>(MemAlloc(kLargeBlock))) {
      BringInPages(larger, kLargeBlock);
      buffer_ = larger;
      blockSize_ = kLargeBlock;
    }
  }
  std::size_t n = file_->Read(buffer_, blockSize_);
  start_ = buffer_;
  end_ = buffer_ + n;
  if (n < blockSize_) state_ = kLastBuffer;
}

bool FileInStream::LoadBlock(std::int32_t position) {
  if (position < 0) return false;
  std::int32_t blockStart = position & ~static_cast<std::int32_t>(blockSize_ - 1);
  std::int64_t was = file_->Tell();
  if (file_->Seek(blockStart, 0) != blockStart) {
    if (was >= 0) file_->Seek(was, 0);
    return false;
  }
  std::size_t n = file_->Read(buffer_, blockSize_);
  if (static_cast<std::size_t>(position - blockStart) > n) {
    if (was >= 0) file_->Seek(was, 0);
    return false;
  }
  start_ = buffer_;
  end_ = buffer_ + n;
  cur_ = buffer_ + (position - blockStart);
  bufferPos_ = blockStart;
  state_ = n < blockSize_ ? kLastBuffer : kMore;
  return true;
}

int FileInStream::Seek(std::int32_t position) {
  std::int32_t here = Tell();
  std::uint8_t hereState = state_;
  if (LoadBlock(position)) return 1;
  // The buffer may have been overwritten: bring back the block we were in.
  if (!LoadBlock(here)) {
    start_ = cur_ = end_ = buffer_;
    bufferPos_ = here;
    state_ = kAtEnd;
  } else if (hereState == kAtEnd) {
    state_ = kLastBuffer;
    end_ = cur_;
  }
  return 0;
}

}  // namespace qs
