#include "file_io.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace qs::order {
namespace {

class FileIo : public testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH];
    GetCurrentDirectoryA(sizeof base, base);
    folder_ = std::string(base) + "\\file_io_work\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
    Clean();
  }
  void TearDown() override { Clean(); }

  void Clean() {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder_ + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((folder_ + data.cFileName).c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }

  int FileCount() {
    int n = 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder_ + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return n;
  }

  std::string Read(const std::string& path) {
    std::size_t length = 0;
    char* text = LoadFileText(nullptr, path.c_str(), &length);
    if (!text) return "<none>";
    std::string s(text, length);
    std::free(text);
    return s;
  }

  std::string folder_;
};

TEST_F(FileIo, WritesWholeFileAndReplacesAnOldOne) {
  std::string path = folder_ + "a.psr";
  const std::string bytes("A*B*C*D*E*F*\r\n\0tail", 19);
  ASSERT_TRUE(WriteFileWhole(path.c_str(), "old contents, longer than the new ones......"));
  ASSERT_TRUE(WriteFileWhole(path.c_str(), bytes));
  EXPECT_EQ(Read(path), bytes);
  EXPECT_EQ(FileCount(), 1);  // no temporary file left behind
  ASSERT_TRUE(WriteFileWhole(path.c_str(), ""));
  EXPECT_EQ(Read(path), "");
}

TEST_F(FileIo, FailedWriteLeavesTheOldFile) {
  std::string path = folder_ + "held.ord";
  ASSERT_TRUE(WriteFileWhole(path.c_str(), "kept\r\n"));
  // Held open without sharing by another party: it cannot be replaced.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFileWhole(path.c_str(), "new\r\n"));
  CloseHandle(held);
  EXPECT_EQ(Read(path), "kept\r\n");
  EXPECT_EQ(FileCount(), 1);

  EXPECT_FALSE(WriteFileWhole((folder_ + "missing\\x.ord").c_str(), "x"));
  EXPECT_FALSE(WriteFileWhole("", "x"));
  EXPECT_FALSE(WriteFileWhole((folder_ + std::string(300, 'n')).c_str(), "x"));
  EXPECT_EQ(FileCount(), 1);
}

TEST_F(FileIo, LoadsWholeFilesOrNothing) {
  EXPECT_EQ(Read(folder_ + "absent.por"), "<none>");
  EXPECT_EQ(Read(folder_), "<none>");  // a folder is no file
  std::string bytes("M\x02R\x02\0\x03", 6);
  ASSERT_TRUE(WriteFileWhole((folder_ + "x.por").c_str(), bytes));
  EXPECT_EQ(Read(folder_ + "x.por"), bytes);
  std::size_t length = 99;
  char* text = LoadFileText(nullptr, (folder_ + "x.por").c_str(), &length);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text[length], '\0');
  std::free(text);
}

TEST_F(FileIo, IniFileBesideTheProgram) {
  std::string ini = IniPath(nullptr);
  char module[MAX_PATH];
  GetModuleFileNameA(nullptr, module, sizeof module);
  std::string expected(module);
  expected = expected.substr(0, expected.rfind('.')) + ".ini";
  EXPECT_EQ(ini, expected);
  DeleteFileA(ini.c_str());

  char value[256] = "default";
  IniGet(nullptr, "FILE", "PATH", value, sizeof value);
  EXPECT_STREQ(value, "default");
  IniSet(nullptr, "FILE", "PATH", "C:\\orders");
  std::strcpy(value, "default");
  IniGet(nullptr, "FILE", "PATH", value, sizeof value);
  EXPECT_STREQ(value, "C:\\orders");
  char raw[256];
  GetPrivateProfileStringA("FILE", "PATH", "", raw, sizeof raw, ini.c_str());
  EXPECT_STREQ(raw, "C:\\orders");
  DeleteFileA(ini.c_str());
}

}  // namespace
}  // namespace qs::order
