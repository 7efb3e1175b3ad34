#include "style/navigator_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/handle_table.h"
#include "doc_builder.h"
#include "foundation/engine.h"
#include "layout/layout_item.h"
#include "navigator_dump.h"
#include "recording_sink.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/ranges.h"

namespace qs {
namespace {

// Icons 3 to 7 are 9 wide and 6 high but icon 6, which is 11 by 14; the
// mark is 5 by 4. The device's default font (10 pt at 72 dpi) is 10 high
// and its digits 6 wide.
constexpr int kIconWidth = 11;
constexpr int kLineHeight = 14;
constexpr int kCountColumn = 18;

class RecordingDevice : public test::TestDevice {
 public:
  using TestDevice::TestDevice;
  void FillBackground(int l, int t, int r, int b) override {
    log += "ERASE " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
           std::to_string(b) + "\n";
  }
};

class NavView : public test::TestView {
 public:
  using TestView::TestView;
  void ShowElement(DocumentNode* element, DocumentNode* title, std::int32_t position) override {
    shown.push_back({element, title, position});
  }
  void Refresh() override { ++refreshed; }
  void FillBackground(int l, int t, int r, int b) override { GetDevice()->FillBackground(l, t, r, b); }
  struct Shown {
    DocumentNode* element;
    DocumentNode* title;
    std::int32_t position;
  };
  std::vector<Shown> shown;
  int refreshed = 0;
};

class NavigatorTree : public testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("QS_SOURCE_DIR");
    std::string home = std::string(source ? source : ".") + "/samples/home/";
    std::string catalog = home + "catalog/catalog";
    ASSERT_NE(QsInitialize(0, "test", catalog.c_str(), nullptr, nullptr, nullptr, home.c_str()), 0);
    EngineBase* engine = GetEngine();
    for (int i = 3; i <= 7; ++i) engine->iconHalfWidth[i] = 9, engine->iconHalfHeight[i] = 6;
    engine->iconHalfWidth[6] = 11, engine->iconHalfHeight[6] = 14;
    engine->iconHalfWidth[8] = 9, engine->iconHalfHeight[8] = 6;
    engine->iconHalfWidth[9] = 5, engine->iconHalfHeight[9] = 4;
    ResetNavigatorMetrics();
    sheet.AddUse();
    view = new NavView(&device);
    PushCurrentView(view, false);
  }
  void TearDown() override {
    view->SetFrameNode(nullptr);
    if (nav) nav->Release();
    docHolder.reset();
    PopCurrentView();
    view->Release();
    sheet.ClearRules();
    for (QsHandle h : handles) QsReleaseHandle(h);
    QsTerminate();
    ResetNavigatorMetrics();
  }
  // A definition read from the entries' markup.
  NavigatorDef* Definition(const std::string& attributes, const std::string& entries) {
    std::string text = "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\">\n<TOC-DEF" +
                       attributes + ">" + entries + "</TOC-DEF>";
    QsHandle h = QsOpenNavigatorText(text.c_str(), ("n" + std::to_string(handles.size())).c_str(),
                                     nullptr, nullptr, 0);
    EXPECT_NE(h, 0u) << text;
    handles.push_back(h);
    return static_cast<NavigatorDef*>(Handles()->LookupNavigator(h));
  }
  // Builds the document once and (re)formats a navigator view of it.
  std::string Build(const char* markup, NavigatorDef* definition, DocumentNode* root = nullptr) {
    if (!built) doc.Build(markup);
    built = true;
    if (nav) {
      view->SetFrameNode(nullptr);
      nav->Release();
    }
    nav = new NavigatorView(doc.Doc(), &sheet, definition, root);
    view->SetFrameNode(nav);
    nav->Rebuild();
    EXPECT_EQ(ScaleDepth(), 0);
    EXPECT_EQ(MinFontSize(), 600);
    EXPECT_EQ(MaxFontSize(), 19200);
    return test::NavigatorDump(nav);
  }
  std::string Dump() { return test::NavigatorDump(nav); }
  // The visible nodes in list order.
  std::vector<NavigatorNode*> Nodes() {
    std::vector<NavigatorNode*> nodes;
    for (auto* item = static_cast<LayoutItem*>(nav->items.First()); item; item = item->NextItem())
      if (item->HandleMessage(0, 0, kNavIdentify, 0)) nodes.push_back(static_cast<NavigatorNode*>(item));
    return nodes;
  }
  NavigatorNode* NodeOf(const char* title) {
    for (NavigatorNode* n : Nodes())
      if (test::NavigatorNodeLine(n).find(std::string("\"") + title + "\"") != std::string::npos)
        return n;
    return nullptr;
  }
  // Sends the message to every visible item until one answers non-zero.
  std::intptr_t SendUntil(int message, std::intptr_t argument) {
    for (auto* item = static_cast<LayoutItem*>(nav->items.First()); item; item = item->NextItem())
      if (std::intptr_t answer = item->HandleMessage(0, 0, message, argument)) return answer;
    return 0;
  }
  void SendAll(int message, std::intptr_t argument) {
    for (auto* item = static_cast<LayoutItem*>(nav->items.First()); item; item = item->NextItem())
      item->HandleMessage(0, 0, message, argument);
  }
  std::intptr_t Query(int message, DocumentNode* element, NodeQuery* out) {
    *out = NodeQuery();
    out->element = element;
    for (auto* item = static_cast<LayoutItem*>(nav->items.First()); item; item = item->NextItem()) {
      std::intptr_t answer = item->HandleMessage(0, 0, message, reinterpret_cast<std::intptr_t>(out));
      if (answer == 1 || answer == -1) return answer;
    }
    return 0;
  }
  StyleRule* Rule(const char* tag) { return sheet.AddRule(new StyleRule(tag, 0)); }
  DocumentNode* Find(const char* name, int nth = 0) {
    std::vector<DocumentNode*> stack{doc.Doc()->Root()};
    while (!stack.empty()) {
      DocumentNode* e = stack.back();
      stack.pop_back();
      if (e->GetNameText() && std::string(e->GetNameText()) == name && nth-- == 0) return e;
      std::vector<DocumentNode*> children;
      for (DocumentNode* c = e->First(); c; c = c->Next()) children.push_back(c);
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return nullptr;
  }

  test::RecordingSink sink_;
  RecordingDevice device;
  NavView* view = nullptr;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
  bool built = false;
  NavigatorView* nav = nullptr;
  std::vector<QsHandle> handles;
};

constexpr const char* kSections = "<TOC BODY=S TITLE=T>";

// ---- Building ----------------------------------------------------------------------------------

TEST_F(NavigatorTree, OneTopLevelEntryStartsExpandedTwoStartCollapsed) {
  NavigatorDef* definition = Definition("", kSections);
  EXPECT_EQ(Build("<D><S><T>One</T><S><T>A</T><S><T>deep</T></S></S><S><T>B</T></S></S></D>",
                  definition),
            "L0 icon=4 \"One\"\n"
            "  L1 icon=3 \"A\"\n"
            "  L1 icon=5 \"B\"\n");
  EXPECT_EQ(nav->GetKind(), 3);
  EXPECT_EQ(nav->GetNavigator(), definition);
}

TEST_F(NavigatorTree, TwoTopLevelEntriesStartCollapsed) {
  EXPECT_EQ(Build("<D><S><T>One</T></S>text<S><T>Two</T><S><T>x</T></S></S></D>",
                  Definition("", kSections)),
            "L0 icon=5 \"One\"\n"
            "L0 icon=3 \"Two\"\n");
  // The run ends with a break at the end of the document's root.
  auto* last = static_cast<LayoutItem*>(nav->items.Last());
  EXPECT_EQ(last->HandleMessage(0, 0, kNavIdentify, 0), 0);
  EXPECT_EQ(last->Position(), static_cast<std::int32_t>(doc.Doc()->Root()->end));
}

TEST_F(NavigatorTree, TitlesAndWhereTheyLead) {
  struct Case {
    const char* entries;
    const char* markup;
    const char* dump;
  } cases[] = {
      // No TITLE: the whole element is the title, and no entry is looked
      // for inside it.
      {"<TOC BODY=S>", "<D><S>ab<S>cd</S></S></D>", "L0 icon=5 \"ab\" \"cd\"\n"},
      // An entry inside another entry's title makes no node.
      {"<TOC BODY=S TITLE=T><TOC BODY=X TITLE=T>", "<D><S><T>a<X><T>b</T></X></T>c</S></D>",
       "L0 icon=5 \"a\" \"b\"\n"},  // X breaks the line, as it would in the document
      // A path of titles; the first title of the list that exists wins.
      {"<TOC BODY=S TITLE=\"H,T\"><TOC BODY=S TITLE=T>",
       "<D><S><T>plain</T></S><S><H><T>headed</T></H></S></D>",
       "L0 icon=5 \"plain\"\nL0 icon=5 \"headed\"\n"},
      // An element without its title is no entry: its entries go up a level.
      {kSections, "<D><S><X>no title</X><S><T>in</T></S></S></D>", "L0 icon=5 \"in\"\n"},
      // A title may come after the body's other content.
      {kSections, "<D><S>before<S><T>inner</T></S><T>late</T></S></D>",
       "L0 icon=4 \"late\"\n  L1 icon=5 \"inner\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.markup);
    test::DocBuilder fresh;
    fresh.Build(c.markup);
    nav = new NavigatorView(fresh.Doc(), &sheet, Definition("", c.entries), nullptr);
    view->SetFrameNode(nav);
    nav->Rebuild();
    EXPECT_EQ(Dump(), c.dump);
    view->SetFrameNode(nullptr);
    nav->Release();
    nav = nullptr;
  }
}

TEST_F(NavigatorTree, LocateBodySendsTheViewToTheBody) {
  Build("<D><S>intro<T>title</T></S><R>x<T>other</T></R></D>",
        Definition("", "<TOC BODY=S TITLE=T LOCATE=BODY><TOC BODY=R TITLE=T>"));
  std::vector<NavigatorNode*> nodes = Nodes();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(nodes[0]->flags & NavigatorNode::kLocateBody, NavigatorNode::kLocateBody);
  EXPECT_EQ(nodes[1]->flags & NavigatorNode::kLocateBody, 0);
  HitContext title;
  title.selection = 1;
  nodes[0]->Activate(view, &title);
  nodes[1]->Activate(view, &title);
  ASSERT_EQ(view->shown.size(), 2u);
  EXPECT_EQ(view->shown[0].element, Find("S"));
  EXPECT_EQ(view->shown[0].title, Find("T"));
  EXPECT_EQ(view->shown[0].position, static_cast<std::int32_t>(Find("S")->start));
  EXPECT_EQ(view->shown[1].position, static_cast<std::int32_t>(Find("T", 1)->start));
  EXPECT_NE(Find("S")->start, Find("T")->start);
}

TEST_F(NavigatorTree, MarkerClicksOpenAndCloseAndRefreshTheView) {
  Build("<D><S><T>a</T><S><T>b</T></S></S><S><T>c</T></S></D>", Definition("", kSections));
  NavigatorNode* a = NodeOf("a");
  HitContext marker;
  marker.selection = 0;
  a->Activate(view, &marker);
  EXPECT_EQ(Dump(), "L0 icon=4 \"a\"\n  L1 icon=5 \"b\"\nL0 icon=5 \"c\"\n");
  a->Activate(view, &marker);
  EXPECT_EQ(Dump(), "L0 icon=3 \"a\"\nL0 icon=5 \"c\"\n");
  EXPECT_EQ(view->refreshed, 2);
  EXPECT_EQ(CurrentView(), view);  // the bracket was undone
}

TEST_F(NavigatorTree, TitleSizesFollowTheDefinitionsBounds) {
  Rule("T8")->fontSize = 8;
  Rule("T20")->fontSize = 20;
  Rule("T4")->fontSize = 4;
  Rule("T200")->fontSize = 200;
  struct Case {
    const char* attributes;
    int sizes[4];  // displayed sizes of T8, T20, T4, T200
  } cases[] = {
      {" MIN=10 MAX=14", {1000, 1400, 1000, 1400}},
      {" MIN=0 MAX=0", {800, 2000, 600, 19200}},
      {" SCALE=50", {600, 1000, 600, 10000}},
      {" SCALE=0", {800, 2000, 600, 19200}},
  };
  const char* markup =
      "<D><S><T8>a</T8></S><S><T20>b</T20></S><S><T4>c</T4></S><S><T200>d</T200></S></D>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    Build(markup,
          Definition(c.attributes, "<TOC BODY=S TITLE=T8><TOC BODY=S TITLE=T20>"
                                   "<TOC BODY=S TITLE=T4><TOC BODY=S TITLE=T200>"));
    std::vector<NavigatorNode*> nodes = Nodes();
    ASSERT_EQ(nodes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
      auto* first = static_cast<LayoutItem*>(nodes[i]->titleItems.First());
      while (first && first->SkipForPosition()) first = first->NextItem();
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(first->Format()->displayedSize, c.sizes[i]) << i;
    }
  }
}

TEST_F(NavigatorTree, ADefinitionsOwnSheetFormatsItsTitles) {
  auto folder = std::filesystem::path(testing::TempDir()) /
                ("qs-nav-sheet-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "titles.ssh").string();
  std::ofstream(path) << "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n"
                         "<STYLESHEET VERSION=\"2.00\"><STYLE TAG=T><FONT-SIZE V=16></STYLE>"
                         "</STYLESHEET>\n";
  Rule("T")->fontSize = 9;  // the given sheet's: not used
  auto definitionWith = [&](const std::string& sheetPath) {
    std::string text = "<!DOCTYPE TOC-DEF PUBLIC \"-//Quenda//DTD Navigator v2.00//EN\" [\n"
                       "<!ENTITY StyleSpec SYSTEM \"" + sheetPath + "\">\n]>\n"
                       "<TOC-DEF><TOC BODY=S TITLE=T></TOC-DEF>";
    QsHandle h = QsOpenNavigatorText(text.c_str(), sheetPath.c_str(), nullptr, nullptr, 0);
    EXPECT_NE(h, 0u);
    handles.push_back(h);
    return static_cast<NavigatorDef*>(Handles()->LookupNavigator(h));
  };
  const char* markup = "<D><S><T>a</T></S><S><T>b</T></S></D>";
  struct Case {
    std::string sheet;
    int size;
  } cases[] = {{path, 1600}, {(folder / "missing.ssh").string(), 900}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet);
    Build(markup, definitionWith(c.sheet));
    EXPECT_EQ(nav->GetStyleSheet() == &sheet, c.size == 900);
    auto* first = static_cast<LayoutItem*>(Nodes()[0]->titleItems.First());
    while (first && first->SkipForPosition()) first = first->NextItem();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Format()->displayedSize, c.size);
  }
  std::filesystem::remove_all(folder);
}

TEST_F(NavigatorTree, APartialRunFormatsPlainly) {
  Build("<D><S><T>a</T><S><T>b</T></S></S></D>", Definition("", kSections));
  DocumentNode* section = Find("S");
  Build(nullptr, nav->GetNavigator(), section);
  EXPECT_EQ(Dump(), "");
  EXPECT_FALSE(nav->items.IsEmpty());  // the plain formatter's items
  Build(nullptr, nav->GetNavigator(), doc.Doc()->Root());
  EXPECT_EQ(Dump(), "L0 icon=4 \"a\"\n  L1 icon=5 \"b\"\n");
}

TEST_F(NavigatorTree, ExpansionSurvivesReformatting) {
  const char* markup =
      "<D>"
      "<S><T>1</T><S><T>1.1</T><S><T>1.1.1</T><S><T>1.1.1.1</T></S></S></S><S><T>1.2</T>"
      "<S><T>1.2.1</T></S></S></S>"
      "<S><T>2</T><S><T>2.1</T></S></S>"
      "<S><T>3</T><S><T>3.1</T><S><T>3.1.1</T></S></S></S>"
      "</D>";
  NavigatorDef* definition = Definition("", kSections);
  Build(markup, definition);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S"))), 2);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 1))), 2);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 2))), 2);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 8))), 2);
  const std::string expanded = Dump();
  EXPECT_EQ(expanded,
            "L0 icon=4 \"1\"\n"
            "  L1 icon=4 \"1.1\"\n"
            "    L2 icon=4 \"1.1.1\"\n"
            "      L3 icon=5 \"1.1.1.1\"\n"
            "  L1 icon=3 \"1.2\"\n"
            "L0 icon=3 \"2\"\n"
            "L0 icon=4 \"3\"\n"
            "  L1 icon=3 \"3.1\"\n");
  NavigatorNode* before = Nodes()[0];
  nav->Rebuild();  // the same view: every node new
  EXPECT_EQ(Dump(), expanded);
  EXPECT_TRUE(nav->savedExpansion.IsEmpty());
  (void)before;
  // Re-applying the definition keeps them too.
  FrameNode::ReapplyNavigator(definition);
  EXPECT_EQ(Dump(), expanded);
}

TEST_F(NavigatorTree, DeepNestingStopsAtTheStacks) {
  for (int depth : {47, 48, 60, 200}) {
    SCOPED_TRACE(depth);
    std::string markup = "<D>";
    for (int i = 0; i < depth; ++i) markup += "<S><T>" + std::to_string(i) + "</T>";
    for (int i = 0; i < depth; ++i) markup += "</S>";
    markup += "</D>";
    if (nav) {
      view->SetFrameNode(nullptr);
      nav->Release();
      nav = nullptr;
    }
    docHolder = std::make_unique<test::DocBuilder>();
    docHolder->Build(markup.c_str());
    nav = new NavigatorView(docHolder->Doc(), &sheet, Definition("", kSections), nullptr);
    view->SetFrameNode(nav);
    nav->Rebuild();
    // Reveal the deepest position: every node on the way opens.
    SendAll(kNavReveal, static_cast<std::intptr_t>(docHolder->Doc()->Root()->end - 1));
    std::vector<NavigatorNode*> nodes = Nodes();
    // D is open element 1: sections 1 to 47 below it are followed.
    const int expected = depth < 47 ? depth : 47;
    ASSERT_EQ(static_cast<int>(nodes.size()), expected);
    EXPECT_EQ(nodes.back()->level, expected - 1);
    // A title past the stacks still reaches the innermost node's title.
    if (depth >= 47) EXPECT_NE(test::NavigatorNodeLine(nodes.back()).find("\"46\""), std::string::npos);
    view->SetFrameNode(nullptr);
    nav->Release();
    nav = nullptr;
  }
}

// ---- Messages ----------------------------------------------------------------------------------

constexpr const char* kTree =
    "<D>"
    "<S><T>a</T>aa<S><T>a1</T>xx<S><T>a1x</T>yy</S></S><S><T>a2</T>zz</S></S>"
    "<S><T>b</T>bb</S>"
    "<S><T>c</T><S><T>c1</T>cc</S></S>"
    "</D>";

TEST_F(NavigatorTree, OpenAndCloseReachOnlyListedNodes) {
  Build(kTree, Definition("", kSections));
  DocumentNode* a1 = Find("S", 1);
  // a1 lies inside the collapsed a: nobody answers.
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(a1)), 0);
  EXPECT_EQ(SendUntil(kNavClose, reinterpret_cast<std::intptr_t>(a1)), 0);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S"))), 2);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S"))), 1);
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(a1)), 2);
  EXPECT_EQ(Dump(),
            "L0 icon=4 \"a\"\n  L1 icon=4 \"a1\"\n    L2 icon=5 \"a1x\"\n  L1 icon=5 \"a2\"\n"
            "L0 icon=5 \"b\"\nL0 icon=3 \"c\"\n");
  // Closing a collapses its subtree: opening it again shows one level.
  EXPECT_EQ(SendUntil(kNavClose, reinterpret_cast<std::intptr_t>(Find("S"))), 2);
  EXPECT_EQ(SendUntil(kNavClose, reinterpret_cast<std::intptr_t>(Find("S"))), 1);
  EXPECT_EQ(Dump(), "L0 icon=3 \"a\"\nL0 icon=5 \"b\"\nL0 icon=3 \"c\"\n");
  EXPECT_EQ(SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S"))), 2);
  EXPECT_EQ(Dump(),
            "L0 icon=4 \"a\"\n  L1 icon=3 \"a1\"\n  L1 icon=5 \"a2\"\n"
            "L0 icon=5 \"b\"\nL0 icon=3 \"c\"\n");
  // The list's last item stays the closing break through it all.
  EXPECT_EQ(static_cast<LayoutItem*>(nav->items.Last())->HandleMessage(0, 0, kNavIdentify, 0), 0);
  EXPECT_EQ(nav->items.Last()->Next(), nullptr);
}

TEST_F(NavigatorTree, TheDeepestVisibleNodeHoldsThePosition) {
  Build(kTree, Definition("", kSections));
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S")));
  DocumentNode* a1x = Find("S", 2);
  DocumentNode* c1 = Find("S", 6);
  struct Case {
    std::uint32_t position;
    DocumentNode* current;
  } cases[] = {
      {a1x->start + 3, Find("S", 1)},  // a1 is collapsed: it holds it
      {Find("S", 3)->start, Find("S", 3)},
      {Find("S")->start + 1, Find("S")},
      {c1->start, Find("S", 5)},  // inside the collapsed c
      {doc.Doc()->Root()->end, nullptr},
  };
  for (const Case& c : cases) {
    SendAll(kNavCurrent, c.position);
    EXPECT_EQ(nav->GetCurrentElement(), c.current) << c.position;
    int current = 0;
    for (NavigatorNode* n : Nodes()) current += (n->flags & NavigatorNode::kCurrent) ? 1 : 0;
    EXPECT_EQ(current, c.current ? 1 : 0);
  }
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 1)));
  SendAll(kNavCurrent, a1x->start + 3);
  EXPECT_EQ(nav->GetCurrentElement(), a1x);
  EXPECT_EQ(test::NavigatorNodeLine(NodeOf("a1x")), "    L2 icon=8 \"a1x\"");
}

TEST_F(NavigatorTree, PositionMessagesRepaintOnlyChangedMarkers) {
  Build(kTree, Definition("", kSections));
  std::vector<NavigatorNode*> nodes = Nodes();
  ASSERT_EQ(nodes.size(), 3u);
  for (NavigatorNode* n : nodes) {
    ListHead boxes;
    n->MakeBoxes(boxes);
    boxes.DeleteAll();
  }
  device.log.clear();
  // Into b: only b changes, to the current leaf's icon.
  for (NavigatorNode* n : nodes) n->HandleMessage(100, 40, kNavCurrentRepaint, Find("S", 4)->start);
  EXPECT_EQ(device.log, "ERASE 100 40 111 54\nICON 8 102 44 1\n");
  device.log.clear();
  // Into c: b is no longer current, c (collapsed, icon 6 of 11 by 14) is.
  for (NavigatorNode* n : nodes) n->HandleMessage(100, 40, kNavCurrentRepaint, Find("S", 5)->start);
  EXPECT_EQ(device.log,
            "ERASE 100 40 111 54\nICON 5 102 44 1\n"
            "ERASE 100 40 111 54\nICON 6 100 40 1\n");
  device.log.clear();
  // The same position again: nothing changes, nothing is drawn.
  for (NavigatorNode* n : nodes) n->HandleMessage(100, 40, kNavCurrentRepaint, Find("S", 5)->start);
  for (NavigatorNode* n : nodes) n->HandleMessage(100, 40, kNavCurrent, Find("S")->start);
  EXPECT_EQ(device.log, "");
  EXPECT_EQ(nav->GetCurrentElement(), Find("S"));
}

TEST_F(NavigatorTree, HitCountsAndTheirText) {
  Build(kTree, Definition("", kSections));
  NavigatorNode* a = Nodes()[0];
  DocumentNode* element = a->Element();
  struct Case {
    int hits;
    int stored;
    const char* text;
  } cases[] = {{0, 0, ""}, {1, 1, "1"}, {999, 999, "999"}, {1000, 1000, ">999"},
               {5000, 1002, ">999"}};
  for (const Case& c : cases) {
    PairList hits;
    hits.Append(0, element->start);  // ends where a starts: not a's
    for (int i = 0; i < c.hits; ++i) hits.Append(element->start, element->start + 1);
    hits.Append(element->end, element->end + 1);  // starts at a's end
    a->HandleMessage(0, 0, kNavCountHits, reinterpret_cast<std::intptr_t>(&hits));
    EXPECT_EQ(a->hitCount, c.stored) << c.hits;
    char text[8];
    NavigatorNode::HitCountText(a->hitCount, text);
    EXPECT_STREQ(text, c.text);
  }
  // A collapsed node passes the list on to its children; 0 clears.
  PairList inA1;
  inA1.Append(Find("S", 2)->start, Find("S", 2)->start + 1);
  a->HandleMessage(0, 0, kNavCountHits, reinterpret_cast<std::intptr_t>(&inA1));
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(element));
  EXPECT_EQ(test::NavigatorNodeLine(NodeOf("a1")), "  L1 icon=3 hits=1 \"a1\"");
  EXPECT_EQ(test::NavigatorNodeLine(NodeOf("a2")), "  L1 icon=5 \"a2\"");
  a->HandleMessage(0, 0, kNavCountHits, 0);
  EXPECT_EQ(a->hitCount, 0);
  // Drawn only when the view shows counts: right-aligned 2 left of the indent.
  a->hitCount = 1000;
  view->viewFlags = DocumentView::kShowHitCounts;
  ListHead boxes;
  a->MakeBoxes(boxes);
  device.log.clear();
  static_cast<DisplayBox*>(boxes.First())->Draw(0, 0);
  // ">999" is 24 wide; baseline at (14 + 10) / 2 - 2.
  EXPECT_NE(device.log.find("TEXT " + std::to_string(kCountColumn - 24 - 2) + " 10 >999\n"),
            std::string::npos)
      << device.log;
  boxes.DeleteAll();
}

TEST_F(NavigatorTree, MarkingAndCollecting) {
  Build(kTree, Definition("", kSections));
  NavigatorNode* a = Nodes()[0];
  NavigatorNode* c = Nodes()[2];
  EXPECT_EQ(a->HandleMessage(0, 0, kNavIdentify, 0), 1);
  c->HandleMessage(0, 0, kNavMark, 0);
  a->HandleMessage(0, 0, kNavMark, 0);
  EXPECT_EQ(a->HandleMessage(0, 0, kNavIdentify, 0), 2);
  // The whole subtree, hidden children included.
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(a->Element()));
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 1)));
  for (const char* t : {"a1", "a1x", "a2"})
    EXPECT_EQ(NodeOf(t)->HandleMessage(0, 0, kNavIdentify, 0), 2) << t;
  NodeOf("a1")->HandleMessage(0, 0, kNavUnmark, 0);
  EXPECT_EQ(NodeOf("a1x")->HandleMessage(0, 0, kNavIdentify, 0), 1);
  EXPECT_EQ(NodeOf("a2")->HandleMessage(0, 0, kNavIdentify, 0), 2);
  // Collected in document order with their marks.
  ListHead collected;
  SendAll(kNavCollect, reinterpret_cast<std::intptr_t>(&collected));
  std::string seen;
  for (ListNode* n = collected.First(); n; n = n->Next()) {
    auto* r = static_cast<NavigatorRangeRecord*>(n);
    EXPECT_EQ(NavigatorDef::FindTitleElement(r->element, "T"), r->title);
    seen += std::to_string(r->element->start) + (r->marked ? "m " : " ");
  }
  // Visible nodes only: a, a1, a1x, a2, b, c (c's child c1 is hidden).
  EXPECT_EQ(seen, std::to_string(Find("S")->start) + "m " + std::to_string(Find("S", 1)->start) +
                      " " + std::to_string(Find("S", 2)->start) + " " +
                      std::to_string(Find("S", 3)->start) + "m " +
                      std::to_string(Find("S", 4)->start) + " " +
                      std::to_string(Find("S", 5)->start) + "m ");
  // Pruned: unmarked nodes stay only around marked ones.
  PruneNodeList(collected);
  int kept = 0;
  for (ListNode* n = collected.First(); n; n = n->Next()) ++kept;
  EXPECT_EQ(kept, 3);  // a, a2 and c: nothing marked lies in a1, a1x or b
  collected.DeleteAll();
}

TEST_F(NavigatorTree, RevealOpensTheWayToAPosition) {
  Build(kTree, Definition("", kSections));
  SendAll(kNavReveal, Find("S", 2)->start + 3);
  EXPECT_EQ(Dump(),
            "L0 icon=4 \"a\"\n  L1 icon=4 \"a1\"\n    L2 icon=5 \"a1x\"\n  L1 icon=5 \"a2\"\n"
            "L0 icon=5 \"b\"\nL0 icon=3 \"c\"\n");
  // Outside every node: nothing changes.
  SendAll(kNavReveal, doc.Doc()->Root()->end);
  EXPECT_EQ(Nodes().size(), 6u);
}

TEST_F(NavigatorTree, NodeQueries) {
  Build("<D><S><T>a</T><S><T>a1</T></S><S><T></T>empty</S><S><T>a3</T></S></S>"
        "<S><T>b</T></S></D>",
        Definition("", kSections));
  DocumentNode* a = Find("S");
  DocumentNode* a1 = Find("S", 1);
  DocumentNode* empty = Find("S", 2);
  DocumentNode* a3 = Find("S", 3);
  DocumentNode* b = Find("S", 4);
  NodeQuery q;
  struct Case {
    int message;
    DocumentNode* element;
    std::intptr_t answer;
    DocumentNode* found;
  } cases[] = {
      {kNavQueryPrevious, a, -1, nullptr},  // the first top-level node
      {kNavQueryNext, a, 1, b},
      {kNavQueryPrevious, b, 1, a},
      {kNavQueryNext, b, -1, nullptr},
      {kNavQueryParent, a1, 1, a},
      {kNavQueryParent, a, -1, nullptr},
      {kNavQueryFirstChild, a, 1, a1},
      {kNavQueryFirstChild, b, -1, nullptr},
      {kNavQueryNext, a1, 1, empty},
      {kNavQueryNext, empty, 1, a3},
      {kNavQueryPrevious, a3, 1, empty},
      {kNavQuerySelf, empty, 1, empty},
      {kNavQuerySelf, Find("T", 1), 1, a1},  // inside the node: the node answers
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Query(c.message, c.element, &q), c.answer) << c.message << " " << c.element->start;
    if (c.answer == 1) EXPECT_EQ(q.element, c.found) << c.message << " " << c.element->start;
  }
  // Answers carry the node's fields.
  ASSERT_EQ(Query(kNavQueryParent, a1, &q), 1);
  EXPECT_EQ(q.titleElement, Find("T"));
  EXPECT_EQ(q.level, 0);
  EXPECT_EQ(q.flags, 0);
  // With no element the first node answers for itself.
  q = NodeQuery();
  EXPECT_EQ(Nodes()[0]->HandleMessage(0, 0, kNavQuerySelf, reinterpret_cast<std::intptr_t>(&q)), 1);
  EXPECT_EQ(q.element, a);
  // The empty title still takes a line of its own.
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(a));
  NavigatorNode* node = Nodes()[2];
  ASSERT_EQ(node->Element(), empty);
  ListHead boxes;
  node->MakeBoxes(boxes);
  auto* box = static_cast<DisplayBox*>(boxes.First());
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetAscent() + box->GetDescent(), kLineHeight);
  boxes.DeleteAll();
}

// ---- Geometry ----------------------------------------------------------------------------------

TEST_F(NavigatorTree, GeometryOfANode) {
  Rule("BIG")->fontSize = 30;  // a first line 30 high (24 + 6 at 72 dpi)
  Build("<D><S><T>a</T><S><T>b</T><S><BIG>big</BIG></S></S></S></D>",
        Definition("", "<TOC BODY=S TITLE=T><TOC BODY=S TITLE=BIG>"));
  SendUntil(kNavOpen, reinterpret_cast<std::intptr_t>(Find("S", 1)));
  NavigatorNode* big = NodeOf("big");
  ASSERT_NE(big, nullptr);
  ASSERT_EQ(big->level, 2);
  for (bool counts : {false, true}) {
    SCOPED_TRACE(counts);
    view->viewFlags = counts ? DocumentView::kShowHitCounts : 0;
    const int indent = (counts ? kCountColumn : 0) + 24;
    ListHead boxes;
    big->MakeBoxes(boxes);
    auto* box = static_cast<NavigatorNodeBox*>(boxes.First());
    EXPECT_EQ(big->Indent(), indent);
    EXPECT_EQ(box->titleOffset, indent + kIconWidth + 4);
    EXPECT_EQ(box->GetWidth(), indent + kIconWidth + 4 + 18 * 3);
    EXPECT_EQ(box->GetDescent(), 30);
    EXPECT_EQ(big->markerTop, (30 - kLineHeight) / 2);
    // Marker icon 5 (9 by 6) right-aligned in the cell, centred on the line.
    device.log.clear();
    box->Draw(100, 200);
    EXPECT_EQ(device.log.substr(0, device.log.find('\n')),
              "ICON 5 " + std::to_string(100 + indent + kIconWidth - 9) + " " +
                  std::to_string(200 + 8 + (kLineHeight - 6) / 2) + " 1");
    struct Point {
      int x, y, code;
    } points[] = {
        {indent + kIconWidth - 9, 8 + 4, 10},  // on the leaf's icon
        {indent + kIconWidth - 1, 8 + 4 + 5, 10},
        {indent + kIconWidth - 10, 12, 0},  // left of it
        {indent + kIconWidth - 5, 8 + 3, 0},  // above it
        {indent + kIconWidth, 12, 7},  // the title
        {indent + kIconWidth + 30, 2, 7},
        {0, 0, 0},
    };
    for (const Point& p : points) EXPECT_EQ(box->GetPointerKindAt(p.x, p.y), p.code) << p.x << "," << p.y;
    boxes.DeleteAll();
  }
  view->viewFlags = 0;
  // Collapsed and expanded markers.
  NavigatorNode* b = NodeOf("b");
  ListHead boxes;
  b->MakeBoxes(boxes);
  auto* box = static_cast<DisplayBox*>(boxes.First());
  const int at = 12 + kIconWidth - 9;
  EXPECT_EQ(box->GetPointerKindAt(at, 4), 8);
  SendUntil(kNavClose, reinterpret_cast<std::intptr_t>(Find("S", 1)));
  EXPECT_EQ(box->GetPointerKindAt(at, 4), 9);
  HitContext press;
  EXPECT_EQ(box->PressRange(at, 4, press), 1);
  EXPECT_EQ(press.selection, 0);
  EXPECT_EQ(box->PressRange(12 + kIconWidth + 1, 4, press), 1);
  EXPECT_EQ(press.selection, 1);
  EXPECT_EQ(press.left, 12 + kIconWidth + 4);
  EXPECT_EQ(box->PressRange(2, 4, press), 0);
  boxes.DeleteAll();
}

TEST_F(NavigatorTree, TheMarkOverlayAndPointSearchesIntoTitles) {
  Build("<D><S><T>abc</T></S><S><T>d</T></S></D>", Definition("", kSections));
  NavigatorNode* a = Nodes()[0];
  a->HandleMessage(0, 0, kNavMark, 0);
  ListHead boxes;
  a->MakeBoxes(boxes);
  auto* box = static_cast<DisplayBox*>(boxes.First());
  device.log.clear();
  box->Draw(0, 0);
  EXPECT_EQ(device.log.substr(0, device.log.find("TEXT")),
            "ICON 5 2 4 1\nICON 9 6 5 1\n");
  int x = -1, y = -1;
  EXPECT_EQ(box->ChildAt(kIconWidth + 4 + 7, 3, &x, &y), box);
  EXPECT_EQ(x, kIconWidth + 4 + 7);
  {
    PointQueryScope query;
    DisplayBox* child = box->ChildAt(kIconWidth + 4 + 7, 3, &x, &y);
    ASSERT_NE(child, box);
    EXPECT_GE(child->GetStart(), static_cast<std::int32_t>(Find("T")->start));
    EXPECT_LT(child->GetStart(), static_cast<std::int32_t>(Find("T")->end));
  }
  EXPECT_EQ(PointQueryDepth(), 0);
  boxes.DeleteAll();
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// The DocBook folder's entityrc names its navigator for DocBook manuals:
// a manual loads it as its first navigator, and it lists the book, its
// chapters and appendices and their sections.
TEST(DocBookNavigator, TheEntityrcNamesItForAManual) {
  test::RecordingSink sink;
  const char* source = std::getenv("QS_SOURCE_DIR");
  const std::string top = source ? source : ".";
  const std::string home = top + "/samples/home/";
  const std::string catalog = home + "catalog/catalog";
  const std::string entityrc = top + "/samples/docbook/entityrc";
  ASSERT_NE(QsInitialize(0, "test", catalog.c_str(), entityrc.c_str(), nullptr, nullptr,
                         home.c_str()),
            0);
  auto folder = std::filesystem::path(testing::TempDir()) /
                ("qs-docbook-nav-" + std::to_string(reinterpret_cast<std::uintptr_t>(&sink)));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "manual.xml").string();
  std::ofstream(path) << "<?xml version=\"1.0\"?>\n"
                         "<!DOCTYPE book PUBLIC \"-//OASIS//DTD DocBook XML V4.5//EN\" "
                         "\"http://www.oasis-open.org/docbook/xml/4.5/docbookx.dtd\">\n"
                         "<book><bookinfo><title>Manual</title></bookinfo>"
                         "<chapter><title>One</title><sect1><title>Start</title><para>x</para>"
                         "</sect1></chapter><appendix><title>Extra</title></appendix></book>\n";
  QsHandle d = QsParseDocument(path.c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(d, 0u);
  QsHandle n = QsLoadNavigator(d, 0, nullptr, 0);
  ASSERT_NE(n, 0u);
  auto* definition = static_cast<NavigatorDef*>(Handles()->LookupNavigator(n));
  EXPECT_STREQ(definition->Name(), "DocBook Contents");
  QsHandle s = QsLoadStyleSheet(d, 0, nullptr, 0);
  auto* sheet = s ? static_cast<StyleSheet*>(Handles()->LookupStyleSheet(s)) : nullptr;
  {
    test::TestDevice device(72, 30000, 400);
    auto* view = new test::TestView(&device);
    auto* nav = new NavigatorView(static_cast<Document*>(Handles()->LookupDocument(d)), sheet,
                                  definition, nullptr);
    view->SetFrameNode(nav);
    PushCurrentView(view, false);
    nav->Rebuild();
    std::string dump = test::NavigatorDump(nav);
    EXPECT_NE(dump.find("L0 icon=4 \""), std::string::npos) << dump;
    EXPECT_NE(dump.find("Manual\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\n  L1 icon=3 \""), std::string::npos) << dump;
    EXPECT_NE(dump.find("One\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\n  L1 icon=5 \""), std::string::npos) << dump;
    EXPECT_NE(dump.find("Extra\""), std::string::npos) << dump;
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 3) << dump;
    PopCurrentView();
    view->SetFrameNode(nullptr);
    view->Release();
    nav->Release();
  }
  if (s) QsReleaseHandle(s);
  QsReleaseHandle(n);
  QsReleaseHandle(d);
  QsTerminate();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace qs
