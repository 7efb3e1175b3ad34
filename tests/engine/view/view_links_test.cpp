#include "view/view_links.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "../addressing/link_support.h"
#include "../foundation/temp_folder.h"
#include "addressing/links.h"
#include "api/node_ref.h"
#include "api/records.h"
#include "foundation/handle_table.h"
#include "layout/icon_items.h"
#include "layout/text_item.h"
#include "layout/char_boxes.h"
#include "layout/tag_items.h"
#include "sgml/document.h"
#include "sgml/link_rules.h"
#include "sgml/node_flags.h"
#include "style/frame.h"
#include "test_device.h"
#include "view/host_document_view.h"
#include "view/hot_areas.h"
#include "view/window_map.h"

namespace qs {
namespace {

using Lines = std::vector<std::string>;

// Link rules: XREF and BAR are TEI-P3 links (BAR's form in lower case),
// FOO has a form no view knows. The sections hold the text the links name.
const char kDocument[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec|xref|foo|bar)*>\n"
    "<!ELEMENT sec - - (#PCDATA|xref)*>\n<!ATTLIST sec id ID #IMPLIED>\n"
    "<!ELEMENT (xref|bar) - O EMPTY>\n"
    "<!ATTLIST (xref|bar) id ID #IMPLIED doc ENTITY #IMPLIED from CDATA #IMPLIED\n"
    "  to CDATA #IMPLIED linkend IDREF #IMPLIED>\n"
    "<!ELEMENT foo - O EMPTY>\n<!ATTLIST foo linkend IDREF #IMPLIED>\n"
    "<!NOTATION SGML PUBLIC \"+//ISO 8879:1986//NOTATION STANDARD GENERALIZED MARKUP "
    "LANGUAGE//EN\">\n"
    "<!ENTITY other SYSTEM \"other.sgm\" NDATA SGML>\n"
    "<!ENTITY nodoc SYSTEM \"missing.sgm\" NDATA SGML>\n"
    "]>\n"
    "<?TAGLINK xref TEI-P3>\n<?TAGLINK bar tei-p3>\n<?TAGLINK foo FOO>\n"
    "<doc><sec id=a>Alpha one</sec><sec id=b>Beta two</sec>\n"
    "<xref id=x1 from=\"ID(b)\">\n"
    "<xref id=x2 from=\"ID(a)\" to=\"ID(b)\">\n"
    "<xref id=x3>\n"
    "<xref id=x4 from=\"ID(nosuch)\">\n"
    "<xref id=x5 doc=other from=\"ID(x)\">\n"
    "<xref id=x6 doc=nodoc from=\"ID(x)\">\n"
    "<xref id=x7 from=\"ID(nosuch)\" linkend=a>\n"
    "<bar id=x8 from=\"ID(a)\">\n"
    "<foo>\n<foo linkend=b>\n"
    "<sec id=c>Gamma <xref id=x9 from=\"ANCESTOR (1 SEC)\"></sec>\n"
    "</doc>\n";

// The host's chance at a clicked hotspot element.
constexpr int kEventHotAreaElement = 38;

// Answers host events from a table (0 where it has none) and writes down
// events 11, 17 and 39 beside the engine's own lines.
class HostLineEngine : public test::LineEngine {
 public:
  using LineEngine::LineEngine;
  std::intptr_t RaiseEvent(WindowHandle window, int event, std::intptr_t a,
                           std::intptr_t b) override {
    if (event == kEventFollowLink) {
      std::string line = "event 11 " + NodeName(a);
      if (b) {
        auto* rule = reinterpret_cast<const QsLinkRuleRecord*>(b);
        line += std::string(" ") + (rule->description ? rule->description : "-") + " " +
                (rule->token ? rule->token : "-");
      }
      lines.push_back(line);
    } else if (event == kEventGotoRange) {
      auto* request = reinterpret_cast<const QsGotoRangeRequest*>(b);
      const bool isDocument = handles->Lookup(request->document, HandleType::kDocument) != nullptr;
      lines.push_back("event 39 " + NodeName(a) + " " + (isDocument ? "doc " : "nodoc ") +
                      std::to_string(request->start) + " " + std::to_string(request->length));
    } else if (event == kEventNodeList) {
      lines.push_back("event 17 " + NodeName(a));
    } else if (event == kEventHotAreaElement) {
      lines.push_back("event 38 " + NodeName(a));
    }
    auto answer = answers.find(event);
    if (answer != answers.end()) return answer->second;
    return LineEngine::RaiseEvent(window, event, a, b);
  }
  // Lists for a window go the hosted engine's way (event 17 first).
  void ShowNodeList(WindowHandle window, View* view, Document* document, DocumentNode* node,
                    LinkTargetList* list) override {
    if (!window) return LineEngine::ShowNodeList(window, view, document, node, list);
    lines.push_back("nodelist for window " + std::to_string(window));
    HostedEngine::ShowNodeList(window, view, document, node, list);
  }
  // The element name of a node handle, "0" for none.
  std::string NodeName(std::intptr_t handle) {
    if (!handle) return "0";
    auto* ref = static_cast<NodeRef*>(handles->Lookup(static_cast<Handle>(handle), HandleType::kNode));
    const char* name = ref && ref->Current() ? ref->Current()->GetNameText() : nullptr;
    return name ? name : "?";
  }
  std::map<int, std::intptr_t> answers;
};

class ViewLinks : public testing::Test {
 protected:
  void SetUp() override {
    test::TempFolder::Write(temp_.File("links.sgm"), kDocument);
    test::TempFolder::Write(temp_.File("other.sgm"),
                            "<!DOCTYPE doc [\n<!ELEMENT doc - - (p*)>\n<!ELEMENT p - - (#PCDATA)>\n"
                            "<!ATTLIST p id ID #IMPLIED>\n]>\n<doc><p>one</p><p id=x>two</p></doc>\n");
    doc_ = test::OpenDocumentFile(temp_.File("links.sgm"));
    ASSERT_NE(doc_, nullptr);
    engine_.home = doc_;
    InstallViewLinkHooks();
    view_ = new test::TestView(&device_);
    view_->SetFrame(new FrameNode(doc_, nullptr, 0, nullptr), 0, false);
  }
  void TearDown() override {
    RemoveViewLinkHooks();
    if (view_) view_->Close();
    if (doc_) doc_->Release();
  }
  // IDs are folded as the document folds names.
  DocumentNode* ById(std::string id) {
    for (char& c : id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return doc_->FindElementById(id.c_str());
  }
  // "goto START LENGTH" of [from's start, to's end).
  std::string Goto(const char* from, const char* to = nullptr) {
    DocumentNode* a = ById(from);
    DocumentNode* b = to ? ById(to) : a;
    if (!a || !b) return "no such element";
    return "goto " + std::to_string(a->start) + " " + std::to_string(b->end - a->start);
  }

  test::TempFolder temp_;
  HostLineEngine engine_{temp_.dir()};
  test::TestDevice device_;
  Document* doc_ = nullptr;
  DocumentView* view_ = nullptr;
};

TEST_F(ViewLinks, ADocumentViewFollowsTeiLinksByTheirRule) {
  ASSERT_EQ(view_->GetDocument(), doc_);
  ASSERT_NE(ById("x1"), nullptr);
  const std::string x3 = "goto " + std::to_string(ById("x3")->start) + " 0";
  struct {
    const char* id;
    Lines lines;
  } cases[] = {
      {"x1", {Goto("B")}},
      // FROM's start to TO's end.
      {"x2", {Goto("A", "B")}},
      // No FROM: an empty range at the link.
      {"x3", {x3}},
      // A pointer that leads nowhere leaves the link to its ID references:
      // none here, some there.
      {"x4", {"error 25"}},
      {"x7", {Goto("A")}},
      // DOC opens the entity's document, read from its root.
      {"x5", {"goto 3 3 @other"}},
      {"x6", {"error 25"}},
      // The form compares without case.
      {"x8", {Goto("A")}},
      // FROM relative to the link itself.
      {"x9", {Goto("C")}},
  };
  for (const auto& c : cases) {
    DocumentNode* element = ById(c.id);
    ASSERT_NE(element, nullptr) << c.id;
    FollowLink(LinkViewOf(view_), doc_, element, false);
    EXPECT_EQ(engine_.Take(), c.lines) << c.id;
  }
  // Without a view the rule plays no part.
  FollowLink(nullptr, doc_, ById("x1"), false);
  EXPECT_EQ(engine_.Take(), (Lines{"error 25"}));
}

TEST_F(ViewLinks, AnUnknownFormIsError23AndTheReferencesStillCount) {
  DocumentNode* foo = nullptr;
  DocumentNode* fooWithLink = nullptr;
  for (DocumentNode* e = doc_->Root()->First(); e; e = e->Next())
    if (std::string(e->GetNameText()) == "FOO") (foo ? fooWithLink : foo) = e;
  ASSERT_NE(fooWithLink, nullptr);
  FollowLink(LinkViewOf(view_), doc_, foo, false);
  EXPECT_EQ(engine_.Take(), (Lines{"error 23", "error 25"}));
  ASSERT_FALSE(engine_.errors.size());
  FollowLink(LinkViewOf(view_), doc_, fooWithLink, false);
  ASSERT_EQ(engine_.errors.size(), 1u);
  EXPECT_EQ(engine_.Take(), (Lines{"error 23", Goto("B")}));
  // The view itself answers 0 for the unknown form and for no rule.
  EXPECT_EQ(view_->FollowLink(foo, doc_->FindLinkRule(foo)), 0);
  EXPECT_EQ(view_->FollowLink(ById("x1"), nullptr), 0);
  EXPECT_EQ(view_->FollowLink(nullptr, doc_->FindLinkRule(ById("x1"))), 0);
  EXPECT_EQ(view_->FollowLink(ById("x1"), doc_->FindLinkRule(ById("x1"))), 1);
  engine_.Take();
}

TEST_F(ViewLinks, TargetsFollowedInAViewAreShownThroughIt) {
  // An ID reference without a rule: the view shows the target's range.
  FollowLink(LinkViewOf(view_), doc_, ById("x7"), false);
  EXPECT_EQ(engine_.Take(), (Lines{Goto("A")}));
  // Markers and link text hand their elements over through the layout's
  // hook: sources of an element, its own links, and with its ancestors.
  FollowLinkFromLayout(view_, ById("A"), kFollowLinkSources);
  EXPECT_EQ(engine_.Take(), (Lines{Goto("x7")}));
  FollowLinkFromLayout(view_, ById("x1"), kFollowOwnLinks);
  EXPECT_EQ(engine_.Take(), (Lines{Goto("B")}));
  FollowLinkFromLayout(view_, ById("C"), kFollowWithAncestors);
  EXPECT_EQ(engine_.Take(), (Lines{"error 25"}));
  FollowLinkFromLayout(nullptr, ById("x1"), kFollowOwnLinks);
  EXPECT_TRUE(engine_.Take().empty());
  // Removed, nothing follows.
  RemoveViewLinkHooks();
  FollowLinkFromLayout(view_, ById("x1"), kFollowOwnLinks);
  EXPECT_TRUE(engine_.Take().empty());
  FollowLink(LinkViewOf(view_), doc_, ById("x1"), false);
  EXPECT_EQ(engine_.Take(), (Lines{"error 25"}));
}

TEST_F(ViewLinks, ClicksOnMarkersAndLinkTextFollowTheirElements) {
  // A link-target marker follows the links that end at its element, an
  // empty link source its own links.
  LinkTargetMarkerItem target(ById("A"), nullptr);
  target.Activate(view_, nullptr);
  EXPECT_EQ(engine_.Take(), (Lines{Goto("x7")}));
  EmptyLinkSourceItem source(ById("x1"), nullptr);
  source.Activate(view_, nullptr);
  EXPECT_EQ(engine_.Take(), (Lines{Goto("B")}));
  source.Activate(nullptr, nullptr);
  EXPECT_TRUE(engine_.Take().empty());

  // Text: the innermost element holding the whole run is followed, with
  // its ancestors' links behind it (none here: error 25); text outside
  // any link source follows nothing, by word or by character.
  DocumentNode* a = ById("A");
  const auto start = static_cast<std::int32_t>(a->start), end = static_cast<std::int32_t>(a->end);
  for (bool linked : {true, false}) {
    TextItem run(start, end, nullptr, linked);
    TextRunBox word(&run, start, static_cast<std::uint8_t>(end - start), 40, false);
    word.Activate(view_, nullptr);
    CharBox character(&run, start, 1);
    character.Activate(view_, nullptr);
    const Lines expected = linked ? Lines{"error 25", "error 25"} : Lines{};
    EXPECT_EQ(engine_.Take(), expected) << linked;
  }
  TextItem run(start, end, nullptr, true);
  TextRunBox word(&run, start, static_cast<std::uint8_t>(end - start), 40, false);
  word.Activate(nullptr, nullptr);  // no view, no document: nothing
  EXPECT_TRUE(engine_.Take().empty());
}

// An element whose type only a link instruction names (no ID reference
// among its attributes) is a link too.
TEST_F(ViewLinks, AnInstructionAloneMakesAnElementALink) {
  test::TempFolder::Write(temp_.File("plain.xml"),
                          "<?xml version=\"1.0\"?>\n<!DOCTYPE R [\n<!ELEMENT R (P|XREF)*>\n"
                          "<!ELEMENT P (#PCDATA)>\n<!ATTLIST P ID ID #IMPLIED>\n"
                          "<!ELEMENT XREF EMPTY>\n<!ATTLIST XREF FROM CDATA #IMPLIED>\n]>\n"
                          "<?TAGLINK XREF TEI-P3?>\n<R><P>one</P><P ID=\"t\">two</P><XREF FROM=\"ID(t)\"/></R>\n");
  Document* plain = test::OpenDocumentFile(temp_.File("plain.xml"));
  ASSERT_NE(plain, nullptr);
  DocumentNode* xref = plain->Root()->First()->Next()->Next();
  ASSERT_NE(xref, nullptr);
  EXPECT_TRUE(xref->flags & kNodeLinkSource);
  EXPECT_FALSE(plain->Root()->First()->flags & kNodeLinkSource);
  const LinkRule* rule = plain->FindLinkRule(xref);
  ASSERT_NE(rule, nullptr);
  EXPECT_STREQ(rule->Text1(), "TEI-P3");
  auto* shown = new test::TestView(&device_);
  shown->SetFrame(new FrameNode(plain, nullptr, 0, nullptr), 0, false);
  engine_.home = plain;
  FollowLink(LinkViewOf(shown), plain, xref, false);
  EXPECT_EQ(engine_.Take(), (Lines{"goto 3 3"}));
  shown->Close();
  plain->Release();
}

TEST_F(ViewLinks, AStartTagOffersItsAttributes) {
  StartTagItem tag(ById("x2"), nullptr);
  tag.Activate(view_, nullptr);
  EXPECT_EQ(engine_.Take(),
            (Lines{"nodelist Attributes for <XREF>: ID=\"X2\" [ID] | FROM=\"ID(a)\" [CDATA] | "
                   "TO=\"ID(b)\" [CDATA] | DOC <IMPLIED> [ENTITY] | LINKEND <IMPLIED> [IDREF]"}));
  tag.Activate(nullptr, nullptr);
  EXPECT_TRUE(engine_.Take().empty());
}

TEST_F(ViewLinks, AHostViewAsksTheHostFirst) {
  auto* host = new HostDocumentView(0x5151, 0);
  host->SetFrame(new FrameNode(doc_, nullptr, 0, nullptr), 0, false);
  const std::string b = std::to_string(ById("B")->start) + " " +
                        std::to_string(ById("B")->end - ById("B")->start);
  // The host takes the link when it is offered it: nothing more.
  engine_.answers = {{kEventFollowLink, 1}};
  FollowLink(LinkViewOf(host), doc_, ById("x1"), false);
  EXPECT_EQ(engine_.Take(), (Lines{"event 11 XREF"}));
  // Left to the view: offered again with the rule, then the range goes to
  // the host with the link and the document.
  engine_.answers = {{kEventGotoRange, 1}};
  FollowLink(LinkViewOf(host), doc_, ById("x1"), false);
  EXPECT_EQ(engine_.Take(), (Lines{"event 11 XREF", "event 11 XREF TEI-P3 -", "event 39 XREF doc " + b}));
  // A target shown in the view: the range without a link element.
  FollowLink(LinkViewOf(host), doc_, ById("x7"), false);
  Lines lines = engine_.Take();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "event 39 0 doc " + std::to_string(ById("A")->start) + " " +
                              std::to_string(ById("A")->end - ById("A")->start));
  // An unknown form is offered to the host with its rule too.
  engine_.answers = {{kEventFollowLink, 0}};
  DocumentNode* foo = nullptr;
  for (DocumentNode* e = doc_->Root()->First(); e && !foo; e = e->Next())
    if (std::string(e->GetNameText()) == "FOO") foo = e;
  FollowLink(LinkViewOf(host), doc_, foo, false);
  EXPECT_EQ(engine_.Take(), (Lines{"event 11 FOO", "event 11 FOO FOO -", "error 23", "error 25"}));
  // A start tag's square offers the attribute list to the host's window.
  engine_.answers = {{kEventNodeList, 1}};
  StartTagItem tag(ById("x1"), nullptr);
  tag.Activate(host, nullptr);
  EXPECT_EQ(engine_.Take(), (Lines{"nodelist for window " + std::to_string(0x5151), "event 17 XREF"}));
  EXPECT_EQ(engine_.handles->Count(), 0u);  // every handle given back
  host->Close();
  WindowMap::DestroyAll();
}

// Hotspot elements that are links in each of the ways an element can be:
// ID references (one, two, one undefined), a TEI-P3 link rule (FROM alone,
// FROM and TO, a FROM leading nowhere with a reference behind it), a
// contextual link through a tree locator, and none at all.
const char kHotspots[] =
    "<!DOCTYPE doc [\n"
    "<!ELEMENT doc - - (sec|hs|hsr|hsc|treeloc)*>\n"
    "<!ELEMENT sec - - (#PCDATA|p)*>\n<!ATTLIST sec id ID #IMPLIED>\n"
    "<!ELEMENT p - - (#PCDATA)>\n"
    "<!ELEMENT (hs|hsr|hsc) - O EMPTY>\n"
    "<!ATTLIST hs id ID #IMPLIED linkend IDREFS #IMPLIED rx NUMBER #IMPLIED>\n"
    "<!ATTLIST hsr id ID #IMPLIED from CDATA #IMPLIED to CDATA #IMPLIED linkend IDREF #IMPLIED>\n"
    "<!ATTLIST hsc id ID #IMPLIED linkend IDREF #REQUIRED HyTime NAME \"CLINK\">\n"
    "<!ELEMENT treeloc - - (#PCDATA)>\n"
    "<!ATTLIST treeloc id ID #IMPLIED locsrc IDREF #IMPLIED>\n"
    "]>\n"
    "<?TAGLINK hsr TEI-P3>\n"
    "<doc><sec id=a>Alpha one</sec><sec id=b>Beta <p>two</p> three</sec>\n"
    "<hs id=h1 linkend=a rx=10>\n"
    "<hs id=h2 linkend=\"a b\">\n"
    "<hs id=h3 linkend=\"a nosuch\">\n"
    "<hsr id=h4 from=\"ID(b)\">\n"
    "<hsr id=h5 from=\"ID(a)\" to=\"ID(b)\">\n"
    "<hsr id=h6 from=\"ID(nosuch)\" linkend=b>\n"
    "<hsc id=h7 linkend=t1>\n<treeloc id=t1 locsrc=b>1 2</treeloc>\n"
    "<hs id=h8>\n"
    "</doc>\n";

// A clicked hot area offers its element to the host (event 38); left to
// the engine, the element's links are followed as a clicked link's are.
TEST_F(ViewLinks, AHotAreaFollowsItsElementsLinks) {
  test::TempFolder::Write(temp_.File("hot.sgm"), kHotspots);
  Document* hot = test::OpenDocumentFile(temp_.File("hot.sgm"));
  ASSERT_NE(hot, nullptr);
  engine_.home = hot;
  auto* shown = new test::TestView(&device_);
  shown->SetFrame(new FrameNode(hot, nullptr, 0, nullptr), 0, false);
  auto element = [&](const char* id) {
    std::string upper = id;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return hot->FindElementById(upper.c_str());
  };
  auto range = [&](DocumentNode* from, DocumentNode* to) {
    if (!from || !to) return std::string("no such element");
    return "goto " + std::to_string(from->start) + " " + std::to_string(to->end - from->start);
  };
  DocumentNode* a = element("a");
  DocumentNode* b = element("b");
  ASSERT_TRUE(a && b && b->First());
  // The picture shows in a document view, or in a view of its own (null
  // here: no document view), which follows no link rule.
  View* documentView = LinkViewOf(shown);
  struct {
    const char* id;
    bool inDocumentView;
    Lines lines;
  } cases[] = {
      {"h1", true, {"event 38 HS", range(a, a)}},
      {"h2", true, {"event 38 HS", "textlist Select Target: ID A | ID B"}},
      {"h3", true, {"event 38 HS", "textlist Select Target: ID A | BADREF NOSUCH"}},
      {"h4", true, {"event 38 HSR", range(b, b)}},
      {"h5", true, {"event 38 HSR", range(a, b)}},
      {"h6", true, {"event 38 HSR", range(b, b)}},
      {"h7", true, {"event 38 HSC", range(b->First(), b->First())}},
      {"h8", true, {"event 38 HS", "error 25"}},
      {"h1", false, {"event 38 HS", range(a, a)}},
      {"h2", false, {"event 38 HS", "textlist Select Target: ID A | ID B"}},
      {"h4", false, {"event 38 HSR", "error 25"}},
      {"h6", false, {"event 38 HSR", range(b, b)}},
      {"h7", false, {"event 38 HSC", range(b->First(), b->First())}},
  };
  for (const auto& c : cases) {
    DocumentNode* hotspot = element(c.id);
    ASSERT_NE(hotspot, nullptr) << c.id;
    HotArea area(hot, hotspot, nullptr);
    area.Activate(c.inDocumentView ? documentView : nullptr);
    EXPECT_EQ(engine_.Take(), c.lines) << c.id << " " << c.inDocumentView;
  }
  // A host that takes the element leaves nothing to follow.
  engine_.answers = {{kEventHotAreaElement, 1}};
  for (const char* id : {"h1", "h2", "h4", "h7"}) {
    HotArea area(hot, element(id), nullptr);
    area.Activate(documentView);
    EXPECT_EQ(engine_.Take(), (Lines{std::string("event 38 ") + element(id)->GetNameText()})) << id;
  }
  EXPECT_EQ(engine_.handles->Count(), 0u);  // every element handle given back
  shown->Close();
  hot->Release();
}

}  // namespace
}  // namespace qs
