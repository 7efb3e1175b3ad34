// Files as the engine sees them: an abstract byte file, a null file that
// takes the place of one that could not be opened, and the platform file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"
#include "foundation/platform.h"

namespace qs {

// As a concrete class, the null file: reads and writes transfer nothing,
// seeking fails.
class RawFile : public EngineObject {
 public:
  virtual ~RawFile() = default;
  virtual std::size_t Read(void* buffer, std::size_t n);
  virtual std::size_t Write(const void* buffer, std::size_t n);
  // Origin 0 start, 1 current, 2 end; the new position, -1 on failure.
  virtual std::int64_t Seek(std::int64_t offset, int origin);
  virtual std::int64_t Tell() { return Seek(0, 1); }
};

class File : public RawFile {
 public:
  // Open mode bits as platform::FileOpen: the engine reads with kModeRead
  // and writes with kModeCreate (read/write, always created).
  enum : unsigned {
    kModeRead = platform::kFileRead,
    kModeUpdate = platform::kFileReadWrite | platform::kFileCreate,
    kModeCreate = platform::kFileReadWrite | platform::kFileCreate | platform::kFileTruncate,
  };
  // A new file on the engine heap, or null when the platform refuses.
  static File* Open(const char* name, unsigned mode);
  // 0 missing, 1 present and read-only, 4 present and writable.
  static int Exists(const char* name);
  static bool Delete(const char* name);
  // Replaces `to`: how a finished temporary file becomes the user's file.
  static bool Rename(const char* from, const char* to);

  ~File() override;
  std::size_t Read(void* buffer, std::size_t n) override;
  std::size_t Write(const void* buffer, std::size_t n) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;

  File(const File&) = delete;
  File& operator=(const File&) = delete;

 private:
  explicit File(platform::FileHandle handle) : handle_(handle) {}
  platform::FileHandle handle_;
  // Where the handle stands, -1 when not known: a cache file is written
  // block after block, each at the place the one before ended, and asking
  // the system to seek there again cost a call per block.
  std::int64_t position_ = -1;
};

}  // namespace qs
