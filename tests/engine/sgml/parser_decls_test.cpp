// Markup declarations: ELEMENT, ATTLIST, ENTITY, NOTATION, marked sections,
// SHORTREF and USEMAP, and the errors the declaration readers raise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "parser_support.h"
#include "sgml/content_model.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"

namespace qs::test {
namespace {

ElementTypeDecl* Element(Parser& p, const char* name) { return p.GetDtd()->FindElement(name); }

TEST(ParserDecls, ElementGroupWithOmissionAndMixedModel) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!ELEMENT (a|b) - O (#PCDATA|c)*>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  for (const char* name : {"A", "B"}) {
    ElementTypeDecl* e = Element(parser, name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->flags, 0x48) << name;
    ASSERT_NE(e->Model(), nullptr);
    EXPECT_TRUE(e->Model()->IsModelGroup());
  }
  EXPECT_EQ(Element(parser, "A")->Model(), Element(parser, "B")->Model());
  EXPECT_EQ(Element(parser, "C"), nullptr);
}

TEST(ParserDecls, ElementFlagsAndDeclaredContent) {
  EngineScope scope;
  struct Case {
    const char* decl;
    const char* name;
    int flags;
    const char* model;  // null: a model group
  } cases[] = {
      {"<!ELEMENT x O O (y)>", "X", 0x60, nullptr},
      {"<!element x o - (y+, z?)>", "X", 0x20, nullptr},
      {"<!ELEMENT x - - EMPTY>", "X", 0x01, "#EMPTY"},
      {"<!ELEMENT x - O CDATA>", "X", 0x4A, "#CDATA"},
      {"<!ELEMENT x - - RCDATA>", "X", 0x0B, "#RCDATA"},
      {"<!ELEMENT x - - ANY -(a|b) +(c)>", "X", 0x08, "#ANY"},
      {"<!ELEMENT x (y)>", "X", 0x00, nullptr},
      {"<!ELEMENT x - - ([y, \"-\"], z) -(q)>", "X", 0x08, nullptr},
      {"<!ELEMENT H 1 - - (#PCDATA)>", "H1", 0x08, nullptr},
      {"<!ELEMENT (H|P) 12 - - EMPTY>", "P12", 0x01, "#EMPTY"},
      {"<!-- c --><!ELEMENT x - - (a) -- comment -- >", "X", 0, nullptr},
  };
  for (const Case& c : cases) {
    RecordingParser parser;
    ParseText(parser, c.decl);
    EXPECT_TRUE(parser.messages.empty()) << c.decl << ": " << Describe(parser.messages);
    ElementTypeDecl* e = Element(parser, c.name);
    ASSERT_NE(e, nullptr) << c.decl;
    EXPECT_EQ(e->flags, c.flags) << c.decl;
    ASSERT_NE(e->Model(), nullptr);
    if (c.model) {
      EXPECT_STREQ(e->Model()->NameText(), c.model) << c.decl;
    } else {
      EXPECT_TRUE(e->Model()->IsModelGroup()) << c.decl;
    }
  }
  RecordingParser any;
  ParseText(any, "<!ELEMENT x - - ANY -(a|b) +(c)>");
  const ContentModel* model = Element(any, "X")->Model();
  ASSERT_NE(model->FirstList(), nullptr);
  EXPECT_EQ(model->FirstList()->Count(), 2);
  ASSERT_NE(model->SecondList(), nullptr);
  EXPECT_STREQ(NameText(model->SecondList()->At(0)), "C");
}

TEST(ParserDecls, XmlModeKeepsTheCaseOfNames) {
  EngineScope scope;
  RecordingParser parser;
  parser.SetXmlMode(true);
  ParseText(parser,
            "<!element Para (#PCDATA|em)*><!ATTLIST Para Role NMTOKEN \"Main\">"
            "<!ENTITY % Mix \"em\">");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  ElementTypeDecl* para = Element(parser, "Para");
  ASSERT_NE(para, nullptr);
  EXPECT_EQ(Element(parser, "PARA"), nullptr);
  EXPECT_EQ(para->flags, 0x08);
  AttributeDecl* role = para->Attributes().FindByAtom(para->Attributes().At(0)->Name());
  ASSERT_NE(role, nullptr);
  EXPECT_STREQ(role->NameText(), "Role");
  EXPECT_STREQ(role->DefaultText(), "Main");
  EXPECT_NE(parser.GetDtd()->FindEntity("Mix"), nullptr);
}

TEST(ParserDecls, FirstElementDeclarationWins) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!ELEMENT x - O EMPTY><!ELEMENT x - - (a)>");
  EXPECT_EQ(Element(parser, "X")->flags, 0x41);
  EXPECT_STREQ(Element(parser, "X")->Model()->NameText(), "#EMPTY");
}

TEST(ParserDecls, ErrorsStopWithTheirNumber) {
  EngineScope scope;
  struct Case {
    const char* text;
    Message expected;
  } cases[] = {
      {"<!ELEMENT x - X (a)>", {25, true, ""}},
      {"<!ELEMENT x - - BOGUS>", {26, true, "BOGUS"}},
      {"<!ELEMENT x - - (a|b>", {42, true, ""}},
      {"<!ELEMENT x - - (#PCDAT)>", {37, true, ""}},
      {"<!ELEMENT x - - ([y z])>", {43, true, ""}},
      {"<!ELEMENT x - - ([y, z])>", {50, true, ""}},
      {"<!ELEMENT x - - (a) ", {51, true, ""}},
      {"<!ELEMENT x - - (a) x>", {45, true, ""}},
      {"<!ATTLIST x a BOGUS #IMPLIED>", {30, true, "BOGUS"}},
      {"<!ATTLIST x a CDATA #BOGUS>", {31, true, "BOGUS"}},
      {"<!ATTLIST x a NOTATION x #IMPLIED>", {41, true, ""}},
      {"<!ATTLIST #FOO a CDATA #IMPLIED>", {39, true, ""}},
      {"<!ATTLIST #NOTATION #FOO a CDATA #IMPLIED>", {17, true, ""}},
      {"<!ENTITY x SYSTEM \"a\" BOGUS n>", {23, true, "BOGUS"}},
      {"<!ENTITY x BOGUS \"t\">", {24, true, "BOGUS"}},
      {"<!ENTITY x CDATA t>", {46, true, ""}},
      {"<!ENTITY #FOO \"t\">", {38, true, ""}},
      {"<!ENTITY x PUBLIC y>", {22, true, ""}},
      {"<!NOTATION n BOGUS>", {22, true, ""}},
      {"<!ENTITY x SYSTEM \"a\" NDATA >", {39, true, ""}},
      {"<!ENTITY x SYSTEM \"a\" NDATA \"n\">", {39, true, ""}},
      {"<!NOTATION >", {39, true, ""}},
      {"<!USEMAP #FOO x>", {40, true, ""}},
      {"<!FOO>", {33, true, ""}},
      {"<x>", {33, true, ""}},
      {"junk", {33, true, ""}},
      {"<![ BOGUS [ ]]>", {32, true, "BOGUS"}},
      {"<![ INCLUDE [ <!ELEMENT x - - EMPTY> ] >", {44, true, ""}},
      {"<!EOR x>", {45, true, ""}},
      {"<! x>", {33, true, ""}},
      {"<![ INCLUDE [ <!ELEMENT x - - EMPTY>", {51, true, ""}},
  };
  for (const Case& c : cases) {
    RecordingParser parser;
    ParseText(parser, c.text);
    ASSERT_FALSE(parser.messages.empty()) << c.text;
    EXPECT_EQ(parser.messages.back(), c.expected) << c.text << ": " << Describe(parser.messages);
    EXPECT_TRUE(parser.Stopped()) << c.text;
  }
}

TEST(ParserDecls, AttributeDefinitions) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser,
            "<!ATTLIST (x|y) id ID #IMPLIED\n"
            "  Kind (Alpha|beta) #FIXED alpha\n"
            "  title CDATA \"Keep Case\"\n"
            "  n NAME \"fold me\"\n"
            "  refs IDREFS \"  a   b  \"\n"
            "  note NOTATION (gif|png) #REQUIRED\n"
            "  e ENTITY \"Ent\"\n"
            "  c NUMBER #CONREF>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  ElementTypeDecl* x = Element(parser, "X");
  ASSERT_NE(x, nullptr);
  ASSERT_EQ(x->Attributes().Count(), 8u);
  EXPECT_EQ(Element(parser, "Y")->Attributes().Count(), 8u);
  struct Want {
    const char* name;
    int declared;
    int kind;
    int flags;
    const char* value;
  } want[] = {
      {"ID", 9, 25, 1, nullptr},     {"KIND", 0, 0, 0, "ALPHA"},
      {"TITLE", 29, 0, 0, "Keep Case"}, {"N", 12, 0, 0, "FOLD ME"},
      {"REFS", 11, 0, 6, "A B"},     {"NOTE", 20, 22, 0, nullptr},
      {"E", 7, 0, 0, "Ent"},         {"C", 16, 24, 0, nullptr},
  };
  for (const Want& w : want) {
    AttributeDecl* a = x->Attributes().Find(w.name);
    ASSERT_NE(a, nullptr) << w.name;
    EXPECT_EQ(a->DeclaredValue(), w.declared) << w.name;
    EXPECT_EQ(a->DefaultKind(), w.kind) << w.name;
    EXPECT_EQ(a->Flags() & 7, w.flags) << w.name;
    if (w.value) {
      EXPECT_STREQ(a->DefaultText(), w.value) << w.name;
    } else {
      EXPECT_EQ(a->DefaultValue(), nullptr) << w.name;
    }
  }
  const TokenGroup* tokens = x->Attributes().Find("KIND")->Tokens();
  ASSERT_NE(tokens, nullptr);
  ASSERT_EQ(tokens->Count(), 2);
  EXPECT_STREQ(NameText(tokens->At(1)), "BETA");
}

TEST(ParserDecls, AHundredAttributesAndNoMore) {
  EngineScope scope;
  auto attlist = [](int n) {
    std::string text = "<!ATTLIST x";
    for (int i = 0; i < n; ++i) text += " a" + std::to_string(i) + " CDATA #IMPLIED";
    return text + ">";
  };
  RecordingParser hundred;
  ParseText(hundred, attlist(100));
  EXPECT_TRUE(hundred.messages.empty()) << Describe(hundred.messages);
  EXPECT_EQ(Element(hundred, "X")->Attributes().Count(), 100u);

  RecordingParser more;
  ParseText(more, attlist(101));
  ASSERT_EQ(more.messages.size(), 1u);
  EXPECT_EQ(more.messages[0], (Message{11, true, ""}));
  EXPECT_STREQ(GetParserMessageText(11), "Can't define more than 100 attributes/element");
  ElementTypeDecl* x = Element(more, "X");
  EXPECT_TRUE(x == nullptr || x->Attributes().Count() == 0);
}

TEST(ParserDecls, AllAndImplicitSets) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser,
            "<!ELEMENT a - - EMPTY><!ELEMENT b - - EMPTY>"
            "<!ATTLIST #ALL lang CDATA #IMPLIED>"
            "<!ATTLIST #NOTATION #ALL size NUMBER #IMPLIED>"
            "<!ATTLIST #NOTATION (gif) w NUMBER #IMPLIED>"
            "<!NOTATION gif SYSTEM \"gif\">"
            "<!ENTITY pic SYSTEM \"pic.png\" NDATA png>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  // The "#ALL" sets reach every element type and notation once a file of
  // declarations is complete.
  EXPECT_NE(Element(parser, "A")->Attributes().Find("LANG"), nullptr);
  EXPECT_NE(Element(parser, "B")->Attributes().Find("LANG"), nullptr);
  NotationDecl* gif = parser.GetDtd()->FindNotation("GIF");
  ASSERT_NE(gif, nullptr);
  EXPECT_NE(gif->FindAttributeDecl("W"), nullptr);
  EXPECT_NE(gif->FindAttributeDecl("SIZE"), nullptr);
  EXPECT_STREQ(gif->SystemId(), "gif");
  // Named by an entity before any declaration: marked as not declared.
  NotationDecl* png = parser.GetDtd()->FindNotation("PNG");
  ASSERT_NE(png, nullptr);
  EXPECT_FALSE(png->SystemIdGiven());
  EntityDecl* pic = parser.GetDocument()->FindEntity("pic");
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->GetType(), 32);
  EXPECT_EQ(pic->GetNotation(), png);
}

TEST(ParserDecls, EntityDeclarations) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser,
            "<!ENTITY % p \"(a|b)\">"
            "<!ENTITY % p \"second\">"
            "<!ELEMENT x - - %p;>"
            "<!ENTITY #DEFAULT SYSTEM>"
            "<!ENTITY t SDATA \"[eacute]\">"
            "<!ENTITY pi PI \"stop\">"
            "<!ENTITY ext PUBLIC \"-//X//ENTITIES  Some//EN\" \"some.ent\">"
            "<!ENTITY sub SYSTEM \"s.sgm\" SUBDOC>"
            "<!ENTITY d SYSTEM \"d.dat\" CDATA data [ a = \"1\" ]>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  Dtd& dtd = *parser.GetDtd();
  Document& doc = *parser.GetDocument();
  ASSERT_NE(dtd.FindEntity("p"), nullptr);
  EXPECT_STREQ(dtd.FindEntity("p")->GetText(), "(a|b)");
  EXPECT_NE(Element(parser, "X"), nullptr);
  EXPECT_NE(doc.FindEntity("#DEFAULT"), nullptr);
  EXPECT_EQ(doc.FindEntity("t")->GetType(), 30);
  EXPECT_STREQ(doc.FindEntity("t")->GetText(), "[eacute]");
  EXPECT_EQ(doc.FindEntity("pi")->GetType(), 34);
  EntityDecl* ext = doc.FindEntity("ext");
  ASSERT_NE(ext, nullptr);
  ASSERT_NE(ext->GetExternalId(), nullptr);
  EXPECT_STREQ(ext->GetExternalId()->PublicId(), "-//X//ENTITIES SOME//EN");
  EXPECT_STREQ(ext->GetExternalId()->SystemId(), "some.ent");
  EXPECT_EQ(doc.FindEntity("sub")->GetType(), 4);
  EXPECT_EQ(doc.FindEntity("d")->GetType(), 29);
}

TEST(ParserDecls, IdentifierLiteralsAreCutAt255) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!ENTITY e SYSTEM \"" + std::string(400, 's') + "\">");
  EntityDecl* e = parser.GetDocument()->FindEntity("e");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::string(e->GetExternalId()->SystemId()).size(), 255u);
}

TEST(ParserDecls, MarkedSectionsAmongDeclarations) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser,
            "<!ENTITY % draft \"IGNORE\">"
            "<![ %draft; [ <!ELEMENT gone - - EMPTY> <![ INCLUDE [ <!ELEMENT deep - - EMPTY> ]]> "
            "<!ELEMENT gone2 - - EMPTY> ]]>"
            "<![ IGNORE [ <!ELEMENT skipped - - EMPTY> ]]>"
            "<![ INCLUDE [ <!ELEMENT kept - - EMPTY> ]]>"
            "<![ IGNORE INCLUDE [ <!ELEMENT last - - EMPTY> ]]>"
            "<![ [ <!ELEMENT none - - EMPTY> ]]>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  for (const char* gone : {"GONE", "DEEP", "GONE2", "SKIPPED"}) {
    EXPECT_EQ(Element(parser, gone), nullptr) << gone;
  }
  for (const char* kept : {"KEPT", "LAST", "NONE"}) EXPECT_NE(Element(parser, kept), nullptr) << kept;
}

TEST(ParserDecls, NestingIsBoundedNotFollowedIntoTheStack) {
  EngineScope scope;
  std::string sections, groups = "<!ELEMENT x - - ";
  for (int i = 0; i < 5000; ++i) sections += "<![INCLUDE[";
  for (int i = 0; i < 5000; ++i) groups += "(";
  RecordingParser deepSections;
  ParseText(deepSections, sections);
  ASSERT_FALSE(deepSections.messages.empty());
  EXPECT_EQ(deepSections.messages.back(), (Message{44, true, ""}));
  RecordingParser deepGroups;
  ParseText(deepGroups, groups);
  ASSERT_FALSE(deepGroups.messages.empty());
  EXPECT_EQ(deepGroups.messages.back(), (Message{42, true, ""}));
  // Within the bounds nesting works.
  RecordingParser fine;
  ParseText(fine, "<![INCLUDE[<![INCLUDE[<!ELEMENT y - - ((a,(b|c))+)>]]>]]>");
  EXPECT_TRUE(fine.messages.empty()) << Describe(fine.messages);
  EXPECT_NE(Element(fine, "Y"), nullptr);
}

TEST(ParserDecls, ShortrefAndUsemapRecordNothing) {
  EngineScope scope;
  RecordingParser parser;
  ParseText(parser, "<!SHORTREF map \"&#RS;\" ent \"-\" dash><!USEMAP map (a|b)><!USEMAP #EMPTY c>");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  RecordingParser bad;
  ParseText(bad, "<!SHORTREF map \"x\" ent ? <!ELEMENT after - - EMPTY>");
  ASSERT_FALSE(bad.messages.empty());
  EXPECT_EQ(bad.messages[0], (Message{29, false, ""}));
}

TEST(ParserDecls, DoctypeReadsTheInternalSubsetBeforeTheExternal) {
  EngineScope scope;
  std::filesystem::path dir = std::filesystem::absolute("parser-doctype");
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "ext.dtd") << "<!ENTITY % kind \"EMPTY\"><!ELEMENT doc - - %kind;>"
                                    "<!ELEMENT ext - - EMPTY>";
  std::string ext = (dir / "ext.dtd").string();
  RecordingParser parser;
  parser.Doctype("DOCTYPE doc SYSTEM \"" + ext +
                 "\" [ <!ENTITY % kind \"(#PCDATA)\"> <!ELEMENT own - - EMPTY> ]> rest");
  EXPECT_TRUE(parser.messages.empty()) << Describe(parser.messages);
  Dtd& dtd = *parser.GetDtd();
  ASSERT_NE(dtd.DoctypeId(), nullptr);
  EXPECT_STREQ(dtd.DoctypeId()->Name(), "DOC");
  // The internal subset's %kind; was declared first and so wins.
  ASSERT_NE(dtd.FindElement("DOC"), nullptr);
  EXPECT_EQ(dtd.FindElement("DOC")->flags, 0x08);
  EXPECT_NE(dtd.FindElement("EXT"), nullptr);
  EXPECT_NE(dtd.FindElement("OWN"), nullptr);

  struct Case {
    const char* text;
    Message expected;
  } cases[] = {
      {"DOCTYPE doc SYSTEM \"no-such.dtd\">", {1, false, "no-such.dtd"}},
      {"DOCTYPE doc PUBLIC \"-//No//DTD None//EN\">", {1, false, "-//NO//DTD NONE//EN"}},
      {"DOCTYPE #BOGUS>", {34, true, ""}},
      {"DOCTYPE doc FOO \"x\">", {34, true, ""}},
      {"DOCTYP doc>", {36, true, ""}},
      {"DOCTYPE doc [ <!ELEMENT a - - EMPTY> ] x", {45, true, ""}},
  };
  for (const Case& c : cases) {
    RecordingParser p;
    p.Doctype(c.text);
    ASSERT_FALSE(p.messages.empty()) << c.text;
    EXPECT_EQ(p.messages[0], c.expected) << c.text << ": " << Describe(p.messages);
  }
  RecordingParser implied;
  implied.Doctype("DOCTYPE #IMPLIED [ <!ELEMENT a - - EMPTY> ]>");
  EXPECT_TRUE(implied.messages.empty()) << Describe(implied.messages);
  EXPECT_STREQ(implied.GetDtd()->DoctypeId()->Name(), "IMPLIED");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

TEST(ParserDecls, SourcesWithoutAFileGetNumberedNames) {
  EngineScope scope;
  RecordingParser first, second;
  ParseText(first, "<!ELEMENT a - - EMPTY>");
  ParseText(second, "<!ELEMENT b - - EMPTY>");
  const char* one = first.GetDtd()->DoctypeId()->SystemId();
  const char* two = second.GetDtd()->DoctypeId()->SystemId();
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  const std::string prefix = "Z:\\TMP-DOC\\";
  ASSERT_EQ(std::string(one).compare(0, prefix.size(), prefix), 0) << one;
  ASSERT_EQ(std::string(two).compare(0, prefix.size(), prefix), 0) << two;
  EXPECT_EQ(std::stol(two + prefix.size()), std::stol(one + prefix.size()) + 1);
}

TEST(ParserDecls, MessageTexts) {
  struct Case {
    int number;
    const char* text;
  } cases[] = {
      {0, "Can't open document '%s'"},
      {9, "Recursive inclusion of entity '%s'"},
      {11, "Can't define more than 100 attributes/element"},
      {29, "Misformed SHORTREF"},
      {33, "Syntax Error in DTD"},
      {34, "Misformed <!DOCTYPE"},
      {46, "Expected '\"' or \"'\""},
      {51, "Unexpected EOF"},
      {53, "Parsing '%s'"},
  };
  for (const Case& c : cases) EXPECT_STREQ(GetParserMessageText(c.number), c.text);
  EXPECT_EQ(GetParserMessageText(-1), nullptr);
  EXPECT_STREQ(GetParserMessageText(54 + 8), "Bad attribute specification");
  EXPECT_STREQ(GetParserMessageText(54 + 48),
               "System out of memory, executable file was corrupt, or relocations were invalid");
  EXPECT_EQ(GetParserMessageText(54 + 65), nullptr);
  char out[32];
  EXPECT_STREQ(FormatParserMessage(3, "nbsp", out, sizeof out), "Undefined entity: 'nbsp'");
  EXPECT_STREQ(FormatParserMessage(9, "a-very-long-entity-name", out, sizeof out),
               "Recursive inclusion of entity '");
}

TEST(ParserDecls, KeywordTables) {
  EXPECT_EQ(FindReservedName("CDATA", 5), 29);
  EXPECT_EQ(FindReservedName("IMPLICIT", 8), 44);
  EXPECT_EQ(FindReservedName("token", 5), 0);
  EXPECT_EQ(FindReservedName("CDAT", 4), 0);
  EXPECT_EQ(GetReservedName(29).flags, 0x4F00u);
  EXPECT_EQ(FindDeclarationKeyword("ATTLIST", 7), 3);
  EXPECT_EQ(FindDeclarationKeyword("EOR", 3), 7);
  EXPECT_EQ(FindDeclarationKeyword("DOCTYPE", 7), 0);
  const ParserTables& t = GetParserTables();
  EXPECT_EQ(t.upperNames[static_cast<unsigned char>('a')], 'A');
  EXPECT_EQ(t.names[static_cast<unsigned char>('a')], 'a');
  EXPECT_EQ(t.upperNames[static_cast<unsigned char>('\\')], '\\');
  EXPECT_EQ(t.separators[0x1A], 1);
  EXPECT_EQ(t.tokenClasses[static_cast<unsigned char>('f')], 6);
}

}  // namespace
}  // namespace qs::test
