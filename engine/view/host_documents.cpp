#include "view/host_documents.h"

#include "foundation/engine.h"
#include "foundation/handle_table.h"
#include "foundation/memory.h"
#include "sgml/external_id.h"

namespace qs {

Document* HostedDocumentCache::ParseDocument(ExternalId* id) {
  char* path = id ? id->GetFilePath() : nullptr;
  if (!path) return DocumentCache::ParseDocument(id);
  EngineBase* engine = GetEngine();
  std::intptr_t answer = 0;
  if (engine) {
    answer = engine->RaiseEvent(0, kEventLoadDocument, reinterpret_cast<std::intptr_t>(path),
                                reinterpret_cast<std::intptr_t>(id->PublicId()));
  }
  MemFree(path);
  if (answer == 0) return DocumentCache::ParseDocument(id);
  if (answer == -1) return nullptr;
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  HandleTable* handles = hosted ? hosted->handles.get() : nullptr;
  if (!handles) return nullptr;
  auto handle = static_cast<Handle>(answer);
  auto* document = static_cast<Document*>(handles->LookupDocument(handle));
  if (document) {
    document->AddRef();
    // The cache owns it from now on, wherever it was listed before.
    Remove(document);
  }
  handles->Release(handle);
  return document;
}

MemoryReader::MemoryReader(HostDataProc procedure, std::intptr_t data, const char* name)
    : Stream(name), procedure_(procedure), data_(data) {}

MemoryReader::~MemoryReader() {
  if (procedure_) procedure_(data_, nullptr, nullptr);
}

void MemoryReader::Refill() {
  start_ = cur_ = end_ = nullptr;
  int empty = 0;
  while (procedure_) {
    std::int32_t length = 0;
    std::int32_t more = 1;
    const char* block = procedure_(data_, &length, &more);
    if (!block || length < 0) return;  // the end
    if (length > 0) {
      start_ = cur_ = reinterpret_cast<std::uint8_t*>(const_cast<char*>(block));
      end_ = start_ + length;
      if (more == 0) state_ = kLastBuffer;
      return;
    }
    if (more == 0) return;  // an empty last block
    if (++empty == kMaxEmptyHostBlocks) {
      ReportStuckHost(sourceName_);
      return;
    }
  }
}

}  // namespace qs
