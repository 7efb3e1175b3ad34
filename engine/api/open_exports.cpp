// Opening DTDs and documents: by identifier, from the host's memory or
// through the host's text procedure, each parsed by a parser that reports
// to the caller's message procedure.
#include <cstring>
#include <string>

#include "api/exports.h"
#include "addressing/web.h"
#include "api/host_source.h"
#include "api/interface.h"
#include "api/text_sources.h"
#include "foundation/memory.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "sgml/catalog.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/external_id.h"
#include "sgml/parser_report.h"
#include "foundation/engine_lists.h"
#include "foundation/text_writer.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "view/host_documents.h"
#include "view/picture_services.h"

using namespace qs;

namespace {

QsHandle LoadDtd(ExternalId* id, std::int32_t documentFlag, QsMessageProc messages,
                 QsWord data) {
  HandleTable* handles = Handles();
  if (!handles || !id) return 0;
  auto* parser = new ReportingParser(messages, data, nullptr, nullptr);
  if (documentFlag) {
    parser->ParseSource(id, true);
  } else {
    parser->ParseDeclarations(id, true);
  }
  DocumentType* type = nullptr;
  if (!parser->Stopped()) type = new DocumentType(id, *parser->GetDtd(), parser->GetDocument());
  delete parser;
  if (!type) return 0;
  QsHandle handle = handles->Register(type, HandleType::kDtd);
  type->Release();
  return handle;
}

QsHandle LoadDocument(ExternalId* id, QsHandle dtd, QsMessageProc messages, QsWord data) {
  HandleTable* handles = Handles();
  DocumentCache* open = OpenDocuments();
  if (!handles || !open || !id) return 0;
  Document* document = open->Find(id);
  if (document) {
    document->AddRef();
    open->Put(document);
  } else {
    ReportingParser* parser;
    auto* type = static_cast<DocumentType*>(handles->LookupDtd(dtd));
    if (type) {
      type->ClearUsedFlags();
      auto* layered = new LayeredDtd(*type);
      auto* derived = new DerivedDocument(id, *type);
      parser = new ReportingParser(messages, data, layered, derived);
      layered->Release();
      derived->Release();
    } else {
      parser = new ReportingParser(messages, data, nullptr, nullptr);
    }
    parser->ParseSource(id, false);
    if (!parser->Stopped()) {
      document = parser->GetDocument()->AddRef();
      open->Put(document);
    }
    delete parser;
    // The webs it names open with it, and the open webs mark their anchors.
    if (document) OpenDocumentWebs(document);
    PicturesDocumentOpened(document);
  }
  if (!document) return 0;
  QsHandle handle = handles->RegisterDocument(document);
  document->Release();
  return handle;
}

// The loaded style sheet or navigator of an equal identifier, else one
// parsed from the identifier's source and appended to the list (which lets
// the oldest unused ones go when it is over its limit).
// A found object moves to the end, where the most recently used stand
// (the list lets unused ones go from its start). `fresh`: the file was
// just written anew, so a loaded object of it reads it again.
template <class T, class List>
QsHandle LoadObject(ExternalId* id, QsMessageProc messages, QsWord data, List* list,
                    HandleType type, bool fresh = false) {
  HandleTable* handles = Handles();
  if (!handles || !id || !list) return 0;
  T* object = nullptr;
  for (OwnedNode* n = list->First(); n && !object; n = n->Next()) {
    auto* candidate = static_cast<T*>(n);
    if (ExternalId::Equals(candidate->Id(), id)) object = candidate;
  }
  if (object) {
    list->Append(object);
    if (fresh) object->Load();
  } else {
    auto* parser = new ReportingParser(messages, data, nullptr, nullptr);
    parser->ParseSource(id, false);
    if (!parser->Stopped() && parser->GetDocument()) {
      object = new T(parser->GetDocument());
      if (object) object->SetId(id);
      if (object && !list->AddLimited(object)) {
        delete object;
        object = nullptr;
      }
    }
    delete parser;
  }
  return object ? handles->Register(object, type) : 0;
}

StyleSheetList* LoadedSheets() {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->styleSheets) engine->styleSheets.Set(new StyleSheetList);
  return engine->styleSheets.get();
}

NavigatorList* LoadedNavigators() {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->navigators) engine->navigators.Set(new NavigatorList);
  return engine->navigators.get();
}

QsHandle LoadStyleSheet(ExternalId* id, QsMessageProc messages, QsWord data, bool fresh = false) {
  return LoadObject<StyleSheet>(id, messages, data, LoadedSheets(), HandleType::kStyleSheet,
                                fresh);
}

QsHandle LoadNavigator(ExternalId* id, QsMessageProc messages, QsWord data, bool fresh = false) {
  return LoadObject<NavigatorDef>(id, messages, data, LoadedNavigators(), HandleType::kNavigator,
                                  fresh);
}

// The document's n-th resource of a kind (0 style sheets, 1 navigators).
ExternalId* DocumentResource(QsHandle document, std::int32_t index, std::uint8_t kind) {
  HandleTable* handles = Handles();
  auto* doc = handles ? static_cast<Document*>(handles->LookupDocument(document)) : nullptr;
  if (!doc || index < 0) return nullptr;
  for (ListNode* n = doc->Resources().First(); n; n = n->Next()) {
    auto* resource = static_cast<ResourceRef*>(n);
    if (resource->Kind() == kind && index-- == 0) return resource->Id();
  }
  return nullptr;
}

// The skeleton of a new sheet or navigator, in text mode; false when the
// file could not be written whole.
bool WriteSkeleton(const char* path, const char* type, const char* publicId, const char* name) {
  if (!path) return false;
  TextWriter writer(path, true);
  if (!writer.ok()) return false;
  writer.PutString("<!DOCTYPE ");
  writer.PutString(type);
  writer.PutString(" PUBLIC \"");
  writer.PutString(publicId);
  writer.PutString("\">\n<");
  writer.PutString(type);
  if (name) {
    writer.PutString(" NAME='");
    for (const char* p = name; *p; ++p) {
      if (*p == '&') writer.PutString("&amp;");
      else if (*p == '\'') writer.PutString("&q;");
      else writer.PutChar(static_cast<std::uint8_t>(*p));
    }
    writer.PutChar('\'');
  }
  writer.PutString(">\n</");
  writer.PutString(type);
  writer.PutString(">\n");
  return writer.Close();
}

}  // namespace

DocumentCache* qs::OpenDocuments() {
  EngineBase* engine = GetEngine();
  if (!engine) return nullptr;
  if (!engine->documentCache) {
    auto* cache = new HostedDocumentCache;
    cache->SetResolvers(engine->GetCatalog(), nullptr);
    engine->documentCache.Set(cache);
  }
  return engine->documentCache.get();
}

extern "C" {

QsHandle QsOpenDtd(const char* systemId, const char* publicId, std::int32_t documentFlag,
                   QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = MakeHostId(systemId, publicId);
  QsHandle handle = LoadDtd(id, documentFlag, messages, data);
  id->Release();
  return handle;
}

QsHandle QsOpenDtdText(const char* text, const char* name, const char* publicId,
                       std::int32_t documentFlag, QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kDtd, name, publicId, false);
  source.EnterText(SourceKind::kDtd, text);
  return LoadDtd(source.Id(), documentFlag, messages, data);
}

QsHandle QsOpenDtdProc(QsTextProc procedure, QsWord procedureData, const char* name,
                       const char* publicId, std::int32_t documentFlag, QsMessageProc messages,
                       QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kDtd, name, publicId, true);
  source.EnterProcedure(SourceKind::kDtd, procedure, procedureData);
  return LoadDtd(source.Id(), documentFlag, messages, data);
}

QsHandle QsParseDocument(const char* systemId, const char* publicId, QsHandle dtd,
                         QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = MakeHostId(systemId, publicId);
  QsHandle handle = LoadDocument(id, dtd, messages, data);
  id->Release();
  return handle;
}

QsHandle QsOpenDocumentText(const char* text, const char* name, const char* publicId,
                            QsHandle dtd, QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kDocument, name, publicId, false);
  source.EnterText(SourceKind::kDocument, text);
  return LoadDocument(source.Id(), dtd, messages, data);
}

QsHandle QsOpenDocumentProc(QsTextProc procedure, QsWord procedureData, const char* name,
                            const char* publicId, QsHandle dtd, QsMessageProc messages,
                            QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kDocument, name, publicId, true);
  source.EnterProcedure(SourceKind::kDocument, procedure, procedureData);
  return LoadDocument(source.Id(), dtd, messages, data);
}

// ---- Style sheets and navigators

QsHandle QsCreateStyleSheet(const char* path, const char* publicId, const char* name) {
  if (!GetEngine() || !WriteSkeleton(path, "STYLESHEET", kStyleSheetPublicId, name)) return 0;
  ExternalId* id = MakeHostId(path, publicId);
  QsHandle handle = LoadStyleSheet(id, nullptr, 0, true);
  id->Release();
  return handle;
}

QsHandle QsOpenStyleSheet(const char* systemId, const char* publicId, QsMessageProc messages,
                          QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = MakeHostId(systemId, publicId);
  QsHandle handle = LoadStyleSheet(id, messages, data);
  id->Release();
  return handle;
}

QsHandle QsOpenStyleSheetText(const char* text, const char* name, const char* publicId,
                              QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kStyleSheet, name, publicId, false);
  source.EnterText(SourceKind::kStyleSheet, text);
  return LoadStyleSheet(source.Id(), messages, data);
}

QsHandle QsOpenStyleSheetProc(QsTextProc procedure, QsWord procedureData, const char* name,
                              const char* publicId, QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kStyleSheet, name, publicId, true);
  source.EnterProcedure(SourceKind::kStyleSheet, procedure, procedureData);
  return LoadStyleSheet(source.Id(), messages, data);
}

QsHandle QsLoadStyleSheet(QsHandle document, std::int32_t index, QsMessageProc messages,
                          QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = DocumentResource(document, index, ResourceRef::kStyleSheet);
  return id ? LoadStyleSheet(id, messages, data) : 0;
}

QsHandle QsCreateNavigator(const char* path, const char* publicId, const char* name) {
  if (!GetEngine() || !WriteSkeleton(path, "TOC-DEF", kNavigatorPublicId, name)) return 0;
  ExternalId* id = MakeHostId(path, publicId);
  QsHandle handle = LoadNavigator(id, nullptr, 0, true);
  id->Release();
  return handle;
}

QsHandle QsOpenNavigator(const char* systemId, const char* publicId, QsMessageProc messages,
                         QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = MakeHostId(systemId, publicId);
  QsHandle handle = LoadNavigator(id, messages, data);
  id->Release();
  return handle;
}

QsHandle QsOpenNavigatorText(const char* text, const char* name, const char* publicId,
                             QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kNavigator, name, publicId, false);
  source.EnterText(SourceKind::kNavigator, text);
  return LoadNavigator(source.Id(), messages, data);
}

QsHandle QsOpenNavigatorProc(QsTextProc procedure, QsWord procedureData, const char* name,
                             const char* publicId, QsMessageProc messages, QsWord data) {
  if (!GetEngine()) return 0;
  HostSource source(SourceKind::kNavigator, name, publicId, true);
  source.EnterProcedure(SourceKind::kNavigator, procedure, procedureData);
  return LoadNavigator(source.Id(), messages, data);
}

QsHandle QsLoadNavigator(QsHandle document, std::int32_t index, QsMessageProc messages,
                         QsWord data) {
  if (!GetEngine()) return 0;
  ExternalId* id = DocumentResource(document, index, ResourceRef::kNavigator);
  return id ? LoadNavigator(id, messages, data) : 0;
}

}  // extern "C"
