// Breaking a paragraph of 1,000 boxes into lines, and breaking it again at
// another width (which makes only new lines: the boxes are kept). Run by
// hand; not a test. "boxes/s" counts boxes placed on lines.
#include <benchmark/benchmark.h>

#include <vector>

#include "layout/paragraph_box.h"
#include "test_device.h"

namespace {

constexpr int kBoxes = 1000;

std::vector<qs::test::BoxSpec> Rows() {
  std::vector<qs::test::BoxSpec> rows;
  unsigned seed = 12345;
  for (int i = 0; i < kBoxes; ++i) {
    seed = seed * 1103515245u + 12345u;
    qs::test::BoxSpec s;
    s.width = 6 + static_cast<int>((seed >> 16) % 60);  // a word of 1-10 characters
    s.breakAfter = (seed >> 8) % 8 != 0;                // now and then a run
    s.forced = i % 250 == 0;                            // four forced breaks
    rows.push_back(s);
  }
  return rows;
}

void Break(benchmark::State& state) {
  qs::test::SpecItems items(Rows());
  const int width = static_cast<int>(state.range(0));
  std::int64_t lines = 0;
  for (auto _ : state) {
    qs::ParagraphBox p(items.First(), &items.list, width, 0);
    lines = p.LineCount();
    benchmark::DoNotOptimize(p.GetAscent());
  }
  state.counters["boxes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBoxes, benchmark::Counter::kIsRate);
  state.counters["lines"] = static_cast<double>(lines);
}

void Rebreak(benchmark::State& state) {
  qs::test::SpecItems items(Rows());
  qs::ParagraphBox p(items.First(), &items.list, 600, 0);
  const int width = static_cast<int>(state.range(0));
  bool wide = false;
  for (auto _ : state) {
    p.SplitAt(wide ? width + 100 : width);
    wide = !wide;
    benchmark::DoNotOptimize(p.GetAscent());
  }
  state.counters["boxes/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBoxes, benchmark::Counter::kIsRate);
  state.counters["lines"] = static_cast<double>(p.LineCount());
}

}  // namespace

BENCHMARK(Break)->Arg(300)->Arg(600);
BENCHMARK(Rebreak)->Arg(300)->Arg(600);
BENCHMARK_MAIN();
