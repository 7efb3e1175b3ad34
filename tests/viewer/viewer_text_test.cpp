// The viewer's platform-free text code: the LAUNCH line of the engine's setup
// file, the "<url>" file scan and the message window's lines.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace qs::viewer
