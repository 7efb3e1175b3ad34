#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "chars_support.h"

namespace qs::test {
namespace {

using namespace std::string_literals;

struct RecordingReporter : DecodeReporter {
  std::vector<std::pair<int, std::string>> warnings;
  void Warning(int number, const char* argument) override {
    warnings.emplace_back(number, argument);
  }
};

class DecoderTest : public ::testing::Test {
 protected:
  RecordingServices services_{0};
  ShippedTablesScope tables_;
};

struct Case {
  const char* name;
  std::string input;
  int explicitNumber;
  int defaultNumber;
  std::string expected;
  int encoding;
};

TEST_F(DecoderTest, DecodesByMarkDeclarationAndNumber) {
  const std::string xmlSjis = "<?xml version='1.0' encoding='Shift_JIS'?>";
  const Case cases[] = {
      {"utf-16le mark", "\xFF\xFE<\0a\0>\0\xE9\0<\0/\0a\0>\0"s, 0, 3, "<a>\xC3\xA9</a>", 1},
      {"utf-16be mark", "\xFE\xFF\0<\0a\0>\0\xE9\0<\0/\0a\0>"s, 0, 3, "<a>\xC3\xA9</a>", 2},
      {"utf-8 mark then xml", "\xEF\xBB\xBF<?xml version='1.0'?><a/>", 0, 3,
       "<?xml version='1.0'?><a/>", 0},
      {"shift_jis in apostrophes", xmlSjis + "\x82\xA0", 0, 3, xmlSjis + "\xE3\x81\x82", 12},
      {"shift_jis lower case in double quotes",
       "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\x82\xA0", 0, 3,
       "<?xml version=\"1.0\" encoding=\"shift_jis\"?>\xE3\x81\x82", 12},
      {"mismatched quotes keep the default",
       "<?xml version='1.0' encoding=\"Shift_JIS'?>\x82\xA0", 0, 3,
       "<?xml version='1.0' encoding=\"Shift_JIS'?>\xC2\x82\xC2\xA0", 3},
      {"iso-8859-2 declared", "<?xml version='1.0' encoding='ISO-8859-2'?>\xA1", 0, 0,
       "<?xml version='1.0' encoding='ISO-8859-2'?>\xC4\x84", 4},
      {"big5 declared", "<?xml encoding='big5'?>\xA4\x40", 0, 3,
       "<?xml encoding='big5'?>\xE4\xB8\x80", 14},
      {"gb2312 declared", "<?xml encoding = 'GB2312' ?>\xA1\xA1", 0, 3,
       "<?xml encoding = 'GB2312' ?>\xE3\x80\x80", 13},
      {"utf8 spelt without hyphen", "<?xml encoding='UTF8'?>\xC3\xA9", 0, 3,
       "<?xml encoding='UTF8'?>\xC3\xA9", 0},
      {"question mark after <?xml is not scanned", "<?xml?encoding='Big5' \xA4\x40", 0, 3,
       "<?xml?encoding='Big5' \xC2\xA4\x40", 3},
      {"encoding after the declaration is text", "<?xml version='1.0'?> encoding='Big5'\xA4",
       0, 3, "<?xml version='1.0'?> encoding='Big5'\xC2\xA4", 3},
      {"no declaration: default", "\xA1\xA1", 0, 13, "\xE3\x80\x80", 13},
      {"explicit number wins over a mark", "\xFF\xFE\x41", 4, 0, "\xC3\xBF\xC3\xBE\x41", 3},
      {"explicit utf-8 reads the source", "\xC3\xA9", 1, 3, "\xC3\xA9", 0},
      {"number 16 (encoding 15) reads the source", "\xA9", 16, 3, "\xA9", 0},
      {"out-of-range number takes the default", "\xA9", 40, 3, "\xC2\xA9", 3},
      {"latin-1 keeps inner NULs", "a\0b"s, 4, 0, "a\0b"s, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = DecodeAll(c.input, c.explicitNumber, c.defaultNumber);
    EXPECT_EQ(d.text, c.expected);
    EXPECT_EQ(d.encoding, c.encoding);
  }
}

TEST_F(DecoderTest, MalformedSequences) {
  const Case cases[] = {
      // Shift_JIS: single bytes of JIS X 0201 and the bytes that stand for
      // themselves.
      {"sjis yen overline katakana", "\x5C\x7E\xB1\x80\xA0\xF0", 13, 0,
       "\xC2\xA5\xE2\x80\xBE\xEF\xBD\xB1\xC2\x80\xC2\xA0\xC3\xB0", 12},
      {"sjis lead with bad trail gives it back", "\x82\x20\x41", 13, 0, "\xEF\xBF\xBD A", 12},
      {"sjis lead at the end", "A\x82", 13, 0, "A\xEF\xBF\xBD", 12},
      {"sjis unmapped pair", "\x85\x40", 13, 0, "\xEF\xBF\xBD", 12},
      {"big5 lead then 7F", "\xA4\x7F", 15, 0, "~\x7F", 14},
      {"big5 lead at the end", "\xA4", 15, 0, "~", 14},
      {"big5 bytes standing for themselves", "\x80\xFF", 15, 0, "\xC2\x80\xC3\xBF", 14},
      {"gb2312 lead then ascii", "\xB0\x41", 14, 0, "~A", 13},
      {"gb2312 A1A1", "\xA1\xA1", 14, 0, "\xE3\x80\x80", 13},
      {"utf-16 pair", "\x3D\xD8\x00\xDE"s, 2, 0, "\xF0\x9F\x98\x80", 1},
      {"utf-16 high surrogate then a letter", "\x3D\xD8\x41\x00"s, 2, 0, "\xEF\xBF\xBD" "A", 1},
      {"utf-16 high surrogate twice", "\x3D\xD8\x3D\xD8\x00\xDE"s, 2, 0,
       "\xEF\xBF\xBD\xF0\x9F\x98\x80", 1},
      {"utf-16 lone low surrogate", "\x00\xDE\x41\x00"s, 2, 0, "\xEF\xBF\xBD" "A", 1},
      {"utf-16 high surrogate at the end", "\x41\x00\x3D\xD8"s, 2, 0, "A\xEF\xBF\xBD", 1},
      {"utf-16 odd byte at the end", "\x41\x00\x42"s, 2, 0, "A\xEF\xBF\xBD", 1},
      {"iso-8859-3 hole", "\xA5", 6, 0, "\xEF\xBF\xBD", 5},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : {0, 1, 3}) {
      SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
      Decoded d = DecodeAll(c.input, c.explicitNumber, c.defaultNumber, nullptr, chunk);
      EXPECT_EQ(d.text, c.expected);
      EXPECT_EQ(d.encoding, c.encoding);
    }
  }
}

TEST_F(DecoderTest, UnknownEncodingIsReportedAsWarning52) {
  RecordingReporter reporter;
  std::string doc = "<?xml version='1.0' encoding='ISO-8859-10'?>\xA1";
  Decoded d = DecodeAll(doc, 0, 3, &reporter);
  EXPECT_EQ(d.encoding, 3);
  EXPECT_EQ(d.text, "<?xml version='1.0' encoding='ISO-8859-10'?>\xC2\xA1");
  ASSERT_EQ(reporter.warnings.size(), 1u);
  EXPECT_EQ(reporter.warnings[0].first, 52);
  EXPECT_EQ(reporter.warnings[0].second, "ISO-8859-10");
  // Without a reporter the default is taken all the same.
  EXPECT_EQ(DecodeAll(doc, 0, 3).encoding, 3);
}

// Fixture files: the same text in an encoding (made with iconv) and in UTF-8.
TEST_F(DecoderTest, FixturesMatchTheirUtf8Twins) {
  const std::pair<const char*, int> fixtures[] = {
      {"latin1", 3},      {"iso-8859-2", 4}, {"iso-8859-3", 5}, {"iso-8859-4", 6},
      {"iso-8859-5", 7},  {"iso-8859-6", 8}, {"iso-8859-7", 9}, {"iso-8859-8", 10},
      {"iso-8859-9", 11}, {"shift_jis", 12}, {"gb2312", 13},    {"big5", 14},
      {"utf16le", 1},     {"utf16be", 2},
  };
  for (const auto& [name, number] : fixtures) {
    std::string input, expected;
    ASSERT_TRUE(ReadBytes(TestData(std::string(name) + ".in"), &input)) << name;
    std::string twin = name;
    if (number == 1 || number == 2) twin = "utf16";
    ASSERT_TRUE(ReadBytes(TestData(twin + ".utf8"), &expected)) << name;
    for (std::size_t chunk : {0, 1, 7}) {
      SCOPED_TRACE(std::string(name) + " chunk " + std::to_string(chunk));
      Decoded d = DecodeAll(input, number + 1, 0, nullptr, chunk);
      EXPECT_EQ(d.text, expected);
      EXPECT_EQ(d.encoding, number);
    }
  }
}

// Another decoder's view of the same documents: Python's CJK test texts and
// their UTF-8 twins (libpython3.11-testsuite).
TEST_F(DecoderTest, AgreesWithPythonCodecsOnTheirTestTexts) {
  const std::string dir = "/usr/lib/python3.11/test/cjkencodings/";
  const std::pair<const char*, int> texts[] = {{"shift_jis", 12}, {"gb2312", 13}, {"big5", 14}};
  int compared = 0;
  for (const auto& [name, number] : texts) {
    std::string input, expected;
    if (!ReadBytes(dir + name + ".txt", &input) || !ReadBytes(dir + name + "-utf8.txt", &expected))
      continue;
    SCOPED_TRACE(name);
    EXPECT_EQ(DecodeAll(input, number + 1, 0).text, expected);
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "libpython3.11-testsuite is not installed";
}

// Tell before each character: the source offset the character came from.
TEST_F(DecoderTest, TellGivesSourceOffsets) {
  struct TellCase {
    const char* name;
    std::string input;
    int explicitNumber;
    std::vector<std::int32_t> offsets;  // before each character, then at the end
  };
  const TellCase cases[] = {
      {"shift_jis mixed widths", "a\x82\xA0\xB1\x88\x9F" "b\x5C", 13, {0, 1, 3, 4, 6, 7, 8}},
      {"shift_jis bad trail", "\x82\x20" "c", 13, {0, 1, 2, 3}},
      {"latin-1", "a\xE9" "b", 4, {0, 1, 2, 3}},
      {"iso-8859-5", "\xB0\xB1" "c", 8, {0, 1, 2, 3}},
      {"gb2312", "x\xA1\xA1\xB0\xA1" "y", 14, {0, 1, 3, 5, 6}},
      {"big5", "\xA4\x40" "z\xA4\x7F", 15, {0, 2, 3, 4, 5}},
      {"utf-16le with pair", "A\0\x3D\xD8\x00\xDE" "B\0"s, 2, {0, 2, 6, 8}},
      {"utf-16le unpaired high", "\x3D\xD8" "A\0"s, 2, {0, 2, 4}},
  };
  for (const TellCase& c : cases) {
    for (std::size_t chunk : {0, 1}) {
      SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
      Stream* in = OpenDecoder(new MemoryStream(c.input, chunk), c.explicitNumber, 0, nullptr);
      std::vector<std::int32_t> seen;
      for (;;) {
        std::int32_t at = in->Tell();
        int lead = in->GetChar();
        if (lead == 0 && in->State() == Stream::kAtEnd) {
          seen.push_back(at);
          break;
        }
        seen.push_back(at);
        // Skip the continuation bytes of the character; Tell stays on it.
        int len = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        for (int i = 1; i < len; ++i) {
          EXPECT_EQ(in->Tell(), at);
          in->GetChar();
        }
      }
      EXPECT_EQ(seen, c.offsets);
      in->Release();
    }
  }
}

TEST_F(DecoderTest, TellCountsAConsumedMark) {
  std::string doc = "\xFF\xFE" "A\0B\0C\0"s;
  Stream* in = OpenDecoder(new MemoryStream(doc, 0), 0, 3, nullptr);
  EXPECT_EQ(in->Tell(), 2);
  in->GetChar();
  EXPECT_EQ(in->Tell(), 4);
  // Seek goes forward by source offsets.
  EXPECT_EQ(in->Seek(2), 0);
  EXPECT_EQ(in->Seek(6), 1);
  EXPECT_EQ(in->Tell(), 6);
  EXPECT_EQ(in->Seek(9), 0);
  in->Release();
}

TEST_F(DecoderTest, LongInputsCrossManyBuffers) {
  std::string input, expected;
  for (int i = 0; i < 3000; ++i) {
    input += "\x82\xA0" "a";  // two-byte and one-byte characters
    expected += "\xE3\x81\x82" "a";
  }
  Decoded d = DecodeAll(input, 13, 0, nullptr, 4096);
  EXPECT_EQ(d.text, expected);
}

}  // namespace
}  // namespace qs::test
