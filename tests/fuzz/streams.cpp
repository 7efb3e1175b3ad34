// Path normalising and joining, and the stream readers, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/entity_storage.h"
#include "foundation/paths.h"
#include "foundation/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  std::vector<char> normal(text);
  qs::PathNormalize(normal.data());
  if (std::strlen(normal.data()) > std::strlen(text.data())) __builtin_trap();
  qs::PathIsRelative(text.data());
  qs::PathDirLength(text.data());
  char joined[qs::kPathCapacity];
  qs::PathJoin(joined, "D:\\dir\\", text.data());

  // The first byte picks where to seek; the stream reads what is left.
  auto* stream = new qs::MemoryInStream(reinterpret_cast<const char*>(data), size, "fuzz");
  char buffer[qs::Stream::kStringCapacity];
  stream->ReadString(buffer);
  stream->ReadU24();
  stream->Seek(size ? data[0] * 3 : 0);
  stream->ReadU16();
  std::vector<char> rest(size + 1);
  stream->Read(rest.data(), rest.size());
  stream->Release();
  return 0;
}
