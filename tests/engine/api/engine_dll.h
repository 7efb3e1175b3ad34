// QSENGINE.DLL loaded the way a host loads it, every export bound by the
// name the host builds from the export table.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    if (!dir_.empty()) RemoveDirectoryA(dir_.c_str());
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

  // The source tree's engine home as a path of the drive Wine maps to /,
  // ending with a separator.
  static std::string SourceHome() {
    const char* source = std::getenv("QS_SOURCE_DIR");
    std::string home = std::string("Z:") + (source ? source : "") + "/samples/home/";
    for (char& c : home)
      if (c == '/') c = '\\';
    return home;
  }

  // A file of the test's folder (dir_), deleted with the folder when the
  // library has been let go.
  std::string Path(const char* name) {
    std::string path = dir_ + "\\" + name;
    files_.push_back(path);
    return path;
  }
  std::string Write(const char* name, const std::string& text) {
    std::string path = Path(name);
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    return path;
  }
  static std::string Read(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      char block[4096];
      std::size_t n;
      while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
      std::fclose(f);
    }
    return text;
  }

  HMODULE module_ = nullptr;
  std::vector<BoundExport> exports_;
  std::string dir_;
  std::vector<std::string> files_;

 private:
  void Add(const char* function, std::string name, const char* group, Failure failure) {
    FARPROC address = GetProcAddress(module_, name.c_str());
    exports_.push_back({function, std::move(name), group, failure, address});
  }
};

// Binds an export under its declared type: QS_BIND(QsReleaseHandle).
#define QS_BIND(function) Bind<decltype(&::function)>(#function)

}  // namespace qs::test
