// Sets in document views: a selection set shown as the hit counts of a
// navigator view, the navigator entries a reader marked as a tag set, and
// the line box under a point asked or marked.
#include <cstdint>

#include "api/exports.h"
#include "api/interface.h"
#include "api/sets.h"
#include "foundation/containers.h"
#include "layout/display_box.h"
#include "sgml/document.h"
#include "style/navigator_node.h"
#include "view/current_view.h"
#include "view/document_view.h"
#include "view/ranges.h"
#include "view/window_map.h"

using namespace qs;

namespace {

DocumentView* ShownDocumentView(QsWindow window) {
  if (!GetEngine()) return nullptr;
  DocumentView* view = FindDocumentView(static_cast<WindowHandle>(window));
  return view && view->GetDocument() ? view : nullptr;
}

// The line box under a point's answer to a display-box request; `found`
// tells whether a line was there.
std::intptr_t AskBoxAt(DocumentView* view, int x, int y, int request, bool* found) {
  int bx, by;
  DisplayBox* box = view->BoxAtPoint(x, y, &bx, &by, false);
  *found = box != nullptr;
  if (!box) return 0;
  PushCurrentView(view, false);
  const std::intptr_t answer = box->HandleMessage(x - bx, y - by + box->GetAscent(), box->GetAscent(),
                                                  box->GetDescent(), request, 0);
  PopCurrentView();
  return answer;
}

}  // namespace

extern "C" {

std::int32_t QsShowSelSet(QsWindow window, QsHandle selSet) {
  DocumentView* view = ShownDocumentView(window);
  if (!view) return 0;
  HandleTable* table = Handles();
  auto* set = selSet && table ? static_cast<SelectionSet*>(table->LookupSelSet(selSet)) : nullptr;
  Document* document = view->GetDocument();
  // Only ranges of the view's document reach the boxes: a set's ranges may
  // lie past its end (the host adds them freely).
  RangeList shown;
  if (set && set->GetDocument() == document) {
    DocumentNode* root = document->Root();
    for (Range* r = set->Ranges().FirstRange(); r && root; r = r->NextRange())
      if (r->GetStart() >= root->start && r->GetStart() <= r->GetEnd() && r->GetEnd() <= root->end)
        shown.Append(r->GetStart(), r->GetEnd());
  }
  const std::uint8_t before = view->viewFlags;
  if (!shown.IsEmpty())
    view->viewFlags |= DocumentView::kShowHitCounts;
  else
    view->viewFlags &= static_cast<std::uint8_t>(~DocumentView::kShowHitCounts);
  view->SendToItems(kNavCountHits, reinterpret_cast<std::intptr_t>(&shown));
  if (view->viewFlags != before) view->Refresh();
  view->UpdateWindow();
  return 1;
}

QsHandle QsGetViewTagSet(QsWindow window) {
  DocumentView* view = ShownDocumentView(window);
  HandleTable* table = Handles();
  if (!view || !table) return 0;
  ListHead records;
  view->SendToItems(kNavCollect, reinterpret_cast<std::intptr_t>(&records));
  TagSet* set = TagSet::New(view->GetDocument());
  for (ListNode* n = records.First(); n && set; n = n->Next()) {
    auto* record = static_cast<NavigatorRangeRecord*>(n);
    if (record->marked && record->element) set->Insert(record->element);
  }
  records.DeleteAll();
  if (!set) return 0;
  if (set->Count() == 0) {
    delete set;
    return 0;
  }
  QsHandle handle = table->RegisterTagSet(set);
  if (!handle) delete set;
  return handle;
}

std::int32_t QsQueryBoxAtPoint(QsWindow window, std::int32_t x, std::int32_t y) {
  DocumentView* view = ShownDocumentView(window);
  if (!view) return 0;
  bool found = false;
  return static_cast<std::int32_t>(AskBoxAt(view, x, y, kNavIdentify, &found));
}

std::int32_t QsMarkBoxAtPoint(QsWindow window, std::int32_t x, std::int32_t y, std::int32_t mode) {
  DocumentView* view = ShownDocumentView(window);
  if (!view) return 0;
  bool found = false;
  switch (mode) {
    case 0: view->SendToItems(kNavUnmark, 0); break;
    case 1: AskBoxAt(view, x, y, kNavUnmark, &found); break;
    case 2: AskBoxAt(view, x, y, kNavMark, &found); break;
    default: return 0;
  }
  if (mode != 0 && !found) return 0;
  view->UpdateWindow();
  return 1;
}

}  // extern "C"
