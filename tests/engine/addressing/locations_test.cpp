#include "addressing/locations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "addressing/tree_walker.h"
#include "doc_builder.h"
#include "link_support.h"
#include "sgml/document.h"

namespace qs {
namespace {

using Lines = std::vector<std::string>;

class LocationStrings : public testing::Test {
 protected:
  test::TempFolder temp_;
  test::LineEngine engine_{temp_.dir()};
};

// Words: One [0,3) two [4,7) thr [8,11) (in B) ee [11,13) four [14,18),
// then the second section's Five [18,22) six [23,26).
constexpr const char* kMarkup =
    "<DOC><SEC ID=A>One two <B>thr</B>ee four</SEC><SEC ID='A B'>Five six</SEC></DOC>";

TEST_F(LocationStrings, TermsResolveAndShowTheirPlace) {
  test::DocBuilder b;
  b.Declare("SEC", "ID", kDeclaredId, kDefaultImplied);
  b.Build(kMarkup);
  Document* doc = b.Doc();
  const std::string longId = "ID " + std::string(600, 'A');
  struct {
    const char* text;
    int result;
    Lines lines;
  } cases[] = {
      {"", 1, {"goto 0 26"}},
      {"ID a", 1, {"goto 0 18"}},
      {"ID 'a b'", 1, {"goto 18 8"}},
      {"id \"A B\"", 1, {"goto 18 8"}},
      {"TREE(1 2)", 1, {"goto 18 8"}},
      {"tree(1 2)", 1, {"goto 18 8"}},
      {"TREE(1)", 1, {"goto 0 26"}},
      {"TREE ( 1 2 )", 1, {"goto 18 8"}},
      {"ID a TREE(1 2)", 1, {"goto 8 3"}},
      {"ID a TREE(1 3)", 1, {"goto 11 7"}},
      {"ID a TREE(1 4)", 0, {}},
      {"TREE(0)", 0, {}},
      {"TREE(1 2", 0, {}},
      {"TREE()", 0, {}},
      {"TREE(1 x)", 0, {}},
      {"DATA(1)", 1, {"goto 0 3"}},
      {"DATA(2 3)", 1, {"goto 4 9"}},
      {"ID a DATA(5 2)", 1, {"goto 14 8"}},
      {"ID 'A B' DATA(2)", 1, {"goto 23 3"}},
      {"ID a TREE(1 2) DATA(1 2)", 1, {"goto 8 5"}},
      {"DATA(7)", 1, {"goto 23 3"}},
      {"DATA(7 5)", 1, {"goto 23 3"}},
      {"DATA(2 0)", 1, {"goto 4 3"}},
      // Only the first term that shows is read.
      {"DATA(1) ID nosuch", 1, {"goto 0 3"}},
      {"DATA(8)", 0, {}},
      {"DATA(0 1)", 0, {}},
      {"DATA(0)", 0, {}},
      {"DATA(-1 2)", 0, {}},
      {"DATA(1 2 3)", 0, {}},
      {"DATA 1", 0, {}},
      {"TEI ROOT CHILD (2)", 1, {"goto 18 8"}},
      {"ID a TEI HERE CHILD (2)", 1, {"goto 8 3"}},
      {"ID a TEI CHILD (1 #CDATA)", 1, {"goto 0 8"}},
      {"TEI ID(nosuch)", 0, {}},
      {"TEI ID a", 0, {"error 7"}},
      {"BADREF x", 0, {}},
      {"BADREF", 0, {}},
      {"ID nosuch", 0, {}},
      {"ID", 0, {}},
      {"ID a )", 0, {}},
      {"ID a ; ", 0, {}},
      {"(", 0, {}},
      {"x", 0, {}},
      {"ID TREE", 0, {}},
      {"FIG g 0 0 2048 2048 0", 0, {}},
      {longId.c_str(), 0, {}},
  };
  engine_.home = doc;
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLocationString(doc, nullptr, c.text), c.result) << c.text;
    EXPECT_EQ(engine_.Take(), c.lines) << c.text;
  }
  // From a given element.
  DocumentNode* second = doc->Root()->Last();
  EXPECT_EQ(ParseLocationString(doc, second, ""), 1);
  EXPECT_EQ(ParseLocationString(doc, second, "DATA(1)"), 1);
  EXPECT_EQ(ParseLocationString(doc, second, "TEI HERE PREVIOUS (1)"), 1);
  EXPECT_EQ(engine_.Take(), (Lines{"goto 18 8", "goto 18 4", "goto 0 18"}));
  EXPECT_EQ(ParseLocationString(nullptr, nullptr, ""), 0);
  EXPECT_EQ(ParseLocationString(doc, nullptr, nullptr), 1);
  EXPECT_EQ(engine_.Take(), (Lines{"goto 0 26"}));
}

// A word is a run of characters other than the blank; element boundaries
// separate words like blanks, record ends read as the blanks they are, and
// entity references and processing instructions are passed over.
TEST_F(LocationStrings, WordsAcrossMarksAndBoundaries) {
  std::string doc =
      "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA|b)*>\n"
      "<!ELEMENT b - - (#PCDATA)>\n<!NOTATION GIF SYSTEM \"gif\">\n"
      "<!ENTITY g SYSTEM \"pic.gif\" NDATA GIF>\n]>\n"
      "<doc><p>alpha\nbeta<?pi text?>gamma&g;delta <b>x</b><b>y</b></p></doc>\n";
  test::TempFolder::Write(temp_.File("words.sgm"), doc);
  Document* document = test::OpenDocumentFile(temp_.File("words.sgm"));
  ASSERT_NE(document, nullptr);
  std::string text(document->TextLength() + 1, '\0');
  document->ExtractText(text.data(), 0, document->TextLength());
  std::vector<std::string> words;
  for (std::uint32_t n = 1;; ++n) {
    std::uint32_t s, e;
    if (!SelectWords(document, 0, n, 1, &s, &e)) break;
    std::string word(e - s + 1, '\0');
    document->ExtractText(word.data(), s, e);
    words.push_back(word.c_str());
  }
  EXPECT_EQ(words, (std::vector<std::string>{"alpha", "betagammadelta", "x", "y"})) << text;
  document->Release();
}

TEST_F(LocationStrings, DocumentsAndFigures) {
  const std::string dtd =
      "<!ELEMENT doc - - (sec*)>\n<!ELEMENT sec - - (#PCDATA)>\n<!ATTLIST sec id ID #IMPLIED>\n";
  test::TempFolder::Write(
      temp_.File("main.sgm"),
      "<!DOCTYPE doc [\n" + dtd +
          "<!NOTATION GIF SYSTEM \"gif\">\n"
          "<!NOTATION SGML PUBLIC \"+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP "
          "LANGUAGE//EN\">\n"
          "<!ENTITY g SYSTEM \"pic.gif\" NDATA GIF>\n"
          "<!ENTITY e SYSTEM \"other.sgm\" NDATA SGML>\n"
          "<!ENTITY t \"text\">\n]>\n<doc><sec id=a>One</sec></doc>\n");
  test::TempFolder::Write(temp_.File("other.sgm"), "<!DOCTYPE doc [\n" + dtd +
                                                       "]>\n<doc><sec>x</sec><sec id=x>Second "
                                                       "one</sec></doc>\n");
  Document* doc = test::OpenDocumentFile(temp_.File("main.sgm"));
  ASSERT_NE(doc, nullptr);
  engine_.home = doc;
  struct {
    const char* text;
    int result;
    Lines lines;
  } cases[] = {
      {"DOC e ID x", 1, {"goto 1 10 @other"}},
      {"DOC e", 1, {"goto 0 11 @other"}},
      {"DOC e TREE(1 2) DATA(2)", 1, {"goto 8 3 @other"}},
      {"DOC e ID a", 0, {}},
      {"DOC t", 0, {}},
      {"DOC nosuch", 0, {}},
      {"DOC", 0, {}},
      {"FIG g 0 0 2048 2048 0", 1, {"hotarea g 0 0 2048 2048"}},
      {"fig g 100 200 300 400 150%", 1, {"hotarea g 100 200 300 400"}},
      {"FIG g 0 0 2048 2048", 0, {}},
      {"FIG g -5 3000 0 9000 0", 1, {"hotarea g 0 2047 1 1"}},
      {"FIG g 2000 10 100 70000 0", 1, {"hotarea g 2000 10 48 2038"}},
      {"FIG g x 0 1 1 0", 0, {}},
      {"FIG t 0 0 1 1 0", 0, {}},
      {"FIG nosuch 0 0 1 1 0", 0, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseLocationString(doc, nullptr, c.text), c.result) << c.text;
    EXPECT_EQ(engine_.Take(), c.lines) << c.text;
  }
  doc->Release();
}

}  // namespace
}  // namespace qs
