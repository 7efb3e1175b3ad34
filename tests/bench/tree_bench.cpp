// A tree view over a large document with every element expanded, on the
// test device (800 x 600): the layout, a paint of the middle of the tree and
// a hit test there. Run by hand; not a test. The document is the file named
// by QS_BENCH_DOCUMENT (scripts/bench_tree passes the PostgreSQL manual),
// else a generated one of 200,000 elements. The bar, natively: a paint or a
// hit test under 16 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "api/exports.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/node_flags.h"
#include "test_device.h"
#include "view/tree_view.h"

namespace {

qs::Document* TheDocument() {
  static qs::Document* document = [] {
    qs::Document* d = nullptr;
    // What loading the engine library makes once per process.
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    if (const char* path = std::getenv("QS_BENCH_DOCUMENT")) {
      const char* temp = std::getenv("TMPDIR");
      if (QsInitialize(0, "Bench", nullptr, nullptr, nullptr, temp ? temp : "/tmp", nullptr) &&
          QsParseDocument(path, nullptr, 0, nullptr, 0))
        d = qs::GetEngine()->documentCache->At(0);
    }
    if (!d) {
      static qs::test::DocBuilder builder;
      std::string markup = "<book>";
      for (int c = 0; c < 400; ++c) {
        markup += "<chapter><title>t</title>";
        for (int s = 0; s < 20; ++s) markup += "<sect1><title>t</title><para/><para><list><item/><item/></list></para></sect1>";
        markup += "</chapter>";
      }
      markup += "</book>";
      builder.Build(markup.c_str());
      d = builder.Doc();
    }
    // Every element expanded.
    for (qs::DocumentNode* n = d->Root(); n;) {
      n->flags &= static_cast<std::uint8_t>(~qs::kNodeCollapsed);
      if (n->First()) {
        n = n->First();
        continue;
      }
      while (n && !n->Next()) n = n->Parent();
      if (n) n = n->Next();
    }
    return d;
  }();
  return document;
}

struct Shown {
  Shown() : device(96, 800, 600) {
    view = new qs::TreeView(TheDocument(), &device);
    view->OnPaint();
  }
  ~Shown() { device.DetachView(); }
  qs::test::TestDevice device;
  qs::TreeView* view;
};

void Layout(benchmark::State& state) {
  Shown shown;
  for (auto _ : state) shown.view->Layout();
  state.counters["height"] = static_cast<double>(shown.view->ContentHeight());
}

void Paint(benchmark::State& state) {
  Shown shown;
  shown.view->OnScroll(0, 4, 4096);  // the middle
  for (auto _ : state) {
    shown.device.log.clear();
    shown.view->OnPaint();
  }
  state.counters["log"] = static_cast<double>(shown.device.log.size());
}

void HitTest(benchmark::State& state) {
  Shown shown;
  shown.view->OnScroll(0, 4, 4096);
  shown.view->OnPaint();
  // A point on a box of the window's lowest row that has one.
  int x = 0, y = 0;
  for (int py = 599; py > 0 && !x; py -= 4)
    for (int px = 0; px < 800 && !x; px += 4)
      if (shown.view->HitTest(px, py)) x = px, y = py;
  bool hit = false;
  for (auto _ : state) hit = shown.view->HitTest(x, y) != nullptr;
  state.counters["hit"] = hit;
}

}  // namespace

BENCHMARK(Layout);
BENCHMARK(Paint);
BENCHMARK(HitTest);
BENCHMARK_MAIN();
