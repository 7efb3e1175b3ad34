#include "foundation/engine_services.h"

#include "foundation/block_cache.h"
#include "foundation/platform.h"
#include "foundation/strings.h"

namespace qs {

namespace {
EngineServices g_defaultServices;
EngineServices* g_services = nullptr;

// The texts of the errors the foundation raises before an engine object
// with the full table exists.
const char* DefaultErrorText(int code) {
  switch (code) {
    case 3: return "Fatal: Can't open file '%s'";
    case 4: return "Fatal: Set LRU failed";
    case 5: return "Fatal: All cache files are locked";
    case 6: return "Fatal: Bad block requested";
    case 32: return "Can't create file '%s'";
    default: return nullptr;
  }
}
}  // namespace

void EngineServices::ReportError(int code, std::intptr_t a, std::intptr_t, std::intptr_t,
                                 std::intptr_t) {
  char text[512];
  if (const char* format = DefaultErrorText(code)) {
    FormatString(text, sizeof text, format, reinterpret_cast<const char*>(a));
  } else if (code == 0) {
    FormatString(text, sizeof text, "Internal Error %d", static_cast<int>(a));
  } else {
    FormatString(text, sizeof text, "Engine error %d", code);
  }
  platform::ShowMessage(0, text, "Error", platform::kMbOk | platform::kMbIconHand);
}

BlockCache& EngineServices::GetBlockCache() {
  static BlockCache cache;
  return cache;
}

const char* EngineServices::GetTempDir() {
  static char dir[256];
  if (!dir[0]) platform::SystemTempDir(dir, sizeof dir);
  return dir;
}
const char* EngineServices::GetHomeDir() { return ""; }
std::uint8_t EngineServices::GetTempStamp() { return 0; }
int EngineServices::GetLoadEncoding() { return 0; }
std::intptr_t EngineServices::HostEvent(std::intptr_t, int, std::intptr_t, std::intptr_t) {
  return 0;
}
const char* EngineServices::FindMemoryText(const char*) { return nullptr; }
bool EngineServices::FindCallbackText(const char*, const void**, std::size_t*) { return false; }

EngineServices& GetEngineServices() { return g_services ? *g_services : g_defaultServices; }

EngineServices* SetEngineServices(EngineServices* services) {
  EngineServices* previous = g_services;
  g_services = services;
  return previous;
}

}  // namespace qs
