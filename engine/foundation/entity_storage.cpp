#include "foundation/entity_storage.h"

#include "foundation/engine_services.h"
#include "foundation/file.h"
#include "foundation/paths.h"
#include "foundation/strings.h"

namespace qs {

MemoryInStream::MemoryInStream(const char* data, std::size_t length, const char* sourceName,
                               bool giveBack)
    : Stream(sourceName), data_(data), giveBack_(giveBack) {
  static std::uint8_t empty = 0;
  start_ = cur_ = data ? reinterpret_cast<std::uint8_t*>(const_cast<char*>(data)) : &empty;
  end_ = data ? start_ + length : start_;
  state_ = kLastBuffer;
}

MemoryInStream::~MemoryInStream() {
  if (giveBack_ && data_)
    GetEngineServices().HostEvent(0, kEventFreeHostBlock, reinterpret_cast<std::intptr_t>(data_),
                                  0);
}

int MemoryInStream::Seek(std::int32_t position) {
  if (position < 0 || position > end_ - start_) return 0;
  cur_ = start_ + position;
  state_ = kLastBuffer;
  return 1;
}

namespace {

Stream* OpenFileStream(const char* name, const char* sourceName) {
  auto* stream = new FileInStream(name, sourceName);
  if (stream->IsReadable()) return stream;
  stream->Release();
  return nullptr;
}

// Asks the host for the data of `path`; 0 when it has none.
std::intptr_t AskHost(const char* path, std::int32_t* flags, std::int32_t* outNumber) {
  *flags = 0;
  std::intptr_t result = GetEngineServices().HostEvent(
      0, kEventResolveSystemId, reinterpret_cast<std::intptr_t>(path),
      reinterpret_cast<std::intptr_t>(flags));
  if (result && outNumber) *outNumber = HostFlagsNumber(*flags);
  return result;
}

void GiveBack(std::intptr_t result) {
  GetEngineServices().HostEvent(0, kEventFreeHostBlock, result, 0);
}

// The data a block result points to; the record goes back at once.
MemoryInStream* BlockStream(std::intptr_t result, std::int32_t flags, const char* sourceName) {
  const auto* block = reinterpret_cast<const HostDataBlock*>(result);
  const char* data = block->data;
  std::size_t length = block->length > 0 ? static_cast<std::size_t>(block->length) : 0;
  if (flags & kHostOwnsResult) GiveBack(result);
  return new MemoryInStream(data, length, sourceName);
}

bool CopyName(char* out, const char* name) {
  if (GetStringLength(name) >= kPathCapacity) return false;
  CopyString(out, name);
  return true;
}

}  // namespace

Stream* OpenEntityAt(const char* path, const char* sourceName, std::int32_t* outNumber) {
  if (outNumber) *outNumber = 0;
  if (!path) return nullptr;
  EngineServices& engine = GetEngineServices();
  if (const char* text = engine.FindMemoryText(path))
    return new MemoryInStream(text, GetStringLength(text), sourceName);
  const void* data;
  std::size_t length;
  if (engine.FindCallbackText(path, &data, &length))
    return new MemoryInStream(static_cast<const char*>(data), length, sourceName);
  if (const char* copy = LookupTempFile(path, outNumber)) return OpenFileStream(copy, sourceName);

  std::int32_t flags;
  std::intptr_t result = AskHost(path, &flags, outNumber);
  if (!result) return OpenFileStream(path, sourceName);
  if (flags & kResultIsFileName) {
    const char* name = reinterpret_cast<const char*>(result);
    if (flags & kRegisterAsTemp) RegisterTempFile(path, name, HostFlagsNumber(flags));
    Stream* stream = OpenFileStream(name, sourceName);
    if (flags & kHostOwnsResult) GiveBack(result);
    return stream;
  }
  if (flags & kResultIsBlock) return BlockStream(result, flags, sourceName);
  const char* text = reinterpret_cast<const char*>(result);
  return new MemoryInStream(text, GetStringLength(text), sourceName,
                            (flags & kHostOwnsResult) != 0);
}

int GetLocalFileAt(const char* path, char* out, std::int32_t* outNumber) {
  if (outNumber) *outNumber = 0;
  if (!path) return 0;
  EngineServices& engine = GetEngineServices();
  if (const char* copy = LookupTempFile(path, outNumber)) return CopyName(out, copy) ? 1 : 0;
  if (const char* text = engine.FindMemoryText(path))
    return CopyToTempFile(new MemoryInStream(text, GetStringLength(text), path), path, out, 0);
  const void* data;
  std::size_t length;
  if (engine.FindCallbackText(path, &data, &length))
    return CopyToTempFile(new MemoryInStream(static_cast<const char*>(data), length, path), path,
                          out, 0);

  std::int32_t flags;
  std::intptr_t result = AskHost(path, &flags, outNumber);
  if (!result) return File::Exists(path) && CopyName(out, path) ? 1 : 0;
  std::int32_t number = HostFlagsNumber(flags);
  if (flags & kResultIsFileName) {
    const char* name = reinterpret_cast<const char*>(result);
    if (flags & kRegisterAsTemp) RegisterTempFile(path, name, number);
    bool fits = CopyName(out, name);
    if (flags & kHostOwnsResult) GiveBack(result);
    return fits ? 1 : 0;
  }
  if (flags & kResultIsBlock) return CopyToTempFile(BlockStream(result, flags, path), path, out, number);
  const char* text = reinterpret_cast<const char*>(result);
  return CopyToTempFile(
      new MemoryInStream(text, GetStringLength(text), path, (flags & kHostOwnsResult) != 0), path,
      out, number);
}

}  // namespace qs
