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

// The file keeps where its handle stands, so a seek to that place asks
// the system nothing: every step of writes, reads and seeks (to the place
// already held, elsewhere, from the end, failing, reads cut short by the
// end) must leave the file and each answer as a plain model of it says.
TEST(File, SeeksAfterTransfersLandWhereTheModelSays) {
  TempFolder tmp;
  const std::string name = tmp.File("steps.bin");
  File* f = File::Open(name.c_str(), File::kModeCreate);
  ASSERT_NE(f, nullptr);
  struct Step {
    char op;  // w write, r read, s seek from the start, c from here, e from the end
    std::int64_t n;
    const char* text;  // written, or expected read
    std::int64_t result;  // bytes moved, or the seek's answer
  } steps[] = {
      {'w', 4, "abcd", 4},  {'s', 4, "", 4},      {'w', 4, "efgh", 4},  {'s', 8, "", 8},
      {'c', 0, "", 8},      {'s', 2, "", 2},      {'w', 2, "XY", 2},    {'c', 0, "", 4},
      {'r', 3, "efg", 3},   {'s', 7, "", 7},      {'r', 5, "h", 1},     {'c', 0, "", 8},
      {'s', 8, "", 8},      {'w', 2, "ij", 2},    {'s', -1, "", -1},    {'c', 0, "", 10},
      {'e', -3, "", 7},     {'r', 3, "hij", 3},   {'s', 0, "", 0},      {'r', 10, "abXYefghij", 10},
      {'s', 10, "", 10},    {'r', 4, "", 0},      {'c', 0, "", 10},     {'s', 1, "", 1},
      {'r', 1, "b", 1},
  };
  std::string model;
  std::int64_t at = 0;
  for (const Step& st : steps) {
    SCOPED_TRACE(testing::Message() << st.op << " " << st.n << " at " << at);
    char buf[32] = {};
    switch (st.op) {
      case 'w':
        EXPECT_EQ(f->Write(st.text, static_cast<std::size_t>(st.n)), static_cast<std::size_t>(st.result));
        if (model.size() < static_cast<std::size_t>(at + st.n)) model.resize(static_cast<std::size_t>(at + st.n));
        model.replace(static_cast<std::size_t>(at), static_cast<std::size_t>(st.n), st.text);
        at += st.n;
        break;
      case 'r':
        EXPECT_EQ(f->Read(buf, static_cast<std::size_t>(st.n)), static_cast<std::size_t>(st.result));
        EXPECT_EQ(std::string(buf, static_cast<std::size_t>(st.result)), st.text);
        EXPECT_EQ(model.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(st.result)), st.text);
        at += st.result;
        break;
      default: {
        const int origin = st.op == 's' ? 0 : st.op == 'c' ? 1 : 2;
        EXPECT_EQ(f->Seek(st.n, origin), st.result);
        if (st.result >= 0) at = st.result;
      }
    }
  }
  delete f;
  EXPECT_EQ(TempFolder::ReadAll(name), model);
  EXPECT_EQ(model, "abXYefghij");
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
