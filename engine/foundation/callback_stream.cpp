#include "foundation/callback_stream.h"

namespace qs {

// ---- CallbackInStream -----------------------------------------------------

CallbackInStream::CallbackInStream(std::intptr_t context, HostDataProc read)
    : context_(context), read_(read) {
  start_ = cur_ = end_ = buffer_;
}

std::int32_t CallbackInStream::ReadAt(std::int32_t offset) {
  std::intptr_t n = read_ ? read_(context_, offset, reinterpret_cast<std::intptr_t>(buffer_),
                                  kBlockSize)
                          : 0;
  if (n < 0) n = 0;  // the host's count is trusted no further than the buffer
  if (n > kBlockSize) n = kBlockSize;
  start_ = buffer_;
  end_ = buffer_ + n;
  return static_cast<std::int32_t>(n);
}

void CallbackInStream::Refill() {
  std::int32_t n = ReadAt(next_);
  next_ += n;
  if (n < kBlockSize) state_ = kLastBuffer;
}

int CallbackInStream::Seek(std::int32_t position) {
  if (position < 0) return 0;
  std::int32_t block = position & ~(kBlockSize - 1);
  std::int32_t n = ReadAt(block);
  next_ = block + n;
  bufferPos_ = block;
  state_ = n < kBlockSize ? kLastBuffer : kMore;
  if (position - block > n) {
    cur_ = end_;
    return 0;
  }
  cur_ = start_ + (position - block);
  return 1;
}

// ---- CallbackOutStream ----------------------------------------------------

CallbackOutStream::CallbackOutStream(std::intptr_t context, HostDataProc write)
    : context_(context), write_(write) {}

CallbackOutStream::~CallbackOutStream() { Flush(); }

void CallbackOutStream::Flush() {
  if (count_ == 0) return;
  if (write_)
    write_(context_, handedOn_, reinterpret_cast<std::intptr_t>(buffer_), count_);
  handedOn_ += count_;
  count_ = 0;
}

// ---- ChainedSource --------------------------------------------------------

ChainedSource::ChainedSource(ChainableSource* first, ChainableSource* second)
    : first_(first), second_(second) {
  if (first_) first_->Ref(kAddUse);
  if (second_) second_->Ref(kAddUse);
}

ChainedSource::~ChainedSource() {
  if (first_) first_->Ref(kDropUse);
  if (second_) second_->Ref(kDropUse);
}

std::intptr_t ChainedSource::Request1(std::intptr_t a, std::intptr_t b, std::intptr_t last) {
  if (first_)
    if (std::intptr_t r = first_->Request1(a, b, 0)) return r;
  return second_ ? second_->Request1(a, b, last) : 0;
}

std::intptr_t ChainedSource::Request2(std::intptr_t a, std::intptr_t b, std::intptr_t last) {
  if (first_)
    if (std::intptr_t r = first_->Request2(a, b, 0)) return r;
  return second_ ? second_->Request2(a, b, last) : 0;
}

std::intptr_t ChainedSource::Request3(std::intptr_t a, std::intptr_t b, std::intptr_t last) {
  if (first_)
    if (std::intptr_t r = first_->Request3(a, b, 0)) return r;
  return second_ ? second_->Request3(a, b, last) : 0;
}

int ChainedSource::Ref(int code) {
  if (code == kAddUse) {
    ++useCount_;
  } else if (code == kDropUse) {
    if (--useCount_ == 0) delete this;
  }
  return 0;
}

// ---- CallbackSource -------------------------------------------------------

CallbackSource::CallbackSource(std::intptr_t context, HostDataProc procedure)
    : context_(context), procedure_(procedure) {}

CallbackSource::~CallbackSource() {
  Close();
  if (procedure_) procedure_(context_, -1, 0, 0);
}

int CallbackSource::Open(std::int32_t position) {
  Close();
  stream_ = new CallbackInStream(context_, procedure_);
  if (position != 0) stream_->Seek(position);
  return 1;
}

int CallbackSource::Close() {
  if (stream_) stream_->Release();
  stream_ = nullptr;
  return 1;
}

std::intptr_t CallbackSource::Request(std::intptr_t a, std::intptr_t b, std::intptr_t c) {
  return procedure_ ? procedure_(context_, a, b, c) : 0;
}

}  // namespace qs
