// A hosted engine that records what webs ask of it: engine errors with
// their arguments, host events and the places it is asked to show; with the
// shipped catalog and ENTITYRC file, so that web files find their document
// type and notes keep their line ends.
#pragma once
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "recording_sink.h"
#include "sgml/catalog.h"
#include "sgml/document_cache.h"
#include "sgml/external_id.h"

namespace qs::test {

inline std::string SourceDir() {
  const char* dir = std::getenv("QS_SOURCE_DIR");
  return dir ? dir : ".";
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ErrorRecord {
  int code;
  std::string a, b;  // text arguments
  std::intptr_t number;
  bool operator==(const ErrorRecord& o) const {
    return code == o.code && a == o.a && b == o.b && number == o.number;
  }
};

struct EventRecord {
  int event;
  std::intptr_t a, b;
};

struct GotoRecord {
  Document* document;
  std::int32_t position, length;
};

class RecordingEngine : public HostedEngine {
 public:
  explicit RecordingEngine(const std::string& temp)
      : HostedEngine(0, (temp + "/").c_str(), "Webs", &RecordEvent) {
    current_ = this;
    previous_ = SetEngine(this);
    std::string catalog = SourceDir() + "/samples/home/catalog/catalog";
    std::string entityrc = SourceDir() + "/samples/home/entityrc/entityrc";
    Initialize(catalog.c_str(), entityrc.c_str(), nullptr, temp.c_str(), nullptr);
    if (!g_nameTable) g_nameTable = new NameTable();
  }
  ~RecordingEngine() override {
    // The webs and documents go while this engine still answers.
    webs.Reset();
    documentCache.Reset();
    SetEngine(previous_);
    current_ = nullptr;
  }

  void ReportError(int code, std::intptr_t a, std::intptr_t b, std::intptr_t, std::intptr_t) override {
    ErrorRecord r{code, "", "", 0};
    auto text = [](std::intptr_t v) { return v ? std::string(reinterpret_cast<const char*>(v)) : ""; };
    if (code == 0) r.number = a;
    else if (code == 33) r.a = text(a), r.b = text(b);
    else if (code == 32 || code == 34 || (code >= 36 && code <= 39)) r.a = text(a);
    errors.push_back(r);
  }
  int GotoPosition(WindowHandle, View*, Document* document, std::int32_t position,
                   std::int32_t length, int) override {
    gotos.push_back({document, position, length});
    return 1;
  }
  std::vector<int> Codes() const {
    std::vector<int> codes;
    for (const ErrorRecord& e : errors) codes.push_back(e.code);
    return codes;
  }

  std::vector<ErrorRecord> errors;
  std::vector<EventRecord> events;
  std::vector<GotoRecord> gotos;

 private:
  static std::intptr_t RecordEvent(WindowHandle, int event, std::intptr_t a, std::intptr_t b) {
    if (current_) current_->events.push_back({event, a, b});
    return 0;
  }
  static inline RecordingEngine* current_ = nullptr;
  EngineBase* previous_;
};

// An identifier for a file as the engine's catalog resolves it.
inline ExternalId* FileId(const std::string& path) {
  EngineBase* engine = GetEngine();
  return new ExternalId(engine->GetCatalog(), nullptr, nullptr, path.c_str(), nullptr,
                        ExternalId::kGeneralEntity);
}

// A web read from a file (or made empty when it does not parse).
inline Web* ReadWebFile(const std::string& path) {
  ExternalId* id = FileId(path);
  auto* web = new Web(id);
  id->Release();
  return web;
}

// A document through the engine's cache, with a use for the caller.
inline Document* OpenDocumentFile(const std::string& path) {
  ExternalId* id = FileId(path);
  Document* document = EngineDocuments()->Get(id);
  id->Release();
  return document;
}

}  // namespace qs::test
