// A fresh folder under the system's temporary folder for one test, removed
// with everything in it afterwards. Paths are UTF-8 as the engine takes them.
#pragma once
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace qs::test {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> serial{0};
    auto base = std::filesystem::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("qs-test-" + std::to_string(Pid()) + "-" + std::to_string(serial++));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) break;
    }
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing separator.
  std::string dir() const { return Utf8(path_); }
  // A file name inside the folder.
  std::string File(const std::string& name) const { return Utf8(path_ / std::filesystem::u8path(name)); }

  static std::string Utf8(const std::filesystem::path& p) {
    auto s = p.u8string();
    return std::string(s.begin(), s.end());
  }
  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(std::filesystem::u8path(name), std::ios::binary) << bytes;
  }
  static std::string ReadAll(const std::string& name) {
    std::ifstream in(std::filesystem::u8path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::u8path(name), ec);
  }
  static int FilesIn(const std::string& dir) {
    int n = 0;
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(dir))) {
      (void)e;
      ++n;
    }
    return n;
  }

 private:
  static long Pid();
  std::filesystem::path path_;
};

// Bytes that differ between neighbouring blocks of any power-of-two size,
// no zero among them (so NUL-terminated reads see them all).
inline std::string Pattern(std::size_t n, unsigned seed = 0) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(1 + (i * 31 + i / 4093 + seed) % 255);
  return s;
}

}  // namespace qs::test

#ifdef _WIN32
#include <process.h>
inline long qs::test::TempFolder::Pid() { return _getpid(); }
#else
#include <unistd.h>
inline long qs::test::TempFolder::Pid() { return getpid(); }
#endif
