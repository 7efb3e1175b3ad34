// Webs through the interface: creating, opening (by file, from the host's
// memory or through its procedure), naming, editing, saving and closing
// them, and walking the open webs and documents.
#include "addressing/web.h"
#include "api/exports.h"
#include "api/host_source.h"
#include "api/interface.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/document_cache.h"
#include "sgml/parser_report.h"
#include "view/host_documents.h"
#include "view/picture_services.h"

using namespace qs;

namespace {

Web* LookupWeb(QsHandle handle) {
  HandleTable* handles = Handles();
  return handles ? static_cast<Web*>(handles->LookupWeb(handle)) : nullptr;
}

// The open web of the identifier, or one read from it; its handle (one use
// more for a web the host holds already), 0 when it does not parse.
QsHandle OpenWeb(ExternalId* id, QsMessageProc messages, QsWord data) {
  HandleTable* handles = Handles();
  if (!handles || !id) return 0;
  Web* web = FindOpenWeb(id);
  if (!web) {
    auto* parser = new ReportingParser(messages, data, nullptr, nullptr);
    parser->ParseSource(id, false);
    if (!parser->Stopped() && parser->GetDocument()) {
      web = new Web(parser->GetDocument(), id);
      AddOpenWeb(web);
      // Its hotspot anchors become hot areas of the cached pictures.
      PicturesWebsChanged();
    }
    delete parser;
  }
  return web ? handles->RegisterWeb(web) : 0;
}

// Walks `count` objects, each given to the procedure under a handle made
// for the call (or the host's own, with a use more for the call).
template <class Next>
std::intptr_t Walk(HandleType type, QsHandleProc procedure, QsWord data, Next next) {
  HandleTable* handles = Handles();
  if (!handles || !procedure) return 0;
  for (std::size_t i = 0;; ++i) {
    void* object = next(i);
    if (!object) return 0;
    QsHandle handle = handles->Register(object, type);
    if (!handle) continue;
    std::intptr_t answer = procedure(handle, data);
    handles->Release(handle);
    if (answer) return answer;
  }
}

void PutTitle(TextWriter& out, const char* title) {
  for (const char* p = title; p && *p; ++p) {
    if (*p == '&') out.PutString("&amp;");
    else if (*p == '<') out.PutString("&lt;");
    else out.PutChar(static_cast<std::uint8_t>(*p));
  }
}

}  // namespace

extern "C" {

QsHandle QsCreateWeb(const char* path, const char* publicId, const char* title) {
  if (!Handles() || !path || !*path) return 0;
  {
    TextWriter out(path, true);
    out.PutString("<!DOCTYPE WEB PUBLIC \"");
    out.PutString(kWebPublicId);
    out.PutString("\">\n<WEB><WEBNAME>");
    PutTitle(out, title);
    out.PutString("\n</WEBNAME>\n</WEB>");
    // A file that could not be written whole is no web.
    if (!out.Close()) return 0;
  }
  ExternalId* id = MakeHostId(path, publicId);
  QsHandle handle = OpenWeb(id, nullptr, 0);
  id->Release();
  return handle;
}

QsHandle QsOpenWeb(const char* path, const char* publicId, QsMessageProc messages, QsWord data) {
  if (!Handles() || !path) return 0;
  ExternalId* id = MakeHostId(path, publicId);
  QsHandle handle = OpenWeb(id, messages, data);
  id->Release();
  return handle;
}

QsHandle QsOpenWebText(const char* text, const char* name, const char* publicId,
                       QsMessageProc messages, QsWord data) {
  if (!Handles()) return 0;
  HostSource source(SourceKind::kWeb, name, publicId, false);
  source.EnterText(SourceKind::kWeb, text);
  return OpenWeb(source.Id(), messages, data);
}

QsHandle QsOpenWebProc(QsTextProc procedure, QsWord procedureData, const char* name,
                       const char* publicId, QsMessageProc messages, QsWord data) {
  if (!Handles()) return 0;
  HostSource source(SourceKind::kWeb, name, publicId, true);
  source.EnterProcedure(SourceKind::kWeb, procedure, procedureData);
  return OpenWeb(source.Id(), messages, data);
}

char* QsGetWebName(QsHandle handle, char* buffer, std::int32_t size) {
  Web* web = LookupWeb(handle);
  if (!web || !buffer || size <= 0) return nullptr;
  const char* name = web->Name();
  if (!name) {
    Engine* engine = CurrentEngine();
    name = engine && engine->applicationName() ? engine->applicationName() : "";
  }
  CopyStringMax(buffer, name, static_cast<std::size_t>(size));
  return buffer;
}

std::int32_t QsSetWebName(QsHandle handle, const char* name) {
  Web* web = LookupWeb(handle);
  if (!web) return 0;
  web->SetName(name);
  web->SetChanged();
  return 1;
}

std::int32_t QsBeginWebEdit(QsHandle handle) {
  Web* web = LookupWeb(handle);
  return web ? web->BeginEdit() : 0;
}

std::int32_t QsEndWebEdit(QsHandle handle) {
  Web* web = LookupWeb(handle);
  if (!web) return 0;
  web->SetReadOnly();
  return 1;
}

std::int32_t QsSaveWebIfChanged(QsHandle handle) {
  Web* web = LookupWeb(handle);
  if (!web || !web->IsEditable() || !web->IsChanged()) return 0;
  return web->Write(nullptr) ? 1 : 0;
}

std::int32_t QsSaveWebAs(QsHandle handle, const char* path) {
  Web* web = LookupWeb(handle);
  if (!web || !path || !*path) return 0;
  return web->WriteTo(path) ? 1 : 0;
}

std::int32_t QsSaveWeb(QsHandle handle) {
  Web* web = LookupWeb(handle);
  if (!web) return 0;
  if (web->IsEditable() && web->IsChanged()) {
    // Closing after a failed save would lose the changes: the web stays
    // open and editable.
    if (!web->Write(nullptr)) return 0;
    web->SetReadOnly();
  }
  delete web;  // leaves the open webs; its handles and its anchors' go
  return 1;
}

std::intptr_t QsEnumWebs(QsHandleProc procedure, QsWord data) {
  EngineBase* engine = GetEngine();
  if (!engine) return 0;
  return Walk(HandleType::kWeb, procedure, data, [engine](std::size_t i) -> void* {
    if (!engine->webs) return nullptr;
    OwnedNode* n = engine->webs->First();
    for (; n && i > 0; --i) n = n->Next();
    return n ? static_cast<Web*>(static_cast<ObjectListItem*>(n)) : nullptr;
  });
}

std::intptr_t QsEnumDocuments(QsHandleProc procedure, QsWord data) {
  if (!GetEngine()) return 0;
  return Walk(HandleType::kDocument, procedure, data, [](std::size_t i) -> void* {
    DocumentCache* documents = EngineDocuments();
    return documents ? documents->At(i) : nullptr;
  });
}

}  // extern "C"
