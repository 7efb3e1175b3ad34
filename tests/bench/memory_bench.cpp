// Allocating and freeing small blocks: the engine's memory manager against
// the C runtime's malloc. Run by hand; not a test.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "foundation/memory_pool.h"

namespace {

constexpr int kBatch = 1000;

// One block allocated and freed at once, over and over.
void ManagerPair(benchmark::State& state) {
  qs::mem::Pool* pool = qs::mem::DefaultPool();
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = qs::mem::Alloc(pool, size);
    benchmark::DoNotOptimize(p);
    qs::mem::Free(p);
  }
}

void MallocPair(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = std::malloc(size);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}

// A batch of blocks allocated, then freed in allocation order.
void ManagerBatch(benchmark::State& state) {
  qs::mem::Pool* pool = qs::mem::DefaultPool();
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (void*& p : blocks) p = qs::mem::Alloc(pool, size);
    benchmark::ClobberMemory();
    for (void* p : blocks) qs::mem::Free(p);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

void MallocBatch(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<void*> blocks(kBatch);
  for (auto _ : state) {
    for (void*& p : blocks) p = std::malloc(size);
    benchmark::ClobberMemory();
    for (void* p : blocks) std::free(p);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

BENCHMARK(ManagerPair)->Arg(16)->Arg(64)->Arg(200);
BENCHMARK(MallocPair)->Arg(16)->Arg(64)->Arg(200);
BENCHMARK(ManagerBatch)->Arg(16)->Arg(64)->Arg(200);
BENCHMARK(MallocBatch)->Arg(16)->Arg(64)->Arg(200);

}  // namespace

BENCHMARK_MAIN();
