#include "addressing/tree_walker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "doc_builder.h"
#include "../sgml/instance_support.h"
#include "sgml/document.h"
#include "sgml/dtd.h"

namespace qs {
namespace {

using test::DocBuilder;

// "NAME[start,end)" of the walker's place.
std::string Place(const TreeWalker& w) {
  std::uint32_t s, e;
  w.GetRange(&s, &e);
  return std::string(w.GetElementName()) + "[" + std::to_string(s) + "," + std::to_string(e) + ")";
}

std::vector<std::string> Steps(TreeWalker& w, int (TreeWalker::*move)()) {
  std::vector<std::string> places{Place(w)};
  while ((w.*move)()) {
    places.push_back(Place(w));
    if (places.size() > 100) break;
  }
  return places;
}

TEST(TreeWalker, SiblingsAndGapsOfOneContent) {
  DocBuilder b;
  b.Build("<P>ab<E>c</E><F>d</F>ef</P>");
  TreeWalker w(b.Doc(), nullptr);
  EXPECT_EQ(Place(w), "P[0,6)");
  ASSERT_EQ(w.MoveToFirstChild(), 1);
  EXPECT_EQ(Steps(w, &TreeWalker::MoveNext),
            (std::vector<std::string>{"#PNODE[0,2)", "E[2,3)", "F[3,4)", "#PNODE[4,6)"}));
  EXPECT_EQ(Steps(w, &TreeWalker::MovePrevious),
            (std::vector<std::string>{"#PNODE[4,6)", "F[3,4)", "E[2,3)", "#PNODE[0,2)"}));
  w.MoveToLast();
  EXPECT_EQ(Place(w), "#PNODE[4,6)");
  w.MoveToFirst();
  EXPECT_EQ(Place(w), "#PNODE[0,2)");
  EXPECT_EQ(w.MoveToFirstChild(), 0);  // a gap has no children
}

// Forward from the root visits every place once; backward from the last
// place gives the same list reversed.
TEST(TreeWalker, ForwardAndBackwardAgree) {
  struct {
    const char* markup;
    std::vector<std::string> forward;
  } cases[] = {
      {"<P>ab<E>c</E><F>d</F>ef</P>",
       {"P[0,6)", "#PNODE[0,2)", "E[2,3)", "F[3,4)", "#PNODE[4,6)"}},
      // Trailing data of an element between the root and the deepest last
      // element is a place of its own.
      {"<P><Q>x<E>c</E>y</Q>de</P>",
       {"P[0,5)", "Q[0,3)", "#PNODE[0,1)", "E[1,2)", "#PNODE[2,3)", "#PNODE[3,5)"}},
      {"<P><Q>x<E>c</E></Q>de</P>",
       {"P[0,4)", "Q[0,2)", "#PNODE[0,1)", "E[1,2)", "#PNODE[2,4)"}},
      // Climbing out to an ancestor's next sibling, with and without data
      // between.
      {"<R><A><B>1</B></A>gap<C>2</C><D><X/></D></R>",
       {"R[0,5)", "A[0,1)", "B[0,1)", "#PNODE[1,4)", "C[4,5)", "D[5,5)", "X[5,5)"}},
      {"<R><A><B>1</B></A><C>2</C></R>", {"R[0,2)", "A[0,1)", "B[0,1)", "C[1,2)"}},
      {"<R>only text</R>", {"R[0,9)"}},
      {"<R><A>x</A>y<B>z</B></R>", {"R[0,3)", "A[0,1)", "#PNODE[1,2)", "B[2,3)"}},
  };
  for (const auto& c : cases) {
    DocBuilder b;
    b.Build(c.markup);
    TreeWalker w(b.Doc(), nullptr);
    std::vector<std::string> forward = Steps(w, &TreeWalker::MoveForward);
    EXPECT_EQ(forward, c.forward) << c.markup;
    std::vector<std::string> backward = Steps(w, &TreeWalker::MoveBackward);
    std::vector<std::string> reversed(forward.rbegin(), forward.rend());
    EXPECT_EQ(backward, reversed) << c.markup;
  }
}

TEST(TreeWalker, BackwardOntoAChildlessElementKeepsTheElementAfterTheGap) {
  DocBuilder b;
  b.Build("<P><E>c</E>xy<F>d</F></P>");
  TreeWalker w(b.Doc(), nullptr);
  w.SetNode(b.Doc()->Root()->Last());
  ASSERT_EQ(Place(w), "F[3,4)");
  ASSERT_EQ(w.MoveBackward(), 1);
  EXPECT_EQ(Place(w), "#PNODE[1,3)");
  ASSERT_EQ(w.MoveBackward(), 1);
  EXPECT_EQ(Place(w), "E[0,1)");
  EXPECT_EQ(w.Next(), b.Doc()->Root()->Last());
  EXPECT_EQ(Steps(w, &TreeWalker::MoveNext),
            (std::vector<std::string>{"E[0,1)", "#PNODE[1,3)", "F[3,4)"}));
}

TEST(TreeWalker, ParentRootAndLastDescendant) {
  DocBuilder b;
  b.Build("<A><B><C>x</C>y</B></A>");
  TreeWalker w(b.Doc(), nullptr);
  w.MoveToRoot();
  EXPECT_EQ(Place(w), "A[0,2)");
  EXPECT_EQ(w.MoveToParent(), 0);
  EXPECT_EQ(Place(w), "A[0,2)");
  w.MoveToLastDescendant();
  EXPECT_EQ(Place(w), "#PNODE[1,2)");
  EXPECT_EQ(w.Parent()->GetNameText(), std::string("B"));
  EXPECT_EQ(w.MoveToParent(), 1);
  EXPECT_EQ(Place(w), "B[0,2)");
  w.SetNode(b.Doc()->Root()->First()->First());
  w.MoveToRoot();
  EXPECT_EQ(Place(w), "A[0,2)");
  EXPECT_EQ(w.Parent(), nullptr);
}

TEST(TreeWalker, AssignOnlyWithinOneDocument) {
  DocBuilder one, two;
  one.Build("<A><B>x</B></A>");
  two.Build("<Z>q</Z>");
  TreeWalker a(one.Doc(), nullptr), b(two.Doc(), nullptr), c(one.Doc(), one.Doc()->Root()->First());
  a.Assign(b);
  EXPECT_EQ(Place(a), "A[0,1)");
  a.Assign(c);
  EXPECT_EQ(Place(a), "B[0,1)");
  TreeWalker copy(c);
  EXPECT_TRUE(copy.SamePlace(c));
  EXPECT_EQ(copy.GetDocument(), one.Doc());
}

TEST(TreeWalker, HoldsItsDocument) {
  DocBuilder b;
  b.Build("<A>x</A>");
  Document* doc = b.Take();
  auto* w = new TreeWalker(doc, nullptr);
  EXPECT_EQ(doc->UseCount(), 2u);
  doc->Release();
  EXPECT_EQ(w->GetStartPosition(), 0u);
  EXPECT_STREQ(w->GetElementName(), "A");
  delete w;  // the last use goes with the walker
}

// Element text of a parsed document: entity references by name, RCDATA and
// CDATA content as text, an EMPTY element as nothing; cut to every size.
TEST(TreeWalker, ElementTextAndItsLimits) {
  test::ParsedText parsed(
      "<!DOCTYPE P [<!ELEMENT P - - (#PCDATA|E|R|C|X)*><!ELEMENT E - - (#PCDATA)>"
      "<!ELEMENT R - - RCDATA><!ELEMENT C - - CDATA><!ELEMENT X - O EMPTY>"
      "<!ENTITY amp \"&#38;\"><!NOTATION gif SYSTEM \"gif\">"
      "<!ENTITY x SYSTEM \"x.gif\" NDATA gif>]>"
      "<P>ab<E>c&x;</E>d<R>rc &amp; text</R>e<C>a<b</C><X>f</P>");
  ASSERT_EQ(parsed.Messages(), "");
  TreeWalker w(parsed.document, nullptr);
  ASSERT_STREQ(w.GetElementName(), "P");
  const std::string whole = "abc&x;drc & textea<bf";
  EXPECT_EQ(w.GetTextLength(false), whole.size());
  for (std::size_t size : {whole.size() + 10, std::size_t{1}, std::size_t{4}, std::size_t{5},
                           std::size_t{6}, std::size_t{8}, std::size_t{12}, whole.size()}) {
    std::string want = whole.substr(0, size - 1);
    std::string buf(120, 'Z');
    w.GetText(&buf[0], size, false);
    EXPECT_STREQ(buf.c_str(), want.c_str()) << size;
    EXPECT_EQ(buf[want.size() + 1], 'Z') << "wrote past the text, size " << size;
  }
  std::string untouched(8, 'Z');
  w.GetText(&untouched[0], 0, false);
  EXPECT_EQ(untouched, "ZZZZZZZZ");

  // The RCDATA element on its own.
  ASSERT_EQ(w.MoveToFirstChild(), 1);  // the gap "ab"
  while (std::strcmp(w.GetElementName(), "R") != 0) ASSERT_EQ(w.MoveNext(), 1);
  std::string r(40, 'Z');
  w.GetText(&r[0], r.size(), false);
  EXPECT_STREQ(r.c_str(), "rc & text");
  EXPECT_EQ(w.GetTextLength(false), 9u);

  // Raw: the bytes of the range, cut to the room.
  w.MoveToRoot();
  std::string raw(40, 'Z');
  w.GetText(&raw[0], 4, true);
  EXPECT_STREQ(raw.c_str(), "abc");
  EXPECT_GT(w.GetTextLength(true), whole.size() - 5);  // no "&x;", but the data
  // In a gap both forms are the range.
  w.MoveToFirstChild();
  EXPECT_EQ(w.GetTextLength(false), 2u);
  w.GetText(&raw[0], 20, false);
  EXPECT_STREQ(raw.c_str(), "ab");
}

// The issue's own case: an RCDATA element inside mixed content.
TEST(TreeWalker, RcdataContentIsElementText) {
  test::ParsedText parsed(
      "<!DOCTYPE a [<!ELEMENT a - - (#PCDATA|r)*><!ELEMENT r - - RCDATA>"
      "<!ENTITY amp \"&#38;\">]><a>x<r>rc &amp; text</r>y</a>");
  ASSERT_EQ(parsed.Messages(), "");
  TreeWalker w(parsed.document, nullptr);
  std::string buf(40, 'Z');
  w.GetText(&buf[0], buf.size(), false);
  EXPECT_STREQ(buf.c_str(), "xrc & texty");
  EXPECT_EQ(w.GetTextLength(false), 11u);
}

TEST(TreeWalker, AttributesOfTheCurrentElement) {
  DocBuilder b;
  b.Declare("A", "KIND", kDeclaredCdata, kDefaultValue, "plain");
  b.Declare("A", "ID", kDeclaredId, kDefaultImplied);
  b.Build("<A ID=a1>x<B>y</B></A>");
  TreeWalker w(b.Doc(), nullptr);
  ASSERT_EQ(w.GetAttributeCount(), 2u);
  EXPECT_STREQ(w.GetAttributeName(0), "KIND");
  EXPECT_STREQ(w.GetAttributeName(1), "ID");
  EXPECT_EQ(w.GetAttributeName(2), nullptr);
  EXPECT_STREQ(w.GetAttributeValue("ID"), "a1");
  EXPECT_STREQ(w.GetAttributeValue("kind"), "plain");
  w.MoveToFirstChild();
  EXPECT_EQ(w.GetAttributeCount(), 0u);
  EXPECT_EQ(w.GetAttributeName(0), nullptr);
  EXPECT_EQ(w.GetAttributeValue("ID"), nullptr);
  EXPECT_STREQ(w.GetElementName(), "#PNODE");
}

TEST(TreeWalker, EmptyDocumentHasNoPlace) {
  Document* doc = new Document;
  TreeWalker w(doc, nullptr);
  doc->Release();
  EXPECT_EQ(w.MoveForward(), 0);
  EXPECT_EQ(w.MoveBackward(), 0);
  EXPECT_EQ(w.MoveNext(), 0);
  EXPECT_EQ(w.MovePrevious(), 0);
  EXPECT_EQ(w.MoveToFirstChild(), 0);
  EXPECT_EQ(w.GetTextLength(false), 0u);
  char buf[4] = "abc";
  w.GetText(buf, sizeof buf, false);
  EXPECT_STREQ(buf, "");
}

}  // namespace
}  // namespace qs
