// Makes the boxes of every stretch of character data of a document, as the
// layout does on laying it out, on the test device, and says how fast:
//   text_boxes [-h HOME] [-n REPEATS] FILE
// The document is parsed once; then each repeat makes a text item for
// every data range of the tree, asks it for its boxes and deletes them.
// Prints the bytes of character data, the boxes made and MB/s of the best
// repeat. A benchmark tool (scripts/bench_text_boxes), not a test.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/engine.h"
#include "foundation/names.h"
#include "layout/text_item.h"
#include "sgml/document.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"
#include "sgml/parser_report.h"
#include "sgml/unicode_tables.h"
#include "style/style_rules.h"
#include "style/text_format.h"
#include "test_device.h"

namespace {

class View : public qs::test::TestView {
 public:
  View(qs::OutputDevice* device, qs::Document* document) : TestView(device), document_(document) {}
  qs::Document* GetDocument() override { return document_; }

 private:
  qs::Document* document_;
};

struct Ranges : qs::TreeVisitor {
  int VisitData(qs::DocumentNode*, std::uint32_t from, std::uint32_t to) override {
    ranges.push_back({from, to});
    return 0;
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
};

}  // namespace

int main(int argc, char** argv) {
  std::string home = QS_SAMPLES_HOME;
  int repeats = 5;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 && i + 1 < argc) home = argv[++i];
    else if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc) repeats = std::atoi(argv[++i]);
    else file = argv[i];
  }
  if (!file || repeats < 1) {
    std::fprintf(stderr, "usage: text_boxes [-h HOME] [-n REPEATS] FILE\n");
    return 2;
  }
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  qs::HostedEngine engine(0, home.c_str(), "text_boxes", nullptr);
  qs::SetEngine(&engine);
  std::error_code error;
  std::string temp = std::filesystem::temp_directory_path(error).string();
  engine.Initialize(nullptr, nullptr, nullptr, temp.empty() ? nullptr : temp.c_str(), nullptr);
  qs::LoadUnicodeTables((home + "qsunicde.dat").c_str());
  int result = 0;
  {
    qs::ReportingParser parser(nullptr, 0, nullptr, nullptr);
    auto* id = new qs::ExternalId(nullptr, nullptr, nullptr, file, nullptr,
                                  qs::ExternalId::kGeneralEntity);
    parser.ParseSource(id, false);
    id->Release();
    qs::Document* doc = parser.GetDocument();
    Ranges walk;
    if (doc) walk.Run(doc->Root());
    std::uint64_t bytes = 0;
    for (auto& r : walk.ranges) bytes += r.second - r.first;
    if (!doc || bytes == 0) {
      std::fprintf(stderr, "text_boxes: no character data in %s\n", file);
      result = 1;
    } else {
      qs::test::TestDevice device;
      auto* view = new View(&device, doc);
      qs::PushCurrentView(view, false);
      qs::StyleProps style;
      auto* format = new qs::TextFormat(&style, nullptr);
      double best = 1e30;
      std::uint64_t boxes = 0;
      for (int n = 0; n < repeats; ++n) {
        qs::ListHead made;
        boxes = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto& r : walk.ranges) {
          // One item at a time: a pool for all of them would be the size of
          // the document's tree.
          qs::TextItem item(static_cast<std::int32_t>(r.first), static_cast<std::int32_t>(r.second),
                            format, false);
          item.MakeBoxes(made);
          for (auto* b = made.First(); b; b = b->Next()) ++boxes;
          made.DeleteAll();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best) best = seconds;
      }
      std::printf("bytes=%llu ranges=%zu boxes=%llu best=%.3f s %.1f MB/s\n",
                  static_cast<unsigned long long>(bytes), walk.ranges.size(),
                  static_cast<unsigned long long>(boxes), best, bytes / best / 1e6);
      format->Release();
      qs::PopCurrentView();
      view->Release();
    }
  }
  qs::FreeUnicodeTables();
  qs::SetEngine(nullptr);
  return result;
}
