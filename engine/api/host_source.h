// What the opening exports share: an identifier made from the host's path
// and public identifier, resolved through the engine's catalog, and a host
// text entered for the span of one opening call.
#pragma once
#include "api/text_sources.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/names.h"
#include "sgml/catalog.h"
#include "sgml/external_id.h"

namespace qs {

inline ExternalId* MakeHostId(const char* systemId, const char* publicId) {
  // Locations are interned in the engine's name table; an engine started
  // through the library has none until something makes it.
  if (!g_nameTable) g_nameTable = new NameTable();
  EngineBase* engine = GetEngine();
  EntityResolver* catalog = engine ? engine->GetCatalog() : nullptr;
  return new ExternalId(catalog, nullptr, nullptr, systemId, publicId,
                        ExternalId::kGeneralEntity);
}

// A host text for the span of one opening call. The entity storage finds
// texts by the resolved path of the identifier it opens, so the text is
// entered under that path of the (given or generated) name.
class HostSource {
 public:
  HostSource(SourceKind kind, const char* name, const char* publicId, bool procedure) {
    char generated[kSourceNameSize];
    if (!name) name = MakeSourceName(generated, kind, procedure);
    id_ = MakeHostId(name, publicId);
    path_ = id_->GetFilePath();
  }
  ~HostSource() {
    delete entered_;
    MemFree(path_);
    id_->Release();
  }
  HostSource(const HostSource&) = delete;
  HostSource& operator=(const HostSource&) = delete;

  void EnterText(SourceKind kind, const char* text) {
    if (path_) entered_ = new ScopedTextSource(kind, path_, text ? text : "");
  }
  void EnterProcedure(SourceKind kind, QsTextProc procedure, QsWord data) {
    if (path_) entered_ = new ScopedTextSource(kind, path_, procedure, data);
  }
  ExternalId* Id() const { return id_; }

 private:
  ExternalId* id_;
  char* path_;
  ScopedTextSource* entered_ = nullptr;
};

}  // namespace qs
