// Catalogs and ENTITYRC files a host pushes around a load, and bringing all
// of them up to date. Paths come in UTF-8, as every path the host hands the
// engine.
#include "api/exports.h"
#include "foundation/engine.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/resolver_stack.h"

namespace {

qs::EntityrcFile* EngineEntityrc() {
  qs::EngineBase* engine = qs::GetEngine();
  return engine ? engine->GetEntityRc() : nullptr;
}

}  // namespace

extern "C" {

void QsUpdateCatalogs() { qs::GetCatalogList().Update(); }

void QsPushCatalog(const char* path, QsWord) {
  if (path) qs::PushCatalog(path);
}

void QsPopCatalog() { qs::PopCatalog(); }

void QsUpdateEntityrcs() { qs::GetEntityrcList().Update(); }

void QsPushEntityrc(const char* path, QsWord) {
  if (path) qs::PushEntityrc(EngineEntityrc(), path);
}

void QsPopEntityrc() { qs::PopEntityrc(EngineEntityrc()); }

}  // extern "C"
