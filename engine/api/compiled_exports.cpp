// Compiled documents through the engine interface: saving an open document
// to a file or to the host's output procedure, and loading one from a file
// or from the host's read procedure.
#include <cstring>

#include "addressing/web.h"
#include "api/exports.h"
#include "api/interface.h"
#include "api/wrappers.h"
#include "foundation/callback_stream.h"
#include "foundation/file.h"
#include "foundation/names.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"
#include "sgml/catalog.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/qsb.h"
#include "view/picture_services.h"

using namespace qs;

namespace {

// The writer's output into a text writer without line-end translation:
// the file appears whole under its name or not at all.
class WriterStream : public Stream {
 public:
  explicit WriterStream(TextWriter& writer) : writer_(writer) {}
  void PutChar(std::uint8_t c) override {
    writer_.PutChar(c);
    ++count_;
  }
  std::int32_t Tell() override { return count_; }

 private:
  TextWriter& writer_;
  std::int32_t count_ = 0;
};

// The host's entity-identifier procedure:
//   (entity handle, entity name, system-id buffer, public-id buffer, user value)
// Non-zero: the two 256-byte buffers, which it may have rewritten, are
// written in place of the entity's identifiers.
using QsbEntityProc = std::intptr_t (*)(QsHandle entity, const char* name, char* systemId,
                                        char* publicId, QsWord user);

class HostIndexRecord : public QsbIndexRecord {
 public:
  HostIndexRecord(Document* document, QsWord user, QsbEntityProc procedure)
      : document_(document), user_(user), procedure_(procedure) {}
  int SupplyIdentifiers(EntityDecl* entity) override {
    HandleTable* table = Handles();
    if (!procedure_ || !table) return 0;
    QsHandle handle = 0;
    if (EntityRef* ref = EntityRef::OfDocument(document_, entity)) {
      handle = table->RegisterEntity(ref);
      if (!handle) delete ref;
    }
    std::intptr_t result = procedure_(handle, entity->GetName(), systemId, publicId, user_);
    if (handle) table->Release(handle);
    return result != 0;
  }

 private:
  Document* document_;
  QsWord user_;
  QsbEntityProc procedure_;
};

Document* LookupDocument(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? static_cast<Document*>(table->LookupDocument(handle)) : nullptr;
}

// Loads from `in` under `name`, or gives the open document of an equal
// identifier; the new document goes into the engine's document list.
QsHandle OpenCompiled(Stream* in, const char* name, const char* publicId) {
  HandleTable* handles = Handles();
  DocumentCache* open = OpenDocuments();
  if (!handles || !open) {
    if (in) in->Release();
    return 0;
  }
  if (!g_nameTable) g_nameTable = new NameTable();
  char generated[40];
  if (!name || !*name) {
    static long counter = 0;
    FormatString(generated, sizeof generated, "QV-BIN:\\BIN%ld.QSB", counter++);
    name = generated;
  }
  EngineBase* engine = GetEngine();
  auto* id = new ExternalId(engine->GetCatalog(), nullptr, nullptr, name, publicId,
                            ExternalId::kGeneralEntity);
  Document* document = open->Find(id);
  id->Release();
  if (document) {
    if (in) in->Release();
    document->AddRef();
  } else {
    if (!in) return 0;
    document = ReadQsb(*in, name, publicId);
    in->Release();
    if (!document) return 0;
    // The webs it names open with it, and the open webs mark their anchors.
    OpenDocumentWebs(document);
    PicturesDocumentOpened(document);
  }
  open->Put(document);
  QsHandle handle = handles->RegisterDocument(document);
  document->Release();
  return handle;
}

}  // namespace

extern "C" {

std::int32_t QsSaveDocumentBinary(QsHandle handle, const char* path) {
  Document* document = LookupDocument(handle);
  if (!document || !path || !*path) return 0;
  TextWriter writer(path, false);
  if (!writer.ok()) return 0;
  bool written;
  {
    WriterStream out(writer);
    written = WriteQsb(*document, out, nullptr);
  }
  if (!written || !writer.ok()) {
    writer.Discard();
    return 0;
  }
  return writer.Close() ? 1 : 0;
}

std::int32_t QsSaveDocumentBinaryMem(QsHandle handle, QsWord userValue, std::int32_t* positions,
                                     void* output, void* callback) {
  Document* document = LookupDocument(handle);
  if (!document) return 0;
  HostIndexRecord* index = nullptr;
  if (positions || callback) {
    index = new HostIndexRecord(document, userValue, reinterpret_cast<QsbEntityProc>(callback));
  }
  bool written;
  {
    CallbackOutStream out(userValue, reinterpret_cast<HostDataProc>(output));
    written = WriteQsb(*document, out, index);
  }
  if (index && positions) std::memcpy(positions, index->positions, sizeof index->positions);
  delete index;
  return written ? 1 : 0;
}

QsHandle QsOpenBinaryDocument(const char* path, std::int32_t start, const char* name,
                              const char* publicId) {
  if (!GetEngine() || !path || !*path) return 0;
  Stream* in = nullptr;
  // A missing file is no compiled document, and no error either.
  if (File::Exists(path)) {
    in = new FileInStream(path, path, kQsbFileBlock);
    if (start > 0 && !in->Seek(start)) {
      in->Release();
      in = nullptr;
    }
  }
  return OpenCompiled(in, name && *name ? name : path, publicId);
}

QsHandle QsOpenBinaryDocumentMem(void* source, QsWord userValue, std::int32_t start,
                                 const char* name, const char* publicId) {
  if (!GetEngine()) return 0;
  Stream* in = nullptr;
  if (source) {
    in = new CallbackInStream(userValue, reinterpret_cast<HostDataProc>(source));
    if (start > 0 && !in->Seek(start)) {
      in->Release();
      in = nullptr;
    }
  }
  return OpenCompiled(in, name, publicId);
}

}  // extern "C"
