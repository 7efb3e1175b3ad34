#include "style/formatter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "error_recorder.h"
#include "layout/counters.h"
#include "layout/entity_items.h"
#include "layout/generated_text.h"
#include "layout/mark_items.h"
#include "layout/tag_items.h"
#include "layout/text_item.h"
#include "recording_sink.h"
#include "sgml/external_id.h"
#include "sgml/mark_kinds.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "test_device.h"
#include "view/current_view.h"
#include "view/graphic_services.h"

namespace qs {
namespace {

// The items of a frame, one a line: "B@pos+space", "T from-to", "E@pos"
// (record end), "TAB@pos", "S 'text'" (generated text), "L 'text'" (the
// same in a link), "<NAME" and "</NAME" (tags), "PI@pos" and "HPI@pos"
// (shown and hidden instructions), "N label" (list number), "C n" (counter); " *" marks a
// text run inside a link and "/b" a bold format.
std::string Dump(FrameTreeNode* frame) {
  std::string out;
  for (auto* n = frame->items.First(); n; n = n->Next()) {
    auto* item = static_cast<LayoutItem*>(n);
    std::string line;
    if (auto* b = dynamic_cast<BreakItem*>(item)) {
      line = "B@" + std::to_string(b->Position()) + "+" + std::to_string(b->SpaceAbovePoints());
    } else if (auto* t = dynamic_cast<TextItem*>(item)) {
      line = "T " + std::to_string(t->Position()) + "-" + std::to_string(t->End()) +
             (t->IsLinkSource() ? " *" : "");
    } else if (dynamic_cast<RecordEndItem*>(item)) {
      line = "E@" + std::to_string(item->Position());
    } else if (dynamic_cast<TabItem*>(item)) {
      line = "TAB@" + std::to_string(item->Position());
    } else if (auto* s = dynamic_cast<StyleTextItem*>(item)) {
      line = std::string(s->IsLinkText() ? "L '" : "S '") + s->TemplateText() + "'";
    } else if (auto* l = dynamic_cast<ListNumberItem*>(item)) {
      char label[260];
      l->Label(label);
      line = std::string("N ") + label;
    } else if (auto* c = dynamic_cast<CounterItem*>(item)) {
      line = "C " + std::to_string(c->Value() & 0x1FFF);
    } else if (auto* st = dynamic_cast<StartTagItem*>(item)) {
      line = std::string("<") + st->GetElement()->GetNameText();
    } else if (auto* et = dynamic_cast<EndTagItem*>(item)) {
      line = std::string("</") + et->GetElement()->GetNameText();
    } else if (dynamic_cast<ProcInstrItem*>(item)) {
      line = "PI@" + std::to_string(item->Position());
    } else if (dynamic_cast<HiddenProcInstrItem*>(item)) {
      line = "HPI@" + std::to_string(item->Position());
    } else if (auto* e = dynamic_cast<EntityRefItem*>(item)) {
      line = "ENT@" + std::to_string(e->Position()) + " " + e->Entity()->GetName() +
             (e->Icon() ? " icon" : "") + (e->InLink() ? " *" : "");
    } else if (auto* tp = dynamic_cast<TextPieceItem*>(item)) {
      line = std::string("P '") + tp->TemplateText() + "'";
    } else if (auto* w = dynamic_cast<WidgetItem*>(item)) {
      line = std::string("W ") + w->WidgetName();
    } else {
      line = "?";
    }
    if (item->Format() && (item->Format()->flags & TextFormat::kBold)) line += "/b";
    out += line + "\n";
  }
  return out;
}

class HostView : public test::TestView {
 public:
  using TestView::TestView;
  int AskHostForLocation(Document*, DocumentNode* element) override {
    asked.push_back(element->GetNameText());
    return answer;
  }
  int answer = 0;
  std::vector<std::string> asked;
};

class Formatting : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    sheet.AddUse();  // held here: the frames' uses must not free it
    view = new HostView(&device);
    PushCurrentView(view, false);
  }
  void TearDown() override {
    if (frame) frame->Release();
    docHolder.reset();
    PopCurrentView();
    view->Release();
    sheet.ClearRules();
    QsTerminate();
  }
  // Formats the markup with the sheet; returns the dump.
  std::string Format(const char* markup, std::uint32_t flags = 0) {
    if (!built) doc.Build(markup);
    built = true;
    if (frame) frame->Release();
    frame = new FrameNode(doc.Doc(), &sheet, flags, nullptr);
    frame->Rebuild();
    // Every run leaves the process-wide state as it found it.
    EXPECT_EQ(ScaleDepth(), 0);
    EXPECT_EQ(CurrentScale(), 100);
    EXPECT_EQ(FormatterSkipCount(), 0);
    EXPECT_EQ(FormatterGlobalsDepth(), 0);
    EXPECT_EQ(CurrentFormatCache(), nullptr);
    return Dump(frame);
  }
  void AddMark(Mark* mark) { doc.Doc()->AppendMark(mark); }
  StyleRule* Rule(const char* tag) { return sheet.AddRule(new StyleRule(tag, 0)); }
  static void Bold(StyleProps* style) {
    StyleProps::SetBits(&style->fontByte, StyleProps::kWeightMask, StyleProps::kWeightBold);
  }

  test::RecordingSink sink_;
  test::TestDevice device;
  HostView* view = nullptr;
  StyleSheet sheet{static_cast<ExternalId*>(nullptr)};
  // Made after the engine, gone before it.
  std::unique_ptr<test::DocBuilder> docHolder = std::make_unique<test::DocBuilder>();
  test::DocBuilder& doc = *docHolder;
  bool built = false;
  FrameNode* frame = nullptr;
};

TEST_F(Formatting, AnElementWithoutARuleBreaksAroundAndKeepsTheEnclosingFormat) {
  Bold(Rule("R"));
  EXPECT_EQ(Format("<R>ab<P>cd</P>ef</R>"),
            "B@0+0\n"     // the run's opening break, in the base format
            "B@0+0/b\n"   // owed by R's start
            "T 0-2/b\n"
            "B@2+0/b\n"   // owed by P's start
            "T 2-4/b\n"   // P's text in R's format
            "B@4+0/b\n"   // owed by P's end
            "T 4-6/b\n"
            "B@6+0\n");  // the closing break, after R's format went
}

TEST_F(Formatting, RecordEndsAndTabs) {
  doc.Build("<R>ab  cd ef g</R>");
  built = true;
  auto& pool = doc.Doc()->Pool();
  AddMark(new (pool) SimpleMark(kMarkRecordEnd, 2));
  AddMark(new (pool) SimpleMark(kMarkRecordEnd, 3));  // an empty line
  AddMark(new (pool) SimpleMark(kMarkTab, 6));
  AddMark(new (pool) SimpleMark(kMarkRecordEnd, 9));  // one alone owes a break
  EXPECT_EQ(Format(nullptr),
            "B@0+0\nB@0+0\nT 0-2\n"
            "B@3+0\nE@3\n"
            "B@4+0\nT 4-6\nTAB@6\nT 7-9\n"
            "B@10+0\nT 10-11\n"
            "B@11+0\n");
}

TEST_F(Formatting, TheLaterMatchingQualifiedStyleWins) {
  StyleRule* p = Rule("P");
  p->spaceAbove = 1;
  p->AddQualStyle("[TYPE]")->spaceAbove = 2;
  p->AddQualStyle("[TYPE]=\"warning\"")->spaceAbove = 3;
  p->AddQualStyle("[ROLE]")->spaceAbove = 4;  // does not hold
  EXPECT_EQ(Format("<R><P>a</P><P TYPE=note>b</P><P TYPE=warning>c</P></R>"),
            "B@0+0\nB@0+1\nT 0-1\nB@1+2\nT 1-2\nB@2+3\nT 2-3\nB@3+0\n");
}

TEST_F(Formatting, VisibilityAskedOfTheHost) {
  StyleRule* h = Rule("H");
  StyleProps::SetBits(&h->layout, StyleProps::kVisibleMask, StyleProps::kVisibleQuery);
  h->EnsureAfter()->SetText("after");
  Rule("X")->EnsureBefore()->SetText("x");  // hidden with H's content
  const char* markup = "<R>a<H>b<X>c</X></H>d</R>";
  view->answer = 0;  // shown
  EXPECT_EQ(Format(markup),
            "B@0+0\nB@0+0\nT 0-1\nB@1+0\nT 1-2\nB@2+0\nS 'x'\nT 2-3\nB@3+0\nS 'after'\n"
            "B@3+0\nT 3-4\nB@4+0\n");
  view->answer = 1;  // hidden: nothing of H, not even its breaks
  EXPECT_EQ(Format(markup), "B@0+0\nB@0+0\nT 0-1\nT 3-4\nB@4+0\n");
  view->answer = 2;  // skipped, without its end
  EXPECT_EQ(Format(markup), "B@0+0\nB@0+0\nT 0-1\nT 3-4\nB@4+0\n");
  EXPECT_EQ(view->asked, (std::vector<std::string>{"H", "H", "H"}));
}

TEST_F(Formatting, ListsNumberByLevel) {
  StyleRule* list = Rule("L");
  list->numbering = 2;  // HZero
  Rule("I")->numbering = 4;  // HItem
  Rule("B")->numbering = 3;  // HBlock
  std::string out = Format("<R><L><I>a</I><I>b<B><I>c</I><I>d</I></B></I><I>e</I></L></R>");
  std::string numbers;
  for (std::size_t at = 0; (at = out.find("N ", at)) != std::string::npos; at += 2)
    numbers += out.substr(at + 2, out.find('\n', at) - at - 2) + ";";
  EXPECT_EQ(numbers, "1. ;2. ;2.1. ;2.2. ;3. ;");
}

TEST_F(Formatting, CountersCountLinearElements) {
  Rule("I")->numbering = 1;
  std::string out = Format("<R><I>a</I><I>b</I><I>c</I></R>");
  EXPECT_NE(out.find("C 1\nT 0-1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("C 3\nT 2-3\n"), std::string::npos) << out;
}

TEST_F(Formatting, DeepTreesFormatCleanly) {
  Rule("D")->numbering = 2;  // every level opens a list
  Bold(Rule("D"));
  std::string markup = "<R>";
  for (int i = 0; i < 300; ++i) markup += "<D>x";
  for (int i = 0; i < 300; ++i) markup += "</D>";
  markup += "</R>";
  std::string out = Format(markup.c_str());
  // Every character still comes out once.
  int runs = 0;
  for (std::size_t at = 0; (at = out.find("T ", at)) != std::string::npos; ++at) ++runs;
  EXPECT_EQ(runs, 300);
  EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(Formatting, TextInsideALinkSourceCarriesTheLinkFlag) {
  doc.Build("<R>a<A>b</A>c</R>");
  built = true;
  doc.Doc()->Root()->First()->flags |= 0x02;
  EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nT 0-1\nB@1+0\nT 1-2 *\nB@2+0\nT 2-3\nB@3+0\n");
}

TEST_F(Formatting, TagsAndInstructionsByTheFrameFlags) {
  doc.Build("<R><P>abcd</P>ef</R>");
  built = true;
  auto& pool = doc.Doc()->Pool();
  AddMark(new (pool) MarkupMark(kMarkProcessingInstruction, 0, 2));  // at P's start
  AddMark(new (pool) MarkupMark(kMarkProcessingInstruction, 3, 4));  // inside
  // Without flags only the instruction at an element's start makes an
  // item, and a hidden one.
  EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nHPI@0\nT 2-3\nB@4+0\nT 4-6\nB@6+0\n");
  EXPECT_EQ(Format(nullptr, 2),
            "B@0+0\nB@0+0\nPI@0\nT 2-3\nPI@3\nB@4+0\nT 4-6\nB@6+0\n");
  // Tags: each start after the break its element owes, each end before.
  EXPECT_EQ(Format(nullptr, 1),
            "B@0+0\nB@0+0\n<R\nB@0+0\n<P\nHPI@0\nT 2-3\n</P\nB@4+0\nT 4-6\n</R\nB@6+0\n");
}

TEST_F(Formatting, ANinthNestedAcquireIsRefusedAndLeavesTheOuterCaches) {
  test::ErrorRecorder errors;
  std::vector<FormatCache*> caches;
  for (int i = 0; i < kFormatterGlobalsDepth; ++i) {
    AcquireFormatterGlobals();
    caches.push_back(CurrentFormatCache());
  }
  AcquireFormatterGlobals();
  EXPECT_EQ(errors.errors, std::vector<int>{0});
  EXPECT_EQ(errors.arguments, std::vector<std::intptr_t>{17});
  EXPECT_EQ(CurrentFormatCache(), caches.back());
  ReleaseFormatterGlobals(nullptr);  // the refused one's
  EXPECT_EQ(CurrentFormatCache(), caches.back());
  for (int i = kFormatterGlobalsDepth - 1; i >= 0; --i) {
    EXPECT_EQ(CurrentFormatCache(), caches[i]);
    ReleaseFormatterGlobals(nullptr);
  }
  EXPECT_EQ(CurrentFormatCache(), nullptr);
  EXPECT_EQ(CurrentMergedStyleCache(), nullptr);
}


// ---- Entity references, icons and widgets ----------------------------------------------

// Icon images by name, each a token object whose uses are counted.
class IconGraphics : public GraphicServices {
 public:
  IconGraphics() { previous_ = SetGraphicServices(this); }
  ~IconGraphics() override { SetGraphicServices(previous_); }
  GraphicObject* GetIconGraphic(StyleSheet*, const char* name) override {
    asked.push_back(name);
    ++uses;
    return reinterpret_cast<GraphicObject*>(&token);
  }
  void AddRef(GraphicObject*) override { ++uses; }
  void Release(GraphicObject*) override { --uses; }
  std::vector<std::string> asked;
  int uses = 0;
  int token = 0;

 private:
  GraphicServices* previous_;
};

class EntityFormatting : public Formatting {
 protected:
  // A GIF data entity of the document.
  EntityDecl* AddGif(const char* name) {
    if (!gif) {
      gif = new NotationDecl("GIF");
      doc.GetDtd().AddNotation(gif);
    }
    auto* entity = new ExternalEntityDecl(name, new ExternalId(name, "fig.gif", nullptr),
                                          kEntityNdata, gif);
    doc.Doc()->AddEntity(entity);
    return entity;
  }
  // The reference mark of `entity` at `at`, with the entity node over the
  // blank that stands for it.
  void Reference(EntityDecl* entity, std::uint32_t at) {
    AddMark(new (doc.Doc()->Pool()) EntityRefMark(at, entity));
  }
  // Builds the markup; its entity nodes take their element type's style.
  void BuildWithEntities(const char* markup) {
    doc.Build(markup);
    built = true;
    doc.Doc()->NoteTypeUse(doc.GetDtd().FindOrDeclareElementType("#ENTITY"));
  }
  StyleRule* Inline(const char* tag) {
    StyleRule* rule = Rule(tag);
    StyleProps::SetBits(&rule->fontByte, StyleProps::kBreakBefore | StyleProps::kBreakAfter, 0);
    return rule;
  }
  NotationDecl* gif = nullptr;
};

TEST_F(EntityFormatting, AReferenceBecomesAnEntityItemInItsElement) {
  EntityDecl* fig = AddGif("fig");
  Inline("#ENTITY");
  BuildWithEntities("<R>a&fig; b</R>");
  // The entity node covers the blank the reference stands on.
  doc.Doc()->Root()->First()->end = 2;
  Reference(fig, 1);
  EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nT 0-1\nENT@1 fig\nT 2-3\nB@3+0\n");
  // Inside a link source the item carries the link flag and counts as the
  // link's content (no empty-link marker is owed).
  doc.Doc()->Root()->flags |= 0x02;
  EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nT 0-1 *\nENT@1 fig *\nT 2-3 *\nB@3+0\n");
}

TEST_F(EntityFormatting, AStyledNotationGetsItsTextPiecesAroundTheReference) {
  EntityDecl* fig = AddGif("fig");
  StyleRule* style = Inline("#GIF");
  style->EnsureBefore()->SetText("see ");
  style->EnsureAfter()->SetText(" (figure)");
  style->SetIcon("photo");
  IconGraphics icons;
  // An ENTITY attribute's reference: the mark stands in the element itself.
  doc.Build("<R><P>a b</P></R>");
  built = true;
  Reference(fig, 1);
  EXPECT_EQ(Format(nullptr),
            "B@0+0\nB@0+0\nT 0-1\nP 'see '\nENT@1 fig icon\nP ' (figure)'\nT 2-3\nB@3+0\n");
  EXPECT_EQ(icons.asked, std::vector<std::string>{"photo"});
  EXPECT_EQ(icons.uses, 1);  // held by the item alone
  frame->Clear(true);
  EXPECT_EQ(icons.uses, 0);
}

TEST_F(EntityFormatting, AnIconElementShowsItsEntityOnlyWithItsMark) {
  EntityDecl* fig = AddGif("fig");
  StyleRule* style = Inline("#ENTITY");
  style->SetIcon("photo");
  IconGraphics icons;
  BuildWithEntities("<R>a&fig; b</R>");
  doc.Doc()->Root()->First()->end = 2;
  {
    test::ErrorRecorder errors;  // no mark: internal error 2, no item
    EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nT 0-1\nT 2-3\nB@3+0\n");
    EXPECT_EQ(errors.errors, std::vector<int>{0});
    EXPECT_EQ(errors.arguments, std::vector<std::intptr_t>{2});
  }
  Reference(fig, 1);
  test::ErrorRecorder errors;
  EXPECT_EQ(Format(nullptr), "B@0+0\nB@0+0\nT 0-1\nENT@1 fig icon\nT 2-3\nB@3+0\n");
  EXPECT_TRUE(errors.errors.empty());
  // The items hold the token icon: they go while its services are the
  // installed ones, not the engine's own pictures.
  frame->Release();
  frame = nullptr;
}

TEST_F(EntityFormatting, AWidgetElementIsOneItemWithoutItsContent) {
  Inline("W")->SetWidget("clock");
  EXPECT_EQ(Format("<R>a<W>bc<X>d</X></W>e</R>"), "B@0+0\nB@0+0\nT 0-1\nW clock\nT 4-5\nB@5+0\n");
}

TEST_F(EntityFormatting, TheRunsColoursBecomeTheFramesPalette) {
  Rule("R")->SetFontColor("maroon");
  Rule("P")->SetFontColor("aqua");
  Format("<R>a<P>b</P></R>");
  Palette* palette = frame->GetPalette();
  ASSERT_NE(palette, nullptr);
  std::set<std::string> colours;
  for (std::uint32_t i = 0; i < palette->count; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", palette->rgb[i][0], palette->rgb[i][1],
                  palette->rgb[i][2]);
    colours.insert(hex);
  }
  EXPECT_EQ(colours, (std::set<std::string>{"800000", "00FFFF"}));
}

}  // namespace
}  // namespace qs
