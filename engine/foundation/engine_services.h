// What the foundation's streams, block cache, temporary files and entity
// storage need of the engine object. The engine object derives from
// EngineServices and installs itself while it lives; until one is installed
// a default answers (no folders, no host, errors shown as message boxes).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qs {

class BlockCache;

class EngineServices {
 public:
  virtual ~EngineServices() = default;
  // Offers engine error `code` (0-64) to the host and shows its text when
  // the host does not take it; returns to the caller.
  virtual void ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t c,
                           std::intptr_t d);
  // The engine's block cache (the default: one for the process).
  virtual BlockCache& GetBlockCache();
  // The temporary folder (no trailing separator); the default is the
  // system's.
  virtual const char* GetTempDir();
  // The home folder (ends in a separator when set), "" when none is set.
  virtual const char* GetHomeDir();
  // The byte that makes this engine's temporary names its own.
  virtual std::uint8_t GetTempStamp();
  // The character set setting for loads (what a stream reports as its encoding).
  virtual int GetLoadEncoding();
  // Raises host event `event` (0-49); 0 when the host does not answer.
  virtual std::intptr_t HostEvent(std::intptr_t window, int event, std::intptr_t a,
                                  std::intptr_t b);
  // Texts the host handed over for a system path: a NUL-terminated text...
  virtual const char* FindMemoryText(const char* path);
  // ... or a block and its length. False when there is none.
  virtual bool FindCallbackText(const char* path, const void** data, std::size_t* length);
};

// The installed engine object, else the default.
EngineServices& GetEngineServices();
// Installs `services` (null restores the default); returns the previous one
// (null when it was the default).
EngineServices* SetEngineServices(EngineServices* services);

inline void ReportEngineError(int code, std::intptr_t a = 0, std::intptr_t b = 0,
                              std::intptr_t c = 0, std::intptr_t d = 0) {
  GetEngineServices().ReportError(code, a, b, c, d);
}

// Engine error codes raised by the foundation's files and cache.
enum : int {
  kErrCantOpenCacheFile = 3,   // "Fatal: Can't open file '%s'"
  kErrAllBlocksLocked = 5,     // "Fatal: All cache files are locked"
  kErrBadBlock = 6,            // "Fatal: Bad block requested"
  kErrCantCreateFile = 32,     // "Can't create file '%s'"
};

}  // namespace qs
