#include "foundation/text_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <signal.h>
#include <sys/resource.h>
#endif

namespace qs {
namespace {

using test::Pattern;
using test::TempFolder;

std::string WriteAndRead(TempFolder& tmp, bool crlf, void (*fill)(TextWriter&)) {
  const std::string name = tmp.File("out.txt");
  {
    TextWriter w(name.c_str(), crlf);
    EXPECT_TRUE(w.ok());
    fill(w);
    EXPECT_TRUE(w.Close());
  }
  return TempFolder::ReadAll(name);
}

TEST(TextWriter, Quoting) {
  TempFolder tmp;
  struct Case {
    const char* value;
    const char* written;
  } cases[] = {
      {"abc", "\"abc\""},
      {"a&b", "\"a&b\""},
      {"a\"b", "'a\"b'"},
      {"a\"b'c&d", "\"a&Q;b'c&A;d\""},
      {"", "\"\""},
  };
  for (const Case& c : cases) {
    const std::string name = tmp.File("q.txt");
    TextWriter w(name.c_str(), false);
    w.PutQuoted(c.value);
    EXPECT_TRUE(w.Close());
    EXPECT_EQ(TempFolder::ReadAll(name), c.written);
  }
}

TEST(TextWriter, LineEnds) {
  TempFolder tmp;
  auto fill = [](TextWriter& w) { w.PutString("one\ntwo\nthree\n"); };
  EXPECT_EQ(WriteAndRead(tmp, false, fill), "one\ntwo\nthree\n");
  EXPECT_EQ(WriteAndRead(tmp, true, fill), "one\r\ntwo\r\nthree\r\n");
}

TEST(TextWriter, LongTextsAcrossTheBuffer) {
  TempFolder tmp;
  const std::string name = tmp.File("long.txt");
  const std::string data = Pattern(3 * TextWriter::kBufferSize + 5);
  TextWriter w(name.c_str(), false);
  w.PutString(data.c_str());
  w.Flush();
  EXPECT_EQ(w.BytesWritten(), data.size());
  EXPECT_TRUE(w.Close());
  EXPECT_TRUE(w.Close());  // a second close gives the same answer
  EXPECT_EQ(TempFolder::ReadAll(name), data);
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), 1);  // no scratch file left
}

TEST(TextWriter, TargetIsReplacedOnlyWhenComplete) {
  TempFolder tmp;
  const std::string name = tmp.File("keep.txt");
  TempFolder::Write(name, "old");
  {
    TextWriter w(name.c_str(), false);
    w.PutString("new text");
    EXPECT_EQ(TempFolder::ReadAll(name), "old");  // nothing in place before the close
    w.Discard();
    EXPECT_FALSE(w.Close());
  }
  EXPECT_EQ(TempFolder::ReadAll(name), "old");
  { TextWriter w(name.c_str(), false); w.PutString("new"); }  // the destructor commits
  EXPECT_EQ(TempFolder::ReadAll(name), "new");
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), 1);
}

// A read-only target is kept, with no temporary file left beside it.
TEST(TextWriter, ReadOnlyTargetIsKept) {
  TempFolder tmp;
  const std::string name = tmp.File("locked.txt");
  TempFolder::Write(name, "old");
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY));
#else
  ASSERT_EQ(chmod(name.c_str(), 0444), 0);
#endif
  {
    TextWriter w(name.c_str(), false);
    w.PutString("new");
    EXPECT_FALSE(w.Close());
  }
  EXPECT_EQ(TempFolder::ReadAll(name), "old");
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), 1);
#ifdef _WIN32
  SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
  chmod(name.c_str(), 0644);
#endif
}

TEST(TextWriter, FileThatCannotBeMade) {
  TempFolder tmp;
  const std::string name = tmp.File("no-such-folder/x.txt");
  TextWriter w(name.c_str(), false);
  EXPECT_FALSE(w.ok());
  w.PutString("dropped");
  EXPECT_FALSE(w.Close());
  EXPECT_FALSE(TempFolder::Exists(name));
  TextWriter none(nullptr, false);
  EXPECT_FALSE(none.ok());
  EXPECT_FALSE(none.Close());
}

#ifndef _WIN32
// A disk that fills up: the file size limit makes writes fall short.
TEST(TextWriter, ShortWriteIsAFailedSave) {
  TempFolder tmp;
  const std::string name = tmp.File("full.txt");
  TempFolder::Write(name, "old");
  struct rlimit was;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = was;
  small.rlim_cur = 10000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool closed;
  bool okBeforeClose;
  {
    TextWriter w(name.c_str(), false);
    w.PutString(Pattern(40000).c_str());
    okBeforeClose = w.ok();
    closed = w.Close();
  }
  setrlimit(RLIMIT_FSIZE, &was);
  EXPECT_FALSE(okBeforeClose);
  EXPECT_FALSE(closed);
  EXPECT_EQ(TempFolder::ReadAll(name), "old");
  EXPECT_EQ(TempFolder::FilesIn(tmp.dir()), 1);
}
#endif

}  // namespace
}  // namespace qs
