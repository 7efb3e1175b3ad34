// The navigator editor ("dlgNavEdit"): the table of contents of the shown
// document, its font-size scale and its entries, edited through the
// engine's navigator exports, previewed in the views, saved on OK and read
// back from the file on Cancel.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "api/records.h"
#include "engine.h"
#include "navigator_text.h"
#include "resources/resource.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

// One entry of the navigator as the engine keeps it.
struct Entry {
  std::string body, qualifier, title;
  int flags = 0;
  // Removed from the navigator: its item is gone, and typing it adds it anew.
  bool removed = false;
};

struct Editor {
  HWND dialog = nullptr;
  QsHandle navigator = 0;
  QsHandle node = 0;
  std::vector<Entry> entries;
  bool modified = false;
  bool previewPending = false;
  bool previewed = false;
  bool filling = false;
  // Where each view began before the first preview: a view laid out again
  // keeps its first shown position, and after a preview that position is
  // the first entry the previewed navigator left there.
  std::vector<std::pair<HWND, std::int32_t>> shownFrom;
} g_editor;
bool g_open = false;

std::string DialogText(HWND dialog, int id, std::size_t limit) {
  char text[kMaxEntryText + 1] = "";
  GetDlgItemTextA(dialog, id, text, static_cast<int>(std::min(limit, kMaxEntryText) + 1));
  return text;
}

void Enable(int id, bool on) { EnableWindow(GetDlgItem(g_editor.dialog, id), on ? TRUE : FALSE); }

// The element's name and its ancestors' names, from the element up.
std::vector<std::string> NamesUp(QsHandle node) {
  std::vector<std::string> names;
  QsHandle walker = node ? eng::QsDupNode(node) : 0;
  if (!walker) return names;
  for (int level = 0; level <= kMaxEntryAncestors; ++level) {
    const char* name = eng::QsGetElementName(walker);
    if (!name) break;
    names.push_back(FromEngine(name).get());
    if (eng::QsGotoParent(walker) <= 0) break;
  }
  eng::QsReleaseHandle(walker);
  return names;
}

void FillCandidates() {
  HWND box = GetDlgItem(g_editor.dialog, IDC_NAV_CANDIDATES);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  const std::vector<std::string> names = NamesUp(g_editor.node);
  for (const std::string& c : EntryCandidates(names))
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.c_str()));
  SendMessageA(box, CB_SETCURSEL, 0, 0);
  Enable(IDC_NAV_PARENT, names.size() > 1);
  Enable(IDC_NAV_ADD, !names.empty());
}

std::intptr_t CollectEntry(const void* record, QsWord) {
  const auto* r = static_cast<const QsNavigatorEntryRecord*>(record);
  Entry e;
  if (r->body) e.body = FromEngine(r->body).get();
  if (r->qualifier) e.qualifier = FromEngine(r->qualifier).get();
  if (r->title) e.title = FromEngine(r->title).get();
  e.flags = r->flags;
  g_editor.entries.push_back(e);
  return 0;
}

// The list: one item per engine entry, its data the entry's index.
void AddItem(std::size_t index, bool select) {
  const Entry& e = g_editor.entries[index];
  HWND list = GetDlgItem(g_editor.dialog, IDC_NAV_ENTRIES);
  const std::string text = EntryText(e.body, e.title, e.qualifier);
  const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (item < 0) return;
  SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(index));
  if (select) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
}

// The selected item's entry, or null.
Entry* SelectedEntry(LRESULT* item = nullptr) {
  HWND list = GetDlgItem(g_editor.dialog, IDC_NAV_ENTRIES);
  const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (item) *item = selected;
  if (selected < 0) return nullptr;
  const auto index = static_cast<std::size_t>(SendMessageA(list, LB_GETITEMDATA, selected, 0));
  return index < g_editor.entries.size() ? &g_editor.entries[index] : nullptr;
}

void UpdateButtons() {
  const Entry* e = SelectedEntry();
  Enable(IDC_NAV_TITLE, e != nullptr);
  Enable(IDC_NAV_BODY, e != nullptr);
  Enable(IDC_NAV_REMOVE, e != nullptr);
  CheckRadioButton(g_editor.dialog, IDC_NAV_TITLE, IDC_NAV_BODY,
                   e ? (e->flags & 1 ? IDC_NAV_BODY : IDC_NAV_TITLE) : 0);
}

void Changed() {
  g_editor.modified = true;
  g_editor.previewPending = true;
  Enable(IDC_NAV_PREVIEW, true);
}

// The engine takes an entry with its body, its own qualifier and its path.
bool SetEntry(const Entry& e) {
  EngineText body = ToEngine(e.body.c_str());
  EngineText title = ToEngine(e.title.c_str());
  EngineText qualifier = ToEngine(e.qualifier.c_str());
  return eng::QsSetNavigatorEntry(g_editor.navigator, body.get(),
                                  e.qualifier.empty() ? nullptr : qualifier.get(),
                                  e.title.empty() ? nullptr : title.get(),
                                  std::int32_t{e.flags & 1}) != 0;
}

void AddTypedEntry() {
  Entry e;
  SplitEntryText(DialogText(g_editor.dialog, IDC_NAV_CANDIDATES, kMaxEntryText), &e.body, &e.title);
  if (e.body.empty()) return;
  // An entry already listed is only selected: setting it again would turn
  // a body entry into a title one.
  for (std::size_t i = 0; i < g_editor.entries.size(); ++i) {
    const Entry& old = g_editor.entries[i];
    if (!old.removed && old.body == e.body && old.title == e.title && old.qualifier.empty()) {
      HWND list = GetDlgItem(g_editor.dialog, IDC_NAV_ENTRIES);
      const std::string text = EntryText(old.body, old.title);
      const LRESULT item = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(text.c_str()));
      if (item >= 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
      UpdateButtons();
      return;
    }
  }
  if (!SetEntry(e)) return;
  g_editor.entries.push_back(e);
  AddItem(g_editor.entries.size() - 1, true);
  UpdateButtons();
  Changed();
}

void SetLocate(int flags) {
  Entry* e = SelectedEntry();
  if (!e) return;
  // Setting an entry that exists answers 0: it was changed, not added.
  e->flags = (e->flags & ~1) | flags;
  SetEntry(*e);
  UpdateButtons();
  Changed();
}

void RemoveSelected() {
  LRESULT item = -1;
  Entry* e = SelectedEntry(&item);
  if (!e) return;
  EngineText body = ToEngine(e->body.c_str());
  EngineText title = ToEngine(e->title.c_str());
  EngineText qualifier = ToEngine(e->qualifier.c_str());
  if (!eng::QsRemoveNavigatorEntry(g_editor.navigator, body.get(),
                                   e->qualifier.empty() ? nullptr : qualifier.get(),
                                   e->title.empty() ? nullptr : title.get()))
    return;
  e->removed = true;
  SendMessageA(GetDlgItem(g_editor.dialog, IDC_NAV_ENTRIES), LB_DELETESTRING,
               static_cast<WPARAM>(item), 0);
  UpdateButtons();
  Changed();
}

// The scale fields into the navigator when any differs from it.
void TakeScaleFields() {
  const int scale = ScaleFieldValue(DialogText(g_editor.dialog, IDC_NAV_SCALE, kMaxScaleField));
  const int min = ScaleFieldValue(DialogText(g_editor.dialog, IDC_NAV_MIN, kMaxScaleField));
  const int max = ScaleFieldValue(DialogText(g_editor.dialog, IDC_NAV_MAX, kMaxScaleField));
  std::int32_t s = 0, lo = 0, hi = 0;
  eng::QsGetNavigatorScale(g_editor.navigator, &s, &lo, &hi);
  if (s == scale && lo == min && hi == max) return;
  eng::QsSetNavigatorScale(g_editor.navigator, scale, min, max);
  Changed();
}

void RememberViewPositions() {
  if (g_editor.previewed) return;
  g_editor.shownFrom.clear();
  for (HWND view : {MainView(), SecondView(), NavigatorView()}) {
    std::int32_t start = 0;
    if (view && IsWindowVisible(view) && eng::QsGetViewRange(W(view), &start, nullptr))
      g_editor.shownFrom.emplace_back(view, start);
  }
}

void RestoreViewPositions() {
  for (const auto& [view, start] : g_editor.shownFrom) {
    std::int32_t now = 0;
    if (eng::QsGetViewRange(W(view), &now, nullptr) && now != start) {
      eng::QsShowPosition(W(view), start);
      // Laid out once more at the width the scroll bars now leave.
      eng::QsRedrawView(W(view));
    }
  }
}

void Preview() {
  RememberViewPositions();
  TakeScaleFields();
  eng::QsApplyNavigator(g_editor.navigator);
  g_editor.previewPending = false;
  g_editor.previewed = true;
  Enable(IDC_NAV_PREVIEW, false);
}

void Initialize(HWND dialog) {
  g_editor.dialog = dialog;
  g_editor.filling = true;
  FillCandidates();
  std::int32_t scale = 0, min = 0, max = 0;
  eng::QsGetNavigatorScale(g_editor.navigator, &scale, &min, &max);
  SetDlgItemTextA(dialog, IDC_NAV_SCALE, ScaleFieldText(scale).c_str());
  SetDlgItemTextA(dialog, IDC_NAV_MIN, ScaleFieldText(min).c_str());
  SetDlgItemTextA(dialog, IDC_NAV_MAX, ScaleFieldText(max).c_str());
  g_editor.entries.clear();
  eng::QsEnumNavigatorEntries(g_editor.navigator, CollectEntry, QsWord{0});
  for (std::size_t i = 0; i < g_editor.entries.size(); ++i) AddItem(i, false);
  UpdateButtons();
  Enable(IDC_NAV_PREVIEW, false);
  g_editor.modified = g_editor.previewPending = false;
  g_editor.filling = false;
}

INT_PTR CALLBACK NavigatorEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Initialize(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_NAV_PARENT:
          if (g_editor.node && eng::QsGotoParent(g_editor.node) > 0) FillCandidates();
          else Enable(IDC_NAV_PARENT, false);
          return TRUE;
        case IDC_NAV_ADD:
          AddTypedEntry();
          return TRUE;
        case IDC_NAV_ENTRIES:
          if (HIWORD(wParam) == LBN_SELCHANGE) UpdateButtons();
          return TRUE;
        case IDC_NAV_TITLE:
        case IDC_NAV_BODY:
          if (HIWORD(wParam) == BN_CLICKED) SetLocate(LOWORD(wParam) == IDC_NAV_BODY ? 1 : 0);
          return TRUE;
        case IDC_NAV_REMOVE:
          RemoveSelected();
          return TRUE;
        case IDC_NAV_SCALE:
        case IDC_NAV_MIN:
        case IDC_NAV_MAX:
          if (HIWORD(wParam) == EN_CHANGE && !g_editor.filling) Enable(IDC_NAV_PREVIEW, true);
          return TRUE;
        case IDC_NAV_PREVIEW:
          Preview();
          return TRUE;
        case IDOK:
          TakeScaleFields();
          if (g_editor.modified) {
            // The file is written whole or not at all; a failure keeps the
            // dialog and the reader's changes.
            if (!eng::QsSaveNavigator(g_editor.navigator)) {
              ShowMessageBox(dialog, "Can't save", "Navigator Editor", MB_OK | MB_ICONSTOP);
              return TRUE;
            }
            if (g_editor.previewPending) eng::QsApplyNavigator(g_editor.navigator);
          }
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          // The file still holds the navigator as it was; views that showed
          // a preview go back to it, each from where it began.
          if (g_editor.modified) {
            eng::QsReloadNavigator(g_editor.navigator);
            if (g_editor.previewed) {
              eng::QsApplyNavigator(g_editor.navigator);
              RestoreViewPositions();
            }
          }
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void NavigatorEditDialog(HWND owner, QsHandle navigator, QsHandle node) {
  if (g_open || !navigator) return;
  g_open = true;
  g_editor = Editor{};
  g_editor.navigator = navigator;
  g_editor.node = node ? eng::QsDupNode(node) : 0;
  eng::QsAddRefHandle(navigator);
  RunDialog(owner, "dlgNavEdit", NavigatorEditDlgProc);
  if (g_editor.node) eng::QsReleaseHandle(g_editor.node);
  eng::QsReleaseHandle(navigator);
  g_editor = Editor{};
  g_open = false;
}

}  // namespace qs::viewer
