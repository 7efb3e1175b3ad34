#include "foundation/file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_folder.h"

namespace qs {
namespace {

using test::TempFolder;

TEST(File, OpenModes) {
  TempFolder tmp;
  const std::string old = tmp.File("old.txt"), missing = tmp.File("missing.txt");
  struct Case {
    unsigned mode;
    bool existing;
    bool opens;
    std::string contentAfter;  // what the file holds after the open
  } cases[] = {
      {File::kModeRead, true, true, "hello"},
      {File::kModeRead, false, false, ""},
      {File::kModeUpdate, true, true, "hello"},  // opened, not truncated
      {File::kModeUpdate, false, true, ""},      // created
      {File::kModeCreate, true, true, ""},       // truncated
      {File::kModeCreate, false, true, ""},
      {platform::kFileReadWrite, false, false, ""},  // without create it must exist
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " existing " << c.existing);
    std::filesystem::remove(std::filesystem::u8path(old));
    if (c.existing) TempFolder::Write(old, "hello");
    const std::string& name = c.existing ? old : missing;
    File* f = File::Open(name.c_str(), c.mode);
    EXPECT_EQ(f != nullptr, c.opens);
    delete f;
    EXPECT_EQ(TempFolder::Exists(name), c.existing || c.opens);
    if (TempFolder::Exists(name)) EXPECT_EQ(TempFolder::ReadAll(name), c.contentAfter);
    std::filesystem::remove(std::filesystem::u8path(missing));
  }
}

TEST(File, ReadWriteSeek) {
  TempFolder tmp;
  const std::string name = tmp.File("data.bin");
  File* f = File::Open(name.c_str(), File::kModeCreate);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Write("0123456789", 10), 10u);
  EXPECT_EQ(f->Tell(), 10);
  struct Seek {
    std::int64_t offset;
    int origin;
    std::int64_t result;
  } seeks[] = {{2, 0, 2}, {3, 1, 5}, {-1, 2, 9}, {0, 7, -1}, {-20, 0, -1}};
  for (const Seek& s : seeks) EXPECT_EQ(f->Seek(s.offset, s.origin), s.result) << s.origin;
  f->Seek(4, 0);
  char buf[16] = {};
  EXPECT_EQ(f->Read(buf, sizeof buf), 6u);
  EXPECT_STREQ(buf, "456789");
  EXPECT_EQ(f->Read(buf, sizeof buf), 0u);
  delete f;

  RawFile null;
  EXPECT_EQ(null.Read(buf, 4), 0u);
  EXPECT_EQ(null.Write(buf, 4), 0u);
  EXPECT_EQ(null.Tell(), -1);
}

TEST(File, ExistsDeleteRename) {
  TempFolder tmp;
  const std::string a = tmp.File("a.txt"), b = tmp.File("b.txt"), ro = tmp.File("ro.txt");
  TempFolder::Write(a, "A");
  TempFolder::Write(b, "B");
  TempFolder::Write(ro, "R");
  std::filesystem::permissions(std::filesystem::u8path(ro),
                               std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                   std::filesystem::perms::others_read);
  struct Case {
    std::string name;
    int exists;
  } cases[] = {{a, 4}, {ro, 1}, {tmp.dir(), 4}, {tmp.File("none"), 0}, {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(File::Exists(c.name.c_str()), c.exists) << c.name;

  EXPECT_TRUE(File::Rename(a.c_str(), b.c_str()));  // replaces b
  EXPECT_EQ(File::Exists(a.c_str()), 0);
  EXPECT_EQ(TempFolder::ReadAll(b), "A");
  EXPECT_TRUE(File::Delete(b.c_str()));
  EXPECT_FALSE(File::Delete(b.c_str()));
  EXPECT_EQ(File::Exists(b.c_str()), 0);
  std::filesystem::permissions(std::filesystem::u8path(ro), std::filesystem::perms::owner_all);
}

TEST(File, NonAsciiNames) {
  TempFolder tmp;
  const std::string name = tmp.File("caf\xC3\xA9.txt");  // cafe with e-acute
  File* f = File::Open(name.c_str(), File::kModeCreate);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Write("x", 1), 1u);
  delete f;
  EXPECT_EQ(TempFolder::ReadAll(name), "x");
  EXPECT_EQ(File::Exists(name.c_str()), 4);
}

}  // namespace
}  // namespace qs
