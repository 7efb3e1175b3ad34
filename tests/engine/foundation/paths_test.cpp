#include "foundation/paths.h"

#include <gtest/gtest.h>

#include <string>

#include "engine_services_fake.h"
#include "foundation/entity_storage.h"
#include "foundation/file.h"
#include "foundation/strings.h"
#include "temp_folder.h"

namespace qs {
namespace {

using test::FakeEngine;
using test::Pattern;
using test::TempFolder;

TEST(Paths, RelativeAndDirLength) {
  struct Case {
    const char* path;
    bool relative;
    std::size_t dirLength;
  } cases[] = {
      {"docs\\a.sgm", true, 5}, {":x", true, 1},         {"\\a.sgm", false, 1},
      {"/a.sgm", false, 1},     {"D:\\a.sgm", false, 3}, {"http://h/x", false, 9},
      {"a.sgm", true, 0},       {"", true, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathIsRelative(c.path), c.relative) << c.path;
    EXPECT_EQ(PathDirLength(c.path), c.dirLength) << c.path;
  }
}

TEST(Paths, Normalize) {
  struct Case {
    const char* path;
    const char* normal;
  } cases[] = {
      {"a\\b\\..\\c", "a\\c"},
      {"a\\.\\b", "a\\b"},
      {"D:\\x\\y\\..\\..\\z", "D:\\z"},
      {"a/b/../c", "a/c"},
      {"a\\b\\..", "a\\b\\.."},
      {"..\\a", "..\\a"},
      {"http://host/a/../b", "http://host/b"},
      // Never above what the path names:
      {"a\\..\\b", "b"},                 // stays relative
      {"a\\b\\..\\..\\..\\c", "..\\c"},  // the extra ".." is kept
      {"..\\..\\x", "..\\..\\x"},        // a leading ".." stays
      {"D:..\\x", "D:..\\x"},            // the drive stays
      {"D:\\..\\x", "D:\\x"},            // a root has nothing above it
      {"D:.\\x", "D:.\\x"},
      {"\\..\\x", "\\x"},
      {"\\\\server\\..\\x", "\\\\server\\..\\x"},
      {"\\.\\a", "\\a"},
  };
  for (const Case& c : cases) {
    char buf[kPathCapacity];
    CopyString(buf, c.path);
    EXPECT_STREQ(PathNormalize(buf), c.normal) << c.path;
  }
}

TEST(Paths, JoinRefusesWhatDoesNotFit) {
  char out[kPathCapacity];
  EXPECT_STREQ(PathJoin(out, "D:\\docs\\", "sub\\..\\a.sgm"), "D:\\docs\\a.sgm");
  EXPECT_STREQ(PathJoin(out, "D:\\docs\\", "E:\\b.sgm"), "E:\\b.sgm");
  EXPECT_STREQ(PathJoin(out, nullptr, "a\\.\\b"), "a\\b");
  const std::string dir(200, 'd');
  const std::string name(54, 'n');
  EXPECT_NE(PathJoin(out, (dir + "\\").c_str(), name.c_str()), nullptr);  // 255 bytes fit
  EXPECT_EQ(PathJoin(out, (dir + "\\").c_str(), (name + "n").c_str()), nullptr);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(PathJoin(out, nullptr, std::string(300, 'x').c_str()), nullptr);
}

class TempFilesTest : public testing::Test {
 protected:
  TempFilesTest() { DeleteTempFiles(nullptr); }
  ~TempFilesTest() override { DeleteTempFiles(nullptr); }
  std::string Make(const std::string& name, const std::string& bytes = "x") {
    std::string path = tmp.dir() + "\\" + name;
    File* f = File::Open(path.c_str(), File::kModeCreate);
    EXPECT_NE(f, nullptr);
    if (f) f->Write(bytes.data(), bytes.size());
    delete f;
    return path;
  }
  TempFolder tmp;
  FakeEngine engine{tmp.dir(), tmp.dir() + "\\"};
};

TEST_F(TempFilesTest, TempNamesSkipExistingFiles) {
  char first[kPathCapacity], second[kPathCapacity];
  ASSERT_NE(MakeTempName(first), nullptr);
  const std::string prefix = tmp.dir() + "\\2f-";
  std::string name = first;
  ASSERT_EQ(name.substr(0, prefix.size()), prefix);
  ASSERT_EQ(name.substr(name.size() - 4), ".tmp");
  unsigned counter = static_cast<unsigned>(std::stoul(name.substr(prefix.size(), name.size() - prefix.size() - 4), nullptr, 16));
  EXPECT_GE(name.size() - prefix.size() - 4, 4u);  // at least four digits
  char expect[kPathCapacity];
  FormatString(expect, sizeof expect, "%s\\2f-%04x.tmp", tmp.dir().c_str(), counter + 1);
  Make(std::string(expect).substr(tmp.dir().size() + 1));  // the next name is taken
  ASSERT_NE(MakeTempName(second), nullptr);
  FormatString(expect, sizeof expect, "%s\\2f-%04x.tmp", tmp.dir().c_str(), counter + 2);
  EXPECT_STREQ(second, expect);

  FakeEngine deep(std::string(250, 'd'));
  EXPECT_EQ(MakeTempName(second), nullptr);
}

TEST_F(TempFilesTest, RegistryKeepsSixteen) {
  std::string files[17];
  for (int i = 0; i < 17; ++i) {
    files[i] = Make("copy" + std::to_string(i));
    ASSERT_TRUE(RegisterTempFile(("key" + std::to_string(i)).c_str(), files[i].c_str(), i));
    if (i == 10) LookupTempFile("key0", nullptr);  // key0 becomes the most recently used
  }
  EXPECT_EQ(TempFileCount(), 16);
  EXPECT_EQ(File::Exists(files[0].c_str()), 4);
  EXPECT_EQ(File::Exists(files[1].c_str()), 0);  // the least recently used went, with its file
  EXPECT_EQ(LookupTempFile("key1", nullptr), nullptr);
  std::int32_t number = -1;
  ASSERT_NE(LookupTempFile("key5", &number), nullptr);
  EXPECT_EQ(number, 5);
  DeleteTempFiles("key5");
  EXPECT_EQ(File::Exists(files[5].c_str()), 0);
  DeleteTempFiles(nullptr);
  EXPECT_EQ(TempFileCount(), 0);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(File::Exists(files[i].c_str()), 0) << i;
}

TEST_F(TempFilesTest, RegisteringAKeyAgain) {
  const std::string a = Make("a.tmp"), b = Make("b.tmp");
  ASSERT_TRUE(RegisterTempFile("k", a.c_str(), 1));
  ASSERT_TRUE(RegisterTempFile("k", b.c_str(), 2));  // the old file goes
  EXPECT_EQ(File::Exists(a.c_str()), 0);
  EXPECT_STREQ(LookupTempFile("k", nullptr), b.c_str());
  ASSERT_TRUE(RegisterTempFile("k", b.c_str(), 3));  // the same file stays
  EXPECT_EQ(File::Exists(b.c_str()), 4);
  EXPECT_EQ(TempFileCount(), 1);
  // A relative name is taken in the home folder.
  Make("rel.tmp");
  ASSERT_TRUE(RegisterTempFile("r", "rel.tmp", 0));
  EXPECT_EQ(std::string(LookupTempFile("r", nullptr)), tmp.dir() + "\\rel.tmp");
  EXPECT_FALSE(RegisterTempFile("long", std::string(300, 'x').c_str(), 0));
}

TEST_F(TempFilesTest, CopiesAreNamedByTheLastStepsExtension) {
  struct Case {
    const char* key;
    const char* extension;
  } cases[] = {
      {"D:\\docs\\chap.sgm", ".sgm"},
      {"memtext", ".tmp"},
      {"D:\\a.b\\..\\..\\evil", ".tmp"},  // a dot in a folder is no extension
      {"http://h/x.y/z", ".tmp"},
      {"a.toolongext", ".tmp"},
      {"a.s-m", ".tmp"},
      {"archive.TAR9", ".TAR9"},
      {".profile", ".tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    char out[kPathCapacity];
    ASSERT_EQ(CopyToTempFile(new MemoryInStream("data", 4, nullptr), c.key, out, 0), 1);
    std::string name = out;
    const std::string prefix = tmp.dir() + "\\";
    ASSERT_EQ(name.substr(0, prefix.size()), prefix);
    std::string rest = name.substr(prefix.size());
    EXPECT_EQ(rest.find_first_of("\\/:"), std::string::npos);  // inside the folder
    EXPECT_EQ(rest.substr(rest.find('.')), c.extension);
    EXPECT_EQ(rest.find_first_not_of("0123456789"), rest.find('.'));
    EXPECT_STREQ(LookupTempFile(c.key, nullptr), out);
  }
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), static_cast<int>(std::size(cases)));
}

TEST_F(TempFilesTest, CopyIsByteForByteAndChecked) {
  std::string data = Pattern(100000);
  data[10] = '\0';
  data[50000] = '\n';
  char out[kPathCapacity];
  ASSERT_EQ(CopyToTempFile(new MemoryInStream(data.data(), data.size(), nullptr), "bin.dat", out, 7), 1);
  FileInStream back(out, nullptr);
  std::string got(200000, '\0');
  got.resize(back.Read(got.data(), got.size()));
  EXPECT_EQ(got, data);
  std::int32_t number = 0;
  LookupTempFile("bin.dat", &number);
  EXPECT_EQ(number, 7);

  FakeEngine broken(tmp.dir() + "\\missing");
  EXPECT_EQ(CopyToTempFile(new MemoryInStream("x", 1, nullptr), "lost.txt", out, 0), 0);
  EXPECT_EQ(LookupTempFile("lost.txt", nullptr), nullptr);
}

}  // namespace
}  // namespace qs
