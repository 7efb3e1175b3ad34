// Order files and command lines come from outside: whatever their bytes,
// parsing stays inside its buffers and every stored field is terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "order_file.h"

namespace {

void Check(void*, qs::order::OrderItem* item) {
  for (int k = 0; k < qs::order::kFieldCount; ++k) {
    if (!std::memchr(qs::order::ItemField(item, k), '\0', qs::order::FieldSize(k))) std::abort();
  }
  std::string line = qs::order::FormatItemLine(*item);
  if (line.size() < 8) std::abort();
  // A saved line reads back to exactly the same item.
  struct Back {
    const qs::order::OrderItem* original;
    int count = 0;
  } back{item};
  qs::order::ParseItems(line.data(), line.size(), qs::order::FileForm::kSaveFile,
                        [](void* context, qs::order::OrderItem* again) {
                          auto* b = static_cast<Back*>(context);
                          ++b->count;
                          for (int k = 0; k < qs::order::kFieldCount; ++k) {
                            if (std::strcmp(qs::order::ItemField(again, k),
                                            qs::order::ItemField(b->original, k)) != 0)
                              std::abort();
                          }
                          qs::order::FreeItem(again);
                        },
                        &back);
  if (back.count != 1) std::abort();
  qs::order::FreeItem(item);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  qs::order::ParseItems(text, size, qs::order::FileForm::kExchange, &Check, nullptr);
  qs::order::ParseItems(text, size, qs::order::FileForm::kSaveFile, &Check, nullptr);
  std::string line(text, size);  // terminated copy for the command line
  char out[256];
  qs::order::CommandLineFile(line.c_str(), "corvaoe.exe", out, sizeof out);
  if (!std::memchr(out, '\0', sizeof out)) std::abort();
  return 0;
}
