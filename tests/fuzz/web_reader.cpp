// The web reader on arbitrary bytes parsed as a web file with the shipped
// web DTD: whatever the file holds, reading it, naming and outlining its
// anchors and writing it again stay inside their buffers and end.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "addressing/web.h"
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "foundation/stream.h"
#include "foundation/text_writer.h"
#include "sgml/document.h"
#include "sgml/parser_report.h"

namespace {

// Errors of the reader are expected here: nobody is shown them.
class QuietEngine : public qs::HostedEngine {
 public:
  QuietEngine(const char* home, const char* catalog)
      : HostedEngine(0, home, "Fuzz", nullptr) {
    qs::SetEngine(this);
    Initialize(catalog, nullptr, nullptr, "/tmp", nullptr);
  }
  void ReportError(int code, std::intptr_t, std::intptr_t, std::intptr_t,
                   std::intptr_t) override {
    if (code < 0 || code > 64) __builtin_trap();
  }
};

std::string SourceTop() {
  if (const char* dir = std::getenv("QS_SOURCE_DIR")) return dir;
  std::string file = __FILE__;
  return file.substr(0, file.rfind("/tests/fuzz/"));
}

qs::HostedEngine* Engine() {
  static qs::HostedEngine* engine = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    std::string catalog = SourceTop() + "/samples/home/catalog/catalog";
    return new QuietEngine("/nonexistent-fuzz-home/", catalog.c_str());
  }();
  return engine;
}

const std::string& OutputPath() {
  static const std::string path = "/tmp/qs-fuzz-web-" + std::to_string(getpid()) + ".web";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Engine();
  std::string text(reinterpret_cast<const char*>(data), size);
  auto* parser = new qs::ReportingParser(nullptr, 0, nullptr, nullptr);
  parser->ParseDocumentInput(new qs::MemoryInStream(text.data(), text.size(), "fuzz.web"), false, 0);
  if (!parser->Stopped() && parser->GetDocument()) {
    auto* web = new qs::Web(parser->GetDocument(), nullptr);
    for (qs::WebEntry* e = web->FirstEntry(); e; e = static_cast<qs::WebEntry*>(e->Next())) {
      for (qs::Anchor* a = e->FirstAnchor(); a; a = static_cast<qs::Anchor*>(a->Next())) {
        char name[qs::kAnchorHeadLength + 1];
        char note[qs::kAnchorNoteLength + 1];
        a->GetName(name);
        a->GetNote(note);
        std::int16_t points[2 * qs::kMaxOutlinePoints];
        int n = a->GetLocation()->GetOutline(points);
        if (n < 0 || n > qs::kMaxOutlinePoints) __builtin_trap();
      }
    }
    web->WriteTo(OutputPath().c_str());
    delete web;
  }
  delete parser;
  unlink(OutputPath().c_str());
  return 0;
}
