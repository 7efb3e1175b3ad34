// The picture readers beside libXpm: every fvwm icon read from memory (items: icons) by
// the engine's XPM reader and by XpmCreateXpmImageFromBuffer (where libXpm
// is there, natively), the X bitmap "escherknot" by the engine's XBM
// reader, and 32 full palettes merged. Run by hand; not a test.
#include <benchmark/benchmark.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef QS_WITH_LIBXPM
#include <X11/xpm.h>
#endif

#include "foundation/engine_lists.h"
#include "foundation/entity_storage.h"
#include "foundation/win_utils.h"
#include "view/image_readers.h"
#include "view/shared_palette.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::vector<std::string>& Icons() {
  static const std::vector<std::string> icons = [] {
    std::vector<std::string> out;
    const std::string folder = "/usr/share/pixmaps/fvwm/";
    if (DIR* dir = opendir(folder.c_str())) {
      while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xpm") == 0)
          out.push_back(Slurp(folder + name));
      }
      closedir(dir);
    }
    return out;
  }();
  return icons;
}

void EngineXpm(benchmark::State& state) {
  qs::ColorTable colors;
  const auto& icons = Icons();
  int read = 0;
  for (auto _ : state) {
    read = 0;
    for (const std::string& icon : icons) {
      qs::MemoryInStream in(icon.data(), icon.size(), "icon");
      bool mask = false;
      std::uint8_t* dib = qs::ReadXpm(in, colors, true, &mask);
      read += dib != nullptr;
      qs::FreeGlobalBlock(dib);
    }
  }
  state.counters["icons"] = benchmark::Counter(static_cast<double>(icons.size()));
  state.counters["read"] = benchmark::Counter(read);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(icons.size()));
}
BENCHMARK(EngineXpm);

#ifdef QS_WITH_LIBXPM
void LibXpm(benchmark::State& state) {
  const auto& icons = Icons();
  std::vector<std::string> buffers(icons.begin(), icons.end());
  int read = 0;
  for (auto _ : state) {
    read = 0;
    for (std::string& icon : buffers) {
      XpmImage image;
      if (XpmCreateXpmImageFromBuffer(icon.data(), &image, nullptr) == XpmSuccess) {
        ++read;
        XpmFreeXpmImage(&image);
      }
    }
  }
  state.counters["icons"] = benchmark::Counter(static_cast<double>(icons.size()));
  state.counters["read"] = benchmark::Counter(read);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(icons.size()));
}
BENCHMARK(LibXpm);
#endif

void EngineXbmEscherknot(benchmark::State& state) {
  const std::string knot = Slurp("/usr/include/X11/bitmaps/escherknot");
  for (auto _ : state) {
    qs::MemoryInStream in(knot.data(), knot.size(), "knot");
    std::uint8_t* dib = qs::ReadXbm(in);
    benchmark::DoNotOptimize(dib);
    qs::FreeGlobalBlock(dib);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EngineXbmEscherknot);

void Merge32FullPalettes(benchmark::State& state) {
  std::vector<qs::ImagePalette*> images;
  for (int k = 0; k < 32; ++k) {
    qs::PaletteRgb colors[256];
    for (int i = 0; i < 256; ++i)
      colors[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7 + k),
                   static_cast<std::uint8_t>(k * 8)};
    images.push_back(new qs::ImagePalette(nullptr, colors, 256));
  }
  qs::PaletteRgb out[256];
  for (auto _ : state) benchmark::DoNotOptimize(qs::MergePalettes(images[0], images.data() + 1, 31, out));
  for (auto* p : images) delete p;
}
BENCHMARK(Merge32FullPalettes);

}  // namespace

BENCHMARK_MAIN();
