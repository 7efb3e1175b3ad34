// "Print Document": the engine's print dialog and the export that runs it
// for the part of a document a view shows.
#include <cstdio>
#include <ctime>

#include "api/dialogs.h"
#include "api/exports.h"
#include "api/interface.h"
#include "api/sets.h"
#include "foundation/codepage.h"
#include "foundation/memory.h"
#include "layout/print_state.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "style/frame.h"
#include "style/navigator.h"
#include "style/style_sheet.h"
#include "view/document_view.h"
#include "view/print_job.h"
#include "view/printer_list.h"
#include "view/window_map.h"

namespace qs {

namespace {

enum : int {
  kPrinterCombo = 101,
  kTitleText = 102,
  kSheetList = 103,
  kNavigatorList = 104,
  kSelectionOnly = 105,
  kIndent = 106,
  kTopRule = 107,
  kBottomRule = 108,
  kNumberCombo = 109,
  kDateCombo = 110,
  kSetupButton = 111,
};
// Engine strings 5-11: "None", then the six positions.
constexpr int kFirstPositionString = 5;
constexpr int kPositions = 7;
constexpr int kMostNavigators = 25;

constexpr std::uint32_t kNumberBits = 0x7, kDateBits = 0x38, kIndentBit = 0x40, kTopRuleBit = 0x80,
                        kBottomRuleBit = 0x100;

PrinterList* Printers() {
  EngineBase* engine = GetEngine();
  return engine ? engine->printers.get() : nullptr;
}

// The n-th resource of a kind the document names, loaded, with the
// handle's use given back (the object stays in its engine list).
void* LoadResource(Document* document, int index, bool sheet) {
  HandleTable* table = Handles();
  if (!table || !document || index < 0) return nullptr;
  QsHandle own = table->RegisterDocument(document);
  if (!own) return nullptr;
  QsHandle handle = sheet ? QsLoadStyleSheet(own, index, nullptr, 0) : QsLoadNavigator(own, index, nullptr, 0);
  void* object = nullptr;
  if (handle) {
    object = sheet ? table->LookupStyleSheet(handle) : table->LookupNavigator(handle);
    table->Release(handle);
  }
  table->Release(own);
  return object;
}

}  // namespace

PrintDialog::PrintDialog(Document* document, StyleSheet* sheet, std::vector<PrintRange> ranges,
                         std::uint32_t frameMode)
    : document_(document ? document->AddRef() : nullptr), sheet_(sheet), ranges_(std::move(ranges)),
      frameMode_(frameMode) {
  if (sheet_) sheet_->AddUse();
}

PrintDialog::~PrintDialog() {
  // The ranges point into the document's tree: they go first.
  ranges_.clear();
  if (sheet_) sheet_->DropUse();
  if (document_) document_->Release();
}

void PrintDialog::Initialize() {
  DialogWindow* w = window();
  if (!w) return;
  if (PrinterList* printers = Printers()) printers->FillComboBox(w, kPrinterCombo);

  const char* own = document_ ? document_->TitleExcerpt() : nullptr;
  if (own && *own) {
    SetText(kTitleText, own);
  } else if (EngineBase* engine = GetEngine(); engine && engine->AsHosted()) {
    const char* name = engine->AsHosted()->applicationName();
    char* utf8 = name ? AnsiToUtf8(name) : nullptr;
    SetText(kTitleText, utf8 ? utf8 : "");
    if (utf8 != name) MemFree(utf8);
  }

  // Only a part of the document can be printed alone.
  DocumentNode* root = document_ ? document_->Root() : nullptr;
  const bool whole = ranges_.empty() || ranges_.front().start == root;
  Enable(kSelectionOnly, !whole);
  SetCheck(kSelectionOnly, !whole);

  if (document_) {
    int sheets = 0;
    for (ListNode* n = document_->Resources().First(); n; n = n->Next()) {
      auto* resource = static_cast<ResourceRef*>(n);
      const char* title = resource->Title() ? resource->Title() : "";
      if (resource->Kind() == ResourceRef::kStyleSheet) {
        w->ListAddString(kSheetList, title);
        // The entry whose sheet is the one in use (loaded sheets are shared).
        if (sheet_ && LoadResource(document_, sheets, true) == sheet_) w->ListSelect(kSheetList, sheets);
        ++sheets;
      } else if (resource->Kind() == ResourceRef::kNavigator) {
        w->ListAddString(kNavigatorList, title);
      }
    }
  }

  EngineBase* engine = GetEngine();
  char buffer[256];
  for (int combo : {kNumberCombo, kDateCombo})
    for (int i = 0; i < kPositions; ++i) {
      const char* text = engine ? engine->GetString(kFirstPositionString + i, buffer) : nullptr;
      w->ComboAddString(combo, text ? text : "");
    }
  const std::uint32_t options = GetPrintState().options;
  const auto position = [](std::uint32_t value) { return static_cast<int>(value <= 6 ? value : 0); };
  w->ComboSelect(kNumberCombo, position(options & kNumberBits));
  w->ComboSelect(kDateCombo, position((options & kDateBits) >> 3));
  SetCheck(kIndent, options & kIndentBit);
  SetCheck(kTopRule, options & kTopRuleBit);
  SetCheck(kBottomRule, options & kBottomRuleBit);
  SetFocus(kPrinterCombo);
}

std::uint32_t PrintDialog::ReadOptions(std::uint32_t options) {
  DialogWindow* w = window();
  options &= ~(kNumberBits | kDateBits | kIndentBit | kTopRuleBit | kBottomRuleBit);
  if (!w) return options;
  const auto position = [](int line) { return static_cast<std::uint32_t>(line >= 0 && line < kPositions ? line : 0); };
  options |= position(w->ComboCurrentSelection(kNumberCombo));
  options |= position(w->ComboCurrentSelection(kDateCombo)) << 3;
  if (GetCheck(kIndent)) options |= kIndentBit;
  if (GetCheck(kTopRule)) options |= kTopRuleBit;
  if (GetCheck(kBottomRule)) options |= kBottomRuleBit;
  return options;
}

void PrintDialog::Print() {
  PrintState& state = GetPrintState();
  state.options = ReadOptions(state.options);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm* t = std::localtime(&now)) local = *t;
  std::snprintf(state.date, sizeof state.date, "%d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);

  // The chosen sheet, else the document's first.
  const int line = ListCurrentSelection(kSheetList);
  auto* sheet = static_cast<StyleSheet*>(LoadResource(document_, line >= 0 ? line : 0, true));
  std::vector<NavigatorDef*> navigators;
  if (DialogWindow* w = window()) {
    int lines[kMostNavigators];
    const int count = w->ListSelectedItems(kNavigatorList, kMostNavigators, lines);
    for (int i = 0; i < count && i < kMostNavigators; ++i)
      if (auto* n = static_cast<NavigatorDef*>(LoadResource(document_, lines[i], false)))
        navigators.push_back(n);
  }
  std::vector<PrintRange> ranges;
  if (GetCheck(kSelectionOnly)) ranges = ranges_;
  auto* frame = new PrintFrame(document_, sheet, frameMode_, std::move(navigators), std::move(ranges));
  frame->Rebuild();
  if (PrinterList* printers = Printers()) printers->GetSelection(window(), kPrinterCombo);
  PrintDocument(frame);
}

int PrintDialog::Command(int id, int, int* endCode) {
  switch (id) {
    case kSetupButton:
      if (PrinterList* printers = Printers()) printers->SetupSelected(window(), kPrinterCombo);
      return 1;
    case kIdOk:
      Print();
      *endCode = 1;
      return 0;
    case kIdCancel:
      *endCode = 0;
      return 0;
    default:
      return 1;
  }
}

}  // namespace qs

using namespace qs;

extern "C" std::int32_t QsMarkTagSetInView(QsWindow owner, QsWindow window, QsHandle tagSet) {
  EngineBase* engine = GetEngine();
  HandleTable* table = Handles();
  if (!engine || !table || !window) return 0;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  Document* document = view ? view->GetDocument() : nullptr;
  if (!document) return 0;
  // The set's elements in its order; a set of another document is none.
  std::vector<PrintRange> ranges;
  auto* set = tagSet ? static_cast<TagSet*>(table->LookupTagSet(tagSet)) : nullptr;
  if (set && set->GetDocument() == document)
    for (TagLink* link = set->FirstLink(); link; link = link->NextLink())
      ranges.push_back(PrintRange{link->first, link->last, link->flag});
  FrameTreeNode* shown = view->GetFrame();
  FrameNode* frame = shown ? shown->GetFrame() : nullptr;
  const std::uint32_t mode = frame ? (frame->GetFlags() & 3) : 0;
  engine->DoModalDialog(static_cast<WindowHandle>(owner),
                        new PrintDialog(document, view->GetStyleSheet(), std::move(ranges), mode));
  return 1;
}
