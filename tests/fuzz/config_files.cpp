// The CATALOG, ENTITYRC and setup readers on arbitrary bytes. The first byte
// chooses the reader; errors go to a sink that drops them.
#include <cstddef>
#include <cstdint>

#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "foundation/platform.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/setup_file.h"

namespace {
int Drop(void*, std::intptr_t, const char*, const char*, unsigned) { return 1; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  qs::platform::SetMessageSink(&Drop, nullptr);
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  const char* text = reinterpret_cast<const char*>(data + 1);
  auto* stream = new qs::MemoryInStream(text, size - 1, "fuzz");
  switch (data[0] % 3) {
    case 0: {
      auto* catalog = new qs::Catalog(static_cast<const char*>(nullptr));
      qs::GetCatalogList().Append(catalog);
      catalog->ReadCatalogFile(stream);
      char id[] = "-//X//DTD Y//EN";
      if (qs::SystemPath* path = catalog->ResolvePublicId(id, 0)) path->Release();
      qs::GetCatalogList().Clear();
      break;
    }
    case 1: {
      auto* rc = new qs::EntityrcFile(nullptr, nullptr);
      qs::GetEntityrcList().Append(rc);
      rc->ReadEntityrcFile(stream);
      qs::GetEntityrcList().Clear();
      qs::GetCatalogList().Clear();
      break;
    }
    default: {
      qs::SetupFile setup(nullptr);
      setup.ReadSetupFile(stream);
      break;
    }
  }
  stream->Release();
  return 0;
}
