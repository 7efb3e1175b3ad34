#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sgml/attributes.h"
#include "sgml/content_model.h"
#include "sgml/derived_document.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"
#include "sgml/model_names.h"
#include "parser_support.h"

namespace qs {
namespace {

ExternalId* MakeId(const char* name, const char* systemId, const char* publicId) {
  return new ExternalId(nullptr, nullptr, name, systemId, publicId, ExternalId::kGeneralEntity);
}

AttributeDecl* Decl(Dtd& dtd, const char* name, std::uint8_t declared, std::uint8_t def,
                    std::uint8_t flags = 0, const char* defaultValue = nullptr) {
  return dtd.AttributeDefs().Intern(InternName(name), declared, def, flags, nullptr,
                                    InternName(defaultValue));
}

// Declares the attributes on the element type as one ATTLIST declaration.
void Attlist(ElementTypeDecl* type, std::vector<AttributeDecl*> decls) {
  NameGroup* group = NameGroup::New(decls.data(), std::uint16_t(decls.size()));
  DtdNameGroupMerge(type->Attributes(), group);
  group->Release();
}

std::vector<std::string> Texts(ListHead& list) {
  std::vector<std::string> out;
  for (ListNode* n = list.First(); n; n = n->Next())
    out.push_back(static_cast<StringItem*>(n)->Text());
  return out;
}

TEST(AttributeDecls, IdenticalDefinitionsShareOneDeclaration) {
  Dtd* dtd = new Dtd;
  ElementTypeDecl* a = dtd->FindOrDeclareElementType("A");
  ElementTypeDecl* b = dtd->FindOrDeclareElementType("B");
  AttributeDecl* forA = Decl(*dtd, "TYPE", kDeclaredCdata, kDefaultValue, 0, "x");
  AttributeDecl* forB = Decl(*dtd, "TYPE", kDeclaredCdata, kDefaultValue, 0, "x");
  EXPECT_EQ(forA, forB);
  Attlist(a, {forA});
  Attlist(b, {forB});
  EXPECT_EQ(a->Attributes().At(0), b->Attributes().At(0));
  EXPECT_EQ(dtd->AttributeDefs().FindRecord("TYPE")->Count(), 1u);

  struct {
    std::uint8_t declared, def, flags;
    const char* value;
  } differing[] = {{kDeclaredCdata, kDefaultValue, 0, "y"},
                   {kDeclaredName, kDefaultValue, 0, "x"},
                   {kDeclaredCdata, kDefaultImplied, 0, nullptr},
                   {kDeclaredCdata, kDefaultValue, kAttrTokenList, "x"}};
  for (const auto& c : differing)
    EXPECT_NE(Decl(*dtd, "TYPE", c.declared, c.def, c.flags, c.value), forA);
  EXPECT_EQ(dtd->AttributeDefs().FindRecord("TYPE")->Count(), 5u);

  // Token groups compare token by token.
  auto group = [](std::vector<const char*> tokens) {
    std::vector<InternedName*> names;
    for (const char* t : tokens) names.push_back(InternName(t));
    return TokenGroup::New(names.data(), std::uint16_t(names.size()));
  };
  AttributeDecl* g1 = dtd->AttributeDefs().Intern(InternName("SIZE"), kDeclaredTokenGroup,
                                                  kDefaultImplied, 0, group({"S", "M"}), nullptr);
  AttributeDecl* g2 = dtd->AttributeDefs().Intern(InternName("SIZE"), kDeclaredTokenGroup,
                                                  kDefaultImplied, 0, group({"S", "M"}), nullptr);
  AttributeDecl* g3 = dtd->AttributeDefs().Intern(InternName("SIZE"), kDeclaredTokenGroup,
                                                  kDefaultImplied, 0, group({"M", "S"}), nullptr);
  EXPECT_EQ(g1, g2);
  EXPECT_NE(g1, g3);
  Attlist(a, {g1});
  EXPECT_EQ(a->Attributes().FindByToken("m"), g1);
  EXPECT_EQ(a->Attributes().FindByKind(kDeclaredTokenGroup), g1);
  EXPECT_EQ(a->Attributes().FindByAtom(forA->Name()), forA);
  dtd->Release();
}

TEST(AttributeDecls, ListMergesAndTheHundredLimit) {
  Dtd* dtd = new Dtd;
  ElementTypeDecl* e = dtd->FindOrDeclareElementType("E");
  AttributeDecl* x = Decl(*dtd, "X", kDeclaredCdata, kDefaultImplied);
  AttributeDecl* y = Decl(*dtd, "Y", kDeclaredCdata, kDefaultImplied);
  AttributeDecl* z = Decl(*dtd, "Z", kDeclaredCdata, kDefaultImplied);
  Attlist(e, {x, y});
  NameGroup* first = e->Attributes().List(0);
  Attlist(e, {y, x});  // nothing new: list 1 stays the same object
  EXPECT_EQ(e->Attributes().List(0), first);
  Attlist(e, {y, z});
  ASSERT_EQ(e->Attributes().Count(), 3u);
  EXPECT_EQ(e->Attributes().At(2), z);

  // List 2: the group itself when it shares no name, else only new names.
  ElementTypeDecl* f = dtd->FindOrDeclareElementType("F");
  Attlist(f, {x});
  AttributeDecl* w = Decl(*dtd, "W", kDeclaredCdata, kDefaultImplied);
  AttributeDecl* both[] = {x, w};
  NameGroup* mixed = NameGroup::New(both, 2);
  DtdNameGroupSetSecond(f->Attributes(), mixed);
  ASSERT_NE(f->Attributes().List(1), nullptr);
  EXPECT_NE(f->Attributes().List(1), mixed);
  EXPECT_EQ(f->Attributes().List(1)->Count(), 1);
  EXPECT_EQ(f->Attributes().At(1), w);
  NameGroup* later = NameGroup::New(&z, 1);
  DtdNameGroupSetSecond(f->Attributes(), later);  // set only once
  EXPECT_EQ(f->Attributes().At(1), w);
  mixed->Release();
  later->Release();

  // Undeclared attributes stop at 100 declarations over the three lists.
  ElementTypeDecl* g = dtd->FindOrDeclareElementType("G");
  std::vector<AttributeDecl*> many;
  for (int i = 0; i < 99; ++i)
    many.push_back(Decl(*dtd, ("A" + std::to_string(i)).c_str(), kDeclaredCdata, kDefaultImplied));
  Attlist(g, many);
  AttributeDecl* extra = DtdAddUndeclaredAttribute(dtd->AttributeDefs(), g->Attributes(), "MORE");
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(extra->DeclaredValue(), kDeclaredCdata);
  EXPECT_EQ(extra->DefaultKind(), kDefaultImplied);
  EXPECT_EQ(g->Attributes().Count(), 100u);
  EXPECT_EQ(DtdAddUndeclaredAttribute(dtd->AttributeDefs(), g->Attributes(), "EVENMORE"), nullptr);
  EXPECT_EQ(g->Attributes().Count(), 100u);
  // A merge into a full list 1 adds nothing.
  ElementTypeDecl* h = dtd->FindOrDeclareElementType("H");
  many.push_back(x);
  Attlist(h, many);
  EXPECT_EQ(h->Attributes().Count(), 100u);
  Attlist(h, {w});
  EXPECT_EQ(h->Attributes().Find("W"), nullptr);
  EXPECT_EQ(h->Attributes().Count(), 100u);
  dtd->Release();
}

struct ElementFixture {
  Dtd* dtd = new Dtd;
  Document* doc = new Document;
  ~ElementFixture() {
    doc->Release();
    dtd->Release();
  }
  ElementNode* Element(ElementTypeDecl* type,
                       std::vector<std::pair<AttributeDecl*, const char*>> specified) {
    Attribute** values = doc->NewAttributeArray(specified.size());
    for (std::size_t i = 0; i < specified.size(); ++i) {
      InternedName* v = InternName(specified[i].second);
      values[i] = doc->NewAttribute(specified[i].first, v);
      ReleaseName(v);
    }
    auto* node = new (doc->Pool()) ElementNode(type, 0, 0, values, nullptr);
    doc->SetRoot(node);
    return node;
  }
};

TEST(AttributeValues, SpecifiedWinsOverDefaultIgnoringCase) {
  ElementFixture f;
  ElementTypeDecl* type = f.dtd->FindOrDeclareElementType("FIG");
  AttributeDecl* align = Decl(*f.dtd, "ALIGN", kDeclaredName, kDefaultValue, 0, "LEFT");
  AttributeDecl* width = Decl(*f.dtd, "WIDTH", kDeclaredNumber, kDefaultValue, 0, "10");
  AttributeDecl* note = Decl(*f.dtd, "NOTE", kDeclaredCdata, kDefaultImplied);
  AttributeDecl* form = Decl(*f.dtd, "FORMAT", kDeclaredNotation, kDefaultValue, 0, "GIF");
  Attlist(type, {align, width, note, form});
  ElementNode* e = f.Element(type, {{align, "RIGHT"}});
  struct {
    const char* name;
    const char* want;
  } cases[] = {{"ALIGN", "RIGHT"}, {"align", "RIGHT"}, {"Width", "10"},
               {"NOTE", nullptr},  {"NONE", nullptr},   {"FORMAT", "GIF"}};
  for (const auto& c : cases) {
    const char* got = e->GetAttributeValue(c.name);
    if (c.want)
      EXPECT_STREQ(got, c.want) << c.name;
    else
      EXPECT_EQ(got, nullptr) << c.name;
  }
  EXPECT_EQ(GetAttributeValue("WIDTH", e->GetAttributeValues(), nullptr), nullptr);
  EXPECT_STREQ(e->GetHytimeForm(), "FIG");
  EXPECT_STREQ(e->GetNotationValue(), "GIF");
  EXPECT_EQ(e->FindAttributeDecl("note"), note);

  AttributeDecl* hytime = Decl(*f.dtd, "HYTIME", kDeclaredName, kDefaultImplied);
  Attlist(type, {hytime});
  ElementNode* h = f.Element(type, {{hytime, "clink"}, {form, "PNG"}});
  EXPECT_STREQ(h->GetHytimeForm(), "clink");
  EXPECT_STREQ(h->GetNotationValue(), "PNG");
}

TEST(AttributeValues, CollectIdRefs) {
  ElementFixture f;
  ElementTypeDecl* type = f.dtd->FindOrDeclareElementType("XREF");
  AttributeDecl* refs = Decl(*f.dtd, "REFS", kDeclaredIdrefs, kDefaultImplied,
                             kAttrIdRefKind | kAttrTokenList);
  AttributeDecl* one = Decl(*f.dtd, "REF", kDeclaredIdref, kDefaultValue, kAttrIdRefKind, "dflt");
  AttributeDecl* exempt = Decl(*f.dtd, "SKIP", kDeclaredIdref, kDefaultImplied,
                               kAttrIdRefKind | kAttrNoIdRef);
  AttributeDecl* other = Decl(*f.dtd, "LINKEND", kDeclaredIdref, kDefaultValue, kAttrIdRefKind,
                              "home");
  Attlist(type, {refs, one, exempt, other});

  struct {
    std::vector<std::pair<AttributeDecl*, const char*>> specified;
    std::vector<std::string> want;
  } cases[] = {
      // Two adjacent blanks give an empty piece; an empty last piece is dropped.
      {{{refs, "a  b "}}, {"a", "", "b", "home", "dflt"}},
      {{{refs, "x"}, {one, "y"}}, {"x", "y", "home"}},
      {{{exempt, "z"}, {other, "q r"}}, {"q r", "dflt"}},
      {{}, {"home", "dflt"}},
  };
  for (const auto& c : cases) {
    ElementNode* e = f.Element(type, c.specified);
    ListHead result;
    e->CollectIdRefs(result);
    EXPECT_EQ(Texts(result), c.want);
  }
}

TEST(Entities, DefaultRuleMakesOneCopyAndKeepsStoredText) {
  EntityTable table;
  EXPECT_EQ(table.FindOrDefault("undefined"), nullptr);
  ASSERT_TRUE(table.Add(new TextEntityDecl("#DEFAULT", kEntityPi, "x")));
  EXPECT_STREQ(table.Find("#DEFAULT")->GetText(), "<?x>");
  EntityDecl* first = table.FindOrDefault("undefined");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->GetName(), "undefined");
  EXPECT_EQ(first->GetType(), kEntityPi);
  EXPECT_STREQ(first->GetText(), "<?x>");
  EXPECT_EQ(table.FindOrDefault("undefined"), first);
  EXPECT_EQ(table.Find("undefined"), first);

  struct {
    std::uint8_t type;
    const char* text;
    const char* stored;
  } renders[] = {{kEntityPi, "p", "<?p>"},       {kEntityStartTag, "b", "<b>"},
                 {kEntityEndTag, "b", "</b>"},    {kEntityMs, "x", "<![x]]>"},
                 {kEntityMd, "d", "<!d>"},        {kEntityText, "t", "t"},
                 {kEntitySdata, "[s]", "[s]"}};
  for (const auto& c : renders) {
    auto* entity = new TextEntityDecl("e", c.type, c.text);
    EXPECT_STREQ(entity->GetText(), c.stored);
    EntityDecl* clone = entity->Clone();
    EXPECT_STREQ(clone->GetText(), c.stored);
    EXPECT_EQ(clone->GetType(), c.type);
    clone->Release();
    entity->Release();
  }

  // A duplicate name keeps the entity already there.
  EXPECT_FALSE(table.Add(new TextEntityDecl("undefined", kEntityText, "other")));
  EXPECT_EQ(table.Find("undefined"), first);
}

TEST(Entities, ExternalDefaultCopiesIdentifiersAndNotation) {
  EntityTable table;
  auto* notation = new NotationDecl("GIF");
  auto* fallback = new ExternalEntityDecl("#DEFAULT", MakeId(nullptr, "missing.gif", nullptr),
                                          kEntityNdata, notation);
  table.Add(fallback);
  EntityDecl* copy = table.FindOrDefault("pic");
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsExternal());
  EXPECT_STREQ(copy->GetExternalId()->SystemId(), "missing.gif");
  EXPECT_EQ(copy->GetNotation(), notation);
  EXPECT_EQ(notation->UseCount(), 3);
  EXPECT_EQ(table.FindOrDefault("pic"), copy);
  notation->Release();
}

TEST(Entities, Equality) {
  auto notation = [](const char* name, const char* pub, const char* sys) {
    auto* n = new NotationDecl(name);
    n->SetPublicId(pub);
    if (sys) n->SetSystemId(sys);
    return n;
  };
  NotationDecl* gifA = notation("GIF", "-//X//NOTATION GIF//EN", nullptr);
  NotationDecl* gifB = notation("GIF89", "-//x//notation  gif//en", nullptr);
  NotationDecl* tiff = notation("TIFF", nullptr, "tiff.exe");
  NotationDecl* tiff2 = notation("TIF", nullptr, "tiff.exe");
  NotationDecl* bare = notation("BARE", nullptr, nullptr);
  auto ext = [](const char* sys, NotationDecl* n) {
    return new ExternalEntityDecl("e", MakeId("e", sys, nullptr), kEntityNdata, n);
  };
  struct {
    EntityDecl* a;
    EntityDecl* b;
    bool equal;
  } cases[] = {
      {ext("a.gif", gifA), ext("a.gif", gifB), true},  // same public identifier
      {ext("a.gif", gifA), ext("b.gif", gifA), false},  // identifiers differ
      {ext("a.tif", tiff), ext("a.tif", tiff2), true},  // same system identifier
      {ext("a.tif", tiff), ext("a.tif", bare), false},  // names differ
      {ext("a.x", bare), ext("a.x", bare), true},
      {ext("a.x", bare), ext("a.x", nullptr), false},
      {ext("a.x", nullptr), ext("a.x", nullptr), true},
      {new TextEntityDecl("t", 0, "1"), new TextEntityDecl("u", 0, "2"), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EntityDecl::Equals(c.a, c.b), c.equal) << c.a->GetName();
    c.a->Release();
    c.b->Release();
  }
  for (NotationDecl* n : {gifA, gifB, tiff, tiff2, bare}) n->Release();
}

TEST(Entities, DataAttributes) {
  Dtd* dtd = new Dtd;
  auto* notation = new NotationDecl("CGM");
  AttributeDecl* scale = Decl(*dtd, "SCALE", kDeclaredNumber, kDefaultValue, 0, "100");
  AttributeDecl* mode = Decl(*dtd, "MODE", kDeclaredName, kDefaultImplied);
  AttributeDecl* decls[] = {scale, mode};
  NameGroup* group = NameGroup::New(decls, 2);
  DtdNameGroupMerge(notation->Attributes(), group);
  group->Release();
  EXPECT_EQ(notation->FindAttributeDecl("scale"), scale);

  auto* withNotation = new ExternalEntityDecl("pic", MakeId("pic", "p.cgm", nullptr),
                                              kEntityNdata, notation);
  auto* values = static_cast<Attribute**>(MemAlloc(2 * sizeof(Attribute*)));
  InternedName* gray = InternName("GRAY");
  values[0] = NewAttributeValue(mode, gray);
  values[1] = nullptr;
  ReleaseName(gray);
  DtdEntitySetDataAttrs(withNotation, values);
  EXPECT_STREQ(withNotation->GetDataAttribute("MODE"), "GRAY");
  EXPECT_STREQ(withNotation->GetDataAttribute("scale"), "100");

  auto* without = new ExternalEntityDecl("raw", MakeId("raw", "r.bin", nullptr),
                                         kEntityNdata, nullptr);
  EXPECT_EQ(without->GetDataAttribute("SCALE"), nullptr);

  // The mark of a reference answers through its entity.
  Document* doc = new Document;
  auto* mark = new (doc->Pool()) EntityRefMark(0, withNotation);
  doc->AppendMark(mark);
  EXPECT_EQ(mark->GetEntity(), withNotation);
  EXPECT_EQ(mark->Notation(), notation);
  EXPECT_STREQ(mark->GetDataAttribute("MODE"), "GRAY");
  doc->Release();

  without->Release();
  withNotation->Release();
  notation->Release();
  dtd->Release();
}

TEST(Notations, CopyKeepsANotGivenSystemIdentifier) {
  auto* notation = new NotationDecl("N");
  EXPECT_FALSE(notation->SystemIdGiven());
  NotationDecl* copy = notation->Copy();
  EXPECT_FALSE(copy->SystemIdGiven());
  EXPECT_EQ(copy->SystemId(), nullptr);
  copy->Release();
  notation->SetSystemId(nullptr);
  notation->SetPublicId("  -//A//NOTATION\t b//EN ");
  EXPECT_STREQ(notation->PublicId(), "-//A//NOTATION B//EN");
  copy = notation->Copy();
  EXPECT_TRUE(copy->SystemIdGiven());
  EXPECT_EQ(copy->SystemId(), nullptr);
  EXPECT_STREQ(copy->PublicId(), "-//A//NOTATION B//EN");
  copy->Release();
  notation->Release();
}

TEST(Dtds, LayeredLookupsAndIterations) {
  Dtd* base = new Dtd;
  base->FindOrDeclareElementType("A");
  base->FindOrDeclareElementType("B");
  base->AddEntity(new TextEntityDecl("inner", 0, "in base"));
  base->AddEntity(new TextEntityDecl("#DEFAULT", 0, "base default"));
  base->AddNotation(new NotationDecl("GIF"));
  DocumentType* type = new DocumentType(nullptr, *base, nullptr);
  base->Release();

  LayeredDtd* layered = new LayeredDtd(*type);
  // Own table empty: iteration starts straight in the parent's.
  std::vector<std::string> names;
  for (ElementTypeDecl* e = layered->FirstElement(); e; e = layered->NextElement())
    names.push_back(e->NameText());
  EXPECT_EQ(names.size(), 2u);

  layered->FindOrDeclareElementType("C");
  layered->FindOrDeclareElementType("B");
  names.clear();
  for (ElementTypeDecl* e = layered->FirstElement(); e; e = layered->NextElement())
    names.push_back(e->NameText());
  EXPECT_EQ(names.size(), 4u);  // B in both tables is visited twice
  EXPECT_EQ(std::count(names.begin(), names.end(), "B"), 2);

  ASSERT_NE(layered->FindElement("A"), nullptr);
  EXPECT_EQ(layered->FindElement("A"), type->Elements().Find("A"));
  EXPECT_NE(layered->FindElement("B"), type->Elements().Find("B"));
  EXPECT_EQ(layered->FindElement("Z"), nullptr);
  EXPECT_NE(layered->FindNotation("GIF"), nullptr);

  // FindEntity stays in the own table; FindEntityOrDefault looks behind it.
  EXPECT_EQ(layered->FindEntity("inner"), nullptr);
  ASSERT_NE(layered->FindEntityOrDefault("inner"), nullptr);
  EXPECT_STREQ(layered->FindEntityOrDefault("inner")->GetText(), "in base");
  // A #DEFAULT only in the parent is not used.
  EXPECT_EQ(layered->FindEntityOrDefault("nowhere"), nullptr);
  layered->AddEntity(new TextEntityDecl("#DEFAULT", 0, "own default"));
  EntityDecl* copy = layered->FindEntityOrDefault("nowhere");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy->GetText(), "own default");
  EXPECT_EQ(layered->FindEntity("nowhere"), copy);
  EXPECT_EQ(type->FindEntity("nowhere"), nullptr);

  int entities = 0;
  for (EntityDecl* e = layered->FirstEntity(); e; e = layered->NextEntity()) ++entities;
  EXPECT_EQ(entities, 4);  // two own, two in the parent
  layered->Release();
  EXPECT_EQ(type->UseCount(), 1);
  type->Release();
}

TEST(Dtds, DocumentTypeCopiesDeclarationsAndSharesModels) {
  Dtd* dtd = new Dtd;
  auto* model = new ContentModel(nullptr);
  ElementTypeDecl* a = dtd->FindOrDeclareElementType("A");
  ElementTypeDecl* b = dtd->FindOrDeclareElementType("B");
  // One ELEMENT declaration for both: each type takes a use, the parser drops its own.
  a->SetModel(model);
  b->SetModel(model);
  model->Release();
  EXPECT_EQ(a->Model(), b->Model());
  EXPECT_EQ(model->UseCount(), 2);
  a->flags = kElementNoEndTag;
  AttributeDecl* id = Decl(*dtd, "ID", kDeclaredId, kDefaultImplied, kAttrIdKind);
  Attlist(a, {id});
  dtd->AddEntity(new TextEntityDecl("pi", kEntityPi, "x"));
  ExternalId* doctype = MakeId("A", "a.dtd", "-//T//DTD A//EN");
  dtd->SetDoctypeId(doctype);

  Document* doc = new Document;
  doc->AddEntity(new TextEntityDecl("docent", 0, "d"));
  doc->Resources().Append(new ResourceRef(doctype, "Style", ResourceRef::kStyleSheet));
  doc->Links().AddElementRule("XREF", nullptr, "linkend", "");

  DocumentType* type = new DocumentType(nullptr, *dtd, doc);
  ElementTypeDecl* copyA = type->Elements().Find("A");
  ASSERT_NE(copyA, nullptr);
  EXPECT_NE(copyA, a);
  EXPECT_EQ(copyA->Model(), model);
  EXPECT_EQ(model->UseCount(), 4);
  EXPECT_EQ(copyA->flags, kElementNoEndTag);
  EXPECT_EQ(copyA->Attributes().List(0), a->Attributes().List(0));
  EXPECT_NE(type->AttributeDefs().FindRecord("ID"), nullptr);
  EXPECT_STREQ(type->FindEntity("pi")->GetText(), "<?x>");
  EXPECT_STREQ(type->FindEntity2("docent")->GetText(), "d");
  EXPECT_EQ(type->FindEntity2("pi"), nullptr);
  EXPECT_EQ(type->DoctypeId(), doctype);
  EXPECT_NE(type->Links().FindElement("XREF"), nullptr);
  EXPECT_FALSE(type->Resources().IsEmpty());
  doc->Release();
  dtd->Release();
  doctype->Release();
  type->Release();
}

// One ELEMENT declaration gives its element types one shared content model;
// a later declaration of a type keeps the first; a document type's copy of a
// type takes a further use of the same object, and gives it back.
TEST(ContentModels, SharedByTheTypesOfOneDeclaration) {
  test::RecordingParser parser;
  test::ParseText(parser, "<!ELEMENT (a|b) - - ANY -(x) +(y)><!ELEMENT a - - EMPTY>"
                          "<!ELEMENT c - - (#PCDATA)>");
  ASSERT_TRUE(parser.messages.empty()) << test::Describe(parser.messages);
  Dtd* dtd = parser.GetDtd();
  ContentModel* model = dtd->FindElement("A")->Model();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(dtd->FindElement("B")->Model(), model);
  EXPECT_TRUE(model->IsDeclared("#any"));
  EXPECT_EQ(model->UseCount(), 2u);  // one for each type, none for the parser
  EXPECT_TRUE(dtd->FindElement("C")->Model()->IsModelGroup());
  EXPECT_FALSE(dtd->FindElement("C")->Model()->IsDeclared("#ANY"));

  auto* type = new DocumentType(nullptr, *dtd, nullptr);
  EXPECT_EQ(type->Elements().Find("A")->Model(), model);
  EXPECT_EQ(model->UseCount(), 4u);
  type->Release();
  EXPECT_EQ(model->UseCount(), 2u);
}

TEST(LinkRules, ElementRulesThenAttributeRules) {
  ElementFixture f;
  ElementTypeDecl* xref = f.dtd->FindOrDeclareElementType("XREF");
  ElementTypeDecl* para = f.dtd->FindOrDeclareElementType("PARA");
  AttributeDecl* linkend = Decl(*f.dtd, "LINKEND", kDeclaredIdref, kDefaultImplied, kAttrIdRefKind);
  AttributeDecl* role = Decl(*f.dtd, "ROLE", kDeclaredCdata, kDefaultImplied);
  Attlist(xref, {linkend});
  Attlist(para, {role});
  f.doc->Links().AddElementRule("XREF", "LINKEND", "idref", "1");
  f.doc->Links().AddElementRule("XREF", nullptr, "fallback", "2");
  f.doc->Links().AddAttributeRule("ROLE", "jump", nullptr, "role", "3");
  f.doc->FlagLinkDeclarations(*f.dtd);
  EXPECT_TRUE(xref->flags & kElementLinkRule);
  EXPECT_TRUE(role->Flags() & kAttrLinkRule);

  EXPECT_STREQ(f.doc->FindLinkRule(f.Element(xref, {{linkend, "a"}}))->Text1(), "idref");
  EXPECT_STREQ(f.doc->FindLinkRule(f.Element(xref, {}))->Text1(), "fallback");
  EXPECT_STREQ(f.doc->FindLinkRule(f.Element(para, {{role, "JUMP"}}))->Text1(), "role");
  EXPECT_EQ(f.doc->FindLinkRule(f.Element(para, {{role, "stay"}})), nullptr);
  EXPECT_EQ(f.doc->FindLinkRule(f.Element(para, {})), nullptr);
}


}  // namespace
}  // namespace qs

namespace qs {
namespace {

TEST(DerivedDocuments, EntitiesFallBackToTheDocumentType) {
  Dtd* dtd = new Dtd;
  Document* declaring = new Document;
  declaring->AddEntity(new TextEntityDecl("shared", 0, "from type"));
  declaring->AddEntity(new TextEntityDecl("both", 0, "type's"));
  declaring->Links().AddElementRule("XREF", nullptr, "a", "b");
  ExternalId* doctype = MakeId("DOC", "doc.dtd", nullptr);
  dtd->SetDoctypeId(doctype);
  DocumentType* type = new DocumentType(nullptr, *dtd, declaring);
  declaring->Release();
  dtd->Release();

  DerivedDocument* doc = new DerivedDocument(nullptr, *type);
  EXPECT_EQ(doc->DoctypeId(), doctype);
  EXPECT_NE(doc->Links().FindElement("XREF"), nullptr);
  doc->AddEntity(new TextEntityDecl("both", 0, "own"));
  EXPECT_STREQ(doc->FindEntityOrDefault("both")->GetText(), "own");
  EXPECT_STREQ(doc->FindEntityOrDefault("shared")->GetText(), "from type");
  EXPECT_EQ(doc->FindEntity("shared"), nullptr);
  EXPECT_EQ(doc->FindEntityOrDefault("none"), nullptr);
  int visits = 0;
  for (EntityDecl* e = doc->FirstEntity(); e; e = doc->NextEntity()) ++visits;
  EXPECT_EQ(visits, 3);  // "both" is visited twice
  doc->Release();
  EXPECT_EQ(type->UseCount(), 1);
  type->Release();
  doctype->Release();
}

}  // namespace
}  // namespace qs
