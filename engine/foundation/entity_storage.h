// How the engine gets at the data of an entity once its system path is
// known: a text the host handed over in memory, a block handed over through
// a callback, a registered temporary copy, whatever the host answers to
// event 3, or the file itself.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/callbacks.h"
#include "foundation/stream.h"

namespace qs {

// Bits of the flags word the host sets for event 3; the event's result is
// a pointer whose meaning they give.
enum : std::int32_t {
  kHostOwnsResult = 2,    // give the result back with event 48
  kResultIsFileName = 4,
  kResultIsBlock = 8,     // the result points to a HostDataBlock
  kRegisterAsTemp = 16,   // with kResultIsFileName: a temporary copy to register
};
// Bits 16 to 20 of the flags: the number handed to the caller.
inline std::int32_t HostFlagsNumber(std::int32_t flags) { return (flags >> 16) & 31; }

// The two fields a block result points to (pointer-sized on every platform).
struct HostDataBlock {
  const char* data;
  std::intptr_t length;
};

// A stream over bytes in memory that it does not own; with `giveBack` the
// bytes are the host's and go back through event 48 with the stream.
class MemoryInStream : public Stream {
 public:
  MemoryInStream(const char* data, std::size_t length, const char* sourceName,
                 bool giveBack = false);
  ~MemoryInStream() override;
  bool IsReadable() override { return true; }
  // Anywhere in the text, forwards or back; 0 past its end.
  int Seek(std::int32_t position) override;

 private:
  const char* data_;
  bool giveBack_;
};

// A readable stream of the data for `path`, named `sourceName`, or null;
// `outNumber` (may be null) gets the number the host handed over.
Stream* OpenEntityAt(const char* path, const char* sourceName, std::int32_t* outNumber);
// Puts into `out` (kPathCapacity bytes) the name of a local file holding
// the data for `path`, copying data held in memory to a temporary file.
// 1, or 0 when there is neither data nor file.
int GetLocalFileAt(const char* path, char* out, std::int32_t* outNumber);

}  // namespace qs
