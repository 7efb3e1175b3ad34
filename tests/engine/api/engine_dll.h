// QSENGINE.DLL loaded the way a host loads it, every export bound by the
// name the host builds from the export table.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "api/exports.h"

namespace qs::test {

enum class Failure { Zero, MinusOne, NoHandle, Unrelated, Void, Never };

struct BoundExport {
  const char* function;
  std::string exportName;
  const char* group;
  Failure failure;
  FARPROC address;
};

inline std::string NumberedName(unsigned long number, int bytes) {
  char name[32];
  std::snprintf(name, sizeof name, "_P%lx@%d", number, bytes);
  return name;
}

class EngineDll : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("QSENGINE.DLL");
    ASSERT_NE(module_, nullptr) << "LoadLibraryA failed: " << GetLastError();
#define QS_EXPORT(number, bytes, function, group, failure) \
  Add(#function, NumberedName(number, bytes), #group, Failure::failure);
#define QS_EXPORT_PLAIN(function, bytes, group, failure) \
  Add(#function, "_" #function "@" #bytes, #group, Failure::failure);
#include "api/export_table.h"
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // The bound address of an export by its function name, as its type.
  template <class F>
  F Bind(const char* function) {
    for (const BoundExport& e : exports_) {
      if (e.exportName.empty() || std::string(e.function) != function) continue;
      return reinterpret_cast<F>(reinterpret_cast<void*>(e.address));
    }
    ADD_FAILURE() << function << " is not in the export table";
    return nullptr;
  }

  // A folder of the test's own under the system's temporary folder, made if
  // missing; the name ends without a separator.
  static std::string MakeTempFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
  }

  HMODULE module_ = nullptr;
  std::vector<BoundExport> exports_;

 private:
  void Add(const char* function, std::string name, const char* group, Failure failure) {
    FARPROC address = GetProcAddress(module_, name.c_str());
    exports_.push_back({function, std::move(name), group, failure, address});
  }
};

// Binds an export under its declared type: QS_BIND(QsReleaseHandle).
#define QS_BIND(function) Bind<decltype(&::function)>(#function)

}  // namespace qs::test
