// Lays a large document out in a document view on the test device and
// times what a reader does: the first layout, jumps to the middle and the
// end, and 100 PageDowns, with the lines the view holds at each place:
//   view_bench [-h HOME] [-c CATALOG] [-s SHEET] [-q QUERY] FILE
// With -q the view searches (its overview strip on) and times, from the
// middle, a paint with the hits inverted and the strip drawn (median of
// 50) and a step to the next hit (median of 100), with the hit count.
// A benchmark tool (scripts/bench_views), not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "addressing/query.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/external_id.h"
#include "sgml/parser.h"
#include "sgml/parser_report.h"
#include "sgml/unicode_tables.h"
#include "style/frame.h"
#include "style/style_sheet.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/document_view.h"

namespace {

class View : public qs::DocumentView {
 public:
  explicit View(qs::OutputDevice* device) : DocumentView(nullptr, device, 0) {}
};

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

qs::Document* Parse(const char* file) {
  qs::ReportingParser parser(nullptr, 0, nullptr, nullptr);
  auto* id = new qs::ExternalId(nullptr, nullptr, nullptr, file, nullptr, qs::ExternalId::kGeneralEntity);
  parser.ParseSource(id, false);
  id->Release();
  qs::Document* doc = parser.GetDocument();
  return doc ? doc->AddRef() : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  std::string home = QS_SAMPLES_HOME;
  const char* file = nullptr;
  const char* sheetFile = nullptr;
  const char* catalog = nullptr;  // a real manual's DTD comes through the system's catalog
  const char* query = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 && i + 1 < argc) home = argv[++i];
    else if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc) catalog = argv[++i];
    else if (std::strcmp(argv[i], "-s") == 0 && i + 1 < argc) sheetFile = argv[++i];
    else if (std::strcmp(argv[i], "-q") == 0 && i + 1 < argc) query = argv[++i];
    else file = argv[i];
  }
  if (!file) {
    std::fprintf(stderr, "usage: view_bench [-h HOME] [-c CATALOG] [-s SHEET] [-q QUERY] FILE\n");
    return 2;
  }
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  qs::HostedEngine engine(0, home.c_str(), "view_bench", nullptr);
  qs::SetEngine(&engine);
  std::error_code error;
  std::string temp = std::filesystem::temp_directory_path(error).string();
  engine.Initialize(catalog, nullptr, nullptr, temp.empty() ? nullptr : temp.c_str(), nullptr);
  qs::LoadUnicodeTables((home + "qsunicde.dat").c_str());
  int result = 0;
  qs::Document* doc = Parse(file);
  qs::StyleSheet* sheet = nullptr;
  if (sheetFile) {
    if (qs::Document* text = Parse(sheetFile)) {
      sheet = new qs::StyleSheet(text);
      sheet->AddUse();  // held here: the frame's use must not free it
      text->Release();
    }
  }
  if (!doc || !doc->Root()) {
    std::fprintf(stderr, "view_bench: no document in %s\n", file);
    result = 1;
  } else {
    qs::test::TestDevice device(96, 800, 600);
    auto* view = new View(&device);
    auto* frame = new qs::FrameNode(doc, sheet, 0, nullptr);
    auto start = std::chrono::steady_clock::now();
    qs::PushCurrentView(view, false);
    frame->Rebuild();
    qs::PopCurrentView();
    const double format = Since(start);
    start = std::chrono::steady_clock::now();
    view->SetFrame(frame, 0, true);
    const double first = Since(start);
    const std::size_t linesAtStart = view->LineCount();
    start = std::chrono::steady_clock::now();
    view->ShowPosition(view->RangeEnd() / 2);
    const double middle = Since(start);
    const std::size_t linesAtMiddle = view->LineCount();
    start = std::chrono::steady_clock::now();
    view->ShowPosition(view->RangeEnd());
    const double end = Since(start);
    const std::size_t linesAtEnd = view->LineCount();
    view->ShowPosition(view->RangeEnd() / 2);
    std::vector<double> pages;
    for (int i = 0; i < 100; ++i) {
      start = std::chrono::steady_clock::now();
      view->PageDown();
      pages.push_back(Since(start));
    }
    std::sort(pages.begin(), pages.end());
    std::printf("format=%.1f ms first-layout=%.2f ms jump-50%%=%.2f ms jump-end=%.2f ms "
                "pagedown-median=%.3f ms pagedown-max=%.3f ms lines=%zu/%zu/%zu\n",
                format, first, middle, end, pages[50], pages.back(), linesAtStart, linesAtMiddle,
                linesAtEnd);
    if (query) {
      view->SetFlags(view->GetFlags() | qs::DocumentView::kOverviewStrip);
      view->ranges.DeleteAll();
      view->rangesAreHits = true;
      start = std::chrono::steady_clock::now();
      const int hits = qs::RunQuery(query, doc, frame->root, view->ranges, 0);
      const double search = Since(start);
      view->ShowPosition(view->RangeEnd() / 2);
      std::vector<double> paints, steps;
      for (int i = 0; i < 50; ++i) {
        start = std::chrono::steady_clock::now();
        view->OnPaint();
        paints.push_back(Since(start));
      }
      for (int i = 0; i < 100; ++i) {
        start = std::chrono::steady_clock::now();
        view->ShowNextHit();
        view->OnPaint();
        steps.push_back(Since(start));
      }
      std::sort(paints.begin(), paints.end());
      std::sort(steps.begin(), steps.end());
      std::printf("query \"%s\": hits=%d search=%.1f ms paint-median=%.3f ms paint-max=%.3f ms "
                  "next-hit-median=%.3f ms next-hit-max=%.3f ms\n",
                  query, hits, search, paints[25], paints.back(), steps[50], steps.back());
    }
    view->Close();
  }
  if (doc) doc->Release();
  if (sheet) sheet->DropUse();
  qs::FreeUnicodeTables();
  qs::SetEngine(nullptr);
  return result;
}
