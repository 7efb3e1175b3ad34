// How the exports reach the engine: the current engine and its handle
// table, each null while no engine exists (every export then gives its
// failure result).
#pragma once
#include "foundation/engine.h"
#include "foundation/handle_table.h"

namespace qs {

class DocumentCache;
// The engine's list of open documents, made on first use.
DocumentCache* OpenDocuments();
// Ends every print preview the host has not ended (engine teardown).
void EndAllPreviews();

inline Engine* CurrentEngine() {
  EngineBase* engine = GetEngine();
  return engine ? engine->AsHosted() : nullptr;
}

inline HandleTable* Handles() {
  EngineBase* engine = GetEngine();
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  return hosted ? hosted->handles.get() : nullptr;
}

}  // namespace qs
