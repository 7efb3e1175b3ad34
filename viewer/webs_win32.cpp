// Webs and bookmarks: the webs kept open (up to 16, remembered in the
// private profile), the one being edited, the Web menu's and the Bookmarks
// menu's items, and the Bookmarks dialog. The menus' own items stay: only
// the items this file inserted, found by their ids, are taken out again.
#include <windows.h>
#include <commdlg.h>

#include <functional>

#include "engine.h"
#include "resources/resource.h"
#include "ui.h"
#include "viewer.h"
#include "web_list.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr char kProfile[] = "CV20CP.INI";
constexpr char kSection[] = "Web List";

WebList g_webs;
HWND g_bookmarksDialog = nullptr;
int g_bookmarkItems = 0;

HMENU WebMenu() { return MainMenu() ? GetSubMenu(MainMenu(), 6) : nullptr; }
HMENU CloseMenu() { return WebMenu() ? GetSubMenu(WebMenu(), 1) : nullptr; }
HMENU BookmarksMenu() { return MainMenu() ? GetSubMenu(MainMenu(), 7) : nullptr; }

void Release(QsHandle handle) {
  if (handle) eng::QsReleaseHandle(handle);
}

// ---- Bookmarks: the anchors of the open webs that are bookmarks -----------------

constexpr std::int32_t kBookmarkFilter = 0x002;
constexpr std::uint32_t kWebHandleType = 5;  // QsGetHandleType: HWEB

struct AnchorWalk {
  std::function<bool(QsHandle)> visit;  // true: stop
};

std::intptr_t VisitAnchor(QsHandle anchor, QsWord data) {
  return reinterpret_cast<AnchorWalk*>(data)->visit(anchor) ? 1 : 0;
}

std::intptr_t VisitWeb(QsHandle web, QsWord data) {
  return eng::QsEnumWebAnchors(web, kBookmarkFilter, VisitAnchor, data);
}

// Every bookmark in order, per web as the engine lists its webs; the
// handles live for the call.
void ForEachBookmark(const std::function<bool(QsHandle)>& visit) {
  AnchorWalk walk{visit};
  eng::QsEnumWebs(VisitWeb, reinterpret_cast<QsWord>(&walk));
}

// Bookmark n with a use of its own for the caller, or 0.
QsHandle BookmarkAt(int n) {
  QsHandle found = 0;
  int left = n;
  ForEachBookmark([&](QsHandle anchor) {
    if (left-- > 0) return false;
    eng::QsAddRefHandle(anchor);
    found = anchor;
    return true;
  });
  return found;
}

std::string AnchorName(QsHandle anchor) {
  char buffer[256] = "";
  if (!eng::QsGetAnchorName(anchor, buffer, std::int32_t{sizeof buffer})) return "";
  EngineText name = FromEngine(buffer);
  return AnchorItemText(name);
}

std::vector<std::string> BookmarkNames() {
  std::vector<std::string> names;
  ForEachBookmark([&](QsHandle anchor) {
    names.push_back(AnchorName(anchor));
    return false;
  });
  return names;
}

void RebuildBookmarksMenu() {
  HMENU menu = BookmarksMenu();
  if (!menu) return;
  for (int i = 0; i < g_bookmarkItems; ++i) DeleteMenu(menu, IDM_BOOKMARK_FIRST + i, MF_BYCOMMAND);
  DeleteMenu(menu, IDM_BOOKMARK_SEPARATOR, MF_BYCOMMAND);
  g_bookmarkItems = 0;
  const std::vector<std::string> names = BookmarkNames();
  // Past the block's end, bookmarks are only in the dialog.
  for (const std::string& name : names) {
    if (g_bookmarkItems >= BOOKMARK_MAX) break;
    InsertMenuA(menu, static_cast<UINT>(g_bookmarkItems), MF_BYPOSITION | MF_STRING,
                IDM_BOOKMARK_FIRST + g_bookmarkItems, name.c_str());
    ++g_bookmarkItems;
  }
  if (g_bookmarkItems)
    InsertMenuA(menu, static_cast<UINT>(g_bookmarkItems), MF_BYPOSITION | MF_SEPARATOR,
                IDM_BOOKMARK_SEPARATOR, nullptr);
  EnableCommand(IDM_BOOKMARKS, !names.empty());
  if (MainWindow()) DrawMenuBar(MainWindow());
}

void FillBookmarkList(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_BOOKMARK_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : BookmarkNames())
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

void EnableBookmarkButtons(HWND dialog, bool on) {
  for (int id : {IDC_BOOKMARK_NOTE, IDC_BOOKMARK_LOCATE, IDC_BOOKMARK_DELETE})
    EnableWindow(GetDlgItem(dialog, id), on);
}

void BookmarkButton(HWND dialog, int id) {
  const auto index = SendDlgItemMessageA(dialog, IDC_BOOKMARK_LIST, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return;
  QsHandle anchor = BookmarkAt(static_cast<int>(index));
  if (!anchor) return;
  if (id == IDC_BOOKMARK_LOCATE)
    eng::QsShowElement(anchor);
  else if (id == IDC_BOOKMARK_NOTE)
    eng::QsAnchorNotifyA(W(dialog), anchor);
  else
    eng::QsDeleteAnchor(anchor);
  Release(anchor);
}

// ---- The Web menu ------------------------------------------------------------------

void CheckCurrentWeb() {
  HMENU menu = WebMenu();
  if (!menu) return;
  for (int i = 0; i < g_webs.Count(); ++i)
    CheckMenuItem(menu, IDM_WEB_FIRST + i,
                  MF_BYCOMMAND | (i == g_webs.Current() ? MF_CHECKED : MF_UNCHECKED));
}

// Takes out every web item and separator this file put in both menus, and
// puts the list's items in again.
void RebuildWebItems(int previousCount) {
  HMENU menu = WebMenu(), close = CloseMenu();
  if (!menu || !close) return;
  for (int i = 0; i < previousCount; ++i) {
    DeleteMenu(menu, IDM_WEB_FIRST + i, MF_BYCOMMAND);
    DeleteMenu(close, IDM_WEB_CLOSE_FIRST + i, MF_BYCOMMAND);
  }
  DeleteMenu(menu, IDM_WEB_SEPARATOR, MF_BYCOMMAND);
  DeleteMenu(close, IDM_WEB_CLOSE_SEPARATOR, MF_BYCOMMAND);
  const int count = g_webs.Count();
  if (count) {
    InsertMenuA(menu, WEB_MENU_FIXED_ITEMS, MF_BYPOSITION | MF_SEPARATOR, IDM_WEB_SEPARATOR, nullptr);
    InsertMenuA(close, 0, MF_BYPOSITION | MF_SEPARATOR, IDM_WEB_CLOSE_SEPARATOR, nullptr);
  }
  for (int i = 0; i < count; ++i) {
    const char* path = g_webs.At(i).path.c_str();
    InsertMenuA(menu, static_cast<UINT>(WEB_MENU_FIXED_ITEMS + 1 + i), MF_BYPOSITION | MF_STRING,
                IDM_WEB_FIRST + i, path);
    InsertMenuA(close, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, IDM_WEB_CLOSE_FIRST + i,
                path);
  }
  CheckCurrentWeb();
  EnableCommand(IDM_WEB_CLOSE_ALL, count > 0);
  EnableCommand(IDM_WEB_OPEN, !g_webs.Full());
  if (MainWindow()) DrawMenuBar(MainWindow());
}

void UpdateEditHotspots() {
  QsHandle entity = eng::QsGetPictureEntity(W(FigureWindow()));
  Release(entity);
  EnableCommand(IDM_EDIT_HOTSPOTS, entity != 0 && g_webs.Current() >= 0);
}

void EndEditing() {
  if (QsHandle web = g_webs.CurrentHandle()) {
    eng::QsSaveWebIfChanged(web);
    eng::QsEndWebEdit(web);
  }
}

// "&Open...": the system's save dialog, so that a name not yet used is taken
// as a new web.
void OpenWebCommand() {
  char path[MAX_PATH] = "";
  char filter[] = "Web files (*.web)\0*.web\0All Files (*.*)\0*.*\0";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = MainWindow();
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof path;
  dialog.lpstrTitle = "Open/Create Web";
  dialog.lpstrDefExt = "web";
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  if (GetSaveFileNameA(&dialog)) CreateWebCommand(path, true);
}

// QsSaveWeb writes only a web being edited. One edited earlier in this run
// is edited again for it: ending its editing may have followed a save that
// failed, and its changes would go unwritten.
bool SaveAndCloseWeb(int i) {
  const OpenWebEntry& web = g_webs.At(i);
  if (web.edited && i != g_webs.Current()) eng::QsBeginWebEdit(web.handle);
  return eng::QsSaveWeb(web.handle) != 0;
}

}  // namespace

QsHandle CurrentWeb() { return g_webs.CurrentHandle(); }

bool CreateWebCommand(const char* path, bool create) {
  if (!path || !*path) return false;
  if (g_webs.Full()) {
    ShowMessageBox(MainWindow(), path, "Can't open more than 16 webs", MB_OK | MB_ICONSTOP);
    return false;
  }
  QsHandle web = 0;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    if (!create) return false;
    char title[256] = "";
    if (!eng::QsInputDialog(W(MainWindow()), "Create Web", "Web Title", title) || !title[0])
      return false;
    EngineText enginePath = ToEngine(path);
    QsHandle made = eng::QsCreateWeb(enginePath.get(), static_cast<const char*>(nullptr), title);
    if (!made) return false;
    eng::QsSaveWeb(made);  // written and closed, its handle with it
  }
  web = OpenWebFile(path);
  if (!web) return false;
  if (g_webs.IndexOf(static_cast<std::uint32_t>(web)) >= 0) {
    Release(web);
    ShowMessageBox(MainWindow(), path, "Web is already open", MB_OK | MB_ICONSTOP);
    return false;
  }
  const int before = g_webs.Count();
  g_webs.Append(static_cast<std::uint32_t>(web), path);
  RebuildWebItems(before);
  return true;
}

void CloseWeb(int i) {
  if (i < 0 || i >= g_webs.Count()) return;
  // QsSaveWeb writes the web while it is still being edited and closes it,
  // its handles with it. A web it cannot write stays open, edited and in
  // the list, its changes kept (the engine reports the failure): ending
  // the editing first would have closed it unwritten.
  const QsHandle handle = g_webs.At(i).handle;
  if (!SaveAndCloseWeb(i) && eng::QsGetHandleType(handle) == kWebHandleType) return;
  const bool wasCurrent = i == g_webs.Current();
  const int before = g_webs.Count();
  g_webs.Remove(i);
  if (wasCurrent) {
    UpdateEditHotspots();
    for (int id : {IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK, IDM_WEB_CONNECT_LINK}) EnableCommand(id, false);
  }
  RebuildWebItems(before);
  RebuildBookmarksMenu();
}

void SelectCurrentWeb(int i) {
  EndEditing();
  if (g_webs.Choose(i) >= 0) {
    eng::QsBeginWebEdit(g_webs.CurrentHandle());
    g_webs.MarkCurrentEdited();
  }
  CheckCurrentWeb();
  UpdateEditHotspots();
  // A selection already made is annotated and linked into the edited web.
  const bool selection = MainViewHasSelection();
  for (int id : {IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK, IDM_WEB_CONNECT_LINK})
    EnableCommand(id, selection && g_webs.Current() >= 0);
}

bool WebCommand(int id) {
  if (id >= IDM_WEB_FIRST && id < IDM_WEB_FIRST + WEB_MAX) {
    SelectCurrentWeb(id - IDM_WEB_FIRST);
    return true;
  }
  if (id >= IDM_WEB_CLOSE_FIRST && id < IDM_WEB_CLOSE_FIRST + WEB_MAX) {
    CloseWeb(id - IDM_WEB_CLOSE_FIRST);
    return true;
  }
  if (id >= IDM_BOOKMARK_FIRST && id < IDM_BOOKMARK_FIRST + BOOKMARK_MAX) {
    if (QsHandle anchor = BookmarkAt(id - IDM_BOOKMARK_FIRST)) {
      eng::QsShowElement(anchor);
      Release(anchor);
    }
    return true;
  }
  switch (id) {
    case IDM_WEB_OPEN: OpenWebCommand(); return true;
    case IDM_WEB_ANNOTATE: eng::QsAnnotateSelection(W(MainView()), CurrentWeb()); return true;
    case IDM_WEB_BEGIN_LINK: eng::QsBeginLink(W(MainView())); return true;
    case IDM_WEB_CONNECT_LINK: eng::QsCompleteLink(W(MainView()), CurrentWeb()); return true;
    case IDM_WEB_CLOSE_ALL:
      for (int i = g_webs.Count() - 1; i >= 0; --i) CloseWeb(i);
      return true;
    case IDM_BOOKMARKS: RunDialog(MainWindow(), "dlgBookmarks", BookmarksDlgProc); return true;
    default: return false;
  }
}

std::intptr_t RebuildWebMenu(QsWindow, std::int32_t, QsWord, QsWord, QsWord) {
  RebuildBookmarksMenu();
  return 0;
}

std::intptr_t RefreshBookmarks(QsWindow, std::int32_t, QsWord, QsWord b, QsWord) {
  if (HWND dialog = g_bookmarksDialog) {
    const auto index = SendDlgItemMessageA(dialog, IDC_BOOKMARK_LIST, LB_GETCURSEL, 0, 0);
    FillBookmarkList(dialog);
    const bool selected =
        index != LB_ERR &&
        SendDlgItemMessageA(dialog, IDC_BOOKMARK_LIST, LB_SETCURSEL, index, 0) != LB_ERR;
    EnableBookmarkButtons(dialog, selected);
  }
  // A deleted bookmark leaves the menu too; the engine sends no event 15 for it.
  RebuildBookmarksMenu();
  HotspotAnchorGone(static_cast<QsHandle>(b));
  return 0;
}

INT_PTR CALLBACK BookmarksDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      g_bookmarksDialog = dialog;
      FillBookmarkList(dialog);
      EnableBookmarkButtons(dialog, false);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_BOOKMARK_LIST:
          if (HIWORD(wParam) == LBN_SELCHANGE) {
            EnableBookmarkButtons(dialog, SendDlgItemMessageA(dialog, IDC_BOOKMARK_LIST,
                                                              LB_GETCURSEL, 0, 0) != LB_ERR);
          } else if (HIWORD(wParam) == LBN_DBLCLK) {
            BookmarkButton(dialog, IDC_BOOKMARK_LOCATE);
          }
          return TRUE;
        case IDC_BOOKMARK_NOTE:
        case IDC_BOOKMARK_LOCATE:
        case IDC_BOOKMARK_DELETE:
          BookmarkButton(dialog, LOWORD(wParam));
          return TRUE;
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
      }
      break;
    case WM_DESTROY:
      g_bookmarksDialog = nullptr;
      break;
  }
  return FALSE;
}

void LoadWebList() {
  eng::QsSetCallback(QsWindow{0}, std::int32_t{15}, RebuildWebMenu, QsWord{0});
  eng::QsSetCallback(QsWindow{0}, std::int32_t{21}, RefreshBookmarks, QsWord{0});
  char text[17] = "";
  GetPrivateProfileStringA(kSection, "WRWEB", "-1", text, sizeof text, kProfile);
  const int current = StoredCurrentWeb(text);
  const std::vector<std::string> paths = StoredWebs([](const std::string& key) {
    char value[256] = "";
    GetPrivateProfileStringA(kSection, key.c_str(), ".", value, sizeof value, kProfile);
    return std::string(value);
  });
  for (int n = 0; n < static_cast<int>(paths.size()); ++n) {
    if (CreateWebCommand(paths[static_cast<std::size_t>(n)].c_str(), false) && n == current)
      SelectCurrentWeb(g_webs.Count() - 1);
  }
  EnableCommand(IDM_WEB_CLOSE_ALL, g_webs.Count() > 0);
  RebuildBookmarksMenu();
}

void SaveWebList() {
  for (const ProfileWrite& write : WebListWrites(g_webs))
    WritePrivateProfileStringA(kSection, write.key.c_str(),
                               write.value ? write.value->c_str() : nullptr, kProfile);
  // Each is written (the edited one while still edited) and closed.
  while (g_webs.Count()) {
    SaveAndCloseWeb(g_webs.Count() - 1);
    g_webs.Remove(g_webs.Count() - 1);
  }
}

}  // namespace qs::viewer
