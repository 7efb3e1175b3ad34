// The viewer's platform-free text code: the LAUNCH line of the engine's setup
// file, the "<url>" file scan, the message window's lines, and the rules of
// opening documents (path split, entity files, radix numbers, histories).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document_text.h"
#include "message_text.h"
#include "setup_text.h"

namespace qs::viewer {
namespace {

TEST(LaunchLine, ReadsTheNotationsCommandWithoutItsFileMark) {
  struct Case {
    const char* text;
    const char* command;
  } cases[] = {
      {"ENTITY PDF LAUNCH \"C:\\acro\\acro.exe \\file\"\n", "C:\\acro\\acro.exe"},
      {"ENTITY GIF LAUNCH \"g.exe \\file\"\nENTITY  PDF\n\tLAUNCH  \"p.exe \\file\"", "p.exe"},
      {"ENTITY PDF\r\n  LAUNCH \"crlf.exe \\file\"\r\n", "crlf.exe"},  // Windows line ends
      {"ENTITY PDF LAUNCH \"no-mark.exe\"", "no-mark.exe"},
      {"ENTITY PDFX LAUNCH \"other.exe \\file\"", ""},  // another notation
      {"ENTITY PDF VIEW \"v.exe\" ENTITY PDF LAUNCH \"l.exe \\file\"", "l.exe"},
      {"ENTITY PDF LAUNCH no-quote", ""},
      {"ENTITY PDF LAUNCH \"cut", "cut"},
      {"entity PDF LAUNCH \"lower.exe \\file\"", ""},  // case respected
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadLaunchCommand(c.text, "PDF"), c.command) << c.text;
  }
}

TEST(LaunchLine, RewriteReplacesOnlyTheCommand) {
  std::string text =
      "-- setup --\nENTITY PDF\n  LAUNCH \"C:\\Programs\\Long Reader\\reader.exe \\file\"\n"
      "ENTITY GIF LAUNCH \"g.exe \\file\"\ntail text\n";
  auto shorter = RewriteLaunchCommand(text, "PDF", "C:\\x\\a.exe");
  ASSERT_TRUE(shorter);
  EXPECT_EQ(*shorter,
            "-- setup --\nENTITY PDF\n  LAUNCH \"C:\\x\\a.exe \\file\"\n"
            "ENTITY GIF LAUNCH \"g.exe \\file\"\ntail text\n");
  EXPECT_EQ(ReadLaunchCommand(*shorter, "PDF"), "C:\\x\\a.exe");
  EXPECT_EQ(ReadLaunchCommand(*shorter, "GIF"), "g.exe");
}

TEST(LaunchLine, RewriteAppendsAnEntryWhenThereIsNone) {
  auto out = RewriteLaunchCommand("ENTITY GIF LAUNCH \"g.exe \\file\"\n", "PDF", "C:\\x\\a.exe");
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, "ENTITY GIF LAUNCH \"g.exe \\file\"\n\nENTITY PDF\n  LAUNCH \"C:\\x\\a.exe \\file\"\n");
  out = RewriteLaunchCommand("ENTITY PDF LAUNCH bare\n", "PDF", "b.exe");
  ASSERT_TRUE(out);
  EXPECT_EQ(ReadLaunchCommand(*out, "PDF"), "b.exe");
}

TEST(LaunchLine, RewriteRefusesWhatCannotStandInQuotes) {
  EXPECT_FALSE(RewriteLaunchCommand("", "PDF", ""));
  EXPECT_FALSE(RewriteLaunchCommand("", "PDF", "a\"b.exe"));
  EXPECT_FALSE(RewriteLaunchCommand("", "PDF", "a\nb.exe"));
}

TEST(UrlArgument, FindsAnHttpUrlBetweenTheTags) {
  EXPECT_EQ(FindUrlArgument("x <url>http://h/d.sgm</url> y").value_or("-"), "http://h/d.sgm");
  EXPECT_FALSE(FindUrlArgument("<url>ftp://h/d.sgm</url>"));
  EXPECT_FALSE(FindUrlArgument("<url>http:/"));  // no end tag
  EXPECT_FALSE(FindUrlArgument("</url><url>http"));
  EXPECT_FALSE(FindUrlArgument("plain document text"));
}

TEST(MessageText, FillsArgumentsAndNamesTheFile) {
  const char* name = "FIG1";
  EXPECT_EQ(FormatEngineMessage(8, 0, 0, 0), "Syntax error");
  EXPECT_EQ(FormatEngineMessage(3, reinterpret_cast<std::intptr_t>(name), 0, 0),
            "Undefined entity: 'FIG1'");
  EXPECT_EQ(FormatEngineMessage(98, 640, 480, 0), "GDIB fail w=640 h=480");
  EXPECT_EQ(FormatEngineMessage(3, 0, 0, 0), "Undefined entity: ''");  // no text given
  EXPECT_EQ(FormatEngineMessage(46, 0, 0, 0), "Expected '\"' or \"'\"");
  EXPECT_EQ(FormatEngineMessage(119, 0, 0, 0), "Message 119");
  EXPECT_EQ(FormatEngineMessage(-1, 0, 0, 0), "Message -1");
  std::string longName(5000, 'x');
  EXPECT_EQ(FormatEngineMessage(0, reinterpret_cast<std::intptr_t>(longName.c_str()), 0, 0).size(),
            std::string("Can't open document ''").size() + 512);

  EXPECT_EQ(MessageLine("C:\\docs\\bad.sgm", 1, "Syntax error"), "Error: Syntax error (bad.sgm)");
  EXPECT_EQ(MessageLine("docs/part.sgm", 0, "x"), "Warning: x (part.sgm)");
  EXPECT_EQ(MessageLine("bad.sgm", 1, "Syntax error"), "Error: Syntax error");
  EXPECT_EQ(MessageLine("name\\", 1, "t"), "Error: t");  // a separator last names nothing
  EXPECT_EQ(MessageLine("", 0, "t"), "Warning: t");
}

TEST(DocumentPath, SplitsFolderAndExtensionFromTheEnd) {
  struct Case {
    const char* path;
    std::size_t folder;
    const char* compiled;
  } cases[] = {
      {"C:\\docs\\manual.sgm", 8, "C:\\docs\\manual.qsb"},
      {"/home/u/manual.sgm", 8, "/home/u/manual.qsb"},
      {"C:manual.sgm", 2, "C:manual.qsb"},                           // a drive's current folder
      {"C:\\v1.2\\manual", 8, "C:\\v1.2\\manual.qsb"},          // a dot in a folder is no extension
      {"C:\\docs\\a.b.sgm", 8, "C:\\docs\\a.b.qsb"},            // the last dot counts
      {"manual.sgm", 0, "manual.qsb"},                               // no folder
      {"manual", 0, "manual.qsb"},
      {".profile", 0, ".profile.qsb"},                               // the first character is not scanned
      {"\\x", 0, "\\x.qsb"},
      {"a\\", 2, "a\\.qsb"},
      {"", 0, ".qsb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(SplitDocumentPath(c.path).folderLength, c.folder);
    EXPECT_EQ(CompiledPathOf(c.path), c.compiled);
  }
}

TEST(EntityFiles, PicturesAndPdfGoBackOthersToTheEngine) {
  EXPECT_EQ(ClassifyEntityFile("c:\\docs\\pic.gif"), EntityFileKind::kPicture);
  EXPECT_EQ(ClassifyEntityFile("c:\\docs\\x.xpm"), EntityFileKind::kPicture);
  EXPECT_EQ(ClassifyEntityFile("c:\\docs\\part.sgm"), EntityFileKind::kEngine);
  EXPECT_EQ(ClassifyEntityFile("c:\\docs\\PIC.GIF"), EntityFileKind::kEngine);  // case counts
  EXPECT_EQ(ClassifyEntityFile("c:\\docs\\manual.pdf"), EntityFileKind::kPdf);
  EXPECT_EQ(ClassifyEntityFile("c:\\a.gif.pdf"), EntityFileKind::kPicture);  // pictures first
}

TEST(RadixNumber, WritesDigitsOfTheSelectedRadix) {
  struct Case {
    std::uint32_t value;
    const char* text;  // null: refused
  } cases[] = {
      {0x3000001F, "1F"},       {0x10000005, "101"},  {0x2000000F, "17"},
      {0x10000000, "0"},        {0x30000000, "0"},    {0x3FFFFFFF, "FFFFFFF"},
      {0x1FFFFFFF, "1111111111111111111111111111"},   {0x40000001, nullptr},
      {0x00000005, nullptr},    {0xF0000001, nullptr},
  };
  for (const Case& c : cases) {
    char out[40];
    std::memset(out, 'x', sizeof out);
    bool written = FormatRadixNumber(c.value, out);
    EXPECT_EQ(written, c.text != nullptr) << std::hex << c.value;
    if (c.text) {
      EXPECT_STREQ(out, c.text);
    } else {
      EXPECT_EQ(out[0], 'x');  // nothing written
    }
  }
}

TEST(Histories, NewEntriesGoFirstAndTheOldestDrops) {
  std::vector<std::string> list;
  for (const char* name : {"a", "b", "c", "d", "e", "f"}) AddToFront(list, name, 6);
  EXPECT_EQ(list, (std::vector<std::string>{"f", "e", "d", "c", "b", "a"}));
  AddToFront(list, "g", 6);  // a seventh drops the oldest
  EXPECT_EQ(list, (std::vector<std::string>{"g", "f", "e", "d", "c", "b"}));
  AddToFront(list, "d", 6);  // an entry already there only moves
  EXPECT_EQ(list, (std::vector<std::string>{"d", "g", "f", "e", "c", "b"}));
  AddToFront(list, "D", 6);  // case counts
  EXPECT_EQ(list.front(), "D");
  EXPECT_EQ(list.size(), 6u);
  RemoveEntry(list, "f");
  EXPECT_EQ(list, (std::vector<std::string>{"D", "d", "g", "e", "c"}));
  RemoveEntry(list, "zz");
  EXPECT_EQ(list.size(), 5u);
  EXPECT_TRUE(IsLocalName("C:\\docs\\a.sgm"));
  EXPECT_FALSE(IsLocalName("C:\\tmp\\1\\http#srv#80\\a.sgm"));
}

}  // namespace
}  // namespace qs::viewer
