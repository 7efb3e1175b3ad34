#include "addressing/ext_pointer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addressing/locations.h"
#include "addressing/tree_walker.h"
#include "doc_builder.h"
#include "query_support.h"
#include "sgml/document.h"
#include "sgml/dtd.h"

namespace qs {
namespace {

using test::CountingEngine;
using test::DocBuilder;

std::string Place(const TreeWalker& w) {
  std::uint32_t s, e;
  w.GetRange(&s, &e);
  return std::string(w.GetElementName()) + "[" + std::to_string(s) + "," + std::to_string(e) + ")";
}

// Text: "ab" [0,2); S1 [2,6) holds T "t", P "p", "m", SECT A [5,6) with
// P "q"; S [6,9) holds SECT "s" and DIV [7,9) with "d" and DIV [8,9) with
// Q "e"; P "z" [9,10).
constexpr const char* kMarkup =
    "<R>ab<S ID=S1><T>t</T><P TYPE=x>p</P>m<SECT ID=A><P>q</P></SECT></S>"
    "<S><SECT>s</SECT><DIV>d<DIV><Q>e</Q></DIV></DIV></S><P>z</P></R>";

void Declare(DocBuilder& b) {
  for (const char* type : {"S", "SECT"}) b.Declare(type, "ID", kDeclaredId, kDefaultImplied);
  b.Declare("P", "TYPE", kDeclaredCdata, kDefaultImplied);
}

struct Case {
  const char* pointer;
  const char* place;  // null: no place reached
  std::vector<int> errors;
};

TEST(ExtPointer, TermsStepsAndErrors) {
  const Case cases[] = {
      {"ROOT", "R[0,10)", {}},
      {"", "R[0,10)", {}},
      {"ROOT CHILD (2) (1 SECT)", "SECT[5,6)", {}},
      {"root child (2) (1 sect)", "SECT[5,6)", {}},
      {"ROOT CHILD (1 #CDATA)", "#PNODE[0,2)", {}},
      {"ID(s1) CHILD (1 #CDATA)", "#PNODE[4,5)", {}},
      {"ROOT CHILD (3) (2) (2) (1)", "Q[8,9)", {}},
      {"ROOT CHILD (3) (2) (2) (1) ANCESTOR (-1 DIV)", "DIV[7,9)", {}},
      {"ROOT CHILD (3) (2) (2) (1) ANCESTOR (1 DIV)", "DIV[8,9)", {}},
      {"ROOT CHILD (3) (2) (2) (1) ANCESTOR (-1)", "R[0,10)", {}},
      {"ROOT CHILD (3) (2) (2) (1) ANCESTOR (-4)", "DIV[8,9)", {}},
      {"ROOT CHILD (3) (2) (2) (1) ANCESTOR (-5)", nullptr, {}},
      {"ROOT CHILD (3) (2) (2) ANCESTOR (0 DIV)", "DIV[8,9)", {}},
      {"ROOT CHILD (3) (2) (2) DESCENDANT (0 DIV)", "DIV[8,9)", {}},
      {"ROOT CHILD (3) DESCENDANT (1 P)", nullptr, {}},
      {"ROOT DESCENDANT (1 P)", "P[3,4)", {}},
      {"ROOT DESCENDANT (2 P)", "P[5,6)", {}},
      {"ROOT DESCENDANT (-1 P)", "P[9,10)", {}},
      {"ROOT DESCENDANT (-1)", "P[9,10)", {}},
      {"ROOT DESCENDANT (1 P TYPE #IMPLIED)", "P[5,6)", {}},
      {"ID(s1) CHILD (1 P TYPE x)", "P[3,4)", {}},
      {"ID(s1) CHILD (1 P TYPE X)", "P[3,4)", {}},
      {"ID(s1) CHILD (1 * TYPE *)", "P[3,4)", {}},
      {"ID(s1) CHILD (1 * * (x|y))", "P[3,4)", {}},
      {"ID(s1) CHILD (1 * (T.*) *)", "P[3,4)", {}},
      {"ID(s1) CHILD (1 #CDATA TYPE *)", nullptr, {}},
      {"ID(s1) CHILD (1 P TYPE y)", nullptr, {}},
      {"ID(s1) CHILD (1 (S.*))", "SECT[5,6)", {}},
      {"ID(s1) CHILD (1 (T|P))", "T[2,3)", {}},
      {"ID(s1) CHILD (2 (T|P))", "P[3,4)", {}},
      {"ID(s1) CHILD (0)", "SECT[5,6)", {}},
      {"ID(s1) CHILD (-2)", "#PNODE[4,5)", {}},
      {"ID(s1) CHILD (-1 P)", "P[3,4)", {}},
      {"ID(a)", "SECT[5,6)", {}},
      {"ID('A')", "SECT[5,6)", {}},
      {"ID(a) PREVIOUS (1)", "#PNODE[4,5)", {}},
      {"ID(a) PREVIOUS (1 P)", "P[3,4)", {}},
      {"ID(a) PREVIOUS (-1)", "T[2,3)", {}},
      {"ID(a) PREVIOUS (0 SECT)", "SECT[5,6)", {}},
      {"ID(a) NEXT (1)", nullptr, {}},
      {"ROOT CHILD (2) NEXT (1)", "S[6,9)", {}},
      {"ROOT CHILD (2) NEXT (0 P)", "P[9,10)", {}},
      {"ROOT CHILD (1) NEXT (-1)", "P[9,10)", {}},
      {"ROOT CHILD (1) NEXT (+2)", "S[6,9)", {}},
      {"ID(a) PRECEDING (1 T)", "T[2,3)", {}},
      {"ID(a) PRECEDING (-1)", "R[0,10)", {}},
      {"ID(a) PRECEDING (-2 #CDATA)", "#PNODE[4,5)", {}},
      {"ID(a) FOLLOWING (1 Q)", "Q[8,9)", {}},
      {"ROOT FOLLOWING (-1)", "P[9,10)", {}},
      {"ROOT FOLLOWING (-2)", "Q[8,9)", {}},
      {"ID(a) STR (3 4)", "SECT[5,6)", {}},
      {"ID(a) TOKEN (1)", "SECT[5,6)", {}},
      // Failures that say nothing.
      {"ID(nosuch)", nullptr, {}},
      {"HERE", nullptr, {}},
      {"DITTO", nullptr, {}},
      {"ROOT CHILD (9)", nullptr, {}},
      {"ID(a) CHILD (1) (1)", nullptr, {}},
      // Syntax.
      {"ID a", nullptr, {7}},
      {"REF", nullptr, {7}},
      {"PATTERN", nullptr, {7}},
      {"ROOT CHILD", nullptr, {7}},
      {"ROOT CHILD (1", nullptr, {7}},
      {"ROOT CHILD (1 P TYPE x", nullptr, {7}},
      {"ROOT ; CHILD (1)", nullptr, {7}},
      {"#FOO", nullptr, {7}},
      {"ROOT CHILD (X)", nullptr, {9}},
      {"ROOT CHILD ()", nullptr, {9}},
      {"ROOT CHILD (1 #IMPLIED)", nullptr, {9}},
      {"ROOT CHILD (1 P TYPE)", nullptr, {8}},
      {"ROOT CHILD (1 P #IMPLIED x)", nullptr, {8}},
  };
  for (const Case& c : cases) {
    DocBuilder b;
    Declare(b);
    b.Build(kMarkup);
    CountingEngine engine;
    TreeWalker w(b.Doc(), nullptr);
    int result = ResolveExtendedPointer(&w, c.pointer, nullptr, nullptr);
    EXPECT_EQ(result, c.place ? 1 : 0) << c.pointer;
    if (c.place && result) EXPECT_EQ(Place(w), c.place) << c.pointer;
    EXPECT_EQ(engine.codes, c.errors) << c.pointer;
  }
}

TEST(ExtPointer, BadPatternsAndLongTokens) {
  DocBuilder b;
  Declare(b);
  b.Build(kMarkup);
  struct {
    std::string pointer;
    int last;
  } cases[] = {
      {"ROOT CHILD (1 ([)", 8},
      {"ROOT CHILD (1 (P", 8},
      {"ROOT CHILD (1 P (x[) y)", 8},
      {"ID(" + std::string(600, 'A') + ")", 7},
      {"ID('" + std::string(600, 'A') + "')", 7},
      {"ROOT CHILD (1 " + std::string(512, 'P') + ")", 7},
  };
  for (const auto& c : cases) {
    CountingEngine engine;
    TreeWalker w(b.Doc(), nullptr);
    EXPECT_EQ(ResolveExtendedPointer(&w, c.pointer.c_str(), nullptr, nullptr), 0) << c.pointer;
    ASSERT_FALSE(engine.codes.empty()) << c.pointer;
    EXPECT_EQ(engine.codes.back(), c.last) << c.pointer;
  }
  // A token of exactly the longest length is a token like any other.
  CountingEngine engine;
  TreeWalker w(b.Doc(), nullptr);
  std::string id = "ID(" + std::string(kLocationTokenSize, 'A') + ")";
  EXPECT_EQ(ResolveExtendedPointer(&w, id.c_str(), nullptr, nullptr), 0);
  EXPECT_TRUE(engine.codes.empty());
}

TEST(ExtPointer, HereAndDitto) {
  DocBuilder b;
  Declare(b);
  b.Build(kMarkup);
  CountingEngine engine;
  DocumentNode* sect = b.Doc()->FindElementById("A");
  TreeWalker w(b.Doc(), nullptr);
  ASSERT_EQ(ResolveExtendedPointer(&w, "HERE CHILD (1)", sect, nullptr), 1);
  EXPECT_EQ(Place(w), "P[5,6)");
  TreeWalker ditto(b.Doc(), nullptr);
  ASSERT_EQ(ResolveExtendedPointer(&ditto, "ROOT CHILD (1)", nullptr, nullptr), 1);
  TreeWalker v(b.Doc(), sect);
  ASSERT_EQ(ResolveExtendedPointer(&v, "DITTO NEXT (1)", nullptr, &ditto), 1);
  EXPECT_EQ(Place(v), "S[2,6)");
  // A ditto place in another document names nothing here.
  DocBuilder other;
  other.Build("<X>y</X>");
  TreeWalker elsewhere(other.Doc(), nullptr);
  EXPECT_EQ(ResolveExtendedPointer(&v, "DITTO", nullptr, &elsewhere), 0);
  EXPECT_TRUE(engine.codes.empty());
}

std::string TreeLocation(const DocumentNode* element, std::size_t size = kLocationAreaSize) {
  std::string buffer(size, '\x7f');
  char* end = WriteTreeLocation(buffer.data(), size, element);
  std::string text(buffer.c_str());
  EXPECT_EQ(end, buffer.data() + text.size());
  return text;
}

std::string PositionLocation(const Document* document, std::uint32_t position,
                             std::size_t size = kLocationAreaSize) {
  std::string buffer(size, '\x7f');
  char* end = WritePositionLocation(buffer.data(), size, document, position);
  std::string text(buffer.c_str());
  EXPECT_EQ(end, buffer.data() + text.size());
  return text;
}

TEST(LocationWriters, TreeAndPositionLocations) {
  DocBuilder b;
  Declare(b);
  b.Build(kMarkup);
  Document* doc = b.Doc();
  TreeWalker w(doc, nullptr);
  struct {
    const char* pointer;  // how the test reaches the element
    const char* location;
  } elements[] = {
      {"ROOT", "ROOT"},
      {"ID(s1)", "ID(S1)"},
      {"ID(s1) CHILD (1)", "ID(S1) CHILD (1)"},
      {"ID(a)", "ID(A)"},
      {"ID(a) CHILD (1)", "ID(A) CHILD (1)"},
      {"ROOT CHILD (3) (2) (2) (1)", "ROOT CHILD (3) (2) (2) (1)"},
      {"ROOT CHILD (4)", "ROOT CHILD (4)"},
  };
  for (const auto& e : elements) {
    ASSERT_EQ(ResolveExtendedPointer(&w, e.pointer, nullptr, nullptr), 1) << e.pointer;
    EXPECT_EQ(TreeLocation(w.Current()), e.location);
  }
  struct {
    std::uint32_t position;
    const char* location;
  } positions[] = {
      {0, "ROOT CHILD (1)"},         {1, "ROOT CHILD (1)"},
      {4, "ID(S1) CHILD (3)"},       {7, "ROOT CHILD (3) (2) (1)"},
      {3, "ID(S1) CHILD (2)"},       {5, "ID(A) CHILD (1)"},
      {10, ""},                      {99, ""},
  };
  for (const auto& p : positions) EXPECT_EQ(PositionLocation(doc, p.position), p.location) << p.position;
  EXPECT_EQ(TreeLocation(nullptr), "");
  EXPECT_EQ(PositionLocation(nullptr, 0), "");
}

TEST(LocationWriters, ExamplesOfTheFormat) {
  DocBuilder b;
  b.Declare("SEC", "ID", kDeclaredId, kDefaultImplied);
  // The root's places: "x", A, B, C, "y", D; D's fourth place is E. SEC2's
  // third place is F (after "u" and G), whose first is H.
  b.Build("<R>x<A>1</A><B>2</B><C>3</C>y<D>v<W>w</W>k<E>e</E></D>"
          "<SEC ID=SEC2>u<G>g</G><F><H>h</H></F></SEC></R>");
  TreeWalker w(b.Doc(), nullptr);
  ASSERT_EQ(ResolveExtendedPointer(&w, "ROOT CHILD (6) (4)", nullptr, nullptr), 1);
  EXPECT_EQ(Place(w), "E[8,9)");
  EXPECT_EQ(TreeLocation(w.Current()), "ROOT CHILD (6) (4)");
  ASSERT_EQ(ResolveExtendedPointer(&w, "ID(sec2) CHILD (3) (1)", nullptr, nullptr), 1);
  EXPECT_EQ(TreeLocation(w.Current()), "ID(SEC2) CHILD (3) (1)");
  ASSERT_EQ(ResolveExtendedPointer(&w, "ANCESTOR (1 SEC)", nullptr, nullptr), 1);
  EXPECT_EQ(TreeLocation(w.Current()), "ID(SEC2)");
  EXPECT_EQ(TreeLocation(b.Doc()->Root()), "ROOT");
}

// Every place of the document writes a pointer that leads back to it: an
// element its tree location, a gap the location of its start.
void ExpectRoundTrips(Document* doc, std::size_t* count = nullptr) {
  TreeWalker place(doc, nullptr);
  std::string buffer(kLocationAreaSize, '\0');
  std::size_t n = 0;
  do {
    if (place.Current())
      WriteTreeLocation(buffer.data(), buffer.size(), place.Current());
    else
      WritePositionLocation(buffer.data(), buffer.size(), doc, place.GetStartPosition());
    TreeWalker back(doc, nullptr);
    ASSERT_EQ(ResolveExtendedPointer(&back, buffer.c_str(), nullptr, nullptr), 1)
        << buffer.c_str();
    ASSERT_TRUE(back.SamePlace(place)) << buffer.c_str() << " reached " << Place(back)
                                       << " for " << Place(place);
    ++n;
  } while (place.MoveForward());
  if (count) *count = n;
}

TEST(LocationWriters, EveryPlaceResolvesBack) {
  const char* documents[] = {
      kMarkup,
      "<R>x<A/>y<B></B><C>1</C>z</R>",
      "<R><A/><B/>t<C/></R>",
      "<R>t<A>u<B/></A></R>",
      "<R>only</R>",
  };
  for (const char* markup : documents) {
    DocBuilder b;
    Declare(b);
    b.Build(markup);
    CountingEngine engine;
    ExpectRoundTrips(b.Doc());
    EXPECT_TRUE(engine.codes.empty()) << markup;
  }
}

TEST(LocationWriters, DeepTreesAndLongIdsStayInBounds) {
  // 300 levels, each with data before its child: "ROOT CHILD" and 300
  // steps of " (2)" fit the area and lead back.
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<D>x";
  for (int i = 0; i < 300; ++i) deep += "</D>";
  {
    DocBuilder b;
    b.Build(deep.c_str());
    std::size_t places = 0;
    ExpectRoundTrips(b.Doc(), &places);
    EXPECT_EQ(places, 599u);  // 300 elements, a gap before each child
  }
  // 700 levels do not fit: nothing is written, and nothing past the size.
  std::string deeper;
  for (int i = 0; i < 700; ++i) deeper += "<D>x";
  for (int i = 0; i < 700; ++i) deeper += "</D>";
  {
    DocBuilder b;
    b.Build(deeper.c_str());
    TreeWalker w(b.Doc(), nullptr);
    w.MoveToLastDescendant();
    ASSERT_TRUE(w.Current());
    EXPECT_EQ(TreeLocation(w.Current()), "");
    EXPECT_EQ(TreeLocation(w.Current(), 5000).size(), std::string("ROOT CHILD").size() + 699 * 4);
    EXPECT_EQ(PositionLocation(b.Doc(), 699), "");
  }
  // An ID of 3,000 bytes does not fit 2,048 bytes; in a larger buffer it is
  // written whole.
  DocBuilder b;
  b.Declare("A", "ID", kDeclaredId, kDefaultImplied);
  std::string id(3000, 'I');
  b.Build(("<R><A ID=" + id + ">t<B>u</B></A></R>").c_str());
  TreeWalker w(b.Doc(), nullptr);
  ASSERT_EQ(w.MoveToFirstChild(), 1);
  ASSERT_EQ(w.MoveToFirstChild(), 1);
  ASSERT_EQ(w.MoveNext(), 1);
  EXPECT_EQ(TreeLocation(w.Current()), "");
  EXPECT_EQ(TreeLocation(w.Current(), 4000), "ID(" + id + ") CHILD (2)");
  EXPECT_EQ(TreeLocation(w.Current(), 3004 + 10), "");
  EXPECT_EQ(PositionLocation(b.Doc(), 0), "");
  for (std::size_t size : {0u, 1u, 2u, 3u}) EXPECT_EQ(TreeLocation(b.Doc()->Root(), size), "");
  EXPECT_EQ(TreeLocation(b.Doc()->Root(), 5), "ROOT");
  EXPECT_EQ(TreeLocation(b.Doc()->Root(), 4), "");
}

// IDs that are no run of name characters are written quoted and still
// resolve back.
TEST(LocationWriters, QuotesIdsThatAreNoWord) {
  DocBuilder b;
  b.Declare("A", "ID", kDeclaredId, kDefaultImplied);
  b.Build("<R><A ID='A B'>x</A><A ID=\"IT'S\">y</A><A ID=-N>z</A></R>");
  CountingEngine engine;
  ExpectRoundTrips(b.Doc());
  EXPECT_EQ(TreeLocation(b.Doc()->Root()->First()), "ID('A B')");
  EXPECT_TRUE(engine.codes.empty());
}

}  // namespace
}  // namespace qs
