// format_dump: the style of every element of a document under a style
// sheet, and the text format it resolves to.
//   format_dump [-c CATALOG] [-t | -b] DOCUMENT SHEET
// For each element in document order: its name and range, the rule found
// for it (its tag list and occurrence) or "no rule", each qualified style
// of that rule whose qualifier holds, and the format made by merging the
// rule and those styles into the enclosing element's format: family, sizes
// (requested/displayed, hundredths of a point), colours, flags, shadow,
// leading, baseline offset and the three indents. Then "ITEMS" and the
// layout items the formatter makes of the document for a frame, one a
// line: kind, position (and end of a text run or a formula) and the
// format's family and displayed size; a formula's parts follow it, indented,
// each as "ROW" with its name, ascent, descent and width on the test
// device, then its own items. Then "TABLES": every table item with its groups and cells
// (fillers marked) and the bands it cuts itself into, laid out 800 pixels
// wide at 96 dpi on pages of 1000 (table_dump.h tells the lines); with -T
// only the tables are printed. With -t,
// only the text copy of the whole item list (what copying the whole
// formatted document yields: CR LF at breaks, markup of tags) is written.
// With -b, only the times of the parse and of formatting the whole
// document, and the number of items, for scripts/bench_format. With -B
// [-i ID], only times for scripts/bench_tables: the whole document formatted,
// then each CALS or grid table of it (or only the one whose ID is given)
// made again as a frame of its own, laid out 800 pixels wide, refitted to
// 500 and cut into bands of 1000 on the test device at 96 dpi. Parser
// messages of either file go to standard error.
//   format_dump [-c CATALOG] -n NAVIGATOR [-e] DOCUMENT [SHEET]
// Instead: "NAVIGATOR" and the visible nodes of the document's navigator
// under that definition (titles formatted with the sheet, when given),
// one a line: two blanks a level, the level, the marker icon, the hit
// count when there is one and each title line in double quotes. With -e
// every node is opened first, so every entry is listed. Standard error
// gets "navigator S s, N nodes": the seconds the build took and how many
// nodes it made, opened or not.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/parse_report.h"
#include "sgml/document.h"
#include "sgml/parser_report.h"
#include "layout/counters.h"
#include "layout/icon_items.h"
#include "layout/table_items.h"
#include "style/cals_table.h"
#include "view/current_view.h"
#include "layout/entity_items.h"
#include "layout/formula_items.h"
#include "layout/generated_text.h"
#include "layout/mark_items.h"
#include "layout/tag_items.h"
#include "layout/text_item.h"
#include "navigator_dump.h"
#include "style/frame.h"
#include "style/navigator.h"
#include "style/navigator_view.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_format.h"
#include "table_dump.h"
#include "tool_engine.h"
#include "test_device.h"
#include "view/document_view.h"

namespace {

std::int32_t PrintReport(const void* record, QsWord) {
  const auto* r = static_cast<const QsParseReport*>(record);
  if (!(r->kind & QS_REPORT_MESSAGE)) return 1;
  char text[512];
  const char* argument = reinterpret_cast<const char*>(r->argument1);
  qs::FormatParserMessage(r->number, argument, text, sizeof text);
  std::fprintf(stderr, "REPORT %s %d line=%d entity=%s: %s\n", r->severity ? "error" : "warning",
               static_cast<int>(r->number), static_cast<int>(r->line), r->entity ? r->entity : "",
               text);
  return 1;
}

class Dumper {
 public:
  Dumper(qs::Document* document, qs::StyleSheet* sheet) : document_(document), sheet_(sheet) {}

  void Element(qs::DocumentNode* element, qs::TextFormat* enclosing, int depth) {
    std::printf("%*s%s [%u,%u)", depth * 2, "", element->GetNameText(), element->start, element->end);
    qs::StyleRule* rule = sheet_->FindElementRule(element);
    qs::ElementStyle computed;
    if (rule) {
      char* tags = qs::JoinTagList(rule->Tag(), rule->Context());
      const char* occurrence = qs::OccurrenceName(rule->Occurrence());
      std::printf(" rule=%s%s%s\n", tags ? tags : rule->Tag(), occurrence ? " " : "",
                  occurrence ? occurrence : "");
      qs::MemFree(tags);
      computed.MergeFrom(*rule);
      for (qs::QualStyle* q = rule->FirstQual(); q; q = qs::StyleRule::NextQual(q)) {
        if (!q->Qualifier() || !q->Qualifier()->Match(document_, element, nullptr)) continue;
        std::printf("%*s  qualified \"%s\"\n", depth * 2, "", q->Text());
        computed.MergeFrom(*q);
      }
    } else {
      std::printf(" no rule\n");
    }
    // A FONT-SCALE style scales everything inside it.
    qs::PushScale(computed.fontScale);
    auto* format = new qs::TextFormat(&computed, enclosing);
    Print(*format, depth);
    for (qs::DocumentNode* child = element->First(); child; child = child->Next())
      Element(child, format, depth + 1);
    format->Release();
    qs::PopScale(computed.fontScale);
  }

 private:
  static void Print(const qs::TextFormat& f, int depth) {
    static const char* const kLines[] = {"", " over", " through", " below"};
    static const char* const kJustify[] = {"left", "center", "right", "?"};
    std::printf("%*s  format family=%s size=%u/%u color=%s shadow-color=%s %s%s%s %s%s%s%s",
                depth * 2, "", f.FamilyText(), f.requestedSize, f.displayedSize, f.ColorText(),
                f.ShadowColorText(), (f.flags & qs::TextFormat::kItalic) ? "italic" : "roman",
                (f.flags & qs::TextFormat::kBold) ? " bold" : "", kLines[(f.flags >> 2) & 3],
                kJustify[(f.flags >> 4) & 3], f.LinkSourceHidden() ? " no-sources" : "",
                f.LinkTargetHidden() ? " no-targets" : "", f.ChangeBar() ? " change-bar" : "");
    std::printf(" shadow=%02X leading=%d offset=%d indents=%d/%d/%d\n", f.shadow, f.leading,
                f.baselineOffset, f.leftIndent, f.firstIndent, f.rightIndent);
  }

  qs::Document* document_;
  qs::StyleSheet* sheet_;
};

class DumpView : public qs::DocumentView {
 public:
  using DocumentView::DocumentView;
};

// Formats keep the device's fonts: the device outlives the frame.
void PrintTables(qs::FrameNode* frame, qs::test::TestDevice& device) {
  std::printf("TABLES\n");
  auto* view = new DumpView(frame, &device, 0);
  qs::PushCurrentView(view, false);
  for (auto* n = frame->items.First(); n; n = n->Next()) {
    auto* item = static_cast<qs::LayoutItem*>(n);
    std::string text = qs::test::DumpTableItem(item);
    if (text.empty()) continue;
    std::fputs(text.c_str(), stdout);
    qs::ListHead boxes, bands;
    item->MakeBoxes(boxes);
    while (auto* box = static_cast<qs::DisplayBox*>(boxes.PopFirst())) {
      box->SplitAt(800);
      box->AppendTo(1000, 1000, bands);
    }
    std::fputs(qs::test::DumpBands(bands).c_str(), stdout);
    bands.DeleteAll();
  }
  qs::PopCurrentView();
  view->SetFrameNode(nullptr);
  view->Release();
}

// The whole list's text copy, each item's part of [0, end of text).
void PrintText(qs::Document* document, qs::StyleSheet* sheet) {
  auto* frame = new qs::FrameNode(document, sheet, 0, nullptr);
  frame->Rebuild();
  // Items copy their text from the document of the current view.
  qs::test::TestDevice device;
  auto* view = new qs::test::ShownFrameView(frame, &device);
  qs::PushCurrentView(view, false);
  const auto end = static_cast<std::int32_t>(document->TextLength());
  std::string buffer;
  for (auto* n = frame->items.First(); n; n = n->Next()) {
    auto* item = static_cast<qs::LayoutItem*>(n);
    const std::int32_t length = item->GetTextLength(0, end);
    if (length <= 0) continue;
    buffer.resize(static_cast<std::size_t>(length));
    const std::int32_t written = item->CopyText(0, end, buffer.data(), buffer.size());
    std::fwrite(buffer.data(), 1, static_cast<std::size_t>(written), stdout);
  }
  qs::PopCurrentView();
  view->SetFrameNode(nullptr);
  view->Release();
  frame->Release();
}

void PrintItem(qs::LayoutItem* item, int depth);

// A formula part's items under a row line: the row's ascent, descent and
// width as its boxes stand side by side (needs the current view).
void PrintPart(const char* name, qs::SubLayout* part, int depth) {
  if (!part) return;
  qs::BoxRow row(*part);
  std::printf("%*sROW %s ascent=%d descent=%d width=%d\n", depth * 2, "", name, row.ascent,
              row.descent, row.width);
  for (qs::LayoutItem* item = part->FirstItem(); item; item = item->NextItem())
    PrintItem(item, depth + 1);
}

void PrintItem(qs::LayoutItem* item, int depth) {
  const char* kind = "Item";
  std::string extra;
  if (dynamic_cast<qs::BreakItem*>(item)) {
    kind = "Break";
  } else if (auto* t = dynamic_cast<qs::TextItem*>(item)) {
    kind = "Text";
    extra = "-" + std::to_string(t->End());
  } else if (dynamic_cast<qs::RecordEndItem*>(item)) {
    kind = "RecordEnd";
  } else if (dynamic_cast<qs::TabItem*>(item)) {
    kind = "Tab";
  } else if (auto* g = dynamic_cast<qs::StyleTextItem*>(item)) {
    kind = "StyleText";
    extra = std::string(" \"") + g->TemplateText() + "\"";
  } else if (dynamic_cast<qs::ListNumberItem*>(item)) {
    kind = "ListNumber";
  } else if (dynamic_cast<qs::CounterItem*>(item)) {
    kind = "Counter";
  } else if (dynamic_cast<qs::StartTagItem*>(item)) {
    kind = "StartTag";
  } else if (dynamic_cast<qs::EndTagItem*>(item)) {
    kind = "EndTag";
  } else if (dynamic_cast<qs::ProcInstrItem*>(item) || dynamic_cast<qs::HiddenProcInstrItem*>(item)) {
    kind = "ProcInstr";
  } else if (dynamic_cast<qs::CalsTableItem*>(item)) {
    kind = "CalsTable";
  } else if (dynamic_cast<qs::TableItem*>(item)) {
    kind = "GridTable";
  } else if (dynamic_cast<qs::RulerItem*>(item)) {
    kind = "Ruler";
  } else if (dynamic_cast<qs::MarkerIconItem*>(item)) {
    kind = "Marker";
  } else if (auto* e = dynamic_cast<qs::EntityRefItem*>(item)) {
    kind = "EntityRef";
    extra = std::string(" ") + (e->Entity() ? e->Entity()->GetName() : "?");
  } else if (auto* p = dynamic_cast<qs::TextPieceItem*>(item)) {
    kind = "TextPiece";
    extra = std::string(" \"") + p->TemplateText() + "\"";
  } else if (auto* w = dynamic_cast<qs::WidgetItem*>(item)) {
    kind = "Widget";
    extra = std::string(" ") + w->WidgetName();
  } else if (dynamic_cast<qs::LayoutKind1Item*>(item)) {
    kind = "Fraction";
  } else if (dynamic_cast<qs::LayoutKind2Item*>(item)) {
    kind = "Radical";
  } else if (dynamic_cast<qs::LayoutPartsItem*>(item)) {
    kind = "Scripts";
  }
  if (dynamic_cast<qs::LayoutKind1Item*>(item) || dynamic_cast<qs::LayoutKind2Item*>(item) ||
      dynamic_cast<qs::LayoutPartsItem*>(item))
    extra = "-" + std::to_string(item->Position() + item->GetLength());
  qs::TextFormat* f = item->Format();
  std::printf("%*sITEM %s %d%s family=%s size=%u\n", depth * 2, "", kind,
              static_cast<int>(item->Position()), extra.c_str(), f ? f->FamilyText() : "-",
              f ? f->displayedSize : 0u);
  if (auto* fraction = dynamic_cast<qs::LayoutKind1Item*>(item)) {
    PrintPart("numerator", &fraction->numerator, depth + 1);
    PrintPart("denominator", &fraction->denominator, depth + 1);
  } else if (auto* radical = dynamic_cast<qs::LayoutKind2Item*>(item)) {
    PrintPart("radix", radical->radix, depth + 1);
    PrintPart("content", &radical->content, depth + 1);
  } else if (auto* group = dynamic_cast<qs::LayoutPartsItem*>(item)) {
    PrintPart("above", group->above, depth + 1);
    PrintPart("superior", group->superior, depth + 1);
    PrintPart("inferior", group->inferior, depth + 1);
    PrintPart("below", group->below, depth + 1);
  }
}

void PrintItems(qs::Document* document, qs::StyleSheet* sheet, bool tablesOnly) {
  qs::test::TestDevice device(96, 800, 1000);
  auto* frame = new qs::FrameNode(document, sheet, 0, nullptr);
  frame->Rebuild();
  if (!tablesOnly) {
    std::printf("ITEMS\n");
    // Formula rows measure their boxes on the device.
    auto* view = new DumpView(frame, &device, 0);
    qs::PushCurrentView(view, false);
    for (auto* n = frame->items.First(); n; n = n->Next())
      PrintItem(static_cast<qs::LayoutItem*>(n), 0);
    qs::PopCurrentView();
    view->SetFrameNode(nullptr);
    view->Release();
  }
  PrintTables(frame, device);
  frame->Release();
}

// Each table of the document made in a frame of its own, laid out, refitted
// and cut into bands: "tables N, format S s, tables S s, bands N".
void TimeTables(qs::Document* document, qs::StyleSheet* sheet, const char* id) {
  using Clock = std::chrono::steady_clock;
  qs::test::TestDevice device(96, 800, 1000);
  auto* whole = new qs::FrameNode(document, sheet, 0, nullptr);
  const auto formatStart = Clock::now();
  whole->Rebuild();
  const auto formatEnd = Clock::now();
  std::vector<qs::DocumentNode*> tables;
  for (auto* n = whole->items.First(); n; n = n->Next()) {
    qs::DocumentNode* element = nullptr;
    if (auto* cals = dynamic_cast<qs::CalsTableItem*>(n)) element = cals->element;
    else if (auto* grid = dynamic_cast<qs::TableItem*>(n)) element = grid->GetElement();
    if (!element) continue;
    if (id) {
      const char* own = element->GetId();
      if (!own) own = element->GetAttributeValue("id");
      if (!own || std::strcmp(own, id) != 0) continue;
    }
    tables.push_back(element);
  }
  whole->Release();
  std::size_t bandCount = 0;
  const auto tablesStart = Clock::now();
  for (qs::DocumentNode* element : tables) {
    auto* frame = new qs::FrameNode(document, sheet, 0, element);
    frame->Rebuild();
    auto* view = new DumpView(frame, &device, 0);
    qs::PushCurrentView(view, false);
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<qs::LayoutItem*>(n);
      if (!dynamic_cast<qs::CalsTableItem*>(item) && !dynamic_cast<qs::TableItem*>(item)) continue;
      qs::ListHead boxes, bands;
      item->MakeBoxes(boxes);
      while (auto* box = static_cast<qs::DisplayBox*>(boxes.PopFirst())) {
        box->SplitAt(800);
        box->SplitAt(500);
        box->AppendTo(1000, 1000, bands);
      }
      for (auto* b = bands.First(); b; b = b->Next()) ++bandCount;
      bands.DeleteAll();
    }
    qs::PopCurrentView();
    view->SetFrameNode(nullptr);
    view->Release();
    frame->Release();
  }
  const auto tablesEnd = Clock::now();
  std::printf("tables %zu, format %.4f s, tables %.4f s, bands %zu\n", tables.size(),
              std::chrono::duration<double>(formatEnd - formatStart).count(),
              std::chrono::duration<double>(tablesEnd - tablesStart).count(), bandCount);
}

// Titles are laid out on one very wide line each.
int CountNodes(qs::NavigatorNode* node) {
  int n = 0;
  for (; node; node = node->NextSibling()) n += 1 + CountNodes(node->FirstChild());
  return n;
}

void PrintNavigator(qs::Document* document, qs::StyleSheet* sheet, qs::NavigatorDef* definition,
                    bool expandAll) {
  qs::test::TestDevice device(72, 30000, 400);
  auto* view = new qs::test::TestView(&device);
  auto* navigator = new qs::NavigatorView(document, sheet, definition, nullptr);
  view->SetFrameNode(navigator);
  qs::PushCurrentView(view, false);
  const auto start = std::chrono::steady_clock::now();
  navigator->Rebuild();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int nodes = 0;
  for (auto* item = static_cast<qs::LayoutItem*>(navigator->items.First()); item;
       item = item->NextItem())
    if (item->HandleMessage(0, 0, qs::kNavIdentify, 0) &&
        static_cast<qs::NavigatorNode*>(item)->level == 0)
      nodes += 1 + CountNodes(static_cast<qs::NavigatorNode*>(item)->FirstChild());
  std::fprintf(stderr, "navigator %.3f s, %d nodes\n", seconds, nodes);
  // Opening a node splices its children in after it: the walk meets them.
  if (expandAll)
    for (auto* item = static_cast<qs::LayoutItem*>(navigator->items.First()); item;
         item = item->NextItem())
      item->HandleMessage(0, 0, qs::kNavOpen, reinterpret_cast<std::intptr_t>(item->GetElement()));
  std::printf("NAVIGATOR\n%s", qs::test::NavigatorDump(navigator).c_str());
  qs::PopCurrentView();
  view->SetFrameNode(nullptr);
  view->Release();
  navigator->Release();
}

}  // namespace

int main(int argc, char** argv) {
  const char* catalog = nullptr;
  const char* navigatorFile = nullptr;
  bool expandAll = false;
  bool textOnly = false;
  bool timesOnly = false;
  bool tablesOnly = false;
  bool tableTimes = false;
  const char* tableId = nullptr;
  const char* files[2] = {};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-c") == 0 && i + 1 < argc)
      catalog = argv[++i];
    else if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc)
      navigatorFile = argv[++i];
    else if (std::strcmp(argv[i], "-e") == 0)
      expandAll = true;
    else if (std::strcmp(argv[i], "-t") == 0)
      textOnly = true;
    else if (std::strcmp(argv[i], "-b") == 0)
      timesOnly = true;
    else if (std::strcmp(argv[i], "-T") == 0)
      tablesOnly = true;
    else if (std::strcmp(argv[i], "-B") == 0)
      tableTimes = true;
    else if (std::strcmp(argv[i], "-i") == 0 && i + 1 < argc)
      tableId = argv[++i];
    else if (count < 2)
      files[count++] = argv[i];
  }
  if (count != 2 && !(navigatorFile && count == 1)) {
    std::fprintf(stderr,
                 "usage: format_dump [-c CATALOG] [-t | -b | -T | -B [-i ID]] DOCUMENT SHEET\n"
                 "       format_dump [-c CATALOG] -n NAVIGATOR [-e] DOCUMENT [SHEET]\n");
    return 2;
  }
  if (!tool::StartEngine("format_dump", catalog)) return 1;
  const std::string paths[2] = {tool::CallerPath(files[0]),
                                files[1] ? tool::CallerPath(files[1]) : std::string()};
  int result = 0;
  using Clock = std::chrono::steady_clock;
  const auto parseStart = Clock::now();
  QsHandle doc = QsParseDocument(paths[0].c_str(), nullptr, 0, PrintReport, 0);
  const auto parseEnd = Clock::now();
  QsHandle sheet = files[1] ? QsOpenStyleSheet(paths[1].c_str(), nullptr, PrintReport, 0) : 0;
  QsHandle nav = 0;
  if (navigatorFile)
    nav = QsOpenNavigator(tool::CallerPath(navigatorFile).c_str(), nullptr, PrintReport, 0);
  auto* document = doc ? static_cast<qs::Document*>(qs::Handles()->LookupDocument(doc)) : nullptr;
  auto* styles = sheet ? static_cast<qs::StyleSheet*>(qs::Handles()->LookupStyleSheet(sheet)) : nullptr;
  auto* definition =
      nav ? static_cast<qs::NavigatorDef*>(qs::Handles()->LookupNavigator(nav)) : nullptr;
  if (!document || (files[1] && !styles) || (navigatorFile && !definition)) {
    std::fprintf(stderr, "format_dump: cannot read %s\n",
                 !document ? files[0] : (files[1] && !styles ? files[1] : navigatorFile));
    result = 1;
  } else if (navigatorFile) {
    PrintNavigator(document, styles, definition, expandAll);
  } else if (document->Root() && timesOnly) {
    auto* frame = new qs::FrameNode(document, styles, 0, nullptr);
    const auto formatStart = Clock::now();
    frame->Rebuild();
    const auto formatEnd = Clock::now();
    std::size_t items = 0;
    for (auto* n = frame->items.First(); n; n = n->Next()) ++items;
    std::printf("parse %.4f s, format %.4f s, %zu items\n",
                std::chrono::duration<double>(parseEnd - parseStart).count(),
                std::chrono::duration<double>(formatEnd - formatStart).count(), items);
    frame->Release();
  } else if (document->Root() && tableTimes) {
    TimeTables(document, styles, tableId);
  } else if (document->Root() && textOnly) {
    PrintText(document, styles);
  } else if (document->Root()) {
    if (!tablesOnly) Dumper(document, styles).Element(document->Root(), nullptr, 0);
    PrintItems(document, styles, tablesOnly);
  }
  if (nav) QsReleaseHandle(nav);
  if (sheet) QsReleaseHandle(sheet);
  if (doc) QsReleaseHandle(doc);
  QsTerminate();
  return result;
}
