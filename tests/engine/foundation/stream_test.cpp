#include "foundation/stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

namespace qs {
namespace {

using test::Pattern;
using test::TempFolder;

// A stream over bytes held in one buffer; records what Read asks of ReadBlock.
class BufferStream : public Stream {
 public:
  explicit BufferStream(std::string bytes) : data_(std::move(bytes)) {
    start_ = cur_ = reinterpret_cast<std::uint8_t*>(data_.data());
    end_ = start_ + data_.size();
    state_ = kLastBuffer;
  }
  const std::uint8_t* ReadBlock(std::size_t* length, std::size_t maximum) override {
    asked.push_back(maximum);
    return Stream::ReadBlock(length, maximum);
  }
  std::vector<std::size_t> asked;

 private:
  std::string data_;
};

// Collects what is put.
class StringOutStream : public Stream {
 public:
  void PutChar(std::uint8_t c) override { text.push_back(static_cast<char>(c)); }
  std::string text;
};

// Counts refills.
class CountingFileStream : public FileInStream {
 public:
  using FileInStream::FileInStream;
  void Refill() override {
    ++refills;
    FileInStream::Refill();
  }
  int refills = 0;
};

TEST(Stream, BigEndianIntegers) {
  BufferStream s(std::string("\x01\x02\x03\xAB\xCD\x7F", 6));
  EXPECT_EQ(s.ReadU24(), 66051u);
  EXPECT_EQ(s.ReadU16(), 0xABCDu);
  EXPECT_EQ(s.GetChar(), 0x7F);
  EXPECT_EQ(s.GetChar(), 0);  // end
  EXPECT_EQ(s.State(), Stream::kAtEnd);
}

TEST(Stream, ReadTakesPiecesOf31000) {
  const std::string data = Pattern(100000);
  BufferStream s(data);
  std::string out(70000, '\0');
  EXPECT_EQ(s.Read(out.data(), out.size()), 70000u);
  EXPECT_EQ(s.asked, (std::vector<std::size_t>{31000, 31000, 8000}));
  EXPECT_EQ(out, data.substr(0, 70000));
  EXPECT_EQ(s.Tell(), 70000);
  // Asking for more than is left gives what is left.
  EXPECT_EQ(s.Read(out.data(), out.size()), 30000u);
  EXPECT_EQ(s.Read(out.data(), out.size()), 0u);
}

TEST(Stream, ReadString) {
  std::string data = std::string("abc\0", 4) + std::string(2000, 'x') + std::string("\0z", 2);
  BufferStream s(data);
  char buf[Stream::kStringCapacity];
  EXPECT_EQ(s.ReadString(buf), 3u);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(s.ReadString(buf), 1026u);  // cut: no NUL in the first 1026 bytes
  EXPECT_EQ(std::string(buf), std::string(1026, 'x'));
  EXPECT_EQ(s.ReadString(buf), 2000u - 1026u);
  EXPECT_EQ(s.ReadString(buf), 1u);
  EXPECT_STREQ(buf, "z");
  EXPECT_EQ(s.ReadString(buf), 0u);
}

TEST(Stream, BaseSeekIsForwardOnly) {
  BufferStream s("0123456789");
  EXPECT_EQ(s.Seek(4), 1);
  EXPECT_EQ(s.GetChar(), '4');
  EXPECT_EQ(s.Seek(2), 0);   // behind Tell
  EXPECT_EQ(s.Seek(10), 1);  // exactly the end
  EXPECT_EQ(s.Seek(11), 0);  // past the data: fails, never spins
  EXPECT_EQ(s.GetChar(), 0);
}

TEST(Stream, Quoting) {
  struct Case {
    const char* literal;
    const char* written;
  } cases[] = {
      {nullptr, "\"\""},
      {"", "\"\""},
      {"abc", "\"abc\""},
      {"a&b", "\"a&b\""},
      {"a\"b", "'a\"b'"},
      {"a\"b'c&d", "\"a&Q;b'c&d\""},
  };
  for (const Case& c : cases) {
    StringOutStream out;
    out.PutQuoted(c.literal);
    EXPECT_EQ(out.text, c.written) << (c.literal ? c.literal : "(null)");
  }
}

TEST(Stream, ExternalIds) {
  struct Case {
    const char* system;
    const char* pub;
    const char* written;
  } cases[] = {
      {nullptr, nullptr, "SYSTEM"},
      {"a.dtd", nullptr, "SYSTEM \"a.dtd\""},
      {nullptr, "-//X//DTD Y//EN", "PUBLIC \"-//X//DTD Y//EN\""},
      {"a.dtd", "-//X//DTD Y//EN", "PUBLIC \"-//X//DTD Y//EN\" \"a.dtd\""},
  };
  for (const Case& c : cases) {
    StringOutStream out;
    out.PutExternalId(c.system, c.pub);
    EXPECT_EQ(out.text, c.written);
  }
  StringOutStream out;
  out.PutStringZ("ab");
  out.PutStringZ(nullptr);
  out.PutString(nullptr);
  EXPECT_EQ(out.text, std::string("ab\0", 3));
}

TEST(FileInStream, ReadsWholeFilesOfEverySize) {
  TempFolder tmp;
  struct Case {
    std::size_t size;
    int refills;  // the last one finds nothing more when the size is a whole block
  } cases[] = {{0, 1}, {1, 1}, {8191, 1}, {8192, 2}, {8193, 2}, {20000, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string name = tmp.File("f" + std::to_string(c.size));
    const std::string data = Pattern(c.size);
    TempFolder::Write(name, data);
    CountingFileStream s(name.c_str(), "entity");
    EXPECT_TRUE(s.IsReadable());
    EXPECT_STREQ(s.SourceName(), "entity");
    std::string got;
    for (int ch; (ch = s.GetChar()) != 0;) got.push_back(static_cast<char>(ch));
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.refills, c.refills);
    EXPECT_EQ(s.State(), Stream::kAtEnd);
    EXPECT_FALSE(s.IsReadable());
    EXPECT_EQ(s.Tell(), static_cast<std::int32_t>(c.size));
    EXPECT_EQ(s.GetChar(), 0);
  }
}

// A larger block: one refill per 64 KB, a seek anywhere, the same bytes.
// A block size that is no power of two above 8 KB is the default block:
// 8 KB blocks up to 64 KB, 64 KB blocks after that.
TEST(FileInStream, LargerBlocksReadAndSeekTheSameBytes) {
  TempFolder tmp;
  const std::string name = tmp.File("large.bin");
  const std::string data = Pattern(200000);
  TempFolder::Write(name, data);
  struct Case {
    std::size_t asked, block, blockAfter;
    int refills;
  } cases[] = {{65536, 65536, 65536, 4},   {1 << 20, 1 << 20, 1 << 20, 1},
               {16384, 16384, 16384, 13},  {8192, 8192, 65536, 11},
               {100000, 8192, 65536, 11},  {4096, 8192, 65536, 11},
               {0, 8192, 65536, 11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    CountingFileStream s(name.c_str(), nullptr, c.asked);
    EXPECT_EQ(s.BlockSize(), c.block);
    std::string got;
    std::size_t n = 0;
    while (const std::uint8_t* p = s.ReadBlock(&n, std::size_t(1) << 30))
      got.append(reinterpret_cast<const char*>(p), n);
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.refills, c.refills);
    EXPECT_EQ(s.Tell(), 200000);
    EXPECT_EQ(s.BlockSize(), c.blockAfter);
    // Seeks into any block, back and forth, read on from there.
    for (std::int32_t position : {131073, 0, 65535, 65536, 199999, 70000, 200000}) {
      SCOPED_TRACE(position);
      ASSERT_EQ(s.Seek(position), 1);
      EXPECT_EQ(s.Tell(), position);
      std::string rest(300000, '\0');
      rest.resize(s.Read(rest.data(), rest.size()));
      EXPECT_EQ(rest, data.substr(static_cast<std::size_t>(position)));
    }
    EXPECT_EQ(s.Seek(200001), 0);
  }
}

TEST(FileInStream, MissingFileReadsEmpty) {
  TempFolder tmp;
  FileInStream s(tmp.File("missing").c_str(), nullptr);
  EXPECT_FALSE(s.IsReadable());
  EXPECT_EQ(s.GetChar(), 0);
  EXPECT_EQ(s.Seek(0), 0);
  EXPECT_EQ(s.SourceName(), nullptr);
}

TEST(FileInStream, Seek) {
  TempFolder tmp;
  const std::string name = tmp.File("seek.bin");
  const std::string data = Pattern(20000);
  TempFolder::Write(name, data);
  FileInStream s(name.c_str(), nullptr);
  std::string all(30000, '\0');
  ASSERT_EQ(s.Read(all.data(), all.size()), 20000u);  // read to the end first
  struct Case {
    std::int32_t position;
    int result;
  } cases[] = {{8193, 1}, {0, 1}, {19999, 1}, {16384, 1}, {20000, 1}, {8192, 1}, {20001, 0}, {-1, 0}};
  std::int32_t here = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    EXPECT_EQ(s.Seek(c.position), c.result);
    if (c.result) here = c.position;
    EXPECT_EQ(s.Tell(), here);
    // Reading goes on from where the stream stands, across block ends.
    std::string rest(30000, '\0');
    std::size_t n = s.Read(rest.data(), rest.size());
    EXPECT_EQ(rest.substr(0, n), data.substr(static_cast<std::size_t>(here)));
    here = 20000;
  }
}

}  // namespace
}  // namespace qs
