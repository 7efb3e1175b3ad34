// Documents in the viewer: opening them into the document views with their
// style sheets and navigators, the menus that follow the main view's
// document, the recent files and URL history, and the procedures through
// which the viewer answers the engine's events.
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "document_text.h"
#include "download.h"
#include "api/records.h"
#include "engine.h"
#include "net/url.h"
#include "resources/resource.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

struct DocumentState {
  int sheet = 0;          // current style sheet, 1-based; 0 none
  int sheetEntries = 0;   // View menu entries, with their separator
  int navigator = 0;      // -1 the SGML tree, 0 none, n navigator n
  int navigatorShown = 0; // the choice whose item carries the check
  int navigatorEntries = 0;
  std::vector<std::string> recent;
  std::vector<std::string> urls;
  int recentItems = 0;    // File menu items this module put there, with the separator
  bool lastLocal = true;
  bool hasDocument = false;
  bool selection = false;
  bool pdfLaunch = false;
} d;

constexpr std::size_t kRecentLimit = RECENT_FILE_COUNT;
constexpr std::size_t kUrlLimit = 8;
constexpr int kFileMenuRecentAt = FILE_MENU_FIXED_ITEMS;
constexpr int kViewMenuSheetsAt = VIEW_MENU_FIXED_ITEMS;
constexpr int kNavigatorMenuAt = 1;

class WaitCursor {
 public:
  WaitCursor() : old_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(old_); }

 private:
  HCURSOR old_;
};

void Release(QsHandle handle) {
  if (handle) eng::QsReleaseHandle(handle);
}

HMENU SubMenu(int n) {
  HMENU menu = MainMenu();
  return menu ? GetSubMenu(menu, n) : nullptr;
}

// The file name of an engine object, in the viewer's code page; empty when
// it has none.
std::string FileNameOf(QsHandle handle) {
  char buffer[256] = "";
  if (!handle || !eng::QsGetFileName(handle, buffer, std::int32_t{255})) return std::string();
  buffer[255] = 0;
  EngineText local = FromEngine(buffer);
  return local.get() ? local.get() : "";
}

std::string MenuText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += '&';  // a path's '&' is no mnemonic
    out += c;
  }
  return out;
}

void RebuildRecentMenu() {
  HMENU file = SubMenu(0);
  if (!file) return;
  // Only what this module inserted goes: with no items there is no
  // separator either, and the next File item stays.
  for (int i = 0; i < d.recentItems; ++i) DeleteMenu(file, kFileMenuRecentAt, MF_BYPOSITION);
  d.recentItems = 0;
  if (!d.recent.empty()) {
    InsertMenuA(file, kFileMenuRecentAt, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    d.recentItems = 1;
    for (std::size_t i = 0; i < d.recent.size(); ++i) {
      std::string text = MenuText(d.recent[i]);
      InsertMenuA(file, kFileMenuRecentAt + 1 + static_cast<int>(i), MF_BYPOSITION | MF_STRING,
                  IDM_RECENT_FIRST + i, text.c_str());
      ++d.recentItems;
    }
  }
  if (MainWindow()) DrawMenuBar(MainWindow());
}

bool SameDocument(QsHandle a, QsHandle b) {
  if (a == b) return true;
  return a && b && eng::QsIsSameObject(a, b) != 0;
}

void ShowNavigatorFor(QsHandle document, QsHandle sheet, QsHandle navigator) {
  eng::QsDisplay(W(NavigatorView()), document, sheet, navigator, W(MainView()), QsHandle{0},
                 QsHandle{0}, std::int32_t(NavigatorFlags()));
}

void ShowMainDocument(QsHandle document, QsHandle sheet) {
  eng::QsDisplay(W(MainView()), document, sheet, QsHandle{0}, QsWindow{0}, QsHandle{0},
                 QsHandle{0}, std::int32_t(ViewFlags()));
}

// The main view has no document any more.
void ShowNoDocument() {
  eng::QsDetachWindowView(W(FigureWindow()));
  RebuildDocumentMenus(0);
  d.navigator = 0;
  d.sheet = 0;
  ShowMainViewPane(false);
}

void ReadList(const char* sub, int highest, std::vector<std::string>& list, std::size_t limit) {
  list.clear();
  for (int i = highest; i >= 0; --i) {
    char name[16];
    std::snprintf(name, sizeof name, "HIST%d", i);
    std::string value = ReadSetting(sub, name);
    if (!value.empty()) AddToFront(list, value, limit);
  }
}

void WriteList(const char* sub, const std::vector<std::string>& list, std::size_t limit) {
  for (std::size_t i = 0; i < limit; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "HIST%d", static_cast<int>(i));
    // Slots past the list are emptied: a list that shrank must not come
    // back with the last run's entries.
    WriteSetting(sub, name, i < list.size() ? list[i] : std::string());
  }
}

char* MallocCopy(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// A PDF file goes to the engine by its short name, or not at all.
std::intptr_t ShortNameResult(const std::string& path, QsWord flags) {
  char shortName[MAX_PATH] = "";
  DWORD n = GetShortPathNameA(path.c_str(), shortName, sizeof shortName);
  if (n == 0 || n >= sizeof shortName) return 0;
  char* copy = MallocCopy(shortName);
  if (copy && flags) *reinterpret_cast<std::int32_t*>(flags) |= 6;
  return reinterpret_cast<std::intptr_t>(copy);
}

}  // namespace

// ---- Loading -------------------------------------------------------------------

QsHandle LoadDocument(const char* path, const char* publicId) {
  if (!path || !*path) return 0;
  WaitCursor wait;
  std::string text = path;
  std::string compiled = CompiledPathOf(text);
  DWORD attributes = GetFileAttributesA(compiled.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    QsHandle document = eng::QsOpenBinaryDocument(ToEngine(compiled.c_str()), std::int32_t{0},
                                                  ToEngine(path), ToEngine(publicId));
    if (document) return document;
  }
  // The document's own folder may name its DTD and entities.
  std::string folder = text.substr(0, SplitDocumentPath(text).folderLength);
  eng::QsPushCatalog(ToEngine((folder + "catalog").c_str()), QsWord{0});
  eng::QsPushEntityrc(ToEngine((folder + "entityrc").c_str()), QsWord{0});
  QsHandle document = eng::QsParseDocument(ToEngine(path), ToEngine(publicId), QsHandle{0},
                                           EngineMessageCallback, QsWord{0});
  eng::QsPopEntityrc();
  eng::QsPopCatalog();
  return document;
}

namespace {

void RestoreCharset() {
  int charset = std::atoi(ReadSetting("\\Misc", "DocCharset").c_str());
  if (charset >= 1) eng::QsSetCharset(std::int32_t{charset});
}

}  // namespace

QsHandle LoadStyleSheet(QsHandle document, int index) {
  WaitCursor wait;
  eng::QsSetCharset(std::int32_t{1});
  QsHandle sheet = eng::QsLoadStyleSheet(document, std::int32_t{index}, EngineMessageCallback,
                                         reinterpret_cast<QsWord>(MainWindow()));
  RestoreCharset();
  return sheet;
}

QsHandle LoadNavigator(QsHandle document, int index) {
  WaitCursor wait;
  eng::QsSetCharset(std::int32_t{1});
  QsHandle navigator = eng::QsLoadNavigator(document, std::int32_t{index}, EngineMessageCallback,
                                            reinterpret_cast<QsWord>(MainWindow()));
  RestoreCharset();
  return navigator;
}

QsHandle OpenWebFile(const char* path) {
  WaitCursor wait;
  eng::QsSetCharset(std::int32_t{1});
  QsHandle web = eng::QsOpenWeb(ToEngine(path), static_cast<const char*>(nullptr),
                                EngineMessageCallback, reinterpret_cast<QsWord>(MainWindow()));
  RestoreCharset();
  return web;
}

void OpenDocument(const char* path) {
  if (!path || !*path) return;
  std::string name = path;  // the caller's text may be a menu's or a list's
  QsHandle old = eng::QsGetViewDocument(W(MainView()));
  SetStatusFileName(name.c_str());
  eng::QsDetachWindowView(W(MainView()));
  eng::QsDetachWindowView(W(NavigatorView()));
  eng::QsDetachWindowView(W(FigureWindow()));
  RebuildDocumentMenus(0);
  d.navigator = 0;
  d.sheet = 0;
  SetLowerPane(nullptr);
  UpdateViewMenu();
  ClearMessages();
  QsHandle document = LoadDocument(name.c_str(), nullptr);
  if (document) {
    QsHandle sheet = LoadStyleSheet(document, 0);
    RebuildDocumentMenus(document);
    QsHandle navigator = LoadNavigator(document, 0);
    d.navigator = navigator ? 1 : 0;
    ShowMainViewPane(true);
    UpdateViewMenu();
    ShowMainDocument(document, sheet);
    SetStatusFileName(name.c_str());
    if (navigator) ShowNavigatorFor(document, sheet, navigator);
    RecordHistories(document, old);
    Release(navigator);
    Release(sheet);
    Release(document);
  } else {
    ShowNoDocument();
    UpdateViewMenu();
    if (old) RecordHistories(0, old);
  }
  Release(old);
}

// ---- Menus -----------------------------------------------------------------------

void RebuildDocumentMenus(QsHandle document) {
  HMENU view = SubMenu(3), navigators = SubMenu(4);
  if (view) {
    for (int i = 0; i < d.sheetEntries; ++i) DeleteMenu(view, kViewMenuSheetsAt, MF_BYPOSITION);
  }
  if (navigators) {
    for (int i = 0; i < d.navigatorEntries; ++i)
      DeleteMenu(navigators, kNavigatorMenuAt, MF_BYPOSITION);
  }
  d.sheetEntries = 0;
  d.navigatorEntries = 0;
  d.sheet = 0;
  d.navigator = 0;
  if (document && view) {
    for (int n = 0; n < STYLESHEET_MAX; ++n) {
      const char* title = eng::QsGetDocStyleSheetTitle(document, std::int32_t{n});
      if (!title) break;
      if (n == 0) {
        InsertMenuA(view, kViewMenuSheetsAt, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        d.sheetEntries = 1;
        d.sheet = 1;
      }
      EngineText local = FromEngine(title);
      std::string text = MenuText(local.get() ? local.get() : "");
      InsertMenuA(view, kViewMenuSheetsAt + 1 + n, MF_BYPOSITION | MF_STRING,
                  IDM_STYLESHEET_FIRST + n, text.c_str());
      ++d.sheetEntries;
    }
    if (d.sheetEntries) CheckMenuItem(view, IDM_STYLESHEET_FIRST, MF_BYCOMMAND | MF_CHECKED);
  }
  if (document && navigators) {
    for (int n = 0; n < NAVIGATOR_MAX; ++n) {
      const char* title = eng::QsGetDocNavigatorTitle(document, std::int32_t{n});
      if (!title) break;
      if (n == 0) {
        InsertMenuA(navigators, kNavigatorMenuAt, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
        d.navigatorEntries = 1;
      }
      EngineText local = FromEngine(title);
      std::string text = MenuText(local.get() ? local.get() : "");
      InsertMenuA(navigators, kNavigatorMenuAt + 1 + n, MF_BYPOSITION | MF_STRING,
                  IDM_NAVIGATOR_FIRST + n, text.c_str());
      ++d.navigatorEntries;
    }
  }
  if (MainWindow()) DrawMenuBar(MainWindow());
}

namespace {

int NavigatorItem(int choice) {
  return choice == -1 ? IDM_NAV_TREE : choice >= 1 ? IDM_NAV_TREE + choice : IDM_NAV_NONE;
}

}  // namespace

void UpdateViewMenu() {
  CheckCommand(IDM_NAV_TREE, false);
  if (d.navigator != d.navigatorShown) {
    CheckCommand(NavigatorItem(d.navigatorShown), false);
    d.navigatorShown = d.navigator;
  }
  if (d.navigator != 0 || d.navigatorEntries > 0) CheckCommand(NavigatorItem(d.navigator), true);
  ShowNavigatorPane(d.navigator != 0);
}

void SelectStyleSheet(int n) {
  if (n == d.sheet) return;
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  if (!document) return;
  QsHandle sheet = LoadStyleSheet(document, n - 1);
  if (sheet) {
    QsHandle navigator = eng::QsGetViewNavigator(W(NavigatorView()));
    SetLowerPane(nullptr);
    ShowMainDocument(document, sheet);
    if (navigator) ShowNavigatorFor(document, sheet, navigator);
    // Without a current sheet there is no check to take away (1308 is
    // the graphic-dimensions item).
    if (d.sheet > 0) CheckCommand(IDM_AUTOSHRINK + d.sheet, false);
    CheckCommand(IDM_AUTOSHRINK + n, true);
    d.sheet = n;
    UpdateViewMenu();
    Release(navigator);
    Release(sheet);
  }
  Release(document);
}

void SelectNavigator(int choice, QsHandle node) {
  if (choice == d.navigator && !(choice == -1 && node)) return;
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  if (!document) return;
  bool shown = false;
  if (choice >= 1) {
    QsHandle navigator = LoadNavigator(document, choice - 1);
    if (navigator) {
      QsHandle sheet = eng::QsGetViewStyleSheet(W(MainView()));
      ShowNavigatorFor(document, sheet, navigator);
      Release(sheet);
      Release(navigator);
      shown = true;
    }
  } else if (choice == -1) {
    shown = eng::QsCreateTreeView(W(NavigatorView()), document, node,
                                  reinterpret_cast<QsWord>(MainView()), QsWord{0}) != 0;
  } else {
    shown = true;
  }
  // A navigator that does not load leaves the display as it was.
  if (shown) {
    d.navigator = choice;
    UpdateViewMenu();
  }
  Release(document);
}

void SelectNoNavigator() {
  d.navigator = 0;
  UpdateViewMenu();
}

// ---- Histories ---------------------------------------------------------------------

void RecordHistories(QsHandle newDocument, QsHandle oldDocument) {
  if (SameDocument(newDocument, oldDocument)) return;
  bool examined = false, local = d.lastLocal;
  if (newDocument) {
    std::string name = FileNameOf(newDocument);
    if (!name.empty()) {
      examined = true;
      local = IsLocalName(name);
      if (local) RemoveEntry(d.recent, name);
    }
  }
  if (oldDocument) {
    std::string name = FileNameOf(oldDocument);
    if (!name.empty()) {
      examined = true;
      local = IsLocalName(name);
      if (local) {
        AddToFront(d.recent, name, kRecentLimit);
      } else {
        AddToFront(d.urls, name.substr(name.find("http#")), kUrlLimit);
        RefreshDownloadHost();
      }
    }
  }
  if (examined) d.lastLocal = local;
  if (d.lastLocal) RebuildRecentMenu();
}

const std::vector<std::string>& RecentFiles() { return d.recent; }
const std::vector<std::string>& UrlHistory() { return d.urls; }

void LoadMruList() {
  ReadList("\\MRU", static_cast<int>(kRecentLimit) - 1, d.recent, kRecentLimit);
  if (!d.recent.empty()) RebuildRecentMenu();
}

void SaveMruList() {
  // Always written: a run that ended on a downloaded document keeps its
  // recent files too.
  WriteList("\\MRU", d.recent, kRecentLimit);
  d.recent.clear();
}

void LoadUrlHistory() { ReadList("\\URL History List", static_cast<int>(kUrlLimit) - 1, d.urls, kUrlLimit); }

void SaveUrlHistory() {
  WriteList("\\URL History List", d.urls, kUrlLimit);
  d.urls.clear();
}

void SaveViewSettings() {
  auto yes = [](bool on) { return std::string(on ? "Yes" : "No"); };
  unsigned flags = ViewFlags();
  WriteSetting("\\View", "OCCDENSITY", yes(flags & 0x1));
  WriteSetting("\\View", "TAGS", yes(flags & 0x4));
  WriteSetting("\\View", "HOTSPOTS", yes(flags & 0x10));
  WriteSetting("\\View", "AUTOSHRINK", yes(flags & 0x2));
  WriteSetting("\\View", "NAVHITS", yes(NavigatorFlags() & 0x2000));
}

// ---- Commands ----------------------------------------------------------------------

namespace {

void CloseDocumentCommand() {
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  if (document) {
    RecordHistories(0, document);
    eng::QsCloseDocument(document);
    Release(document);
  }
  ShowNoDocument();
  SetLowerPane(nullptr);
  UpdateViewMenu();
  SetStatusFileName("");
}

void ReloadCommand() {
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  if (!document) return;
  std::string name = FileNameOf(document);
  eng::QsCloseDocument(document);
  Release(document);
  if (!name.empty()) OpenDocument(name.c_str());
}

void CompileCommand() {
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  if (!document) return;
  char path[MAX_PATH] = "";
  static const char filter[] = "Compiled files (*.qsb)\0*.qsb\0All Files (*.*)\0*.*\0";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = MainWindow();
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrTitle = "Save Binary Document as";
  ofn.lpstrDefExt = "qsb";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
  if (GetSaveFileNameA(&ofn)) eng::QsSaveDocumentBinary(document, ToEngine(path));
  Release(document);
}

}  // namespace

bool DocumentCommand(int id) {
  if (id >= IDM_RECENT_FIRST && id < IDM_RECENT_FIRST + RECENT_FILE_COUNT) {
    std::size_t i = static_cast<std::size_t>(id - IDM_RECENT_FIRST);
    if (i < d.recent.size()) {
      std::string copy = d.recent[i];
      OpenDocument(copy.c_str());
    }
    return true;
  }
  if (id >= IDM_STYLESHEET_FIRST && id < IDM_STYLESHEET_FIRST + STYLESHEET_MAX) {
    SelectStyleSheet(id - IDM_STYLESHEET_FIRST + 1);
    return true;
  }
  if (id >= IDM_NAVIGATOR_FIRST && id < IDM_NAVIGATOR_FIRST + NAVIGATOR_MAX) {
    SelectNavigator(id - IDM_NAVIGATOR_FIRST + 1, 0);
    return true;
  }
  switch (id) {
    case IDM_CLOSE: CloseDocumentCommand(); return true;
    case IDM_RELOAD: ReloadCommand(); return true;
    case IDM_COMPILE: CompileCommand(); return true;
    case IDM_NAV_NONE: SelectNoNavigator(); return true;
    case IDM_NAV_TREE: SelectNavigator(-1, 0); return true;
    case IDM_CLEAR_LOWER:
      SetLowerPane(nullptr);
      SelectNavigator(1, 0);
      return true;
    default: return false;
  }
}

// ---- Engine events -----------------------------------------------------------------

std::intptr_t UpdateDocumentCommands(QsWindow, std::int32_t, QsWord, QsWord, QsWord) {
  QsHandle document = eng::QsGetViewDocument(W(MainView()));
  bool has = document != 0;
  Release(document);
  if (has != d.hasDocument) {
    d.hasDocument = has;
    for (int id : {IDM_CLOSE, IDM_RELOAD, IDM_COMPILE, IDM_PRINT, IDM_PRINT_PREVIEW,
                   IDM_TEXT_SEARCH, IDM_PARTS_SEARCH, IDM_SEND_ORDER, IDM_NAV_NONE, IDM_NAV_TREE})
      EnableCommand(id, has);
  }
  return 0;
}

std::intptr_t ResolveSystemId(QsWindow, std::int32_t, QsWord a, QsWord b, QsWord) {
  if (!a) return 0;
  EngineText converted = FromEngine(reinterpret_cast<const char*>(a));
  std::string path = converted.get() ? converted.get() : "";
  auto* flags = reinterpret_cast<std::int32_t*>(b);
  char url[260] = "";
  if (net::PathToUrl(url, sizeof url, path.c_str())) {
    if (std::strstr(url, ".sgm")) StartAccelerator(url, CurrentSettings().proxy.c_str(), nullptr);
    char cache[260] = "";
    int status = DownloadUrl(cache, url, 0);
    std::string local = cache[0] ? cache : path;
    if (local.find(".pdf") != std::string::npos) return ShortNameResult(local, b);
    if (status != 0 && (status < 200 || status > 299)) return 0;
    char* copy = MallocCopy(local);
    if (copy && flags) *flags |= 6;
    return reinterpret_cast<std::intptr_t>(copy);
  }
  switch (ClassifyEntityFile(path)) {
    case EntityFileKind::kPicture: {
      char* copy = MallocCopy(path);
      if (copy && flags) *flags |= 6;
      return reinterpret_cast<std::intptr_t>(copy);
    }
    case EntityFileKind::kPdf: return ShortNameResult(path, b);
    case EntityFileKind::kEngine: break;
  }
  return 0;
}

std::intptr_t LoadDocumentForEngine(QsWindow, std::int32_t, QsWord a, QsWord b, QsWord) {
  ClearMessages();
  EngineText path = FromEngine(reinterpret_cast<const char*>(a));
  EngineText publicId = FromEngine(reinterpret_cast<const char*>(b));
  QsHandle document = LoadDocument(path.get(), publicId.get());
  return document ? static_cast<std::intptr_t>(document) : -1;
}

std::intptr_t ShowLinkTarget(QsWindow, std::int32_t, QsWord a, QsWord b, QsWord) {
  auto target = static_cast<QsHandle>(a);
  QsHandle targetDocument = eng::QsGetNodeDocument(target);
  QsHandle mainDocument = eng::QsGetViewDocument(W(MainView()));
  HWND result = MainView();
  if (!SameDocument(targetDocument, mainDocument)) {
    QsHandle navigator = LoadNavigator(targetDocument, 0);
    RebuildDocumentMenus(targetDocument);
    if (navigator) {
      QsHandle sheet = LoadStyleSheet(targetDocument, 0);
      SetLowerPane(nullptr);
      ShowNavigatorFor(targetDocument, sheet, navigator);
      d.navigator = 1;
      Release(sheet);
    } else {
      eng::QsDetachWindowView(W(NavigatorView()));
      d.navigator = 0;
    }
    Release(navigator);
    ShowMainViewPane(true);
    UpdateViewMenu();
    SetStatusFileName(FileNameOf(targetDocument).c_str());
    RecordHistories(targetDocument, mainDocument);
  } else if (eng::QsGotoParent(target) != 0) {
    result = SecondView();
    ShowLowerPane(result, 0, 0, 0, 0, true);
  }
  if (b) reinterpret_cast<QsViewRequest*>(b)->viewFlags = static_cast<std::intptr_t>(ViewFlags());
  Release(targetDocument);
  Release(mainDocument);
  return reinterpret_cast<std::intptr_t>(result);
}

std::intptr_t ShowViewWindow(QsWindow window, std::int32_t, QsWord, QsWord, QsWord) {
  HWND shown = reinterpret_cast<HWND>(window);
  if (shown && shown == FigureWindow()) {
    SetLowerPane(shown);
  } else if (shown && shown == SecondView()) {
    ShowLowerPane(shown, 0, 0, 0, 0, true);
  }
  return 0;
}

std::intptr_t PlaySoundEntity(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  auto entity = static_cast<QsHandle>(a);
  QsHandle notation = eng::QsGetEntityNotation(entity);
  const char* name = notation ? eng::QsGetNotationName(notation) : nullptr;
  bool wav = name && std::strcmp(name, "WAV") == 0;
  Release(notation);
  if (!wav) return 0;
  std::string file = FileNameOf(entity);
  if (file.empty()) return 0;
  return sndPlaySoundA(file.c_str(), SND_ASYNC) ? 1 : 0;
}

std::intptr_t ReportEngineError(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  if (a != 49 || !d.pdfLaunch) return 0;
  ShowMessageBox(nullptr,
                 "The application setting of PDF Viewer (Acrobat Reader) is not correct.\n"
                 "Please refer to [Help] - [2.2 Entering settings after installation / 2.2.2 "
                 "PDF viewer application setting] and set the \"PDF Viewer Application Path\" "
                 "properly.",
                 kTitle, MB_OK | MB_ICONINFORMATION);
  return 1;
}

std::intptr_t UpdateSelectionCommands(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  d.selection = eng::QsGetSelectionLength(W(MainView())) > 0;
  bool web = CurrentWeb() != 0;
  switch (a & 3) {
    case 1:
      for (int id : {IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK, IDM_WEB_CONNECT_LINK})
        EnableCommand(id, web);
      EnableCommand(IDM_COPY, true);
      for (int id = IDM_HIT_FIRST; id <= IDM_HIT_LAST; ++id) EnableCommand(id, false);
      break;
    case 2:
      for (int id : {IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK, IDM_WEB_CONNECT_LINK, IDM_COPY})
        EnableCommand(id, false);
      for (int id = IDM_HIT_FIRST; id <= IDM_HIT_LAST; ++id) EnableCommand(id, true);
      break;
    default:
      for (int id : {IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK, IDM_WEB_CONNECT_LINK, IDM_COPY})
        EnableCommand(id, false);
      for (int id = IDM_HIT_FIRST; id <= IDM_HIT_LAST; ++id) EnableCommand(id, false);
      if ((a & 3) == 0) EndStringSearch();
      break;
  }
  return 0;
}

std::intptr_t UpdateHistoryCommands(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  EnableCommand(IDM_BACK, (a & 2) != 0);
  EnableCommand(IDM_FORWARD, (a & 1) != 0);
  return 1;
}

std::intptr_t FormatRadixNumber(QsWindow, std::int32_t, QsWord a, QsWord b, QsWord) {
  if (!b) return 0;
  return FormatRadixNumber(static_cast<std::uint32_t>(a), reinterpret_cast<char*>(b)) ? 1 : 0;
}

std::intptr_t CheckPdfLaunch(QsWindow, std::int32_t, QsWord a, QsWord, QsWord) {
  QsHandle notation = eng::QsGetEntityNotation(static_cast<QsHandle>(a));
  const char* name = notation ? eng::QsGetNotationName(notation) : nullptr;
  d.pdfLaunch = name && std::strcmp(name, "PDF") == 0;
  Release(notation);
  return 0;
}

std::intptr_t AllowLockedObjects(QsWindow, std::int32_t, QsWord, QsWord, QsWord) { return 1; }

bool MainViewHasSelection() { return d.selection; }

}  // namespace qs::viewer
