#include "foundation/paths.h"

#include "foundation/engine_services.h"
#include "foundation/file.h"
#include "foundation/strings.h"

namespace qs {

namespace {
std::uint32_t g_tempNameCounter = 0;
}  // namespace

char* MakeTempName(char* out) {
  EngineServices& engine = GetEngineServices();
  const char* dir = engine.GetTempDir();
  unsigned stamp = engine.GetTempStamp();
  // The longest name: the folder, a separator, two + eight hex digits, "-", ".tmp".
  if (GetStringLength(dir) + 16 >= kPathCapacity) return nullptr;
  do {
    FormatString(out, kPathCapacity, "%s%c%02x-%04lx.tmp", dir, '\\', stamp,
                 static_cast<unsigned long>(g_tempNameCounter++));
  } while (File::Exists(out));
  return out;
}

}  // namespace qs
