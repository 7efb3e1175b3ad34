#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/arena.h"
#include "foundation/names.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "sgml/text_store.h"
#include "sgml/use_count.h"

namespace qs {
namespace {

ExternalId* MakeId(const char* name, const char* systemId, const char* publicId) {
  return new ExternalId(nullptr, nullptr, name, systemId, publicId, ExternalId::kGeneralEntity);
}

// A document with a Dtd for its types, trees built in code.
struct Fixture {
  Dtd* dtd = new Dtd;
  Document* doc = new Document;
  ~Fixture() {
    doc->Release();
    dtd->Release();
  }
  ElementNode* Element(const char* type, std::uint32_t start, std::uint32_t end,
                       DocumentNode* parent = nullptr) {
    ElementTypeDecl* decl = dtd->FindOrDeclareElementType(type);
    auto* node = new (doc->Pool()) ElementNode(decl, start, end, nullptr, nullptr);
    doc->NoteTypeUse(decl);
    if (parent)
      parent->AppendChild(node);
    else
      doc->SetRoot(node);
    return node;
  }
  void Text(const char* text) { ASSERT_TRUE(doc->AppendText(text, std::strlen(text))); }
};

TEST(DocumentTree, ElementAtPositionAndRange) {
  Fixture f;
  ElementNode* root = f.Element("ROOT", 0, 10);
  ElementNode* first = f.Element("A", 2, 4, root);
  ElementNode* second = f.Element("B", 6, 8, root);
  struct {
    std::uint32_t offset;
    DocumentNode* want;
  } points[] = {{0, root}, {2, first}, {3, first}, {4, root}, {5, root},
                {6, second}, {7, second}, {8, root}, {9, root}, {10, nullptr}, {99, nullptr}};
  for (const auto& c : points)
    EXPECT_EQ(f.doc->ElementAtPosition(c.offset), c.want) << "offset " << c.offset;

  struct {
    std::uint32_t from, to;
    DocumentNode* want;
  } ranges[] = {{2, 4, first}, {3, 3, first}, {2, 5, root}, {3, 7, root},
                {6, 8, second}, {0, 10, root}, {9, 10, root}, {10, 10, nullptr}, {5, 11, nullptr}};
  for (const auto& c : ranges)
    EXPECT_EQ(f.doc->ElementAtRange(c.from, c.to), c.want) << c.from << "-" << c.to;
}

TEST(DocumentTree, HoldsItsDtdAndNotations) {
  Fixture f;
  f.dtd->AddNotation(new NotationDecl("GIF"));
  f.doc->SetDtd(f.dtd);
  EXPECT_EQ(f.dtd->UseCount(), 2);
  ASSERT_NE(f.doc->GetDtd()->FirstNotation(), nullptr);
  f.doc->GetDtd()->FirstNotation()->handler = 42;
  EXPECT_EQ(f.dtd->FindNotation("GIF")->handler, 42);
}

TEST(DocumentTree, EmptyDocumentHasNoElements) {
  Document* doc = new Document;
  EXPECT_EQ(doc->ElementAtPosition(0), nullptr);
  EXPECT_EQ(doc->ElementAtRange(0, 0), nullptr);
  char buf[4];
  EXPECT_EQ(doc->ExtractText(buf, 0, 3), 0u);
  EXPECT_STREQ(buf, "");
  doc->SetTitleExcerpt("TITLE");
  EXPECT_EQ(doc->TitleExcerpt(), nullptr);
  doc->Release();
}

TEST(DocumentTree, ExtractTextAppliesMarks) {
  Fixture f;
  f.Text("ab\x01" "cd<?pi>ef&ghXij");
  // A record end at 2, a processing instruction [5,10) with a record end
  // inside it at 7, an entity reference at 12, a tab mark at 15.
  f.doc->AppendMark(new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 2));
  f.doc->AppendMark(new (f.doc->Pool()) MarkupMark(kMarkProcessingInstruction, 5, 10));
  f.doc->AppendMark(new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 7));
  f.doc->AppendMark(new (f.doc->Pool()) EntityRefMark(12, nullptr));
  f.doc->AppendMark(new (f.doc->Pool()) SimpleMark(kMarkTab, 15));
  struct {
    std::uint32_t from, to;
    const char* want;
  } cases[] = {
      {0, 18, "ab\ncdefgh\tij"},
      {0, 5, "ab\ncd"},
      {6, 12, "ef"},   // starts inside the processing instruction
      {10, 13, "ef"},  // ends after the entity reference
      {2, 3, "\n"},
      {13, 99, "gh\tij"},  // clipped to the text
      {7, 7, ""},
      {12, 13, ""},
  };
  for (const auto& c : cases) {
    std::vector<char> buf(c.to - c.from + 2, 'Z');
    std::size_t n = f.doc->ExtractText(buf.data(), c.from, c.to);
    EXPECT_EQ(std::string(buf.data()), c.want) << c.from << "-" << c.to;
    EXPECT_EQ(n, std::strlen(c.want));
  }
}

TEST(DocumentTree, ExtractTextStaysInsideItsBufferWithMarksOutOfOrder) {
  Fixture f;
  f.Text("abcdefgh");
  // Marks not in offset order, one ending before it starts.
  f.doc->AppendMark(new (f.doc->Pool()) MarkupMark(kMarkProcessingInstruction, 3, 1));
  f.doc->AppendMark(new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 2));
  f.doc->AppendMark(new (f.doc->Pool()) SimpleMark(kMarkTab, 0));
  f.doc->AppendMark(new (f.doc->Pool()) MarkupMark(kMarkProcessingInstruction, 4, 6));
  f.doc->AppendMark(new (f.doc->Pool()) EntityRefMark(5, nullptr));
  for (std::uint32_t from = 0; from < 8; ++from) {
    for (std::uint32_t to = from; to <= 9; ++to) {
      std::vector<char> buf(to - from + 1 + 8, '#');
      std::size_t n = f.doc->ExtractText(buf.data(), from, to);
      EXPECT_LE(n, to - from);
      EXPECT_EQ(buf[n], '\0');
      for (std::size_t i = to - from + 1; i < buf.size(); ++i) ASSERT_EQ(buf[i], '#');
    }
  }
}

TEST(DocumentTree, MarkAtFindsTheCoveringMark) {
  Fixture f;
  f.Text("0123456789");
  Mark* pi = new (f.doc->Pool()) MarkupMark(kMarkProcessingInstruction, 2, 6);
  Mark* lf = new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 7);
  f.doc->AppendMark(pi);
  f.doc->AppendMark(lf);
  EXPECT_EQ(f.doc->MarkAt(1), nullptr);
  EXPECT_EQ(f.doc->MarkAt(2), pi);
  EXPECT_EQ(f.doc->MarkAt(5), pi);
  EXPECT_EQ(f.doc->MarkAt(6), nullptr);
  EXPECT_EQ(f.doc->MarkAt(7), lf);
  EXPECT_EQ(pi->Kind(), kMarkProcessingInstruction);
  EXPECT_EQ(pi->packed, (6u << 24) | 2u);
  EXPECT_TRUE(f.doc->RemoveMark(pi));
  EXPECT_FALSE(f.doc->RemoveMark(pi));
  EXPECT_EQ(f.doc->FirstMark(), lf);
  EXPECT_EQ(f.doc->MarkAt(3), nullptr);
}

TEST(DocumentTree, AnchorIndexKeepsPositionOrderAndTakesMarksOut) {
  Fixture f;
  Mark* marks[4] = {new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 30),
                    new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 10),
                    new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 20),
                    new (f.doc->Pool()) SimpleMark(kMarkRecordEnd, 20)};
  for (Mark* m : marks) EXPECT_TRUE(f.doc->Anchors().Add(m));
  EXPECT_FALSE(f.doc->Anchors().Add(marks[0]));
  EXPECT_EQ(f.doc->Anchors().FindAtLeast(0), marks[1]);
  EXPECT_EQ(f.doc->Anchors().FindAtLeast(11)->Start(), 20u);
  EXPECT_TRUE(f.doc->Anchors().Remove(marks[2]));
  EXPECT_TRUE(f.doc->Anchors().Remove(marks[3]));
  EXPECT_FALSE(f.doc->Anchors().Remove(marks[3]));
  EXPECT_EQ(f.doc->Anchors().FindAtLeast(11), marks[0]);
  EXPECT_EQ(f.doc->Anchors().FindAtLeast(31), nullptr);
}

TEST(DocumentTree, TitleExcerptFollowsThePath) {
  Fixture f;
  // DOC > TITLE "Outer", BOOK > (CHAP > TITLE "Chapter title"), TITLE (long)
  const std::string longTitle = "The book title that runs on well past forty bytes of text";
  f.Text(("OuterChapter title" + longTitle).c_str());
  const std::uint32_t end = 18 + std::uint32_t(longTitle.size());
  const std::string cut = longTitle.substr(0, 40);
  ElementNode* root = f.Element("DOC", 0, end);
  f.Element("TITLE", 0, 5, root);
  ElementNode* book = f.Element("BOOK", 5, end, root);
  ElementNode* chap = f.Element("CHAP", 5, 18, book);
  f.Element("TITLE", 5, 18, chap);
  f.Element("TITLE", 18, end, book);
  struct {
    const char* path;
    const char* want;
  } cases[] = {
      {"TITLE", "Outer"},
      {"BOOK,TITLE", cut.c_str()},
      {"book,title", cut.c_str()},
      {"CHAP,TITLE", "Chapter title"},
      {"DOC,BOOK,CHAP,TITLE", "Chapter title"},
      {"BOOK,NONE", nullptr},
      {"DOC,CHAP,TITLE", nullptr},
  };
  for (const auto& c : cases) {
    f.doc->SetTitleExcerpt(c.path);
    if (c.want)
      EXPECT_STREQ(f.doc->TitleExcerpt(), c.want) << c.path;
    else
      EXPECT_EQ(f.doc->TitleExcerpt(), nullptr) << c.path;
  }
  f.doc->SetTitleExcerpt(nullptr);
  EXPECT_EQ(f.doc->TitleExcerpt(), nullptr);
}

TEST(DocumentTree, TitleExcerptNeverCutsACharacter) {
  // 38 ASCII bytes, then a 3-byte character across the 40-byte line.
  std::string text(38, 'x');
  text += "\xE2\x82\xAC" "tail";
  for (bool multibyteAtEnd : {true, false}) {
    Fixture f;
    std::string t = multibyteAtEnd ? text : std::string(39, 'y') + "\xC3\xA9" "z";
    f.Text(t.c_str());
    f.Element("TITLE", 0, std::uint32_t(t.size()));
    f.doc->SetTitleExcerpt("TITLE");
    ASSERT_NE(f.doc->TitleExcerpt(), nullptr);
    std::string got = f.doc->TitleExcerpt();
    EXPECT_LE(got.size(), 40u);
    EXPECT_EQ(got, multibyteAtEnd ? std::string(38, 'x') : std::string(39, 'y'));
  }
}

// Records the calls of a walk as a string.
class Recorder : public TreeVisitor {
 public:
  int VisitElement(DocumentNode* e) override {
    log += "<" + std::string(e->GetNameText());
    if (skip == e->GetNameText()) {
      log += "!";
      return 1;
    }
    log += ">";
    return 0;
  }
  int VisitData(DocumentNode* e, std::uint32_t from, std::uint32_t to) override {
    log += e->GetNameText() + std::string("[") + std::to_string(from) + "," + std::to_string(to) +
           ")";
    return stopAt == from ? 1 : 0;
  }
  void LeaveElement(DocumentNode* e) override { log += "</" + std::string(e->GetNameText()) + ">"; }
  std::string log;
  std::string skip;
  std::uint32_t stopAt = 9999;
};

TEST(TreeVisitor, CallSequences) {
  Fixture f;
  // R[0,20) > A[2,8) > B[3,5), C[5,5) (empty), D[8,12) touching A, E[15,15)
  ElementNode* r = f.Element("R", 0, 20);
  ElementNode* a = f.Element("A", 2, 8, r);
  f.Element("B", 3, 5, a);
  f.Element("C", 5, 5, a);
  f.Element("D", 8, 12, r);
  f.Element("E", 15, 15, r);
  struct {
    const char* skip;
    std::uint32_t stopAt;
    const char* want;
  } cases[] = {
      {"", 9999,
       "<R>R[0,2)<A>A[2,3)<B>B[3,5)</B><C></C>A[5,8)</A><D>D[8,12)</D>R[12,15)<E></E>R[15,20)</R>"},
      {"A", 9999, "<R>R[0,2)<A!</A><D>D[8,12)</D>R[12,15)<E></E>R[15,20)</R>"},
      // A stop before the first child ends the element there.
      {"", 0, "<R>R[0,2)</R>"},
      // A stop between children ends the child list.
      {"", 12, "<R>R[0,2)<A>A[2,3)<B>B[3,5)</B><C></C>A[5,8)</A><D>D[8,12)</D>R[12,15)</R>"},
  };
  for (const auto& c : cases) {
    Recorder rec;
    rec.skip = c.skip;
    rec.stopAt = c.stopAt;
    rec.Run(r);
    EXPECT_EQ(rec.log, c.want) << "skip " << c.skip << " stop " << c.stopAt;
  }
  Recorder sub;
  sub.Run(a);
  EXPECT_EQ(sub.log, "<A>A[2,3)<B>B[3,5)</B><C></C>A[5,8)</A>");
  Recorder none;
  none.Run(nullptr);
  EXPECT_EQ(none.log, "");
}

TEST(TreeVisitor, DeletesItselfWhenAsked) {
  Fixture f;
  ElementNode* r = f.Element("R", 0, 1);
  struct Counting : TreeVisitor {
    explicit Counting(int* gone) : TreeVisitor(true), gone(gone) {}
    ~Counting() override { ++*gone; }
    int* gone;
  };
  int gone = 0;
  (new Counting(&gone))->Run(r);
  EXPECT_EQ(gone, 1);
}

TEST(DocumentTree, DeepTreesNeedNoDeepStack) {
  Fixture f;
  constexpr std::uint32_t kDepth = 200000;
  DocumentNode* parent = f.Element("N", 0, 2 * kDepth);
  for (std::uint32_t i = 1; i < kDepth; ++i) parent = f.Element("N", i, 2 * kDepth - i, parent);
  EXPECT_EQ(f.doc->ElementAtPosition(kDepth), parent);
  struct Counter : TreeVisitor {
    int VisitElement(DocumentNode*) override { return ++n, 0; }
    std::uint32_t n = 0;
  } counter;
  counter.Run(f.doc->Root());
  EXPECT_EQ(counter.n, kDepth);
  EXPECT_EQ(f.doc->FindDescendant(f.doc->Root(), "X", nullptr), nullptr);
  Document* target = new Document;
  DocumentNode* copy = f.doc->Root()->CloneInto(*target, 0);
  target->SetRoot(copy);
  EXPECT_EQ(target->ElementAtPosition(kDepth)->start, kDepth - 1);
  target->Release();
}

// A tree goes whole, leaf by leaf: whatever its shape, every node gives
// back the uses it holds exactly once. A node the walk missed would keep
// its type and entity alive (a leak under LeakSanitizer), one met twice
// would give back a use it no longer holds.
TEST(DocumentTree, TeardownGivesBackEveryNodesUsesOnce) {
  struct Shape {
    const char* name;
    std::uint32_t nodes;
    unsigned deeper, up;  // per 8: a new node goes below the last one, or the walk climbs
    std::uint32_t rootSiblings;
  } shapes[] = {{"one node", 1, 0, 0, 0},
                {"a chain", 5000, 8, 0, 0},
                {"a wide root", 5000, 0, 0, 0},
                {"a root with siblings", 300, 3, 2, 3},
                {"a large mixed tree", 150000, 3, 2, 0},
                {"mostly deep", 60000, 6, 1, 2}};
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    Fixture f;
    ElementTypeDecl* decl = f.dtd->FindOrDeclareElementType("N");
    auto* entity = new ExternalEntityDecl("pic", MakeId("pic", "a.gif", nullptr), kEntityNdata,
                                          nullptr);
    const std::uint32_t declUses = decl->UseCount();
    std::uint32_t seed = 12345, entityNodes = 0, made = 0;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    auto make = [&](std::uint32_t i) -> DocumentNode* {
      ++made;
      // Entity nodes (their own destructor) among plain elements; the
      // 16-bit count of the entity's uses limits how many.
      if (i % 7 == 3 && entityNodes < 20000) {
        ++entityNodes;
        return new (f.doc->Pool()) EntityNode(decl, 0, 0, entity);
      }
      return new (f.doc->Pool()) ElementNode(decl, 0, 0, nullptr, nullptr);
    };
    DocumentNode* root = make(0);
    f.doc->SetRoot(root);
    DocumentNode* parent = root;
    DocumentNode* last = nullptr;
    for (std::uint32_t i = 1; i < shape.nodes; ++i) {
      const unsigned roll = next() % 8;
      if (last && roll < shape.deeper) {
        parent = last;
      } else if (roll >= 8 - shape.up && parent != root) {
        parent = parent->Parent();
      }
      last = make(i);
      parent->AppendChild(last);
    }
    // Siblings after the root, each with a small subtree, go with it.
    for (std::uint32_t i = 0; i < shape.rootSiblings; ++i) {
      DocumentNode* sibling = make(1);
      root->InsertAfter(sibling);
      sibling->AppendChild(make(2));
      sibling->First()->AppendChild(make(3));
    }
    ASSERT_EQ(decl->UseCount(), declUses + made);
    ASSERT_EQ(entity->UseCount(), 1u + entityNodes);
    f.doc->SetRoot(nullptr);
    EXPECT_EQ(decl->UseCount(), declUses);
    EXPECT_EQ(entity->UseCount(), 1u);
    entity->Release();
  }
}

TEST(DocumentTree, FindDescendantWithQualifiers) {
  Fixture f;
  ElementNode* root = f.Element("DOC", 0, 30);
  ElementNode* sect = f.Element("SECT", 0, 10, root);
  ElementNode* para1 = f.Element("PARA", 0, 5, sect);
  ElementNode* list = f.Element("LIST", 10, 30, root);
  ElementNode* para2 = f.Element("PARA", 10, 20, list);
  struct {
    const char* name;
    const char* qualifier;
    bool fromSelf;
    DocumentNode* want;
  } cases[] = {
      {"PARA", nullptr, false, para1},  {"PARA", "LIST", false, para2},
      {"PARA", "LIST,DOC", false, para2}, {"PARA", "LIST,DOC,X", false, nullptr},
      {"PARA", "PARA,LIST", true, para2}, {"DOC", nullptr, false, root},
      {"DOC", "X", false, nullptr},     {"para", nullptr, false, nullptr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(f.doc->FindDescendant(root, c.name, c.qualifier, c.fromSelf), c.want)
        << c.name << " " << (c.qualifier ? c.qualifier : "-");
  EXPECT_TRUE(para2->MatchesContext("LIST,DOC"));
  EXPECT_TRUE(para2->MatchesContext(""));
  EXPECT_FALSE(root->MatchesContext("X"));
  EXPECT_TRUE(para1->MatchesContextFromSelf("PARA,SECT"));
}

TEST(DocumentText, LimitStopsAppendsInsteadOfWrappingOffsets) {
  Document* doc = new Document;
  std::vector<char> chunk(65536, 'a');
  for (int i = 0; i < 255; ++i) ASSERT_TRUE(doc->AppendText(chunk.data(), chunk.size()));
  EXPECT_EQ(doc->TextLength(), 255u * 65536u);
  // One more full chunk would pass 16,777,215 bytes: refused whole.
  EXPECT_FALSE(doc->AppendText(chunk.data(), chunk.size()));
  EXPECT_EQ(doc->TextLength(), 255u * 65536u);
  EXPECT_TRUE(doc->AppendText(chunk.data(), 65535));
  EXPECT_EQ(doc->TextLength(), kMaxDocumentText);
  EXPECT_FALSE(doc->AppendText("b", 1));
  EXPECT_EQ(doc->TextLength(), kMaxDocumentText);
  EXPECT_TRUE(doc->Text()->HasRoomFor(0));
  EXPECT_FALSE(doc->Text()->HasRoomFor(1));
  doc->Release();
}

TEST(DocumentIds, FindByIdAndCloneGivesNoIdElementsTheMarker) {
  Fixture f;
  f.Text("0123456789");
  ElementTypeDecl* item = f.dtd->FindOrDeclareElementType("ITEM");
  AttributeDecl* idDecl = f.dtd->AttributeDefs().Intern(InternName("ID"), kDeclaredId,
                                                        kDefaultImplied, kAttrIdKind, nullptr,
                                                        nullptr);
  ElementNode* root = f.Element("R", 0, 10);
  Attribute** values = f.doc->NewAttributeArray(1);
  InternedName* idText = InternName("x1");
  values[0] = f.doc->NewAttribute(idDecl, idText);
  ReleaseName(idText);
  auto* withId = new (f.doc->Pool()) ElementNode(item, 2, 4, values, values[0]->Value());
  root->AppendChild(withId);
  EXPECT_TRUE(f.doc->RegisterId(withId));
  f.Element("ITEM", 5, 6, root);
  EXPECT_EQ(f.doc->FindElementById("x1"), withId);
  EXPECT_EQ(f.doc->FindElementById("X1"), nullptr);
  EXPECT_EQ(f.doc->FindElementById("x"), nullptr);

  Document* target = new Document;
  DocumentNode* copy = root->CloneInto(*target, 100);
  target->SetRoot(copy);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->start, 100u);
  EXPECT_EQ(copy->end, 110u);
  DocumentNode* c1 = copy->First();
  ASSERT_NE(c1, nullptr);
  EXPECT_EQ(c1->start, 102u);
  EXPECT_STREQ(c1->GetId(), "x1");
  EXPECT_STREQ(c1->GetAttributeValue("id"), "x1");
  EXPECT_EQ(target->FindElementById("x1"), c1);
  EXPECT_STREQ(c1->Next()->GetId(), "@ID");
  EXPECT_EQ(target->FindElementById("@ID"), copy);  // the first copy without ID
  target->Release();
}

// Elements carrying the same attribute values share one record per value
// and one array per list of values; the document holds one use of each
// declaration and value until it goes, whatever the number of elements.
TEST(DocumentAttributes, EqualValuesAndListsAreMadeOnce) {
  Dtd* dtd = new Dtd;
  Document* doc = new Document;
  AttributeDecl* type = dtd->AttributeDefs().Intern(InternName("TYPE"), kDeclaredCdata,
                                                    kDefaultImplied, 0, nullptr, nullptr);
  AttributeDecl* lang = dtd->AttributeDefs().Intern(InternName("LANG"), kDeclaredCdata,
                                                    kDefaultImplied, 0, nullptr, nullptr);
  type->AddRef();  // kept beyond the document, to read its count after
  lang->AddRef();
  InternedName* ucs = InternName("ucs-shared-value");
  InternedName* jis = InternName("jis-shared-value");
  const std::uint16_t typeUses = type->UseCount();
  const std::uint16_t ucsUses = ucs->UseCount();

  Attribute* a = doc->NewAttribute(type, ucs);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(doc->NewAttribute(type, ucs), a);
  Attribute* b = doc->NewAttribute(type, jis);
  Attribute* c = doc->NewAttribute(lang, ucs);
  EXPECT_NE(b, a);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  EXPECT_STREQ(a->Value(), "ucs-shared-value");
  EXPECT_EQ(type->UseCount(), typeUses + 2);  // held by a and by b
  EXPECT_EQ(ucs->UseCount(), ucsUses + 2);  // held by a and by c

  // Thousands of lists, enough to make the tables grow several times.
  std::vector<Attribute**> arrays;
  for (int i = 0; i < 5000; ++i) {
    std::string text = "v" + std::to_string(i % 1000);
    InternedName* value = InternName(text.c_str());
    Attribute* list[3] = {a, doc->NewAttribute(lang, value), b};
    ReleaseName(value);
    arrays.push_back(doc->ShareAttributeArray(list, 3));
    ASSERT_NE(arrays.back(), nullptr);
    EXPECT_EQ(arrays.back()[0], a);
    EXPECT_EQ(arrays.back()[2], b);
    EXPECT_EQ(arrays.back()[3], nullptr);
  }
  for (int i = 1000; i < 5000; ++i) EXPECT_EQ(arrays[i], arrays[i % 1000]) << i;
  EXPECT_NE(arrays[0], arrays[1]);
  Attribute* one[1] = {a};
  Attribute* two[2] = {a, b};
  Attribute** shortList = doc->ShareAttributeArray(one, 1);
  ASSERT_NE(shortList, nullptr);
  EXPECT_EQ(shortList[1], nullptr);
  EXPECT_NE(doc->ShareAttributeArray(two, 2), shortList);
  EXPECT_EQ(doc->ShareAttributeArray(one, 1), shortList);
  EXPECT_EQ(type->UseCount(), typeUses + 2);  // held by a and by b

  doc->Release();
  EXPECT_EQ(type->UseCount(), typeUses);
  EXPECT_EQ(ucs->UseCount(), ucsUses);
  ReleaseName(ucs);
  ReleaseName(jis);
  type->Release();
  lang->Release();
  dtd->Release();
}

// A large document's items fill heap chunks and then bulk regions: every
// item comes zero-filled and 8-byte aligned, and none overlaps another, also
// where one region ends and the next begins or an item is larger than a
// region.
TEST(DocumentPoolItems, KeptApartAcrossBulkRegions) {
  struct Item {
    unsigned char* at;
    std::size_t size;
  };
  std::vector<Item> items;
  {
    DocumentPool pool;
    const std::size_t sizes[] = {8, 24, 56, 64, 200, 4000, 1, 72};
    std::size_t total = 0;
    for (std::size_t i = 0; total < 4 * kBulkRegionBytes + 3 * 1048576; ++i) {
      std::size_t size = sizes[i % (sizeof sizes / sizeof sizes[0])];
      if (i == 10000) size = kBulkRegionBytes + 100;  // larger than any region
      auto* at = static_cast<unsigned char*>(pool.Alloc(size));
      ASSERT_NE(at, nullptr);
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(at) % 8, 0u) << i;
      for (std::size_t k = 0; k < size; ++k) ASSERT_EQ(at[k], 0) << i;
      std::memset(at, int(i & 0xFF), size);
      items.push_back({at, size});
      total += size;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
      for (std::size_t k = 0; k < items[i].size; ++k) {
        ASSERT_EQ(items[i].at[k], i & 0xFF) << "item " << i << " byte " << k;
      }
    }
    std::vector<Item> sorted = items;
    std::sort(sorted.begin(), sorted.end(), [](const Item& a, const Item& b) { return a.at < b.at; });
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      ASSERT_LE(sorted[i - 1].at + sorted[i - 1].size, sorted[i].at);
    }
  }
  // Regions straight from the system: zero-filled, writable to the end,
  // each its own.
  void* a = AllocBulkRegion();
  void* b = AllocBulkRegion();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
  auto* pa = static_cast<unsigned char*>(a);
  auto* pb = static_cast<unsigned char*>(b);
  EXPECT_TRUE(pa + kBulkRegionBytes <= pb || pb + kBulkRegionBytes <= pa);
  EXPECT_EQ(pa[0] | pa[kBulkRegionBytes / 2] | pa[kBulkRegionBytes - 1], 0);
  std::memset(pa, 0xA5, kBulkRegionBytes);
  std::memset(pb, 0x5A, kBulkRegionBytes);
  EXPECT_EQ(pa[kBulkRegionBytes - 1], 0xA5);
  EXPECT_EQ(pb[0], 0x5A);
  FreeBulkRegion(a);
  FreeBulkRegion(b);
  FreeBulkRegion(nullptr);
}

// Bringing pages in changes no byte, inside the range or around it,
// whatever its alignment; an empty range or null does nothing.
TEST(DocumentPoolItems, BringingPagesInKeepsTheirContents) {
  constexpr std::size_t kBytes = 256 * 1024;
  auto* block = static_cast<unsigned char*>(MemAlloc(kBytes));
  ASSERT_NE(block, nullptr);
  for (std::size_t i = 0; i < kBytes; ++i) block[i] = static_cast<unsigned char>(i * 7 + 3);
  struct Range {
    std::size_t offset, bytes;
  } ranges[] = {{0, kBytes}, {1, 4094}, {4095, 8193}, {100, 0}, {65536, 65536}, {12345, 100000}};
  for (const Range& r : ranges) {
    SCOPED_TRACE(r.offset);
    BringInPages(block + r.offset, r.bytes);
    for (std::size_t i = 0; i < kBytes; ++i)
      ASSERT_EQ(block[i], static_cast<unsigned char>(i * 7 + 3)) << "byte " << i;
  }
  BringInPages(nullptr, 4096);
  MemFree(block);
}

TEST(UseCounts, SixteenBitCountsSaturate) {
  UseCount16 count;
  for (int i = 0; i < 70000; ++i) count.Add();
  EXPECT_EQ(count.Get(), UseCount16::kStuck);
  for (int i = 0; i < 70010; ++i) EXPECT_FALSE(count.Drop());
  EXPECT_EQ(count.Get(), UseCount16::kStuck);

  Document* doc = new Document;
  for (int i = 0; i < 70000; ++i) doc->AddRef();
  EXPECT_EQ(doc->UseCount(), 70001u);
  for (int i = 0; i < 70000; ++i) doc->Release();
  EXPECT_EQ(doc->UseCount(), 1u);
  doc->Release();

  ExternalId* id = MakeId("n", "s", nullptr);
  for (int i = 0; i < 70000; ++i) id->AddRef();
  EXPECT_EQ(id->UseCount(), 70001u);
  for (int i = 0; i < 70000; ++i) id->Release();
  id->Release();
}

TEST(DocumentGraphics, EntriesAreSharedBySystemIdentifier) {
  Fixture f;
  ElementTypeDecl* fig = f.dtd->FindOrDeclareElementType("FIG");
  ElementNode* root = f.Element("R", 0, 10);
  auto* g1 = new (f.doc->Pool()) GraphicElementNode(fig, 1, 2, nullptr, nullptr);
  auto* g2 = new (f.doc->Pool()) GraphicElementNode(fig, 3, 4, nullptr, nullptr);
  auto* g3 = new (f.doc->Pool()) GraphicElementNode(fig, 5, 6, nullptr, nullptr);
  root->AppendChild(g1);
  root->AppendChild(g2);
  root->AppendChild(g3);
  auto* e1 = new ExternalEntityDecl("pic1", MakeId("pic1", "a.gif", nullptr), kEntityNdata,
                                    nullptr);
  auto* e2 = new ExternalEntityDecl("pic2", MakeId("pic2", "a.gif", nullptr), kEntityNdata,
                                    nullptr);
  auto* e3 = new ExternalEntityDecl("pic3", MakeId("pic3", "b.gif", nullptr), kEntityNdata,
                                    nullptr);
  f.doc->AddGraphicReference(g1, e1);
  f.doc->AddGraphicReference(g2, e2);
  f.doc->AddGraphicReference(g3, e3);
  int entries = 0;
  for (auto* e = f.doc->FirstGraphic(); e; e = e->next) {
    ++entries;
    if (e->entity == e1) {
      EXPECT_EQ(e->first, g1);
      EXPECT_EQ(g1->nextOfEntity, g2);
    }
  }
  EXPECT_EQ(entries, 2);
  EXPECT_TRUE(g1->IsGraphic());
  e1->Release();
  e2->Release();
  e3->Release();
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

std::string AllText(Document& doc) {
  std::vector<char> buf(doc.TextLength() + 1);
  doc.Text()->CopyRange(buf.data(), 0, doc.TextLength(), false);
  return std::string(buf.data(), doc.TextLength());
}

std::string MarkList(Document& doc) {
  std::string out;
  for (Mark* m = doc.FirstMark(); m; m = m->next)
    out += std::to_string(m->Kind()) + "@" + std::to_string(m->Start()) + "-" +
           std::to_string(m->GetEnd()) + " ";
  return out;
}

TEST(PartMerge, SplicesTreeTextAndMarks) {
  Fixture target;
  target.Text("0123456789<!kept>");
  ElementNode* root = target.Element("R", 0, 10);
  ElementNode* a = target.Element("A", 2, 4, root);
  ElementNode* b = target.Element("B", 6, 8, root);
  target.doc->AppendMark(new (target.doc->Pool()) SimpleMark(kMarkRecordEnd, 1));
  target.doc->AppendMark(new (target.doc->Pool()) MarkupMark(kMarkProcessingInstruction, 7, 9));
  target.doc->AppendMark(new (target.doc->Pool()) MarkupMark(8, 10, 17));
  target.doc->firstKeptMarkup = target.doc->LastMark();

  Fixture part;
  part.Text("xyz");
  ElementNode* x = part.Element("X", 0, 3);
  part.Element("A", 1, 2, x);  // the same type as the target's A
  part.doc->AppendMark(new (part.doc->Pool()) SimpleMark(kMarkTab, 0));
  part.doc->AddEntity(new ExternalEntityDecl("fig", MakeId("fig", "f.gif", nullptr), kEntityNdata,
                                             nullptr));
  part.doc->AddEntity(new TextEntityDecl("txt", kEntityText, "t"));

  ASSERT_TRUE(target.doc->MergePart(a, *part.doc));
  EXPECT_EQ(AllText(*target.doc), "0123xyz456789<!kept>");
  EXPECT_EQ(root->end, 13u);
  EXPECT_EQ(a->end, 7u);
  EXPECT_EQ(b->start, 9u);
  EXPECT_EQ(b->end, 11u);
  DocumentNode* clone = a->Last();
  ASSERT_NE(clone, nullptr);
  EXPECT_STREQ(clone->GetNameText(), "X");
  EXPECT_EQ(clone->start, 4u);
  EXPECT_EQ(target.doc->ElementAtPosition(5)->GetNameText(), std::string("A"));
  EXPECT_EQ(target.doc->ElementAtPosition(5)->Parent(), clone);
  EXPECT_EQ(target.doc->ElementAtPosition(9), b);
  // The part's A is this document's A; its X is a new type of the target.
  EXPECT_EQ(clone->First()->Decl(), a->Decl());
  EXPECT_EQ(target.doc->UsedTypeCount(), 4u);
  // The part's tab at 0 lands at 4; the processing instruction keeps its
  // extent, moved; the kept markup is copied after the text.
  EXPECT_EQ(MarkList(*target.doc), "1@1-2 2@4-5 6@10-12 8@13-20 ");
  EXPECT_EQ(target.doc->firstKeptMarkup, target.doc->LastMark());
  EXPECT_NE(target.doc->FindEntity("fig"), nullptr);
  EXPECT_EQ(target.doc->FindEntity("txt"), nullptr);
  char buf[32];
  target.doc->ExtractText(buf, 0, 13);
  EXPECT_STREQ(buf, "0\n23\tyz4569");
}

TEST(PartMerge, RefusedWhenTypesDifferOrTextWouldOverflow) {
  Fixture target;
  target.Text("0123456789");
  ElementNode* root = target.Element("R", 0, 10);
  AttributeDecl* mine = target.dtd->AttributeDefs().Intern(InternName("W"), kDeclaredNumber,
                                                           kDefaultValue, 0, nullptr, InternName("1"));
  NameGroup* g = NameGroup::New(&mine, 1);
  DtdNameGroupMerge(root->Decl()->Attributes(), g);
  g->Release();

  Fixture part;
  part.Text("p");
  ElementNode* proot = part.Element("R", 0, 1);
  AttributeDecl* theirs = part.dtd->AttributeDefs().Intern(InternName("W"), kDeclaredNumber,
                                                           kDefaultValue, 0, nullptr, InternName("2"));
  g = NameGroup::New(&theirs, 1);
  DtdNameGroupMerge(proot->Decl()->Attributes(), g);
  g->Release();

  EXPECT_FALSE(target.doc->MergePart(root, *target.doc));
  EXPECT_FALSE(target.doc->MergePart(root, *part.doc));
  EXPECT_EQ(AllText(*target.doc), "0123456789");
  EXPECT_EQ(root->end, 10u);
  EXPECT_EQ(root->First(), nullptr);

  // A document one byte short of the limit takes no part of two bytes.
  Fixture big;
  std::vector<char> chunk(1 << 20, 'a');
  for (int i = 0; i < 15; ++i) ASSERT_TRUE(big.doc->AppendText(chunk.data(), chunk.size()));
  ASSERT_TRUE(big.doc->AppendText(chunk.data(), chunk.size() - 2));
  ElementNode* bigRoot = big.Element("B", 0, big.doc->TextLength());
  Fixture two;
  two.Text("zz");
  two.Element("Z", 0, 2);
  EXPECT_FALSE(big.doc->MergePart(bigRoot, *two.doc));
  EXPECT_EQ(big.doc->TextLength(), kMaxDocumentText - 1);
  EXPECT_EQ(bigRoot->First(), nullptr);
}

}  // namespace
}  // namespace qs
