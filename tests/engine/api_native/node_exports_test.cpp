// Element node, entity and notation exports over documents built in code,
// called in-process.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/records.h"
#include "doc_builder.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

namespace qs {
namespace {

using test::DocBuilder;

class NodeExports : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override { QsTerminate(); }

  // A document handle that holds the document's only use.
  QsHandle Register(DocBuilder& b) {
    Document* doc = b.Take();
    QsHandle h = Handles()->RegisterDocument(doc);
    doc->Release();
    return h;
  }
  std::string Name(QsHandle node) {
    const char* name = QsGetElementName(node);
    return name ? name : "(null)";
  }

  test::RecordingSink sink_;
};

TEST_F(NodeExports, WalkNamesAndIds) {
  DocBuilder b;
  b.Declare("B", "ID", kDeclaredId, kDefaultImplied);
  b.Build("<A><B ID=B1>x</B>t<B>y</B></A>");  // SGML folds the ID value
  QsHandle doc = Register(b);
  QsHandle root = QsGetDocumentRoot(doc);
  ASSERT_NE(root, 0u);
  EXPECT_EQ(Name(root), "A");
  EXPECT_EQ(QsGotoParent(root), 0);
  EXPECT_EQ(Name(root), "A");

  QsHandle n = QsDupNode(root);
  ASSERT_EQ(QsGotoFirstChild(n), 1);
  std::vector<std::string> names{Name(n)};
  while (QsGotoNextSibling(n)) names.push_back(Name(n));
  EXPECT_EQ(names, (std::vector<std::string>{"B", "#PNODE", "B"}));
  EXPECT_EQ(QsGotoNextSibling(n), 0);
  ASSERT_EQ(QsGotoPrevSibling(n), 1);  // the gap "t"
  EXPECT_EQ(QsGetAttributeCount(n), 0);
  EXPECT_EQ(QsGetNodeIdValue(n), nullptr);
  std::int32_t start = -1, length = -1;
  EXPECT_EQ(QsGetNodeRange(n, &start, &length), 1);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(QsGotoParent(n), 1);
  EXPECT_EQ(Name(n), "A");

  // Found by ID through the document's folding of names.
  QsHandle byId = QsGetElementById(doc, "b1");
  ASSERT_NE(byId, 0u);
  EXPECT_STREQ(QsGetNodeIdValue(byId), "B1");
  EXPECT_EQ(QsGetElementById(doc, "nothing"), 0u);
  EXPECT_EQ(QsGetElementById(root, "b1"), 0u);  // not a document handle

  QsHandle at = QsGetElementAtPosition(doc, 2);
  EXPECT_EQ(Name(at), "B");
  EXPECT_EQ(QsGetElementAtPosition(doc, 3), 0u);
  EXPECT_EQ(QsGetElementAtPosition(doc, -1), 0u);

  // With no view open nothing shows, and nobody is told of a fault.
  QsShowElement(at);
  QsShowElement(doc);
  EXPECT_TRUE(sink_.messages().empty());

  QsHandle again = QsGetNodeDocument(at);
  EXPECT_EQ(again, doc);  // the same document keeps its handle
  EXPECT_EQ(QsGetHandleRefCount(doc), 2u);
  for (QsHandle h : {root, n, byId, at, again}) EXPECT_EQ(QsReleaseHandle(h), h == again ? 1u : 0u);
  EXPECT_EQ(QsReleaseHandle(doc), 0u);
}

// The host's ID text is folded as the reader folds names: in an SGML
// document ASCII letters go to upper case and the bytes of other characters
// stay as they are; an XML document folds nothing.
TEST_F(NodeExports, IdsAreLookedUpAsTheReaderFoldedThem) {
  const char kSgml[] =
      "<!DOCTYPE d [<!ELEMENT d - - (e)*><!ELEMENT e - O EMPTY><!ATTLIST e id ID #IMPLIED>]>"
      "<d><e id=ab><e id=\"x\xe4\xb8\xad\"><e id=\"\xc3\xa9t\xc3\xa9\"></d>";
  const char kXml[] =
      "<?xml version=\"1.0\"?><!DOCTYPE d [<!ELEMENT d (e)*><!ELEMENT e EMPTY>"
      "<!ATTLIST e id ID #IMPLIED>]><d><e id=\"ab\"/><e id=\"x\xe4\xb8\xad\"/></d>";
  QsHandle sgml = QsOpenDocumentText(kSgml, nullptr, nullptr, 0, nullptr, 0);
  QsHandle xml = QsOpenDocumentText(kXml, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_NE(sgml, 0u);
  ASSERT_NE(xml, 0u);
  struct {
    QsHandle doc;
    const char* asked;
    const char* found;  // the ID of the element found, null for none
  } cases[] = {
      {sgml, "ab", "AB"},
      {sgml, "AB", "AB"},
      {sgml, "x\xe4\xb8\xad", "X\xe4\xb8\xad"},
      {sgml, "X\xe4\xb8\xad", "X\xe4\xb8\xad"},
      {sgml, "\xc3\xa9t\xc3\xa9", "\xc3\xa9T\xc3\xa9"},
      {xml, "ab", "ab"},
      {xml, "AB", nullptr},
      {xml, "x\xe4\xb8\xad", "x\xe4\xb8\xad"},
      {xml, "X\xe4\xb8\xad", nullptr},
  };
  for (const auto& c : cases) {
    QsHandle node = QsGetElementById(c.doc, c.asked);
    const char* id = node ? QsGetNodeIdValue(node) : nullptr;
    EXPECT_EQ(id ? std::string(id) : "(none)", c.found ? c.found : "(none)")
        << (c.doc == sgml ? "SGML " : "XML ") << c.asked;
    if (node) EXPECT_EQ(QsReleaseHandle(node), 0u);
  }
  EXPECT_EQ(QsReleaseHandle(sgml), 0u);
  EXPECT_EQ(QsReleaseHandle(xml), 0u);
}

TEST_F(NodeExports, CompareNodes) {
  DocBuilder b;
  b.Build("<A><B>x<C>c</C></B>t<B>y</B></A>");
  QsHandle doc = Register(b);
  DocBuilder other;
  other.Build("<A>z</A>");
  QsHandle doc2 = Register(other);

  QsHandle a = QsGetDocumentRoot(doc);
  QsHandle b1 = QsDupNode(a);
  QsGotoFirstChild(b1);
  QsHandle c = QsDupNode(b1);
  QsGotoFirstChild(c);  // the gap "x"
  QsGotoNextSibling(c);
  ASSERT_EQ(Name(c), "C");
  QsHandle b2 = QsDupNode(b1);
  QsGotoNextSibling(b2);
  QsGotoNextSibling(b2);
  ASSERT_EQ(Name(b2), "B");
  QsHandle gap = QsDupNode(b1);
  QsGotoNextSibling(gap);
  QsHandle foreign = QsGetDocumentRoot(doc2);

  struct {
    QsHandle x, y;
    int want;
  } cases[] = {
      {a, a, 0},  {b1, QsDupNode(b1), 0},
      {a, b1, 1}, {b1, a, 3}, {a, gap, 1}, {gap, a, 3},
      {a, c, 2},  {c, a, 4},
      {b1, b2, 5}, {b2, b1, 6}, {c, gap, 5},
      {a, foreign, 7}, {a, 0, 7}, {doc, a, 7},
  };
  for (const auto& t : cases)
    EXPECT_EQ(QsCompareNodes(t.x, t.y), t.want) << Name(t.x) << " / " << Name(t.y);
}

// Places whose ranges are equal are told apart by the ancestor test alone;
// a gap counts its parent as the first level above it.
TEST_F(NodeExports, CompareNodesWithEqualRanges) {
  DocBuilder b;
  b.Build("<X><Y>ab<N/></Y></X>");  // X, Y and the gap before N all cover [0,2)
  QsHandle doc = Register(b);
  QsHandle x = QsGetDocumentRoot(doc);
  QsHandle y = QsDupNode(x);
  ASSERT_EQ(QsGotoFirstChild(y), 1);
  QsHandle gap = QsDupNode(y);
  ASSERT_EQ(QsGotoFirstChild(gap), 1);
  QsHandle n = QsDupNode(gap);
  ASSERT_EQ(QsGotoNextSibling(n), 1);
  ASSERT_EQ(Name(y), "Y");
  ASSERT_EQ(Name(gap), "#PNODE");
  ASSERT_EQ(Name(n), "N");
  struct {
    QsHandle a, b;
    int want;
  } cases[] = {
      {x, y, 1}, {y, x, 3}, {y, gap, 1}, {gap, y, 3}, {x, gap, 2}, {gap, x, 4},
      {gap, n, 5}, {n, gap, 6},
      // The range test comes first: an empty element at its parent's end
      // lies after the parent's range.
      {y, n, 5}, {n, x, 6},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QsCompareNodes(c.a, c.b), c.want) << Name(c.a) << " / " << Name(c.b);
}

// Two node handles are the same object when they stand on the same place of
// the same document, however they got there.
TEST_F(NodeExports, SameObjectComparesPlaces) {
  DocBuilder b;
  b.Build("<A><B>x</B>t<B>y</B></A>");
  QsHandle doc = Register(b);
  DocBuilder other;
  other.Build("<A><B>x</B>t<B>y</B></A>");
  QsHandle doc2 = Register(other);
  QsHandle a = QsGetDocumentRoot(doc);
  QsHandle a2 = QsGetDocumentRoot(doc);
  QsHandle b1 = QsDupNode(a);
  ASSERT_EQ(QsGotoFirstChild(b1), 1);
  QsHandle b1again = QsDupNode(a);
  ASSERT_EQ(QsGotoFirstChild(b1again), 1);
  QsHandle gap = QsDupNode(b1);
  ASSERT_EQ(QsGotoNextSibling(gap), 1);
  QsHandle gapAgain = QsDupNode(b1);
  ASSERT_EQ(QsGotoNextSibling(gapAgain), 1);
  QsHandle b2 = QsDupNode(gap);
  ASSERT_EQ(QsGotoNextSibling(b2), 1);
  QsHandle foreign = QsGetDocumentRoot(doc2);
  struct {
    QsHandle x, y;
    std::int32_t same;
  } cases[] = {
      {a, a, 1},         {a, a2, 1},      {b1, b1again, 1}, {gap, gapAgain, 1},
      {a, b1, 0},        {b1, gap, 0},    {b1, b2, 0},      {a, foreign, 0},
      {doc, a, 0},       {a, 0, 0},
  };
  for (const auto& t : cases)
    EXPECT_EQ(QsIsSameObject(t.x, t.y), t.same) << Name(t.x) << " / " << Name(t.y);
  // A handle moved onto the other's place becomes the same.
  ASSERT_EQ(QsGotoPrevSibling(b2), 1);
  EXPECT_EQ(QsIsSameObject(b2, gap), 1);
}

TEST_F(NodeExports, AttributesAndTheirDeclarations) {
  DocBuilder b;
  InternedName* tokens[] = {InternName("LEFT"), InternName("RIGHT")};
  b.Declare("E", "ALIGN", kDeclaredTokenGroup, kDefaultValue, "LEFT", TokenGroup::New(tokens, 2));
  b.Declare("E", "NOTE", kDeclaredCdata, kDefaultImplied);
  b.Declare("E", "COUNT", kDeclaredNumber, kDefaultRequired);
  b.Declare("E", "REFS", kDeclaredIdrefs, kDefaultValue);  // neither keyword nor value
  b.Build("<E NOTE='hello'>x</E>");
  QsHandle doc = Register(b);
  QsHandle e = QsGetDocumentRoot(doc);
  ASSERT_EQ(QsGetAttributeCount(e), 4);
  EXPECT_STREQ(QsGetAttributeName(e, 0), "ALIGN");
  EXPECT_EQ(QsGetAttributeName(e, 4), nullptr);
  EXPECT_EQ(QsGetAttributeName(e, -1), nullptr);
  struct {
    const char* name;
    int code;
    const char* def;
    const char* value;
  } cases[] = {
      {"ALIGN", 1, "LEFT", "LEFT"},     {"note", 2, "IMPLIED", "hello"},
      {"COUNT", 13, "REQUIRED", nullptr}, {"REFS", 7, "#ERROR", nullptr},
      {"NONE", 0, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QsGetAttributeDeclaredValue(e, c.name), c.code) << c.name;
    const char* def = QsGetAttributeDefaultText(e, c.name);
    EXPECT_EQ(def ? std::string(def) : "(null)", c.def ? c.def : "(null)") << c.name;
    const char* value = QsGetAttribute(e, c.name);
    EXPECT_EQ(value ? std::string(value) : "(null)", c.value ? c.value : "(null)") << c.name;
  }
  EXPECT_EQ(QsGetNodeProperty(e) & 0x180, 0x180);  // declared and specified attributes
}

TEST_F(NodeExports, TextIntoBuffersOfEverySize) {
  DocBuilder b;
  b.Build("<P>ab<E>c&x;</E>d</P>");
  QsHandle doc = Register(b);
  QsHandle p = QsGetDocumentRoot(doc);
  EXPECT_EQ(QsGetTextLength(p, 0), 7);
  EXPECT_EQ(QsGetTextLength(p, 1), 4);
  struct {
    int raw, size;
    const char* want;
  } cases[] = {{0, 64, "abc&x;d"}, {0, 5, "abc&"}, {0, 1, ""}, {1, 64, "abcd"}, {1, 3, "ab"}};
  for (const auto& c : cases) {
    std::string buf(64, 'Z');
    EXPECT_EQ(QsGetText(p, c.raw, &buf[0], c.size), 1);
    EXPECT_STREQ(buf.c_str(), c.want);
    EXPECT_EQ(buf[std::strlen(c.want) + 1], 'Z');
  }
  std::string untouched(4, 'Z');
  EXPECT_EQ(QsGetText(p, 0, &untouched[0], 0), 1);
  EXPECT_EQ(QsGetText(p, 0, &untouched[0], -5), 1);
  EXPECT_EQ(untouched, "ZZZZ");
  EXPECT_EQ(QsGetText(doc, 0, &untouched[0], 4), 0);
}

TEST_F(NodeExports, EntitiesOfADocumentAndTheirEnumeration) {
  DocBuilder b;
  b.Build("<P>x</P>");
  Document* d = b.Doc();
  auto* notation = new NotationDecl("GIF");
  notation->SetSystemId("viewer.exe");
  d->AddEntity(new TextEntityDecl("ver", kEntityText, "3.0"));
  d->AddEntity(new TextEntityDecl("pi", kEntityPi, "stop"));
  d->AddEntity(new ExternalEntityDecl("chap", new ExternalId("chap", "chap.sgm", nullptr), kEntityText, nullptr));
  d->AddEntity(new ExternalEntityDecl("fig", new ExternalId("fig", "fig.gif", nullptr), kEntityNdata, notation));
  notation->Release();
  QsHandle doc = Register(b);
  struct {
    const char* name;
    int type;
    const char* text;
  } cases[] = {{"ver", 1, "3.0"}, {"pi", 2, "<?stop>"}, {"chap", 9, nullptr}, {"fig", 13, nullptr}};
  for (const auto& c : cases) {
    QsHandle e = QsGetDocEntity(doc, c.name);
    ASSERT_NE(e, 0u) << c.name;
    EXPECT_STREQ(QsGetEntityValueA(e), c.name);
    EXPECT_EQ(QsGetEntityValueB(e), c.type) << c.name;
    const char* text = QsGetEntityValueC(e);
    EXPECT_EQ(text ? std::string(text) : "(null)", c.text ? c.text : "(null)") << c.name;
    EXPECT_EQ(QsReleaseHandle(e), 0u);
  }
  QsHandle fig = QsGetDocEntity(doc, "fig");
  QsHandle gif = QsGetEntityNotation(fig);
  EXPECT_STREQ(QsGetNotationName(gif), "GIF");
  EXPECT_EQ(QsGetDocEntity(doc, "missing"), 0u);

  struct Seen {
    std::vector<std::string> names;
    int stopAt;
  } seen{{}, 3};
  auto proc = [](QsHandle h, QsWord data) -> std::intptr_t {
    auto* s = reinterpret_cast<Seen*>(data);
    s->names.push_back(QsGetEntityValueA(h));
    return static_cast<int>(s->names.size()) == s->stopAt ? 42 : 0;
  };
  std::uint32_t before = static_cast<std::uint32_t>(Handles()->Count());
  EXPECT_EQ(QsEnumDocEntityHandles(doc, proc, reinterpret_cast<QsWord>(&seen)), 42);
  EXPECT_EQ(seen.names.size(), 3u);
  seen = {{}, 0};
  EXPECT_EQ(QsEnumDocEntityHandles(doc, proc, reinterpret_cast<QsWord>(&seen)), 0);
  EXPECT_EQ(seen.names.size(), 4u);
  EXPECT_EQ(Handles()->Count(), before);  // every handle made for a call went
}

// A host's entity names its data as the engine's catalog says: a public
// identifier or the entity's name maps to the catalog's file; a system
// identifier alone is a file as given.
TEST(CreatedEntities, AreResolvedThroughTheEnginesCatalog) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "qs-created-entities";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "catalog") << "PUBLIC \"-//Test//NOTATION Figure//EN\" by-public.gif\n"
                                    "ENTITY named by-name.gif\n";
  test::RecordingSink sink;
  ASSERT_NE(QsInitialize(0, "test", (dir / "catalog").string().c_str(), nullptr, nullptr, nullptr,
                         nullptr),
            0);
  struct {
    const char *name, *systemId, *publicId, *file;
  } cases[] = {
      {"fig", nullptr, "-//Test//NOTATION Figure//EN", "by-public.gif"},
      {"named", nullptr, nullptr, "by-name.gif"},
      {"plain", "plain.gif", nullptr, "plain.gif"},
  };
  for (const auto& c : cases) {
    QsHandle entity = QsCreateEntity(c.name, c.systemId, c.publicId, 0, nullptr, nullptr);
    ASSERT_NE(entity, 0u) << c.name;
    char path[1024] = "";
    ASSERT_NE(QsGetFileName(entity, path, sizeof path), nullptr) << c.name;
    EXPECT_EQ(std::filesystem::path(path).filename().string(), c.file) << c.name;
    if (c.systemId == nullptr)
      EXPECT_EQ(std::filesystem::path(path).parent_path(), dir) << c.name;
    EXPECT_EQ(QsReleaseHandle(entity), 0u);
  }
  QsTerminate();
  std::filesystem::remove_all(dir);
}

// Every kind of entity a document type declares, with its type code and
// replacement text, and the data attributes an external data entity
// specifies over its notation's defaults.
TEST_F(NodeExports, DeclaredEntitiesAndTheirDataAttributes) {
  const char kDoc[] =
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!NOTATION gif SYSTEM \"gv\">"
      "<!ATTLIST #NOTATION gif width CDATA #IMPLIED height NUMBER \"20\">"
      "<!ENTITY t \"text\"><!ENTITY p PI \"pi\"><!ENTITY st STARTTAG \"b\">"
      "<!ENTITY et ENDTAG \"b\"><!ENTITY ms MS \"x\"><!ENTITY md MD \"y\">"
      "<!ENTITY sd SDATA \"[x]\"><!ENTITY cd CDATA \"c\"><!ENTITY ext SYSTEM \"e.sgm\">"
      "<!ENTITY sub SYSTEM \"s.sgm\" SUBDOC><!ENTITY ecd SYSTEM \"c.txt\" CDATA gif>"
      "<!ENTITY esd SYSTEM \"s.txt\" SDATA gif>"
      "<!ENTITY fig SYSTEM \"f.gif\" NDATA gif [width=\"10\"]>]><d></d>";
  QsHandle doc = QsOpenDocumentText(kDoc, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_NE(doc, 0u);
  struct {
    const char* name;
    int type;
    const char* text;
  } cases[] = {
      {"t", 1, "text"},    {"p", 2, "<?pi>"},    {"st", 3, "<b>"},   {"et", 4, "</b>"},
      {"ms", 5, "<![x]]>"}, {"md", 6, "<!y>"},   {"sd", 7, "[x]"},   {"cd", 8, "c"},
      {"ext", 9, nullptr}, {"sub", 10, nullptr}, {"ecd", 11, nullptr}, {"esd", 12, nullptr},
      {"fig", 13, nullptr},
  };
  for (const auto& c : cases) {
    QsHandle e = QsGetDocEntity(doc, c.name);
    ASSERT_NE(e, 0u) << c.name;
    EXPECT_EQ(QsGetEntityValueB(e), c.type) << c.name;
    const char* text = QsGetEntityValueC(e);
    EXPECT_EQ(text ? std::string(text) : "(null)", c.text ? c.text : "(null)") << c.name;
    EXPECT_EQ(QsReleaseHandle(e), 0u);
  }
  QsHandle fig = QsGetDocEntity(doc, "fig");
  EXPECT_EQ(QsGetEntityAttrCount(fig), 2);
  EXPECT_STREQ(QsGetEntityAttrValue(fig, "WIDTH"), "10");
  EXPECT_STREQ(QsGetEntityAttrValue(fig, "height"), "20");
  EXPECT_STREQ(QsGetEntityAttrDefaultText(fig, "width"), "IMPLIED");
  EXPECT_EQ(QsGetEntityAttrDeclaredValue(fig, "height"), 13);
  QsHandle ext = QsGetDocEntity(doc, "ext");
  EXPECT_EQ(QsGetEntityAttrValue(ext, "width"), nullptr);  // no notation
  for (QsHandle h : {fig, ext, doc}) EXPECT_EQ(QsReleaseHandle(h), 0u);
}

TEST_F(NodeExports, DocumentMarksInTheirTwoLists) {
  DocBuilder b;
  b.Build("<P>stylex</P>");
  Document* d = b.Doc();
  auto* kept = new (d->Pool()) MarkupMark(7, 0, 5);
  d->firstKeptMarkup = kept;
  d->AppendMark(new (d->Pool()) MarkupMark(kMarkProcessingInstruction, 1, 4));
  d->AppendMark(new (d->Pool()) SimpleMark(kMarkRecordEnd, 5));
  QsHandle doc = Register(b);
  struct Seen {
    std::vector<std::string> items;
  } seen;
  auto proc = [](const void* record, QsWord data) -> std::intptr_t {
    auto* r = static_cast<const QsMarkRecord*>(record);
    reinterpret_cast<Seen*>(data)->items.push_back(std::string(r->text) + "@" +
                                                   std::to_string(r->start) + "+" +
                                                   std::to_string(r->length));
    return 0;
  };
  EXPECT_EQ(QsEnumDocumentMarks(doc, proc, reinterpret_cast<QsWord>(&seen)), 0);
  EXPECT_EQ(seen.items, (std::vector<std::string>{"style@0+0", "tyl@1+3"}));
}

// A live handle of another type is no handle to these exports: each gives
// its failure result, changes nothing and reports nothing.
TEST_F(NodeExports, HandlesOfAnotherTypeGiveTheirFailureResults) {
  DocBuilder b;
  b.Build("<P>x</P>");
  b.Doc()->AddEntity(new TextEntityDecl("ver", kEntityText, "3.0"));
  QsHandle doc = Register(b);
  QsHandle node = QsGetDocumentRoot(doc);
  QsHandle entity = QsGetDocEntity(doc, "ver");
  QsHandle notation = QsCreateNotation("GIF", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(node && entity && notation);
  for (QsHandle notNode : {doc, entity, notation}) {
    EXPECT_EQ(QsGetNodeDocument(notNode), 0u);
    EXPECT_EQ(QsGotoFirstChild(notNode), 0);
    EXPECT_EQ(QsGetElementName(notNode), nullptr);
    EXPECT_EQ(QsGetTextLength(notNode, 0), 0);
    EXPECT_EQ(QsCompareNodes(notNode, node), 7);
    EXPECT_EQ(QsCompareNodes(node, notNode), 7);
    QsShowElement(notNode);
  }
  for (QsHandle notDocument : {node, entity, notation}) {
    EXPECT_EQ(QsGetDocumentRoot(notDocument), 0u);
    EXPECT_EQ(QsGetElementById(notDocument, "X"), 0u);
    EXPECT_EQ(QsGetDocEntity(notDocument, "ver"), 0u);
    EXPECT_EQ(QsGetDtdEntity(notDocument, "ver"), 0u);
  }
  for (QsHandle notEntity : {doc, node, notation}) {
    EXPECT_EQ(QsGetEntityValueA(notEntity), nullptr);
    EXPECT_EQ(QsGetEntityValueB(notEntity), 0);
    EXPECT_EQ(QsGetEntityNotation(notEntity), 0u);
    EXPECT_EQ(QsGetEntityAttrCount(notEntity), 0);
  }
  for (QsHandle notNotation : {doc, node, entity}) {
    EXPECT_EQ(QsGetNotationName(notNotation), nullptr);
    EXPECT_EQ(QsGetNotationAttrCount(notNotation), 0);
    EXPECT_EQ(QsCreateEntity("fig", "f.gif", nullptr, notNotation, nullptr, nullptr), 0u);
  }
  EXPECT_STREQ(QsGetElementName(node), "P");
  EXPECT_EQ(Handles()->Count(), 4u);
  for (QsHandle h : {node, entity, notation, doc}) EXPECT_EQ(QsReleaseHandle(h), 0u);
  EXPECT_TRUE(sink_.messages().empty());
}

// Pointers in and out: a handle from a pointer, the pointer of a handle's
// place (its position form in a gap), and a handle moved along a pointer
// from its own element.
TEST_F(NodeExports, PointersAndNodeLocations) {
  DocBuilder b;
  b.Declare("S", "ID", kDeclaredId, kDefaultImplied);
  b.Build("<R>ab<S ID=S1><T>t</T>m<U>u</U></S><P>z</P></R>");
  QsHandle doc = Register(b);
  QsHandle t = QsGetElementByPointer(doc, "ID(s1) CHILD (1)");
  ASSERT_NE(t, 0u);
  EXPECT_EQ(Name(t), "T");
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(QsGetNodeLocation(t, buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "ID(S1) CHILD (1)");
  // Cut to the size and always terminated; size 1 gives the terminator.
  EXPECT_STREQ(QsGetNodeLocation(t, buffer, 4), "ID(");
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_STREQ(QsGetNodeLocation(t, buffer, 1), "");
  EXPECT_EQ(buffer[1], 'x');
  EXPECT_EQ(QsGetNodeLocation(t, nullptr, 10), nullptr);

  // From T's own element: the next place is the gap "m", which writes the
  // position form.
  EXPECT_EQ(QsGotoLocation(t, "HERE NEXT (1)"), 1);
  EXPECT_EQ(Name(t), "#PNODE");
  EXPECT_STREQ(QsGetNodeLocation(t, buffer, sizeof buffer), "ID(S1) CHILD (2)");
  // A pointer that does not resolve leaves the handle where it was.
  EXPECT_EQ(QsGotoLocation(t, "ROOT CHILD (9)"), 0);
  EXPECT_EQ(QsGotoLocation(t, "HERE"), 0);  // a gap is no element
  EXPECT_STREQ(QsGetNodeLocation(t, buffer, sizeof buffer), "ID(S1) CHILD (2)");
  EXPECT_EQ(QsGotoLocation(t, "ROOT CHILD (3)"), 1);
  EXPECT_EQ(Name(t), "P");
  EXPECT_STREQ(QsGetNodeLocation(t, buffer, sizeof buffer), "ROOT CHILD (3)");

  EXPECT_EQ(QsGetElementByPointer(doc, "ID(nosuch)"), 0u);
  EXPECT_EQ(QsGetElementByPointer(doc, nullptr), 0u);
  EXPECT_TRUE(sink_.messages().empty());
  // A syntax error is told the user once.
  EXPECT_EQ(QsGetElementByPointer(doc, "ID nosuch"), 0u);
  ASSERT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(sink_.messages()[0].text, "Syntax error");
  QsHandle root = QsGetElementByPointer(doc, "");
  EXPECT_EQ(Name(root), "R");
  // A location string resolves from the handle's element, which stays.
  EXPECT_EQ(QsParseLocation(root, "TREE(1 2) DATA(1)"), 1u);
  EXPECT_EQ(QsParseLocation(root, "BADREF S1"), 0u);
  EXPECT_EQ(QsParseLocation(root, nullptr), 0u);
  EXPECT_EQ(Name(root), "R");
  for (QsHandle h : {t, root}) QsReleaseHandle(h);
}

TEST_F(NodeExports, BadHandlesGiveTheirFailureResults) {
  for (QsHandle bad : {0u, 1u, 999u}) {
    EXPECT_EQ(QsGetDocumentRoot(bad), 0u);
    EXPECT_EQ(QsGotoParent(bad), 0);
    EXPECT_EQ(QsDupNode(bad), 0u);
    EXPECT_EQ(QsGetElementName(bad), nullptr);
    EXPECT_EQ(QsGetNodeRange(bad, nullptr, nullptr), 0);
    EXPECT_EQ(QsGetNodeEntity(bad), 0u);
    EXPECT_EQ(QsGetElementByPointer(bad, "ROOT"), 0u);
    char buffer[8] = "x";
    EXPECT_EQ(QsGetNodeLocation(bad, buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, "x");
    EXPECT_EQ(QsGotoLocation(bad, "ROOT"), 0);
    EXPECT_EQ(QsParseLocation(bad, ""), 0u);
    EXPECT_EQ(QsGetEntityValueB(bad), 0);
    EXPECT_EQ(QsGetNotationAttrCount(bad), 0);
    QsShowElement(bad);
  }
}

}  // namespace
}  // namespace qs
