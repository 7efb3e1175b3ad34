// The scanner: record ends, comments, parameter-entity references, literals,
// entity recursion and the end of input.
#include <gtest/gtest.h>

#include <string>

#include "instance_support.h"
#include "parser_support.h"
#include "sgml/entities.h"

namespace qs::test {
namespace {

std::string EntityText(Document& doc, const char* name) {
  EntityDecl* e = doc.FindEntity(name);
  return e && e->GetText() ? e->GetText() : "<none>";
}

TEST(ParserScanner, RecordEndsReadAsOneLineFeed) {
  EngineScope scope;
  RecordingParser parser;
  EXPECT_EQ(parser.Scan("a\r\nb\rc\nd\r\re"), "a\nb\nc\nd\n\ne");
  EXPECT_TRUE(parser.messages.empty());
}

TEST(ParserScanner, CommentsVanishAndALoneHyphenStays) {
  EngineScope scope;
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"x--c--y", "xy"},
      {"a-b", "a-b"},
      {"a--x-y--b-c", "ab-c"},
      {"--one----two--z", "z"},
  };
  for (const Case& c : cases) {
    RecordingParser parser;
    EXPECT_EQ(parser.Scan(c.in), c.out) << c.in;
  }
  RecordingParser off;
  off.SetComments(false);
  EXPECT_EQ(off.Scan("x--c--y"), "x--c--y");
}

TEST(ParserScanner, ParameterReferencesEnterTheEntity) {
  EngineScope scope;
  Dtd* dtd = new Dtd();
  dtd->AddEntity(new TextEntityDecl("p", 0, "X"));
  RecordingParser parser(dtd);
  dtd->Release();
  EXPECT_EQ(parser.Scan("[%p;][%p ][% ][%%p;][%q;]"), "[X][X ][% ][%X][]");
  ASSERT_EQ(parser.messages.size(), 1u) << Describe(parser.messages);
  EXPECT_EQ(parser.messages[0], (Message{3, false, "q"}));
}

TEST(ParserScanner, SelfReferenceIsErrorNine) {
  EngineScope scope;
  Dtd* dtd = new Dtd();
  dtd->AddEntity(new TextEntityDecl("a", 0, "(x|%b;)"));
  dtd->AddEntity(new TextEntityDecl("b", 0, "y|%a;"));
  RecordingParser parser(dtd);
  dtd->Release();
  ParseText(parser, "<!ELEMENT e - - %a;>");
  ASSERT_FALSE(parser.messages.empty());
  EXPECT_EQ(parser.messages.back(), (Message{9, true, "a"}));
  EXPECT_TRUE(parser.Stopped());
}

TEST(ParserScanner, ExpandedLiterals) {
  EngineScope scope;
  struct Case {
    const char* literal;
    const char* stored;
    int warning;  // -1: none
  } cases[] = {
      {"&#x41;&#65;", "AA", -1},
      {"a&#38;b", "a&b", -1},
      {"&#X41;", "&#X41;", -1},
      {"&undefined;x", "&undefinedx", -1},
      {"&#233;", "\xC3\xA9", -1},
      {"&#x1F600;", "\xF0\x9F\x98\x80", -1},
      {"&#0;", "\xEF\xBF\xBD", 7},
      {"&#xD800;", "\xEF\xBF\xBD", 7},
      {"&#x110000;", "\xEF\xBF\xBD", 7},
      {"&#99999999999999999999;", "\xEF\xBF\xBD", 7},
      {"&#;", "&#;", -1},
      {"& x", "& x", -1},
      {"\x85z", "\xEF\xBF\xBDz", -1},
      {"\xC3", "\xEF\xBF\xBD", -1},
  };
  for (const Case& c : cases) {
    RecordingParser parser;
    ParseText(parser, std::string("<!ENTITY e CDATA \"") + c.literal + "\">");
    EXPECT_EQ(EntityText(*parser.GetDocument(), "e"), c.stored) << c.literal;
    if (c.warning < 0) {
      EXPECT_TRUE(parser.messages.empty()) << c.literal << ": " << Describe(parser.messages);
    } else {
      ASSERT_EQ(parser.messages.size(), 1u) << c.literal;
      EXPECT_EQ(parser.messages[0].number, c.warning);
      EXPECT_FALSE(parser.messages[0].error);
    }
  }
  // A plain entity keeps references for when it is used.
  RecordingParser plain;
  ParseText(plain, "<!ENTITY e \"a&#38;b\">");
  EXPECT_EQ(EntityText(*plain.GetDocument(), "e"), "a&#38;b");
}

TEST(ParserScanner, SdataWithoutReplacementStaysAsWritten) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!ENTITY s SDATA \"[xyzzy ]\"><!ENTITY c CDATA \"a&s;b&s c\">");
  EXPECT_EQ(EntityText(*parser.GetDocument(), "c"), "a&s;b&s c");
  ASSERT_EQ(parser.messages.size(), 2u) << Describe(parser.messages);
  EXPECT_EQ(parser.messages[0], (Message{5, false, "[xyzzy ]"}));
}

TEST(ParserScanner, AnUnknownDeclaredEncodingIsWarningFiftyTwo) {
  EngineScope scope;
  RecordingParser parser;
  parser.ParseDeclarationInput(
      new MemoryInStream("<?xml version=\"1.0\" encoding=\"klingon\"?><!ELEMENT a - - EMPTY>", 62,
                         "enc"),
      0);
  ASSERT_FALSE(parser.messages.empty());
  EXPECT_EQ(parser.messages[0], (Message{52, false, "klingon"}));
  EXPECT_NE(parser.GetDtd()->FindElement("A"), nullptr);
}

TEST(ParserScanner, LongLiteralsAreKeptWhole) {
  EngineScope scope;
  RecordingParser parser;
  // Past the old 4,095 and 4,000 byte cuts, with a character across each.
  std::string big = std::string(4094, 'x') + "\xC3\xA9" + std::string(200000, 'y') + "end";
  ParseText(parser, "<!ENTITY a \"" + big + "\"><!ENTITY b CDATA \"" + big +
                        "\"><!ENTITY c CDATA \"&a;&a;\"><!ENTITY d \"after\">");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  Document& doc = *parser.GetDocument();
  EXPECT_EQ(EntityText(doc, "a"), big);
  EXPECT_EQ(EntityText(doc, "b"), big);
  EXPECT_EQ(EntityText(doc, "c"), big + big);
  EXPECT_EQ(EntityText(doc, "d"), "after");
}

TEST(ParserScanner, LongAttributeValuesAreKeptWhole) {
  EngineScope scope;
  std::string value = std::string(3999, 'v') + "\xE2\x82\xAC" + std::string(9000, 'w');
  ParsedText parsed("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"" + value +
                    "\">]><a x=\"" + value + "\" y=\"&e;.\"/>");
  EXPECT_EQ(parsed.Messages(), "");
  const DocumentNode* root = parsed.document->Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(std::string(root->GetAttributeValue("x")), value);
  EXPECT_EQ(std::string(root->GetAttributeValue("y")), value + ".");
}

TEST(ParserScanner, LongNamesAreCutNotOverrun) {
  EngineScope scope;
  RecordingParser parser;
  std::string name(6000, 'n');
  ParseText(parser, "<!ENTITY % " + name + " \"v\"><!ELEMENT " + name + " - - EMPTY>%" + name +
                        ";");
  EXPECT_NE(parser.GetDtd()->FindElement(std::string(Parser::kTokenCapacity, 'N').c_str()),
            nullptr);
  // The reference's name is cut to its buffer and so names no entity.
  ASSERT_FALSE(parser.messages.empty());
  EXPECT_EQ(parser.messages[0].number, 3);
  EXPECT_EQ(parser.messages[0].argument.size(), Parser::kParameterNameLimit);
}

TEST(ParserScanner, EndOfInputInsideADeclarationIsErrorFiftyOne) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!ELEMENT a - - (b");
  ASSERT_FALSE(parser.messages.empty());
  EXPECT_EQ(parser.messages.back(), (Message{51, true, ""}));
  RecordingParser clean;
  ParseText(clean, "<!ELEMENT a - - (b)>\n  ");
  EXPECT_TRUE(clean.messages.empty()) << Describe(clean.messages);
}

TEST(ParserScanner, TextEntitiesMultiplyingBeyondTheCapStop) {
  EngineScope scope;
  Dtd* dtd = new Dtd();
  // Ten levels of ten references each: 10^10 bytes if followed.
  std::string prev = "x";
  for (int i = 0; i < 10; ++i) {
    std::string text;
    for (int k = 0; k < 10; ++k) text += "%e" + std::to_string(i) + ";";
    dtd->AddEntity(new TextEntityDecl(("e" + std::to_string(i + 1)).c_str(), 0, text.c_str()));
  }
  dtd->AddEntity(new TextEntityDecl("e0", 0, std::string(1024, ' ').c_str()));
  RecordingParser parser(dtd);
  dtd->Release();
  ParseText(parser, "%e10;");
  ASSERT_FALSE(parser.messages.empty());
  // Too much, not a loop: the report says so.
  EXPECT_EQ(parser.messages.back(), (Message{kMsgOutOfMemory, true, "e0"}));
  EXPECT_TRUE(parser.Stopped());
}

TEST(ParserScanner, DeepChainsAndLoopsOfEntitiesAreToldApart) {
  EngineScope scope;
  Dtd* dtd = new Dtd();
  // 300 distinct entities, each referring to the next: no loop, too deep.
  for (int i = 0; i < 300; ++i) {
    std::string text = "%c" + std::to_string(i + 1) + ";";
    dtd->AddEntity(new TextEntityDecl(("c" + std::to_string(i)).c_str(), 0, text.c_str()));
  }
  dtd->AddEntity(new TextEntityDecl("loop", 0, "%loop;"));
  RecordingParser deep(dtd);
  ParseText(deep, "%c0;");
  ASSERT_FALSE(deep.messages.empty());
  EXPECT_EQ(deep.messages.back().number, kMsgNestingTooDeep) << Describe(deep.messages);
  RecordingParser loop(dtd);
  dtd->Release();
  ParseText(loop, "%loop;");
  ASSERT_FALSE(loop.messages.empty());
  EXPECT_EQ(loop.messages.back(), (Message{kMsgRecursiveEntity, true, "loop"}));
}

}  // namespace
}  // namespace qs::test
