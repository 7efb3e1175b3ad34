// For the MinGW build, where no Google Benchmark library is at hand: the
// parts of its interface that the programs of tests/bench use. Each
// benchmark runs 1, 10, 100 ... iterations until a run takes half a
// second of the thread's processor time, and prints the wall and processor
// time per iteration and its counters (rates per processor second, as the
// library gives them) in the library's manner.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

class Counter {
 public:
  enum Flags { kDefaults = 0, kIsRate = 1 };
  Counter(double value = 0, Flags flags = kDefaults) : value(value), flags(flags) {}
  double value;
  Flags flags;
};

// The calling thread's processor time in seconds.
inline double ThreadSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) {
    return double((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) * 1e-7;
#else
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
#endif
}

class State {
 public:
  using Clock = std::chrono::steady_clock;
  State(std::int64_t iterations, std::int64_t argument)
      : iterations_(iterations), argument_(argument) {}

  struct Iterator {
    State* state;
    std::int64_t left;
    bool operator!=(const Iterator&) {
      if (left != 0) return true;
      state->stop_ = Clock::now();
      state->cpuStop_ = ThreadSeconds();
      return false;
    }
    void operator++() { --left; }
    int operator*() const { return 0; }
  };
  Iterator begin() {
    start_ = Clock::now();
    cpuStart_ = ThreadSeconds();
    return {this, iterations_};
  }
  Iterator end() { return {this, 0}; }

  std::int64_t range(int) const { return argument_; }
  std::int64_t iterations() const { return iterations_; }
  void SetItemsProcessed(std::int64_t items) { counters["items_per_second"] = Counter(double(items), Counter::kIsRate); }
  double Seconds() const { return std::chrono::duration<double>(stop_ - start_).count(); }
  double CpuSeconds() const { return cpuStop_ - cpuStart_; }

  std::map<std::string, Counter> counters;

 private:
  std::int64_t iterations_;
  std::int64_t argument_;
  Clock::time_point start_{}, stop_{};
  double cpuStart_ = 0, cpuStop_ = 0;
};

template <class T>
inline void DoNotOptimize(T const& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}
inline void ClobberMemory() { asm volatile("" : : : "memory"); }

namespace internal {

struct Benchmark {
  const char* name;
  void (*function)(State&);
  std::vector<std::int64_t> arguments;
  Benchmark* Arg(std::int64_t a) {
    arguments.push_back(a);
    return this;
  }
};

inline std::vector<Benchmark*>& Registry() {
  static std::vector<Benchmark*> all;
  return all;
}

inline Benchmark* Register(const char* name, void (*function)(State&)) {
  Registry().push_back(new Benchmark{name, function, {}});
  return Registry().back();
}

inline void RunOne(const Benchmark& b, bool withArgument, std::int64_t argument) {
  for (std::int64_t n = 1;; n *= 10) {
    State state(n, argument);
    b.function(state);
    double seconds = state.CpuSeconds();
    if (seconds < 0.5 && n < 1000000000) continue;
    if (seconds <= 0) seconds = state.Seconds();  // no processor clock
    std::string name = b.name;
    if (withArgument) name += "/" + std::to_string(argument);
    std::printf("%-20s %12.0f ns %12.0f ns %12lld", name.c_str(), state.Seconds() * 1e9 / double(n),
                seconds * 1e9 / double(n), static_cast<long long>(n));
    for (const auto& [key, counter] : state.counters) {
      const double v = counter.flags == Counter::kIsRate ? counter.value / seconds : counter.value;
      if (v >= 1e6)
        std::printf(" %s=%.4gM%s", key.c_str(), v / 1e6, counter.flags == Counter::kIsRate ? "/s" : "");
      else
        std::printf(" %s=%g%s", key.c_str(), v, counter.flags == Counter::kIsRate ? "/s" : "");
    }
    std::printf("\n");
    return;
  }
}

inline int RunAll() {
  std::printf("%-20s %15s %15s %12s UserCounters...\n", "Benchmark", "Time", "CPU", "Iterations");
  for (const Benchmark* b : Registry()) {
    if (b->arguments.empty()) RunOne(*b, false, 0);
    for (std::int64_t a : b->arguments) RunOne(*b, true, a);
  }
  return 0;
}

}  // namespace internal
}  // namespace benchmark

#define BENCHMARK_CONCAT2(a, b) a##b
#define BENCHMARK_CONCAT(a, b) BENCHMARK_CONCAT2(a, b)
#define BENCHMARK(function)                                                         \
  static ::benchmark::internal::Benchmark* BENCHMARK_CONCAT(benchmark_, __LINE__) = \
      ::benchmark::internal::Register(#function, function)
#define BENCHMARK_MAIN() \
  int main() { return ::benchmark::internal::RunAll(); }
