// The style sheet editor ("dlgSShEdit"): the rule of the current sheet for
// an element, property by property, read and stored through the engine's
// style records; Preview applies the sheet to the views, OK saves its file
// and Cancel reads it back.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "resources/resource.h"
#include "sheet_text.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr int kRecordSlots = kSheetRows * kSheetColumns;
// How far up the ancestors the contexts reach.
constexpr int kMaxContextLevels = 48;

struct Editor {
  HWND dialog = nullptr;
  QsHandle sheet = 0;
  QsHandle node = 0;
  QsHandle entity = 0;
  std::vector<std::string> contexts;
  std::string context;    // of the record being edited
  std::string qualifier;  // empty: the rule itself
  int occurrence = 0;
  char* record[kRecordSlots] = {};
  bool qualifiedCells[kRecordSlots] = {};
  bool recordChanged = false;
  bool sheetChanged = false;
  bool previewPending = false;
  bool previewed = false;
  HFONT normalFont = nullptr;
  HFONT boldFont = nullptr;
  int nameWidth = 175;
  WNDPROC listProc = nullptr;
} g_editor;
bool g_open = false;
COLORREF g_customColours[16] = {};

void Enable(int id, bool on) { EnableWindow(GetDlgItem(g_editor.dialog, id), on ? TRUE : FALSE); }

std::string ItemText(HWND window, UINT textMessage, UINT lengthMessage, WPARAM item) {
  const LRESULT length = SendMessageA(window, lengthMessage, item, 0);
  if (length < 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(window, textMessage, item, reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string ComboSelection(int id) {
  HWND combo = GetDlgItem(g_editor.dialog, id);
  const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (selected < 0) return std::string();
  return ItemText(combo, CB_GETLBTEXT, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected));
}

std::string DialogText(HWND dialog, int id) {
  char text[kMaxSheetText + 1] = "";
  GetDlgItemTextA(dialog, id, text, static_cast<int>(sizeof text));
  return text;
}

// ---- The record ------------------------------------------------------------------

const char* Cell(int row, int column) { return g_editor.record[row * kSheetColumns + column]; }

void StoreRecord() {
  if (g_editor.context.empty() || !g_editor.recordChanged) return;
  EngineText tag = ToEngine(g_editor.context.c_str());
  EngineText qualifier = ToEngine(g_editor.qualifier.c_str());
  eng::QsSetStyleRule(g_editor.sheet, tag.get(),
                      std::int32_t{g_editor.occurrence},
                      g_editor.qualifier.empty() ? nullptr : qualifier.get(), g_editor.record);
  g_editor.recordChanged = false;
  g_editor.sheetChanged = true;
}

void Changed() {
  g_editor.recordChanged = true;
  g_editor.previewPending = true;
  Enable(IDC_SSH_PREVIEW, true);
}

// ---- The property list --------------------------------------------------------------

std::string LineText(int property, bool* bold) {
  const SheetProperty& p = PropertyAt(property);
  const char* cell = Cell(p.row, p.column);
  EngineText shown = FromEngine(cell);
  return std::string(p.name) + ": " + CellLabel(p.column, cell ? shown.get() : nullptr, bold);
}

void MeasureNames(int group) {
  const PropertyGroup& g = PropertyGroups()[static_cast<std::size_t>(group)];
  g_editor.nameWidth = 175;
  HWND list = GetDlgItem(g_editor.dialog, IDC_SSH_PROPERTIES);
  HDC dc = GetDC(list);
  if (!dc || !g_editor.boldFont) {
    if (dc) ReleaseDC(list, dc);
    return;
  }
  HGDIOBJ old = SelectObject(dc, g_editor.boldFont);
  int widest = 0;
  for (int p = g.first; p < g.first + g.count; ++p) {
    const std::string name = std::string(PropertyAt(p).name) + ":";
    SIZE size{};
    if (GetTextExtentPoint32A(dc, name.c_str(), static_cast<int>(name.size()), &size))
      widest = std::max(widest, static_cast<int>(size.cx));
  }
  SelectObject(dc, old);
  ReleaseDC(list, dc);
  g_editor.nameWidth = widest;
}

// The list's items carry the line's text (for readers of the list) and the
// property's number.
void FillList() {
  HWND list = GetDlgItem(g_editor.dialog, IDC_SSH_PROPERTIES);
  const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
  const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  LRESULT groupIndex = SendDlgItemMessageA(g_editor.dialog, IDC_SSH_GROUP, CB_GETCURSEL, 0, 0);
  const auto& groups = PropertyGroups();
  if (groupIndex < 0 || groupIndex >= static_cast<LRESULT>(groups.size())) groupIndex = 0;
  const PropertyGroup& g = groups[static_cast<std::size_t>(groupIndex)];
  for (int p = g.first; p < g.first + g.count; ++p) {
    bool bold = false;
    const std::string text = LineText(p, &bold);
    const LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (item >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(item), p);
  }
  if (top > 0) SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  if (selected >= 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void SelectGroup(int group) {
  MeasureNames(group);
  FillList();
}

void DrawLine(const DRAWITEMSTRUCT* d) {
  if (d->itemID == static_cast<UINT>(-1)) return;
  const int property = static_cast<int>(d->itemData);
  if (property < 0 || property >= kSheetProperties) return;
  const bool selected = (d->itemState & ODS_SELECTED) != 0;
  FillRect(d->hDC, &d->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(d->hDC, TRANSPARENT);
  SetTextColor(d->hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const SheetProperty& p = PropertyAt(property);
  HGDIOBJ old = SelectObject(d->hDC, g_editor.normalFont ? g_editor.normalFont
                                                         : GetStockObject(DEFAULT_GUI_FONT));
  // The mark: every line while a qualified style is edited, else the
  // lines some qualified style of the rule sets.
  const char* mark = !g_editor.qualifier.empty() ? "+"
                     : g_editor.qualifiedCells[p.row * kSheetColumns + p.column] ? "*"
                                                                                  : "";
  TextOutA(d->hDC, d->rcItem.left + 2, d->rcItem.top, mark, static_cast<int>(std::strlen(mark)));
  const std::string name = std::string(p.name) + ":";
  TextOutA(d->hDC, d->rcItem.left + 12, d->rcItem.top, name.c_str(), static_cast<int>(name.size()));
  bool bold = false;
  const char* cell = Cell(p.row, p.column);
  EngineText shown = FromEngine(cell);
  const std::string value = CellLabel(p.column, cell ? shown.get() : nullptr, &bold);
  if (bold && g_editor.boldFont) SelectObject(d->hDC, g_editor.boldFont);
  TextOutA(d->hDC, d->rcItem.left + 12 + g_editor.nameWidth + 8, d->rcItem.top, value.c_str(),
           static_cast<int>(value.size()));
  SelectObject(d->hDC, old);
  if (d->itemState & ODS_FOCUS) DrawFocusRect(d->hDC, &d->rcItem);
}

// ---- Loading a rule ----------------------------------------------------------------

std::intptr_t CollectText(const char* text, QsWord data) {
  reinterpret_cast<std::vector<std::string>*>(data)->push_back(FromEngine(text).get());
  return 0;
}

std::vector<std::string> Qualifiers(const std::string& context, int occurrence) {
  std::vector<std::string> texts;
  EngineText tag = ToEngine(context.c_str());
  eng::QsEnumQualifiers(g_editor.sheet, tag.get(), std::int32_t{occurrence}, CollectText,
                        reinterpret_cast<QsWord>(&texts));
  return texts;
}

void ReadRecord() {
  EngineText tag = ToEngine(g_editor.context.c_str());
  EngineText qualifier = ToEngine(g_editor.qualifier.c_str());
  // A rule that does not exist yet reads as an empty record.
  eng::QsGetStyleRule(g_editor.sheet, tag.get(), std::int32_t{g_editor.occurrence},
                      g_editor.qualifier.empty() ? nullptr : qualifier.get(), g_editor.record);
  g_editor.recordChanged = false;
}

// The rule of a context and occurrence, its own properties first.
void LoadRule(const std::string& context, int occurrence) {
  StoreRecord();
  g_editor.context = context.substr(0, kMaxSheetText);
  g_editor.occurrence = occurrence;
  g_editor.qualifier.clear();
  std::fill(std::begin(g_editor.qualifiedCells), std::end(g_editor.qualifiedCells), false);
  HWND combo = GetDlgItem(g_editor.dialog, IDC_SSH_QUALIFIER);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("(None)"));
  char* qualified[kRecordSlots] = {};
  for (const std::string& q : Qualifiers(g_editor.context, occurrence)) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(q.c_str()));
    EngineText tag = ToEngine(g_editor.context.c_str());
    EngineText text = ToEngine(q.c_str());
    if (eng::QsGetStyleRule(g_editor.sheet, tag.get(), std::int32_t{occurrence}, text.get(), qualified))
      for (int i = 0; i < kRecordSlots; ++i)
        if (qualified[i]) g_editor.qualifiedCells[i] = true;
    eng::QsFreeStyleRecord(qualified);
  }
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  ReadRecord();
  FillList();
}

// The qualified style of the current rule named by the qualifier combo.
void LoadQualifier() {
  StoreRecord();
  const LRESULT selected = SendDlgItemMessageA(g_editor.dialog, IDC_SSH_QUALIFIER, CB_GETCURSEL, 0, 0);
  g_editor.qualifier = selected > 0 ? ComboSelection(IDC_SSH_QUALIFIER) : std::string();
  ReadRecord();
  FillList();
}

void FillContexts(const std::vector<std::string>& contexts, int selected) {
  g_editor.contexts = contexts;
  HWND combo = GetDlgItem(g_editor.dialog, IDC_SSH_ELEMENT);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& c : contexts)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.c_str()));
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  Enable(IDC_SSH_PARENT, contexts.size() > 1);
}

int SelectedOccurrence() {
  const LRESULT o = SendDlgItemMessageA(g_editor.dialog, IDC_SSH_OCCURRENCE, CB_GETCURSEL, 0, 0);
  return o >= 0 && o < kOccurrenceCount ? static_cast<int>(o) : 0;
}

void SelectOccurrence(int occurrence) {
  SendDlgItemMessageA(g_editor.dialog, IDC_SSH_OCCURRENCE, CB_SETCURSEL,
                      static_cast<WPARAM>(std::clamp(occurrence, 0, kOccurrenceCount - 1)), 0);
}

// The element's name and its ancestors' names, from the element up.
std::vector<std::string> NamesUp() {
  std::vector<std::string> names;
  QsHandle walker = g_editor.node ? eng::QsDupNode(g_editor.node) : 0;
  if (!walker) return names;
  for (int level = 0; level < kMaxContextLevels; ++level) {
    const char* name = eng::QsGetElementName(walker);
    if (!name) break;
    names.push_back(FromEngine(name).get());
    if (eng::QsGotoParent(walker) <= 0) break;
  }
  eng::QsReleaseHandle(walker);
  return names;
}

std::string EntityNotation() {
  if (!g_editor.entity) return std::string();
  QsHandle notation = eng::QsGetEntityNotation(g_editor.entity);
  const char* name = notation ? eng::QsGetNotationName(notation) : nullptr;
  return name ? std::string(FromEngine(name).get()) : std::string();
}

// ---- The prompts ---------------------------------------------------------------------

struct ListPrompt {
  const char* caption;
  std::string preselected;
  std::vector<std::string> items;
  std::string text;      // out: the edit's text
  std::string itemText;  // out: the selected item's text
};

INT_PTR CALLBACK ListDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* prompt = reinterpret_cast<ListPrompt*>(GetWindowLongPtrA(dialog, DWLP_USER));
  HWND list = GetDlgItem(dialog, IDC_SSH_LIST);
  switch (message) {
    case WM_INITDIALOG: {
      prompt = reinterpret_cast<ListPrompt*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetWindowTextA(dialog, prompt->caption);
      for (const std::string& item : prompt->items)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
      SendDlgItemMessageA(dialog, IDC_SSH_TEXT, EM_LIMITTEXT, kMaxSheetText, 0);
      SetDlgItemTextA(dialog, IDC_SSH_TEXT, prompt->preselected.c_str());
      const LRESULT found = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(prompt->preselected.c_str()));
      if (found >= 0) SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SSH_LIST: {
          const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
          if (selected < 0) return TRUE;
          if (HIWORD(wParam) == LBN_SELCHANGE || HIWORD(wParam) == LBN_DBLCLK) {
            const std::string item =
                ItemText(list, LB_GETTEXT, LB_GETTEXTLEN, static_cast<WPARAM>(selected));
            SetDlgItemTextA(dialog, IDC_SSH_TEXT, item.c_str());
          }
          if (HIWORD(wParam) == LBN_DBLCLK) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
          return TRUE;
        }
        case IDOK: {
          prompt->text = DialogText(dialog, IDC_SSH_TEXT);
          const LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
          prompt->itemText = selected >= 0 ? ItemText(list, LB_GETTEXT, LB_GETTEXTLEN,
                                                      static_cast<WPARAM>(selected))
                                           : std::string();
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

HINSTANCE DialogInstance(HWND owner) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
}

bool RunListPrompt(ListPrompt* prompt) {
  return DialogBoxParamA(DialogInstance(g_editor.dialog), "dlgSShList", g_editor.dialog, ListDlgProc,
                         reinterpret_cast<LPARAM>(prompt)) == 1;
}

struct StringPrompt {
  std::string label;
  ValueKind kind;
  int row, column;
  std::string text;  // in and out
};

// Whether the cell's descriptor in the engine takes a text (ranges
// included): what it refuses is never stored.
bool EngineTakes(int row, int column, const std::string& text) {
  EngineText stored = ToEngine(text.c_str());
  char* probe[kRecordSlots] = {};
  const bool valid = eng::QsSetStyleRecordText(probe, std::int32_t{row}, std::int32_t{column},
                                               text.empty() ? nullptr : stored.get()) != 0;
  eng::QsFreeStyleRecord(probe);
  return valid;
}

INT_PTR CALLBACK StringDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* prompt = reinterpret_cast<StringPrompt*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      prompt = reinterpret_cast<StringPrompt*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SetDlgItemTextA(dialog, IDC_SSH_PROMPT, (prompt->label + ":").c_str());
      HWND edit = GetDlgItem(dialog, IDC_SSH_TEXT);
      const bool number = prompt->kind == ValueKind::kNumber || prompt->kind == ValueKind::kSignedNumber;
      if (!number) {
        // Texts get the room a line of text needs.
        RECT r;
        GetWindowRect(edit, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        RECT client;
        GetClientRect(dialog, &client);
        MoveWindow(edit, r.left, r.top, client.right - r.left - 8, r.bottom - r.top, FALSE);
      }
      SendMessageA(edit, EM_LIMITTEXT,
                   !number ? kMaxSheetText : prompt->kind == ValueKind::kSignedNumber ? 5 : 3, 0);
      SetWindowTextA(edit, prompt->text.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const std::string text = DialogText(dialog, IDC_SSH_TEXT);
          const bool number = prompt->kind == ValueKind::kNumber || prompt->kind == ValueKind::kSignedNumber;
          if ((number && !IsNumberPromptText(text, prompt->kind == ValueKind::kSignedNumber)) ||
              !EngineTakes(prompt->row, prompt->column, text)) {
            ShowMessageBox(dialog, "Invalid value", "Error", MB_OK | MB_ICONERROR);
            return TRUE;
          }
          prompt->text = text;
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK ShadowDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* text = reinterpret_cast<std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      text = reinterpret_cast<std::string*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      int h = 7, v = 7;
      ShadowEntries(text->c_str(), &h, &v);
      for (int id : {IDC_SSH_HORIZONTAL, IDC_SSH_VERTICAL})
        for (int i = 0; i < 15; ++i)
          SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(ShadowEntryLabel(i).c_str()));
      SendDlgItemMessageA(dialog, IDC_SSH_HORIZONTAL, CB_SETCURSEL, static_cast<WPARAM>(h), 0);
      SendDlgItemMessageA(dialog, IDC_SSH_VERTICAL, CB_SETCURSEL, static_cast<WPARAM>(v), 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const auto h = SendDlgItemMessageA(dialog, IDC_SSH_HORIZONTAL, CB_GETCURSEL, 0, 0);
          const auto v = SendDlgItemMessageA(dialog, IDC_SSH_VERTICAL, CB_GETCURSEL, 0, 0);
          *text = ShadowText(h < 0 ? 7 : static_cast<int>(h), v < 0 ? 7 : static_cast<int>(v));
          EndDialog(dialog, 1);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

int CALLBACK CollectFamily(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM data) {
  auto* names = reinterpret_cast<std::vector<std::string>*>(data);
  if (font->lfFaceName[0] != '@') names->push_back(font->lfFaceName);
  return 1;
}

std::vector<std::string> FontFamilies() {
  std::vector<std::string> names;
  HDC screen = GetDC(nullptr);
  if (!screen) return names;
  EnumFontFamiliesA(screen, nullptr, CollectFamily, reinterpret_cast<LPARAM>(&names));
  ReleaseDC(nullptr, screen);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

// ---- Choosing a value ----------------------------------------------------------------

// The new text of a cell through the column's prompt; false when the
// reader cancelled.
bool AskValue(int property, std::string* text) {
  const SheetProperty& p = PropertyAt(property);
  const ValueKind kind = ValuesOf(p.column).kind;
  const char* cell = Cell(p.row, p.column);
  const std::string current = cell ? FromEngine(cell).get() : std::string();
  switch (kind) {
    case ValueKind::kFontFamily: {
      ListPrompt prompt{"Specify Font Family", current, FontFamilies(), {}, {}};
      if (!RunListPrompt(&prompt)) return false;
      *text = prompt.text;
      return true;
    }
    case ValueKind::kColour: {
      std::uint8_t rgb[3];
      ColourOfText(cell, rgb);
      CHOOSECOLORA choose{};
      choose.lStructSize = sizeof choose;
      choose.hwndOwner = g_editor.dialog;
      choose.rgbResult = RGB(rgb[0], rgb[1], rgb[2]);
      choose.lpCustColors = g_customColours;
      choose.Flags = CC_RGBINIT | CC_FULLOPEN;
      if (!ChooseColorA(&choose)) return false;
      *text = ColourText(GetRValue(choose.rgbResult), GetGValue(choose.rgbResult),
                         GetBValue(choose.rgbResult));
      return true;
    }
    case ValueKind::kShadow: {
      std::string shadow = cell ? current : std::string("0 0");
      if (DialogBoxParamA(DialogInstance(g_editor.dialog), "dlgSShGetShdw", g_editor.dialog,
                          ShadowDlgProc, reinterpret_cast<LPARAM>(&shadow)) != 1)
        return false;
      *text = shadow;
      return true;
    }
    default: {
      StringPrompt prompt{p.name, kind, p.row, p.column, current};
      if (DialogBoxParamA(DialogInstance(g_editor.dialog), "dlgSShGetStr", g_editor.dialog,
                          StringDlgProc, reinterpret_cast<LPARAM>(&prompt)) != 1)
        return false;
      *text = prompt.text;
      return true;
    }
  }
}

void ChooseValue(int property, int choice) {
  const SheetProperty& p = PropertyAt(property);
  const ColumnValues& values = ValuesOf(p.column);
  std::string text;
  if (values.kind == ValueKind::kList) {
    text = values.choices[static_cast<std::size_t>(choice)].stored;
  } else if (choice != 0 && !AskValue(property, &text)) {
    return;
  }
  EngineText stored = ToEngine(text.c_str());
  if (!eng::QsSetStyleRecordText(g_editor.record, std::int32_t{p.row}, std::int32_t{p.column},
                                 text.empty() ? nullptr : stored.get())) {
    ShowMessageBox(g_editor.dialog, "Invalid value", "Error", MB_OK | MB_ICONERROR);
    return;
  }
  FillList();
  Changed();
}

void OpenValueMenu(HWND list, int x, int y) {
  const LRESULT hit = SendMessageA(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  if (HIWORD(hit)) return;  // below the last line
  const int item = LOWORD(hit);
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
  const int property = static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(item), 0));
  if (property < 0 || property >= kSheetProperties) return;
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  const ColumnValues& values = ValuesOf(PropertyAt(property).column);
  for (std::size_t i = 0; i < values.choices.size(); ++i)
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(ChoiceMenuId(property, static_cast<int>(i))),
                values.choices[i].label);
  POINT at{x, y};
  ClientToScreen(list, &at);
  const int id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                                at.x, at.y, 0, g_editor.dialog, nullptr);
  DestroyMenu(menu);
  int p = 0, choice = 0;
  if (SplitChoiceMenuId(id, &p, &choice)) ChooseValue(p, choice);
}

LRESULT CALLBACK PropertyListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
    SetFocus(list);
    OpenValueMenu(list, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return 0;
  }
  return CallWindowProcA(g_editor.listProc, list, message, wParam, lParam);
}

// ---- The rule and qualifier choosers ---------------------------------------------

void ChooseRule() {
  std::vector<std::string> rules;
  eng::QsEnumStyleTags(g_editor.sheet, CollectText, reinterpret_cast<QsWord>(&rules));
  for (std::string& r : rules) r = RuleListText(r);
  std::string current = g_editor.context;
  if (g_editor.occurrence) current = std::string(OccurrenceName(g_editor.occurrence)) + " " + current;
  ListPrompt prompt{"Specify Style", current, rules, {}, {}};
  if (!RunListPrompt(&prompt) || prompt.text.empty()) return;
  std::string context;
  int occurrence = 0;
  SplitRuleText(prompt.text, &context, &occurrence);
  FillContexts({context}, 0);
  SelectOccurrence(occurrence);
  LoadRule(context, occurrence);
}

void SelectQualifierText(const std::string& text) {
  HWND combo = GetDlgItem(g_editor.dialog, IDC_SSH_QUALIFIER);
  LRESULT found = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(text.c_str()));
  if (found < 0)
    found = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(std::max<LRESULT>(found, 0)), 0);
}

void ChooseQualifier() {
  StoreRecord();
  if (g_editor.context.empty()) return;
  ListPrompt prompt{"Specify Qualifier", g_editor.qualifier,
                    Qualifiers(g_editor.context, g_editor.occurrence), {}, {}};
  if (!RunListPrompt(&prompt) || prompt.text.empty()) return;
  const bool exists = std::find(prompt.items.begin(), prompt.items.end(), prompt.text) != prompt.items.end();
  if (prompt.text != prompt.itemText && exists) {
    const std::string question = "Replace '" + prompt.text + "'?";
    const int answer = ShowMessageBox(g_editor.dialog, question.c_str(), "New or edited qualifier?",
                                      MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return;
    if (answer == IDYES) {
      // The typed qualifier takes the current record's properties in place
      // of its own.
      EngineText tag = ToEngine(g_editor.context.c_str());
      EngineText typed = ToEngine(prompt.text.c_str());
      char* none[kRecordSlots] = {};
      eng::QsSetStyleRule(g_editor.sheet, tag.get(), std::int32_t{g_editor.occurrence}, typed.get(), none);
      eng::QsSetStyleRule(g_editor.sheet, tag.get(), std::int32_t{g_editor.occurrence}, typed.get(),
                          g_editor.record);
      g_editor.sheetChanged = true;
      g_editor.previewPending = true;
      Enable(IDC_SSH_PREVIEW, true);
    }
  }
  SelectQualifierText(prompt.text);
  g_editor.recordChanged = false;
  g_editor.qualifier = prompt.text;
  ReadRecord();
  FillList();
}

// ---- The dialog --------------------------------------------------------------------

void MakeFonts() {
  for (int weight : {500, 700}) {
    HFONT font = CreateFontA(11, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Song");
    (weight == 500 ? g_editor.normalFont : g_editor.boldFont) = font;
  }
}

int LineHeight(HWND dialog) {
  int height = 14;
  HDC dc = GetDC(dialog);
  if (dc && g_editor.boldFont) {
    HGDIOBJ old = SelectObject(dc, g_editor.boldFont);
    TEXTMETRICA metrics{};
    if (GetTextMetricsA(dc, &metrics)) height = metrics.tmHeight + 1;
    SelectObject(dc, old);
  }
  if (dc) ReleaseDC(dialog, dc);
  return height;
}

void Initialize(HWND dialog) {
  g_editor.dialog = dialog;
  for (int o = 0; o < kOccurrenceCount; ++o)
    SendDlgItemMessageA(dialog, IDC_SSH_OCCURRENCE, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(OccurrenceName(o)));
  for (const PropertyGroup& g : PropertyGroups())
    SendDlgItemMessageA(dialog, IDC_SSH_GROUP, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g.name));
  SendDlgItemMessageA(dialog, IDC_SSH_GROUP, CB_SETCURSEL, 0, 0);
  HWND list = GetDlgItem(dialog, IDC_SSH_PROPERTIES);
  g_editor.listProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PropertyListProc)));
  Enable(IDC_SSH_PREVIEW, false);

  // The element's rule names the context and occurrence to start on.
  char rule[kMaxSheetText + 1] = "";
  std::int32_t occurrence = 0;
  const char* found =
      g_editor.entity
          ? eng::QsGetRuleTagList(g_editor.sheet, g_editor.node, g_editor.entity, rule,
                                  std::int32_t{sizeof rule}, &occurrence)
          : eng::QsGetNodeStyle(g_editor.sheet, g_editor.node, rule, std::int32_t{sizeof rule},
                                &occurrence);
  const std::string ruleContext = found ? FromEngine(rule).get() : std::string();
  std::vector<std::string> contexts = TagContexts(NamesUp(), EntityNotation());
  if (contexts.empty() && !ruleContext.empty()) contexts.push_back(ruleContext);
  const auto at = std::find(contexts.begin(), contexts.end(), ruleContext);
  const int selected = at == contexts.end() ? 0 : static_cast<int>(at - contexts.begin());
  FillContexts(contexts, selected);
  SelectOccurrence(occurrence);
  MeasureNames(0);
  if (!contexts.empty()) LoadRule(contexts[static_cast<std::size_t>(selected)], SelectedOccurrence());
}

void Finish(HWND dialog, int result) {
  if (result == 0 && g_editor.sheetChanged) {
    // The file still holds the sheet as it was; views that showed a
    // preview go back to it.
    eng::QsReloadStyleSheet(g_editor.sheet);
    if (g_editor.previewed) eng::QsApplyStyleSheet(g_editor.sheet);
  }
  EndDialog(dialog, result);
}

INT_PTR CALLBACK SheetEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (!g_editor.boldFont) MakeFonts();
      g_editor.dialog = dialog;
      Initialize(dialog);
      return TRUE;
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (m->CtlID != IDC_SSH_PROPERTIES) break;
      // The list is measured while the dialog is made, before it starts.
      if (!g_editor.boldFont) MakeFonts();
      m->itemHeight = static_cast<UINT>(LineHeight(dialog));
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (d->CtlID != IDC_SSH_PROPERTIES) break;
      DrawLine(d);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SSH_ELEMENT:
          if (HIWORD(wParam) == CBN_SELCHANGE) LoadRule(ComboSelection(IDC_SSH_ELEMENT), SelectedOccurrence());
          return TRUE;
        case IDC_SSH_PARENT: {
          int selected = static_cast<int>(SendDlgItemMessageA(dialog, IDC_SSH_ELEMENT, CB_GETCURSEL, 0, 0));
          std::vector<std::string> parents = ParentContexts(g_editor.contexts, &selected);
          if (parents.empty()) {
            Enable(IDC_SSH_PARENT, false);
            return TRUE;
          }
          FillContexts(parents, selected);
          LoadRule(parents[static_cast<std::size_t>(selected)], SelectedOccurrence());
          return TRUE;
        }
        case IDC_SSH_RULES:
          ChooseRule();
          return TRUE;
        case IDC_SSH_QUALIFIERS:
          ChooseQualifier();
          return TRUE;
        case IDC_SSH_QUALIFIER:
          if (HIWORD(wParam) == CBN_SELCHANGE) LoadQualifier();
          return TRUE;
        case IDC_SSH_OCCURRENCE:
          if (HIWORD(wParam) == CBN_SELCHANGE) LoadRule(g_editor.context, SelectedOccurrence());
          return TRUE;
        case IDC_SSH_GROUP:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            SendDlgItemMessageA(dialog, IDC_SSH_PROPERTIES, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            SendDlgItemMessageA(dialog, IDC_SSH_PROPERTIES, LB_SETTOPINDEX, 0, 0);
            SelectGroup(static_cast<int>(SendDlgItemMessageA(dialog, IDC_SSH_GROUP, CB_GETCURSEL, 0, 0)));
          }
          return TRUE;
        case IDC_SSH_CLEAR:
          eng::QsFreeStyleRecord(g_editor.record);
          FillList();
          Changed();
          return TRUE;
        case IDC_SSH_PREVIEW:
          if (!g_editor.previewPending) return TRUE;
          StoreRecord();
          eng::QsApplyStyleSheet(g_editor.sheet);
          g_editor.previewPending = false;
          g_editor.previewed = true;
          Enable(IDC_SSH_PREVIEW, false);
          return TRUE;
        case IDOK:
          StoreRecord();
          if (g_editor.sheetChanged) {
            // The file is written whole or not at all; a failure keeps the
            // dialog and the reader's changes.
            if (!eng::QsSaveStyleSheet(g_editor.sheet)) {
              ShowMessageBox(dialog, "Can't save", "Style Sheet", MB_OK | MB_ICONSTOP);
              return TRUE;
            }
            if (g_editor.previewPending) eng::QsApplyStyleSheet(g_editor.sheet);
          }
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          Finish(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void StyleSheetEditDialog(HWND owner, QsHandle sheet, QsHandle node, QsHandle entity) {
  if (g_open || !sheet || !node) return;
  g_open = true;
  g_editor = Editor{};
  g_editor.sheet = sheet;
  g_editor.node = eng::QsDupNode(node);
  g_editor.entity = entity;
  eng::QsAddRefHandle(sheet);
  if (entity) eng::QsAddRefHandle(entity);
  RunDialog(owner, "dlgSShEdit", SheetEditDlgProc);
  eng::QsFreeStyleRecord(g_editor.record);
  for (HFONT font : {g_editor.normalFont, g_editor.boldFont})
    if (font) DeleteObject(font);
  if (g_editor.node) eng::QsReleaseHandle(g_editor.node);
  if (entity) eng::QsReleaseHandle(entity);
  eng::QsReleaseHandle(sheet);
  g_editor = Editor{};
  g_open = false;
}

}  // namespace qs::viewer
