// Outside input formatted as tables: the bytes are parsed as a document
// whose sheet gives CALS and grid roles, and every table is laid out at
// widths 1, 300 and 3000, cut into bands at 50 and 700, drawn, copied and
// highlighted whole. Nothing may read or write outside its buffers, and
// copies stay within their room.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/names.h"
#include "layout/display_box.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/parser.h"
#include "sgml/unicode_tables.h"
#include "style/cals_table.h"
#include "style/frame.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "test_device.h"
#include "view/current_view.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

class FuzzParser : public qs::Parser {
 public:
  FuzzParser() : Parser(nullptr, nullptr, nullptr, nullptr) {}
  bool EnterEntity(qs::EntityDecl* entity) override {
    if (entity && entity->IsExternal()) return false;
    return Parser::EnterEntity(entity);
  }
};

class View : public qs::DocumentView {
 public:
  using DocumentView::DocumentView;
};

qs::StyleSheet* Sheet() {
  static qs::StyleSheet* sheet = [] {
    auto* s = new qs::StyleSheet(static_cast<qs::ExternalId*>(nullptr));
    s->AddUse();
    // Roles by name, in SGML's folded and XML's lower case.
    const struct {
      const char* tag;
      int role;
    } roles[] = {{"TABLE", 3}, {"GRID", 1}, {"PLAIN", 2}, {"TR", 4}, {"TW", 5},
                 {"T2", 7},    {"TD", 13},  {"TI", 12}};
    for (const auto& r : roles) {
      s->AddRule(new qs::StyleRule(r.tag, 0))->table = static_cast<std::uint8_t>(r.role);
      std::string lower(r.tag);
      for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      s->AddRule(new qs::StyleRule(lower.c_str(), 0))->table = static_cast<std::uint8_t>(r.role);
    }
    s->AddRule(new qs::StyleRule("ENTRY", 0))->fontByte |= qs::StyleProps::kBreakBefore;
    return s;
  }();
  return sheet;
}

void Exercise(qs::LayoutItem* item, int width, int page) {
  qs::ListHead boxes;
  item->MakeBoxes(boxes);
  while (auto* box = static_cast<qs::DisplayBox*>(boxes.PopFirst())) {
    box->SplitAt(width);
    Check(box->GetWidth() >= 0 && box->GetAscent() >= 0);
    box->Draw(0, box->GetAscent());
    qs::RangeEntry all{0, 0x7FFFFFFF, nullptr};
    qs::MarkRecord record;
    record.baseline = box->GetAscent();
    record.entry = &all;
    box->HighlightRanges(record);
    int x = 0, y = 0;
    box->PointOf(item->Position() + 1, &x, &y);
    (void)box->PositionAt(width / 2, box->GetAscent() / 2);
    int cx = 0, cy = 0;
    (void)box->ChildAt(width / 3, box->GetAscent() / 3, &cx, &cy);
    qs::ListHead bands;
    box->AppendTo(page, page, bands);
    for (auto* b = static_cast<qs::DisplayBox*>(bands.First()); b; b = b->GetNext())
      b->Draw(0, b->GetAscent());
    bands.DeleteAll();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static bool started = [] {
    if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
    static qs::HostedEngine engine(0, "/nonexistent-fuzz-home/", "Fuzz", nullptr);
    qs::SetEngine(&engine);
    const char* source = std::getenv("QS_SOURCE_DIR");
    qs::LoadUnicodeTables((std::string(source ? source : ".") + "/samples/home/qsunicde.dat").c_str());
    return true;
  }();
  (void)started;
  std::string text(reinterpret_cast<const char*>(data), size);
  FuzzParser parser;
  parser.ParseDocumentInput(new qs::MemoryInStream(text.data(), text.size(), "fuzz"), false, 0);
  qs::Document* document = parser.GetDocument();
  if (!document || !document->Root()) return 0;
  document->AddRef();
  qs::test::TestDevice device(96, 800, 1000);
  {
    auto* frame = new qs::FrameNode(document, Sheet(), 0, nullptr);
    frame->Rebuild();
    auto* view = new View(frame, &device, 0);
    qs::PushCurrentView(view, false);
    for (auto* n = frame->items.First(); n; n = n->Next()) {
      auto* item = static_cast<qs::LayoutItem*>(n);
      char copy[64];
      const std::int32_t written = item->CopyText(0, 0x7FFFFFF, copy, sizeof copy);
      Check(written >= 0 && written <= static_cast<std::int32_t>(sizeof copy));
      (void)item->GetTextLength(0, 0x7FFFFFF);
      if (!dynamic_cast<qs::CalsTableItem*>(item) && item->GetLength() == 0) continue;
      for (int width : {1, 300, 3000})
        for (int page : {50, 700}) Exercise(item, width, page);
    }
    qs::PopCurrentView();
    view->SetFrameNode(nullptr);
    view->Release();
    frame->Release();
  }
  document->Release();
  return 0;
}
