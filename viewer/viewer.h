// The viewer's main program: its settings, main window with panes, toolbar
// and status bar, message window and picture windows. One instance per
// process, on the user-interface thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/parse_report.h"

namespace qs::viewer {

inline constexpr char kTitle[] = "Corvina+ 3.0 for Windows";
inline constexpr char kRegistryRoot[] = "Software\\Tarkwell\\Corvina3.0ep";
inline constexpr int kRegistryValueMax = 250;

// ---- Settings ----------------------------------------------------------------
// 1 when the key could be opened; the buffer (at least 251 bytes) then holds
// the value, or stays as it was when the value is missing, not text, or
// longer than 250 bytes. Always terminated.
int RegReadString(HKEY root, const char* keyPath, const char* name, char* buffer);
void RegWriteString(HKEY root, const char* keyPath, const char* name, const char* text);
// A value below the viewer's key: `sub` is e.g. "\\Misc".
std::string ReadSetting(const char* sub, const char* name, const char* fallback = "");
void WriteSetting(const char* sub, const char* name, const std::string& text);

struct Settings {
  std::string proxy;
  bool savePrompt = false;
  bool alwaysSave = false;
  bool showCvaDialog = false;
  bool windowMaximize = false;
  int x = 0, y = 0, cx = 0, cy = 0;
};
Settings& CurrentSettings();
void LoadProxySetting();
void LoadMiscSettings();
void SaveMiscSettings();
// The engine's home folder: Main-Location, or the program folder when it is
// missing or empty.
std::string MainLocation();

// The command of a notation's LAUNCH line in "<home>\setup" (empty: none).
std::string LoadSetupLaunchLine(const char* notation);
// Rewrites it (".bak" copy first, then a new file renamed over the old);
// 1 done, 0 nothing changed.
int SaveSetupLaunchLine(const char* notation, const char* program);

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SaveFilesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
bool DeleteDirTree(const std::string& folder);

// ---- Main window -------------------------------------------------------------
int RunViewer(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int show);

// The text-bitmap notation "TBM": registered with the engine at start-up,
// its handler deleted after the engine has stopped.
void RegisterTbmNotation();
void DeleteTbmNotation();
HWND MainWindow();
HINSTANCE Instance();
const std::string& ProgramFolder();
void EnableCommand(int id, bool on);
INT_PTR RunDialog(HWND owner, const char* name, DLGPROC procedure);
void ShowLowerPane(HWND window, int nn, int nd, int ln, int ld, bool flash);
void SetLowerPane(HWND window);
HWND LowerPane();
void ShowNavigatorPane(bool on);
void ShowMainViewPane(bool on);
bool NavigatorPaneShown();
bool MainViewPaneShown();
void RunExternalApp(const char* file);
void NotImplementedBox();
// The navigator editor over `owner` for the navigator and the element (the
// caller keeps its handles); nothing while one is open.
void NavigatorEditDialog(HWND owner, QsHandle navigator, QsHandle node);
// The style sheet editor over `owner` for the sheet's rule of the element
// (or of its graphic entity, when given); the caller keeps its handles;
// nothing while one is open.
void StyleSheetEditDialog(HWND owner, QsHandle sheet, QsHandle node, QsHandle entity);
void LayoutPanes();
void SetTearOff(int share, bool store);
int TearOffShare();
// View flags of the main view, navigator flags and zoom flags as the options
// dialog shows and toggles them.
unsigned ViewFlags();
unsigned NavigatorFlags();
unsigned ZoomFlags();
bool OverviewOn();
void ToggleViewFlag(unsigned bit);
void ToggleNavigatorFlag(unsigned bit);
void ToggleZoomFlag(unsigned bit);
void ToggleOverview();
// Hands the current settings to the download module (after the options
// dialog changed them).
void RefreshDownloadHost();
// The document windows and the picture window, the menu bar.
HWND MainView();
HWND SecondView();
HWND NavigatorView();
HWND FigureWindow();
HWND OverviewWindow();
HMENU MainMenu();
void CheckCommand(int id, bool on);
// Puts the figure window into the lower pane at the tear-off share.
void ShowTornOffFigure();
// The window that wheel messages go to.
void SetWheelTarget(HWND window);
// A pending last flash of the lower pane ends when the second view paints.
void SecondViewPainted();

// ---- Order hand-off ----------------------------------------------------------
// Rows of parts tables (TABLE TYPE="PARTS", ROW, ENTRY) become records of
// "corvaorder.por" in the program's folder; SendOrder closes the file and
// starts "corvaoe.exe" beside the program on it. Node results are handles
// the caller releases, or 0.
void AppendOrderLine(HINSTANCE instance, HWND window, QsHandle node);
void SendOrder(HINSTANCE instance);
QsHandle IsInPartsTable(QsHandle node);
QsHandle FindElementByName(QsHandle node, const char* name);
QsHandle FindAncestorRow(QsHandle node);
QsHandle FindRowEntry(QsHandle node);
// 1 when the document has a model number (MMDLNO), now the current one.
int ReadModelNumber(QsHandle node);
HANDLE OpenOrderFile(HINSTANCE instance);
std::string OrderFilePath(HINSTANCE instance);

// ---- Documents ---------------------------------------------------------------
// Opens a document file into the views, with its first style sheet and
// navigator; a failure leaves the main view hidden and the parse's messages
// in the message window.
void OpenDocument(const char* path);
// Each answers a handle the caller releases, or 0.
QsHandle LoadDocument(const char* path, const char* publicId);
QsHandle LoadStyleSheet(QsHandle document, int index);
QsHandle LoadNavigator(QsHandle document, int index);
QsHandle OpenWebFile(const char* path);
void RebuildDocumentMenus(QsHandle document);
void UpdateViewMenu();
void SelectStyleSheet(int n);
// -1 the SGML tree (at `node` when given), n >= 1 navigator n.
void SelectNavigator(int choice, QsHandle node);
void SelectNoNavigator();
void RecordHistories(QsHandle newDocument, QsHandle oldDocument);
const std::vector<std::string>& RecentFiles();
const std::vector<std::string>& UrlHistory();
void LoadMruList();
void SaveMruList();
void LoadUrlHistory();
void SaveUrlHistory();
void SaveViewSettings();
// The document commands of the main window; false for any other id.
bool DocumentCommand(int id);
bool MainViewHasSelection();
LRESULT CALLBACK DocWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The engine's events the viewer answers.
std::intptr_t UpdateDocumentCommands(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t ResolveSystemId(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t LoadDocumentForEngine(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t ShowLinkTarget(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t ShowViewWindow(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t PlaySoundEntity(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t ReportEngineError(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t UpdateSelectionCommands(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t UpdateHistoryCommands(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t FormatRadixNumber(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t CheckPdfLaunch(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t AllowLockedObjects(QsWindow, std::int32_t, QsWord, QsWord, QsWord);

// ---- Searches and copy ---------------------------------------------------------
struct SearchQuery;
// The search dialogs, prefilled with the first line of the main view's
// selection when asked.
void RunSearchDialog(bool parts, bool prefill);
INT_PTR CALLBACK StringSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PartsSearchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Searches the main view, then the second or the navigator view when it
// found anything, and shows the hit count; none clears it.
void RunStringSearch(const SearchQuery* query);
void RunPartsSearch(const SearchQuery* query);
// A text search shown in the main view: it ends when the main view's
// selection goes, and is searched again in the second view when that view
// is flashed into the lower pane.
bool StringSearchActive();
void EndStringSearch();
void RepeatStringSearch(HWND view);
void LoadStringSearchSettings();
void SaveStringSearchSettings();
void LoadPartsSearchSettings();
void SavePartsSearchSettings();
// The view's selection on the clipboard as text and "Rich Text Format".
void CopySelectionAsRtf(HWND view);

// ---- Webs and bookmarks ---------------------------------------------------------
// The web being edited (0: none); a handle the caller does not release.
QsHandle CurrentWeb();
// Opens the web file (creating it, with a title asked for, when allowed and
// missing) as the next open web; false when it is not opened.
bool CreateWebCommand(const char* path, bool create);
void CloseWeb(int i);
// Web i becomes the one edited; choosing the edited web again ends editing.
void SelectCurrentWeb(int i);
// The Web and Bookmarks menus' commands; false for any other id.
bool WebCommand(int id);
std::intptr_t RebuildWebMenu(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
std::intptr_t RefreshBookmarks(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
INT_PTR CALLBACK BookmarksDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Reopens (saves and closes) the webs of the private profile's list.
void LoadWebList();
void SaveWebList();

// ---- Figure window and zoom ---------------------------------------------------
// Event 8: the figure window for a picture, with the zoom flags and the
// overview window filled into the request.
std::intptr_t GetFigureWindow(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
LRESULT CALLBACK FigureWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK OverviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// -1 out, 1 in, 0 back to 100 per cent, about the figure window's centre.
void ZoomFigure(int steps);
// Registers event 8 and reads (writes) the Zoom menu's settings.
// The figure shown in the lower pane printed (or previewed) as a document
// of its own; nothing without one.
void PrintFigure(bool preview);
void LoadZoomSettings();
void SaveZoomSettings();

// ---- Print preview -------------------------------------------------------------
void RegisterPrintPreviewClasses(HINSTANCE instance);
void DeletePrintPreviewObjects();
// A maximised "Print Preview" window over a new preview job of the
// document; null (and nothing shown) when the engine makes no job.
HWND CreatePrintPreview(HWND owner, QsHandle document, QsHandle tagSet, QsHandle sheet,
                        QsHandle navigator, std::int32_t options);

// ---- Hotspot editor ------------------------------------------------------------
// Loads the editor's menu and cursors and registers event 1 for the figure
// window; frees them at the end.
void InitHotspotEditor(HINSTANCE instance);
void FreeHotspotEditor();
// "&Edit Hotspots": the figure window fills the main window and the mouse
// edits the hotspots of the edited web; "&Done Editing" ends that.
void EnterHotspotEditMode();
void LeaveHotspotEditMode();
bool HotspotEditing();
HMENU HotspotEditorMenu();
// Puts the figure window at (4, 4), the main window's client area less 9.
void PlaceHotspotFigure();
// The anchor event 21 names: the editor lets go of it when it is the one edited.
void HotspotAnchorGone(QsHandle anchor);
std::intptr_t UpdateOverviewFrame(QsWindow, std::int32_t, QsWord, QsWord, QsWord);
LRESULT CALLBACK HotspotEditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HotspotFigureWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Message window ----------------------------------------------------------
LRESULT CALLBACK MessageWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::int32_t EngineMessageCallback(const void* report, QsWord data);
void ClearMessages();
HWND MessageWindow();
void SetMessageWindow(HWND window);
int EditFileItemCount();
// The source around entry `index` of the list, as the edit control shows
// it: "..." + up to 1,024 bytes + "...", and the caret position.
bool SourceExcerpt(const std::string& file, long offset, long line, std::string* text,
                   int* caret);

// ---- Toolbar, status bar, picture windows ------------------------------------
void CreateChromeObjects(HINSTANCE instance);
void DeleteChromeObjects();
int StatusHeight();
inline constexpr int kToolbarHeight = 30;
void PaintFrame(HDC dc);
bool SetToolbarButton(int id, bool enabled);
bool ToolbarMouseDown(int x, int y);
bool ToolbarMouseMove(int x, int y);
bool ToolbarMouseUp(int x, int y);
void SetStatusFileName(const char* text);
void SetStatusHits(const char* text);
void SetStatusDownloading(const char* url);
HWND ShowSplash(HWND owner, bool timed);
HWND ShowAbout(HWND owner, bool timed);
LRESULT CALLBACK SplashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HFONT MessageFont();

}  // namespace qs::viewer
