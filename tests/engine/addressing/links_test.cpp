#include "addressing/links.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "addressing/tree_walker.h"
#include "addressing/web.h"
#include "link_support.h"
#include "sgml/document.h"

namespace qs {
namespace {

using Lines = std::vector<std::string>;

// Root R holds: SEC A "Alpha one" [0,9); SEC C [9,25) "Gamma ", P D
// "delta", " rest"; then one element a line: three XREFs (IDREFS), CLINKs
// to locators, the locators themselves and an element with attributes.
const char kLinks[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec|xref|clink|nameloc|treeloc|dataloc|hot|att)*>\n"
    "<!ATTLIST doc id ID #IMPLIED>\n"
    "<!ELEMENT sec - - (#PCDATA|p)*>\n<!ATTLIST sec id ID #IMPLIED>\n"
    "<!ELEMENT p - - (#PCDATA)>\n<!ATTLIST p id ID #IMPLIED>\n"
    "<!ELEMENT xref - O EMPTY>\n<!ATTLIST xref linkend IDREFS #REQUIRED>\n"
    "<!ELEMENT clink - O EMPTY>\n<!ATTLIST clink linkend IDREF #REQUIRED HyTime NAME \"CLINK\">\n"
    "<!ELEMENT nameloc - - (#PCDATA)>\n"
    "<!ATTLIST nameloc id ID #IMPLIED nametype (entity|element) entity docorsub ENTITY #IMPLIED>\n"
    "<!ELEMENT treeloc - - (#PCDATA|marklist)*>\n"
    "<!ATTLIST treeloc id ID #IMPLIED locsrc IDREF #IMPLIED>\n"
    "<!ELEMENT marklist - - (#PCDATA)>\n"
    "<!ELEMENT dataloc - - (#PCDATA|dimlist)*>\n"
    "<!ATTLIST dataloc id ID #IMPLIED locsrc IDREF #IMPLIED>\n"
    "<!ELEMENT dimlist - - (#PCDATA)>\n"
    "<!ELEMENT hot - O EMPTY>\n"
    "<!ATTLIST hot id ID #IMPLIED quenda-af NAME \"HOTSPOT\" graphic ENTITY #REQUIRED\n"
    "  rx CDATA #IMPLIED ry CDATA #IMPLIED rw CDATA #IMPLIED rh CDATA #IMPLIED zoom CDATA "
    "#IMPLIED>\n"
    "<!ELEMENT att - O EMPTY>\n"
    "<!ATTLIST att x NUMBER #IMPLIED y CDATA #IMPLIED z IDREF #CONREF w (u|v) v>\n"
    "<!NOTATION GIF SYSTEM \"gif\">\n"
    "<!NOTATION SGML PUBLIC \"+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP "
    "LANGUAGE//EN\">\n"
    "<!ENTITY g SYSTEM \"pic.gif\" NDATA GIF>\n"
    "<!ENTITY other SYSTEM \"other.sgm\" NDATA SGML>\n"
    "]>\n"
    "<doc id=r><sec id=a>Alpha one</sec><sec id=c>Gamma <p id=d>delta</p> rest</sec>\n"
    "<xref linkend=\"a b\">\n<xref linkend=a>\n<xref linkend=nosuch>\n"
    "<clink linkend=t1>\n<treeloc id=t1>1 3</treeloc>\n"
    "<clink linkend=t2>\n<treeloc id=t2 locsrc=c><marklist>1 2</marklist></treeloc>\n"
    "<clink linkend=d1>\n<dataloc id=d1 locsrc=a><dimlist>2 1</dimlist></dataloc>\n"
    "<clink linkend=d3>\n<dataloc id=d3 locsrc=a>1 2 3</dataloc>\n"
    "<clink linkend=s1>\n<treeloc id=s1 locsrc=s1>1</treeloc>\n"
    "<clink linkend=l1>\n<treeloc id=l1 locsrc=l2>1</treeloc>\n"
    "<treeloc id=l2 locsrc=l1>1</treeloc>\n"
    "<clink linkend=n1>\n<nameloc id=n1>other nosuch</nameloc>\n"
    "<clink linkend=n2>\n<nameloc id=n2 nametype=element docorsub=other>x</nameloc>\n"
    "<clink linkend=n3>\n<nameloc id=n3 nametype=element>a c</nameloc>\n"
    "<clink linkend=h1>\n<hot id=h1 graphic=g rx=10 ry=20 rw=3000 zoom=\"150%\">\n"
    "<clink linkend=a>\n"
    "<att x=1>\n"
    "</doc>\n";

class Links : public testing::Test {
 protected:
  void SetUp() override {
    test::TempFolder::Write(temp_.File("links.sgm"), kLinks);
    test::TempFolder::Write(temp_.File("other.sgm"),
                            "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n"
                            "<!ATTLIST p id ID #IMPLIED>\n]>\n<doc><p>one</p><p id=x>two</p></doc>\n");
    doc_ = test::OpenDocumentFile(temp_.File("links.sgm"));
    ASSERT_NE(doc_, nullptr);
    engine_.home = doc_;
  }
  void TearDown() override {
    if (doc_) doc_->Release();
  }
  // The n-th element (from 1) of the root's children of that type.
  DocumentNode* Child(const char* type, int n) {
    for (DocumentNode* e = doc_->Root()->First(); e; e = e->Next())
      if (std::string(e->GetNameText()) == type && --n == 0) return e;
    return nullptr;
  }

  test::TempFolder temp_;
  test::LineEngine engine_{temp_.dir()};
  Document* doc_ = nullptr;
};

TEST_F(Links, TargetsAreFollowedOfferedOrReported) {
  struct {
    const char* type;
    int n;
    Lines lines;
  } cases[] = {
      {"XREF", 1, {"textlist Select Target: ID A | BADREF B"}},
      {"XREF", 2, {"goto 0 9"}},
      {"XREF", 3, {"error 25"}},
      // A tree locator without a source counts from the root.
      {"CLINK", 1, {"goto 25 1"}},
      {"CLINK", 2, {"goto 15 5"}},
      {"CLINK", 3, {"goto 6 3"}},
      // Three numbers for a data locator, a locator its own source, and
      // two that name each other give no target.
      {"CLINK", 4, {"error 25"}},
      {"CLINK", 5, {"error 25"}},
      {"CLINK", 6, {"error 25"}},
      // A document entity, and a name that is none: the locator itself.
      {"CLINK", 7, {"textlist Select Target: DOC other | ID N1"}},
      {"CLINK", 8, {"goto 3 3 @other"}},
      {"CLINK", 9, {"textlist Select Target: ID A | ID C"}},
      {"CLINK", 10, {"hotarea g 10 20 2038 2028"}},
      // A contextual link to an element that is no locator.
      {"CLINK", 11, {"goto 0 9"}},
      // No ID references at all.
      {"SEC", 1, {"error 25"}},
  };
  for (const auto& c : cases) {
    DocumentNode* element = Child(c.type, c.n);
    ASSERT_NE(element, nullptr) << c.type << c.n;
    FollowLink(nullptr, doc_, element, false);
    EXPECT_EQ(engine_.Take(), c.lines) << c.type << " " << c.n;
  }
  // Locations the targets write.
  struct {
    int clink;
    const char* text;
  } written[] = {
      {1, "Select Target: ID R TREE(1 3)"},
      {2, "Select Target: ID C TREE(1 2)"},
      {3, "Select Target: ID A DATA(2 1)"},
      {8, "Select Target: DOC other ID X"},
      {10, "Select Target: FIG g 10 20 3000 2048 '150%'"},
  };
  for (const auto& w : written) {
    LinkTargetList* list = CollectLinkTargets(nullptr, doc_, Child("CLINK", w.clink), false);
    EXPECT_EQ(test::LineEngine::Items(list), w.text);
    delete list;
  }
  // An element without an ID is named by its pointer.
  LinkTargetList* list = CollectLinkTargets(nullptr, doc_, Child("CLINK", 7), false);
  delete list;
  EXPECT_TRUE(engine_.Take().empty());
}

TEST_F(Links, AncestorsAddTheirReferences) {
  // The P inside SEC C refers to nothing; with its ancestors neither.
  DocumentNode* p = doc_->Root()->First()->Next()->First();
  ASSERT_STREQ(p->GetNameText(), "P");
  FollowLink(nullptr, doc_, p, true);
  EXPECT_EQ(engine_.Take(), (Lines{"error 25"}));
  FollowLink(nullptr, doc_, Child("XREF", 2), true);
  EXPECT_EQ(engine_.Take(), (Lines{"goto 0 9"}));
  FollowLink(nullptr, nullptr, p, true);
  FollowLink(nullptr, doc_, nullptr, true);
  EXPECT_TRUE(engine_.Take().empty());
}

TEST_F(Links, SourcesOfAnElement) {
  FollowLinkSources(nullptr, doc_, Child("SEC", 1));
  EXPECT_EQ(engine_.Take(),
            (Lines{"textlist Select Target: TEI ID(R) CHILD (3) | TEI ID(R) CHILD (4) | "
                   "TEI ID(D1) | TEI ID(D3) | TEI ID(R) CHILD (27)"}));
  FollowLinkSources(nullptr, doc_, Child("TREELOC", 1));
  EXPECT_EQ(engine_.Take(), (Lines{"goto 28 1"}));
  FollowLinkSources(nullptr, doc_, Child("SEC", 2));
  EXPECT_EQ(engine_.Take(), (Lines{"goto 33 3"}));
  FollowLinkSources(nullptr, doc_, Child("XREF", 1));
  FollowLinkSources(nullptr, doc_, Child("SEC", 2)->First());
  EXPECT_EQ(engine_.Take(), (Lines{"error 26"}));
}

TEST_F(Links, AttributeLists) {
  LinkTargetList* list = ListElementAttributes(nullptr, doc_, Child("ATT", 1));
  EXPECT_EQ(test::LineEngine::Items(list),
            "Attributes for <ATT>: X=\"1\" [NUMBER] | Y <IMPLIED> [CDATA] | "
            "Z <IMPLIED> [IDREF] #CONREF | W=\"V\"");
  delete list;
  list = ListElementAttributes(nullptr, doc_, Child("SEC", 1));
  EXPECT_EQ(test::LineEngine::Items(list), "Attributes for <SEC>: ID=\"A\" [ID]");
  delete list;
}

// Long attribute values are cut at 100 bytes, never inside a character.
TEST(LinkAttributes, LongValuesAreCutAtACharacter) {
  test::TempFolder temp;
  test::LineEngine engine(temp.dir());
  std::string value = std::string(99, 'v') + "\xC3\xA9" + std::string(20, 'w');
  test::TempFolder::Write(temp.File("a.xml"), "<?xml version=\"1.0\"?><r a=\"" + value + "\"/>");
  Document* doc = test::OpenDocumentFile(temp.File("a.xml"));
  ASSERT_NE(doc, nullptr);
  LinkTargetList* list = ListElementAttributes(nullptr, doc, doc->Root());
  EXPECT_EQ(test::LineEngine::Items(list),
            "Attributes for <r>: a=\"" + std::string(99, 'v') + "\" [CDATA]");
  delete list;
  doc->Release();
}

TEST_F(Links, MarkedRanges) {
  test::TempFolder::Write(temp_.File("marks.sgm"),
                          "<!DOCTYPE doc [<!ELEMENT doc - - (#PCDATA)>]>\n"
                          "<doc>a<?START>bc<?END>d<?START>e<?START>f<?END>g<?START>h</doc>\n");
  Document* doc = test::OpenDocumentFile(temp_.File("marks.sgm"));
  ASSERT_NE(doc, nullptr);
  std::vector<std::string> ranges;
  auto add = [](void* context, std::uint32_t start, std::uint32_t end) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(start) + "-" +
                                                               std::to_string(end));
  };
  EXPECT_EQ(FindMarkedRanges(doc, "START", "END", add, &ranges), 2u);
  EXPECT_EQ(ranges.size(), 2u);
  ranges.clear();
  EXPECT_EQ(FindMarkedRanges(doc, "START", "NONE", add, &ranges), 0u);
  EXPECT_EQ(FindMarkedRanges(doc, "start", "end", add, &ranges), 0u);
  EXPECT_EQ(FindMarkedRanges(doc, nullptr, "END", add, &ranges), 0u);
  EXPECT_TRUE(ranges.empty());
  doc->Release();
}

// A selection becomes a place (an ID, a tree path, words narrowed by
// characters) that gives the same range back.
TEST_F(Links, TreeDataAddressesGiveTheirRangeBack) {
  struct {
    std::uint32_t start, length;
    const char* end;  // the link end kind the place is written with
  } cases[] = {
      {0, 9, "NAME"},   // SEC A whole
      {9, 16, "NAME"},  // SEC C whole
      {15, 5, "NAME"},  // P D whole
      {25, 1, "TREE"},  // the first XREF, counted from R
      {9, 5, "DATA"},   // "Gamma"
      {10, 3, "DATA"},  // "amm": narrowed on both sides
      {1, 12, "DATA"},  // "lpha oneGamm": across sections
      {16, 2, "DATA"},  // "el" inside P D
      {0, 52, "DATA"},
  };
  for (const auto& c : cases) {
    TreeDataLocation* location = MakeTreeDataAddress(nullptr, doc_, c.start, c.length);
    ASSERT_NE(location, nullptr) << c.start;
    char end[64];
    location->WriteLinkEndId(1, end);
    EXPECT_EQ(std::string(end), std::string("ID1.") + c.end) << c.start;
    std::uint32_t start = 0, length = 0;
    ASSERT_EQ(location->GetRange(doc_, &start, &length), 1) << c.start;
    EXPECT_EQ(start, c.start);
    EXPECT_EQ(length, c.length) << c.start;
    delete location;
  }
  EXPECT_EQ(MakeTreeDataAddress(nullptr, doc_, 0, doc_->TextLength() + 1), nullptr);
  EXPECT_EQ(MakeTreeDataAddress(nullptr, nullptr, 0, 0), nullptr);
  // Narrowed to nothing, the range keeps one character.
  TreeDataLocation narrowed(nullptr, "A", nullptr, 0, 1, 1, 3, 3);
  std::uint32_t start = 0, length = 0;
  ASSERT_EQ(narrowed.GetRange(doc_, &start, &length), 1);
  EXPECT_EQ(start, 3u);
  EXPECT_EQ(length, 1u);
  // A path that runs out of places is a bad anchor location.
  const std::uint16_t path[] = {1, 9};
  TreeDataLocation lost(nullptr, "A", path, 2, 0, 0, 0, 0);
  EXPECT_EQ(lost.GetRange(doc_, &start, &length), 0);
  EXPECT_EQ(engine_.Take(), (Lines{"error 31"}));
}

}  // namespace
}  // namespace qs
