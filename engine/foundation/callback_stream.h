// Binary streams over procedures the host supplies, as the compiled-document
// exports take them: a buffered input stream of 8,192-byte blocks, a
// buffered output stream of 4,096 bytes, a source that opens such an input
// stream on demand, and a chain of two sources.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"
#include "foundation/stream.h"

namespace qs {

// One host procedure shape, every word pointer-sized:
//   read   (context, offset, buffer, length) -> bytes delivered (fewer at the end)
//   write  (context, offset, data, length)   -> ignored
//   source (context, a, b, c); (context, -1, 0, 0) when the source goes away
using HostDataProc = std::intptr_t (*)(std::intptr_t context, std::intptr_t a, std::intptr_t b,
                                       std::intptr_t c);

class CallbackInStream : public Stream {
 public:
  static constexpr std::int32_t kBlockSize = 8192;
  CallbackInStream(std::intptr_t context, HostDataProc read);
  bool IsReadable() override { return true; }
  void Refill() override;
  // Reads the aligned block that holds the position and points into it;
  // 0 when the position lies past what the host delivers.
  int Seek(std::int32_t position) override;

 private:
  std::int32_t ReadAt(std::int32_t offset);
  std::intptr_t context_;
  HostDataProc read_;
  std::int32_t next_ = 0;  // where the next block is read
  std::uint8_t buffer_[kBlockSize];
};

class CallbackOutStream : public Stream {
 public:
  static constexpr std::int32_t kBufferSize = 4096;
  // Without a procedure the bytes are counted and dropped.
  CallbackOutStream(std::intptr_t context, HostDataProc write);
  // Hands on what is left.
  ~CallbackOutStream() override;
  void PutChar(std::uint8_t c) override {
    if (count_ == kBufferSize) Flush();
    buffer_[count_++] = c;
  }
  std::int32_t Tell() override { return handedOn_ + count_; }
  int Status() const { return 1; }
  void Flush();

 private:
  std::intptr_t context_;
  HostDataProc write_;
  std::int32_t handedOn_ = 0;
  std::int32_t count_ = 0;
  std::uint8_t buffer_[kBufferSize];
};

// The interface of the sources a chain is made of; the three requests are
// those of the compiled-document sources.
class ChainableSource : public EngineObject {
 public:
  enum : int { kAddUse = 1, kDropUse = 2 };
  virtual std::intptr_t Request1(std::intptr_t a, std::intptr_t b, std::intptr_t last) = 0;
  virtual std::intptr_t Request2(std::intptr_t a, std::intptr_t b, std::intptr_t last) = 0;
  virtual std::intptr_t Request3(std::intptr_t a, std::intptr_t b, std::intptr_t last) = 0;
  // The engine interface's own operation.
  virtual std::intptr_t Query() { return 0; }
  // kAddUse adds a use, kDropUse drops one (deleting at zero); returns 0.
  virtual int Ref(int code) = 0;

 protected:
  virtual ~ChainableSource() = default;
};

// Two sources, the first (optional) asked before the second (required).
class ChainedSource : public ChainableSource {
 public:
  // Takes a use of each source; the chain itself starts with one use.
  ChainedSource(ChainableSource* first, ChainableSource* second);
  std::intptr_t Request1(std::intptr_t a, std::intptr_t b, std::intptr_t last) override;
  std::intptr_t Request2(std::intptr_t a, std::intptr_t b, std::intptr_t last) override;
  std::intptr_t Request3(std::intptr_t a, std::intptr_t b, std::intptr_t last) override;
  int Ref(int code) override;

 private:
  ~ChainedSource() override;
  std::uint16_t useCount_ = 1;
  ChainableSource* first_;
  ChainableSource* second_;
};

// A source over a host procedure that opens a CallbackInStream on demand.
class CallbackSource : public EngineObject {
 public:
  CallbackSource(std::intptr_t context, HostDataProc procedure);
  // Tells the host the source is no longer needed.
  virtual ~CallbackSource();
  CallbackSource(const CallbackSource&) = delete;
  CallbackSource& operator=(const CallbackSource&) = delete;

  // A new stream (the previous one deleted), sought to `position` when it
  // is not 0; returns 1.
  virtual int Open(std::int32_t position);
  virtual int Close();
  // The host request.
  virtual std::intptr_t Request(std::intptr_t a, std::intptr_t b, std::intptr_t c);

  CallbackInStream* GetStream() const { return stream_; }

 private:
  CallbackInStream* stream_ = nullptr;
  std::intptr_t context_;
  HostDataProc procedure_;
};

// The base of the engine interface's source adapters.
class SourceAdapter : public EngineObject {
 public:
  virtual ~SourceAdapter() = default;
  virtual std::intptr_t Answer() { return 0; }
};

}  // namespace qs
