// Catalogs and ENTITYRC files a host pushes around a load, and bringing all
// of them up to date. Paths come in the host's ANSI code page.
#include "api/exports.h"
#include "foundation/codepage.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/resolver_stack.h"

namespace {

qs::EntityrcFile* EngineEntityrc() {
  qs::EngineBase* engine = qs::GetEngine();
  return engine ? engine->GetEntityRc() : nullptr;
}

// Runs `fn` with the path in UTF-8.
template <class Fn>
void WithUtf8Path(const char* path, Fn fn) {
  if (!path) return;
  char* utf8 = qs::AnsiToUtf8(path);
  if (!utf8) return;
  fn(utf8);
  if (utf8 != path) qs::MemFree(utf8);
}

}  // namespace

extern "C" {

void QsUpdateCatalogs() { qs::GetCatalogList().Update(); }

void QsPushCatalog(const char* path, QsWord) {
  WithUtf8Path(path, [](const char* p) { qs::PushCatalog(p); });
}

void QsPopCatalog() { qs::PopCatalog(); }

void QsUpdateEntityrcs() { qs::GetEntityrcList().Update(); }

void QsPushEntityrc(const char* path, QsWord) {
  WithUtf8Path(path, [](const char* p) { qs::PushEntityrc(EngineEntityrc(), p); });
}

void QsPopEntityrc() { qs::PopEntityrc(EngineEntityrc()); }

}  // extern "C"
