// The viewer's start, main window, panes with their splitters, commands and
// end. The document, figure and overview windows hand their messages to the
// engine, whose views draw them.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "download.h"
#include "engine.h"
#include "net/client.h"
#include "resources/resource.h"
#include "setup_text.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

constexpr UINT kFlashTimer = 187;
const char* const kAny = reinterpret_cast<const char*>(1);

struct State {
  HINSTANCE instance = nullptr;
  HWND main = nullptr;
  HMENU menu = nullptr;
  HACCEL keys = nullptr;
  HWND mainView = nullptr, secondView = nullptr, navigatorView = nullptr;
  HWND figure = nullptr, overview = nullptr, messages = nullptr;
  std::string programFolder;
  std::string mainLocation, catalog, entityrc, temp;
  std::string runFolder;
  bool madeRunFolder = false;
  int width = 0, height = 0;
  bool navigatorShown = false;
  int navNum = 1, navDen = 4;
  bool mainViewShown = true;
  HWND lower = nullptr;
  int lowerNum = 1, lowerDen = 3;
  bool figureTornOff = false;
  int tearOff = 70;
  int flash = 0;
  HWND wheelTarget = nullptr;
  UINT wheelMessage = 0;
  unsigned viewFlags = 0x380, navigatorFlags = 2, zoomFlags = 0x230;
  bool overviewOn = true;
  HPALETTE palettes[PALETTE_COUNT] = {};
  int palette = 0;
  // Splitter drag: 0 none, 1 vertical, 2 horizontal.
  int drag = 0, dragOffset = 0, dragAt = -1;
} g;

int ClampShare(int share) { return share == 30 || share == 70 || share == 100 ? share : 70; }

int NavigatorWidth() { return g.navDen ? g.width * g.navNum / g.navDen : 0; }
int LowerHeight() {
  int area = g.height - kToolbarHeight - StatusHeight();
  return g.lowerDen ? area * g.lowerNum / g.lowerDen : 0;
}
int RightX() { return g.navigatorShown ? NavigatorWidth() + 9 : 4; }

void RepaintFrame() {
  if (!g.main) return;
  HDC dc = GetDC(g.main);
  PaintFrame(dc);
  ReleaseDC(g.main, dc);
}

void Activate(HWND window) {
  if (!window) return;
  EnableCommand(IDM_CLEAR_LOWER, true);
  if (window == g.figure) {
    for (int id : {IDM_ZOOM_OUT, IDM_ZOOM_IN, IDM_ZOOM_RESET, IDM_PRINT_FIGURE, IDM_PREVIEW_FIGURE})
      EnableCommand(id, true);
    EnableCommand(IDM_EDIT_HOTSPOTS, CurrentWeb() != 0);
  }
}

void Deactivate(HWND window) {
  if (!window) return;
  EnableCommand(IDM_CLEAR_LOWER, false);
  if (window == g.figure) {
    eng::QsDetachWindowView(W(g.figure));
    for (int id : {IDM_ZOOM_OUT, IDM_ZOOM_IN, IDM_ZOOM_RESET, IDM_PRINT_FIGURE,
                   IDM_PREVIEW_FIGURE, IDM_EDIT_HOTSPOTS})
      EnableCommand(id, false);
  } else {
    if (window == g.secondView) eng::QsDetachWindowView(W(g.secondView));
    if (g.main) SetFocus(g.main);
  }
}

// Splitter under (x, y): 1 vertical, 2 horizontal, 0 none.
int SplitterAt(int x, int y) {
  int n = NavigatorWidth(), s = StatusHeight(), l = LowerHeight();
  if (g.navigatorShown && x >= n + 5 && x <= n + 10 && y >= kToolbarHeight && y <= g.height - s)
    return 1;
  if (g.lower) {
    int left = (g.navigatorShown ? n + 5 : 0) + 5;
    if (x >= left && x <= g.width - 5 && y >= g.height - l - 5 - s && y <= g.height - l - s)
      return 2;
  }
  return 0;
}

void DrawDragBar() {
  if (!g.drag || g.dragAt < 0) return;
  HDC dc = GetDC(g.main);
  RECT r;
  if (g.drag == 1) {
    r = {g.dragAt - g.dragOffset + 4, kToolbarHeight, g.dragAt - g.dragOffset + 9,
         g.height - StatusHeight()};
  } else {
    r = {RightX(), g.dragAt - g.dragOffset, g.width - 5, g.dragAt - g.dragOffset + 5};
  }
  InvertRect(dc, &r);
  ReleaseDC(g.main, dc);
}

int ClampDrag(int value) {
  if (g.drag == 1) {
    if (value < 15) return 0;
    if (value > g.width - 35) return g.width - 35;
  } else {
    if (value < kToolbarHeight + 35) return kToolbarHeight + 35;
    if (value > g.height - StatusHeight() - 35) return g.height;
  }
  return value;
}

void EndDrag(int value) {
  DrawDragBar();
  int at = ClampDrag(value);
  if (g.drag == 1) {
    if (at == 0) {
      SelectNoNavigator();
    } else if (g.width > 0) {
      g.navNum = at - g.dragOffset;
      g.navDen = g.width;
    }
  } else {
    int area = g.height - kToolbarHeight - StatusHeight();
    if (at == g.height) {
      SetLowerPane(nullptr);
    } else if (area > 0) {
      g.lowerNum = g.height - at + g.dragOffset - StatusHeight() - 5;
      g.lowerDen = area;
    }
  }
  g.drag = 0;
  g.dragAt = -1;
  LayoutPanes();
  RepaintFrame();
  ReleaseCapture();
}

void CreatePalettes() {
  static const BYTE vga[20][3] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  auto make = [](const std::vector<PALETTEENTRY>& entries) {
    std::vector<BYTE> memory(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(memory.data());
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(entries.size());
    std::memcpy(log->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
    return CreatePalette(log);
  };
  std::vector<PALETTEENTRY> vgaEntries;
  for (auto& c : vga) vgaEntries.push_back({c[0], c[1], c[2], 0});
  std::vector<PALETTEENTRY> rainbow = vgaEntries;
  for (int r = 0; r < 6; ++r)
    for (int gr = 0; gr < 6; ++gr)
      for (int b = 0; b < 6; ++b)
        rainbow.push_back({BYTE(r * 51), BYTE(gr * 51), BYTE(b * 51), 0});
  g.palettes[1] = make(rainbow);
  for (int k = 0; k < 4; ++k) {
    std::vector<PALETTEENTRY> ramp;
    for (int i = 0; i < 256; ++i) {
      BYTE v = static_cast<BYTE>(i);
      ramp.push_back({BYTE(k == 0 || k == 1 ? v : 0), BYTE(k == 0 || k == 2 ? v : 0),
                      BYTE(k == 0 || k == 3 ? v : 0), 0});
    }
    g.palettes[2 + k] = make(ramp);
  }
  g.palettes[6] = make(vgaEntries);
  CheckMenuItem(g.menu, IDM_PALETTE_FIRST, MF_BYCOMMAND | MF_CHECKED);
}

void SelectPalette(int n) {
  if (n == g.palette || n < 0 || n >= PALETTE_COUNT) return;
  CheckMenuItem(g.menu, IDM_PALETTE_FIRST + g.palette, MF_BYCOMMAND | MF_UNCHECKED);
  CheckMenuItem(g.menu, IDM_PALETTE_FIRST + n, MF_BYCOMMAND | MF_CHECKED);
  g.palette = n;
  eng::QsRegisterPaletteImages(QsWord{0}, reinterpret_cast<QsWord>(g.palettes[n]),
                               QsWord{n == 0 ? 1 : 0});
  for (HWND w : {g.mainView, g.navigatorView, g.secondView, g.figure}) {
    if (w) InvalidateRect(w, nullptr, TRUE);
  }
}

// The Zoom items stand in the hotspot editor's menu too.
void CheckItem(int id, bool on) {
  const UINT state = MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED);
  if (g.menu) CheckMenuItem(g.menu, id, state);
  if (HMENU editor = HotspotEditorMenu()) CheckMenuItem(editor, id, state);
}

void EditEngineFile(bool catalog) {
  char buffer[256] = "";
  char* got = catalog ? eng::QsGetCatalogFile(buffer, std::int32_t{255})
                      : eng::QsGetEntityrcFile(buffer, std::int32_t{255});
  if (!got || !buffer[0]) {
    ShowMessageBox(g.main, catalog ? "QsGetCatalogFile failed" : "QsGetEntityrcFile failed",
                   "Error", MB_OK);
    return;
  }
  EngineText name = FromEngine(buffer);
  RunExternalApp(name);
}

void EditListedFile(int n) {
  HMENU edit = GetSubMenu(g.menu, 1);
  char text[MAX_PATH + 8];
  int length = GetMenuStringA(edit, n + 7, text, sizeof text, MF_BYPOSITION);
  if (length <= 5) {
    ShowMessageBox(g.main, "GetMenuString failed", "Error", MB_OK);
    return;
  }
  RunExternalApp(text + 5);
}

void OpenFileCommand() {
  char path[MAX_PATH] = "";
  static const char filter[] =
      "SGML/XML files (*.sgm;*.xml)|*.sgm;*.xml|Web files (*.web)|*.web|Compiled files "
      "(*.qsb)|*.qsb|All Files (*.*)|*.*|";
  if (!eng::QsOpenFileDialog(W(g.main), static_cast<const char*>(nullptr), path, filter)) return;
  EngineText local = FromEngine(path);
  OpenDocument(local);
}

void CloseMainWindow() {
  if (HWND accelerator = FindWindowA(nullptr, "CV-Accelerator")) {
    PostMessageA(accelerator, WM_COMMAND, IDCANCEL, 0);
  }
  Settings& s = CurrentSettings();
  bool downloaded = DownloadActive();
  if (downloaded && s.savePrompt && !s.alwaysSave) {
    DialogBoxParamA(g.instance, "DLGSAVEFILES", g.main, SaveFilesDlgProc,
                    reinterpret_cast<LPARAM>(&g.runFolder));
  } else if (!(downloaded && (s.alwaysSave || s.savePrompt))) {
    // Only a folder this run made below the home's "tmp" goes.
    if (g.madeRunFolder) DeleteDirTree(g.runFolder);
  }
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (GetWindowPlacement(g.main, &placement)) {
    // The normal rectangle: a minimised window's own position is off-screen.
    const RECT& r = placement.rcNormalPosition;
    s.windowMaximize = placement.showCmd == SW_SHOWMAXIMIZED ||
                       (placement.showCmd == SW_SHOWMINIMIZED &&
                        (placement.flags & WPF_RESTORETOMAXIMIZED));
    if (!s.windowMaximize) {
      s.x = r.left;
      s.y = r.top;
      s.cx = r.right - r.left;
      s.cy = r.bottom - r.top;
    }
  }
}

// The main view's document with its sheet and navigator, and the entries
// marked in the navigator view, in a print preview.
void PreviewMainDocument() {
  QsHandle document = eng::QsGetViewDocument(W(g.mainView));
  if (!document) return;
  QsHandle sheet = eng::QsGetViewStyleSheet(W(g.mainView));
  QsHandle navigator = eng::QsGetViewNavigator(W(g.mainView));
  QsHandle tags = eng::QsGetViewTagSet(W(g.navigatorView));
  CreatePrintPreview(g.main, document, tags, sheet, navigator, std::int32_t{4096});
  for (QsHandle h : {document, sheet, navigator, tags})
    if (h) eng::QsReleaseHandle(h);
}

void Command(int id) {
  if (DocumentCommand(id)) return;
  if (WebCommand(id)) return;
  if (id >= IDM_EDIT_FILE_FIRST && id < IDM_EDIT_FILE_FIRST + EDIT_FILE_MAX) {
    EditListedFile(id - IDM_EDIT_FILE_FIRST);
    return;
  }
  if (id >= IDM_PALETTE_FIRST && id < IDM_PALETTE_FIRST + PALETTE_COUNT) {
    SelectPalette(id - IDM_PALETTE_FIRST);
    return;
  }
  switch (id) {
    case IDM_OPEN_FILE: OpenFileCommand(); break;
    case IDM_OPEN_URL: {
      StopDownloadFlag() = 0;
      static char path[MAX_PATH];
      RunOpenUrlDialog(g.main, path);
      EnableCommand(IDM_STOP_DOWNLOAD, false);
      break;
    }
    case IDM_PRINT: {
      QsHandle tags = eng::QsGetViewTagSet(W(g.navigatorView));
      eng::QsMarkTagSetInView(W(g.main), W(g.mainView), tags);
      if (tags) eng::QsReleaseHandle(tags);
      break;
    }
    case IDM_PRINT_PREVIEW: PreviewMainDocument(); break;
    case IDM_EXIT: SendMessageA(g.main, WM_CLOSE, 0, 0); break;
    case IDM_EDIT_CATALOG: EditEngineFile(true); break;
    case IDM_RELOAD_CATALOG: eng::QsUpdateCatalogs(); break;
    case IDM_EDIT_ENTITYRC: EditEngineFile(false); break;
    case IDM_RELOAD_ENTITYRC: eng::QsUpdateEntityrcs(); break;
    case IDM_HIT_FIRST: case IDM_HIT_PREVIOUS: case IDM_HIT_NEXT: case IDM_HIT_LAST:
      eng::QsViewCommand(W(g.mainView), std::int32_t{id - IDM_HIT_FIRST + 6});
      break;
    case IDM_BACK: eng::QsViewCommand(W(g.mainView), std::int32_t{10}); break;
    case IDM_FORWARD: eng::QsViewCommand(W(g.mainView), std::int32_t{11}); break;
    case IDM_OCC_DENSITY: ToggleViewFlag(0x1); break;
    case IDM_NAV_HITS: ToggleNavigatorFlag(0x2000); break;
    case IDM_SHOW_HOTSPOTS: ToggleViewFlag(0x10); break;
    case IDM_AUTOSHRINK: ToggleViewFlag(0x2); break;
    case IDM_TEAROFF_30: SetTearOff(30, true); break;
    case IDM_TEAROFF_70: SetTearOff(70, true); break;
    case IDM_TEAROFF_FULL: SetTearOff(100, true); break;
    case IDM_ZOOM_OUT: ZoomFigure(-1); break;
    case IDM_ZOOM_IN: ZoomFigure(1); break;
    case IDM_ZOOM_RESET: ZoomFigure(0); break;
    case IDM_PRINT_FIGURE: PrintFigure(false); break;
    case IDM_PREVIEW_FIGURE: PrintFigure(true); break;
    case IDM_OVERVIEW: ToggleOverview(); break;
    case IDM_CENTER_ZOOM: ToggleZoomFlag(0x20); break;
    case IDM_SUPPRESS_ZOOM: ToggleZoomFlag(0x40); break;
    case IDM_ZOOM_HOTSPOTS: ToggleZoomFlag(0x10); break;
    case IDM_IGNORE_HOTSPOTS: ToggleZoomFlag(0x200); break;
    case IDM_EDIT_HOTSPOTS: EnterHotspotEditMode(); break;
    case IDM_HELP: OpenDocument((g.mainLocation + "\\Manual\\manuale.sgm").c_str()); break;
    case IDM_ABOUT: ShowAbout(g.main, false); break;
    case IDM_PRINTER_SETUP: eng::QsPrinterSetupDialog(W(g.main)); break;
    case IDM_SETTINGS:
      if (RunDialog(g.main, "IDD_VIEWPROP", OptionsDlgProc) == 1) RefreshDownloadHost();
      break;
    case IDM_STOP_DOWNLOAD: StopDownloadFlag() = 1; break;
    case IDM_SEND_ORDER: SendOrder(g.instance); break;
    case IDM_COPY: CopySelectionAsRtf(g.mainView); break;
    case IDM_TEXT_SEARCH: RunSearchDialog(false, false); break;
    case IDM_PARTS_SEARCH: RunSearchDialog(true, false); break;
    default: break;
  }
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == g.wheelMessage && g.wheelMessage) {
    if (g.wheelTarget) SendMessageA(g.wheelTarget, message, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_CLOSE:
      CloseMainWindow();
      break;  // default processing destroys the window
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      g.width = LOWORD(lParam);
      g.height = HIWORD(lParam);
      LayoutPanes();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintFrame(dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      if (g.mainView) SendMessageA(g.mainView, message, wParam, lParam);
      SetFocus(window);
      return 0;
    case WM_TIMER:
      if (wParam == kFlashTimer && g.lower) {
        RECT r;
        GetClientRect(g.lower, &r);
        HDC dc = GetDC(g.lower);
        InvertRect(dc, &r);
        ReleaseDC(g.lower, dc);
        if (--g.flash <= 0) {
          g.flash = 0;
          KillTimer(window, kFlashTimer);
          if (g.lower == g.secondView) RepeatStringSearch(g.secondView);
        }
      }
      return 0;
    case WM_MOUSEMOVE: {
      int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (ToolbarMouseMove(x, y)) return 0;
      if (g.drag) {
        DrawDragBar();
        g.dragAt = ClampDrag(g.drag == 1 ? x : y);
        DrawDragBar();
        return 0;
      }
      int at = SplitterAt(x, y);
      SetCursor(LoadCursor(nullptr, at == 1 ? IDC_SIZEWE : at == 2 ? IDC_SIZENS : IDC_ARROW));
      return 0;
    }
    case WM_LBUTTONDOWN: {
      int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (ToolbarMouseDown(x, y)) return 0;
      int at = SplitterAt(x, y);
      if (at) {
        g.drag = at;
        g.dragOffset = at == 1 ? x - (NavigatorWidth() + 5)
                               : y - (g.height - LowerHeight() - 5 - StatusHeight());
        g.dragAt = at == 1 ? x : y;
        SetCapture(window);
        DrawDragBar();
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (ToolbarMouseUp(x, y)) return 0;
      if (g.drag) EndDrag(g.drag == 1 ? x : y);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (g.wheelTarget) SendMessageA(g.wheelTarget, message, wParam, lParam);
      return 0;
    case WM_PALETTECHANGED:
      return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
    case WM_COMMAND:
      Command(LOWORD(wParam));
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  struct ClassSpec {
    const char* name;
    WNDPROC procedure;
    UINT style;
    bool arrow;
    int brush;
    int extra;
  };
  const ClassSpec classes[] = {
      {"Qs:MainAppWndCls", MainWndProc, CS_HREDRAW | CS_VREDRAW, true, LTGRAY_BRUSH, 0},
      {"Qs:PMsgWndCls", MessageWndProc, 0, true, LTGRAY_BRUSH, sizeof(void*)},
      {"Qs:DocWndCls", DocWndProc, CS_DBLCLKS, false, WHITE_BRUSH, 0},
      {"Qs:FigWndCls", FigureWndProc, CS_HREDRAW | CS_VREDRAW, false, LTGRAY_BRUSH, 0},
      {"Qs:OvwWndCls", OverviewWndProc, 0, false, WHITE_BRUSH, 0},
      {"Qs:SplashWndCls", SplashWndProc, 0, true, WHITE_BRUSH, 0},
  };
  for (const ClassSpec& c : classes) {
    WNDCLASSA wc = {};
    wc.style = c.style;
    wc.lpfnWndProc = c.procedure;
    wc.cbWndExtra = c.extra;
    wc.hInstance = instance;
    wc.hCursor = c.arrow ? LoadCursor(nullptr, IDC_ARROW) : nullptr;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(c.brush));
    wc.lpszClassName = c.name;
    if (c.procedure == MainWndProc) wc.hIcon = LoadIconA(instance, "iconApp");
    RegisterClassA(&wc);
  }
  RegisterPrintPreviewClasses(instance);
}


void StartEngine(HINSTANCE instance) {
  g.mainLocation = MainLocation();
  g.catalog = g.mainLocation + "\\catalog\\catalog";
  g.entityrc = g.mainLocation + "\\entityrc\\entityrc";
  g.temp = g.mainLocation + "\\tmp";
  std::string setup = g.mainLocation + "\\setup";
  EngineText title = ToEngine(kTitle), catalog = ToEngine(g.catalog.c_str()),
             entityrc = ToEngine(g.entityrc.c_str()), setupText = ToEngine(setup.c_str()),
             temp = ToEngine(g.temp.c_str()), home = ToEngine(g.mainLocation.c_str());
  eng::QsInitialize(reinterpret_cast<QsWord>(instance), title.get(), catalog.get(),
                    entityrc.get(), setupText.get(), temp.get(), home.get());
  std::string start = ReadSetting("\\Path", "Start-Location");
  if (!start.empty() && start != ".") SetCurrentDirectoryA(start.c_str());
  int charset = std::atoi(ReadSetting("\\Misc", "DocCharset").c_str());
  if (charset >= 1) eng::QsSetCharset(std::int32_t{charset});
}

void StopEngine() {
  eng::QsTerminate();
  DeleteTbmNotation();
  char folder[256];
  DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
  if (n > 0 && n < sizeof folder) WriteSetting("\\Path", "Start-Location", folder);
}

void MakeProgramFolder(HINSTANCE instance) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(instance, path, sizeof path);
  std::string text = path;
  std::size_t cut = text.find_last_of("\\/:");
  g.programFolder = cut == std::string::npos ? std::string() : text.substr(0, cut);
}

void MakeRunFolderForRun() {
  std::string home = MainLocation();
  g.madeRunFolder = MakeRunFolder(home, GetTickCount(), &g.runFolder);
  if (g.madeRunFolder) WriteSetting("\\Path", "Cache", g.runFolder);
}

void LoadViewSettings() {
  struct Flag {
    const char* name;
    unsigned bit;
    bool navigator;
  } const flags[] = {{"OCCDENSITY", 0x1, false}, {"TAGS", 0x4, false}, {"HOTSPOTS", 0x10, false},
                     {"AUTOSHRINK", 0x2, false}, {"NAVHITS", 0x2000, true}};
  for (const Flag& f : flags) {
    if (_stricmp(ReadSetting("\\View", f.name).c_str(), "Yes") != 0) continue;
    if (f.navigator) {
      ToggleNavigatorFlag(f.bit);
    } else {
      ToggleViewFlag(f.bit);
    }
  }
  int share = std::atoi(ReadSetting("\\View", "TEAROFF", "70").c_str());
  SetTearOff(share < 31 ? 30 : share >= 100 ? 100 : 70, false);
}

void EnableStop(void*, bool enable) { EnableCommand(IDM_STOP_DOWNLOAD, enable); }
void ShowDownloadStatus(void*, const char* text) { SetStatusDownloading(text); }
void OpenDownloaded(void*, const char* path) { OpenDocument(path); }

}  // namespace

void RefreshDownloadHost() {
  DownloadHost host;
  host.instance = g.instance;
  host.mainWindow = g.main;
  host.runFolder = g.runFolder;
  host.proxySetting = CurrentSettings().proxy;
  host.showAcceleratorDialog = CurrentSettings().showCvaDialog;
  host.programFolder = g.programFolder;
  host.urlHistory = UrlHistory();
  host.enableStopCommand = EnableStop;
  host.showStatus = ShowDownloadStatus;
  host.openDocument = OpenDownloaded;
  SetDownloadHost(host);
}

namespace {

void OpenCommandLine(const char* commandLine) {
  std::string line = commandLine ? commandLine : "";
  // A path given in quotes is the path without them.
  if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
  if (line.empty()) return;
  std::ifstream in(line, std::ios::binary);
  std::string text;
  if (in) {
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
  }
  if (std::optional<std::string> url = FindUrlArgument(text)) {
    char path[251] = "";
    DownloadUrl(path, url->c_str(), 0);
    OpenDocument(path);
    EnableCommand(IDM_STOP_DOWNLOAD, false);
    return;
  }
  OpenDocument(line.c_str());
}

}  // namespace

HWND MainWindow() { return g.main; }
HINSTANCE Instance() { return g.instance; }
const std::string& ProgramFolder() { return g.programFolder; }
HWND LowerPane() { return g.lower; }
HWND MainView() { return g.mainView; }
HWND SecondView() { return g.secondView; }
HWND NavigatorView() { return g.navigatorView; }
HWND FigureWindow() { return g.figure; }
HWND OverviewWindow() { return g.overview; }
HMENU MainMenu() { return g.menu; }
void CheckCommand(int id, bool on) { CheckItem(id, on); }
void SetWheelTarget(HWND window) { g.wheelTarget = window; }
void SecondViewPainted() {
  if (g.flash == 1) {
    g.flash = 0;
    if (g.main) KillTimer(g.main, kFlashTimer);
    if (g.lower == g.secondView) RepeatStringSearch(g.secondView);
  }
}
HWND MessageWindow() { return g.messages; }
void SetMessageWindow(HWND window) { g.messages = window; }
int TearOffShare() { return g.tearOff; }
unsigned ViewFlags() { return g.viewFlags; }
unsigned NavigatorFlags() { return g.navigatorFlags; }
unsigned ZoomFlags() { return g.zoomFlags; }
bool OverviewOn() { return g.overviewOn; }

void ToggleViewFlag(unsigned bit) {
  g.viewFlags ^= bit;
  int id = bit == 0x1 ? IDM_OCC_DENSITY : bit == 0x10 ? IDM_SHOW_HOTSPOTS : bit == 0x2 ? IDM_AUTOSHRINK : 0;
  if (id) CheckItem(id, (g.viewFlags & bit) != 0);
  eng::QsSetViewFlags(W(g.mainView), std::int32_t(g.viewFlags));
  eng::QsSetViewFlags(W(g.secondView), std::int32_t(g.viewFlags));
}

void ToggleNavigatorFlag(unsigned bit) {
  g.navigatorFlags ^= bit;
  CheckItem(IDM_NAV_HITS, (g.navigatorFlags & 0x2000) != 0);
  eng::QsSetViewFlags(W(g.navigatorView), std::int32_t(g.navigatorFlags));
}

void ToggleZoomFlag(unsigned bit) {
  g.zoomFlags ^= bit;
  int id = bit == 0x20 ? IDM_CENTER_ZOOM : bit == 0x40 ? IDM_SUPPRESS_ZOOM
           : bit == 0x10 ? IDM_ZOOM_HOTSPOTS : IDM_IGNORE_HOTSPOTS;
  // "Ignore Hotspots" is checked while its bit is clear.
  CheckItem(id, bit == 0x200 ? !(g.zoomFlags & bit) : (g.zoomFlags & bit) != 0);
  eng::QsSetViewFlags(W(g.figure), std::int32_t(g.zoomFlags));
}

void ToggleOverview() {
  g.overviewOn = !g.overviewOn;
  CheckItem(IDM_OVERVIEW, g.overviewOn);
  if (g.overview) ShowWindow(g.overview, g.overviewOn ? SW_SHOWNA : SW_HIDE);
}

void SetTearOff(int share, bool store) {
  g.tearOff = ClampShare(share);
  CheckItem(IDM_TEAROFF_30, g.tearOff == 30);
  CheckItem(IDM_TEAROFF_70, g.tearOff == 70);
  CheckItem(IDM_TEAROFF_FULL, g.tearOff == 100);
  if (store) WriteSetting("\\View", "TEAROFF", std::to_string(g.tearOff));
}

void EnableCommand(int id, bool on) {
  if (g.menu) EnableMenuItem(g.menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  SetToolbarButton(id, on);
}

INT_PTR RunDialog(HWND owner, const char* name, DLGPROC procedure) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE));
  return DialogBoxParamA(instance, name, owner, procedure, 0);
}

void LayoutPanes() {
  if (!g.main) return;
  if (HotspotEditing()) {
    PlaceHotspotFigure();
    return;
  }
  int s = StatusHeight(), t = kToolbarHeight;
  int area = g.height - t - s;
  int x = RightX();
  int w = g.navigatorShown ? g.width - NavigatorWidth() - 14 : g.width - 9;
  if (g.navigatorShown && g.navigatorView)
    MoveWindow(g.navigatorView, 4, t, NavigatorWidth(), area, TRUE);
  if (g.lower) {
    int l = LowerHeight();
    if (g.mainView) MoveWindow(g.mainView, x, t, w, g.height - l - 5 - t - s, TRUE);
    MoveWindow(g.lower, x, g.height - l - s, w, l, TRUE);
  } else if (g.mainView) {
    MoveWindow(g.mainView, x, t, w, area, TRUE);
  }
  RepaintFrame();
}

void ShowLowerPane(HWND window, int nn, int nd, int ln, int ld, bool flash) {
  if (window != g.lower) {
    if (g.lower) {
      Deactivate(g.lower);
      ShowWindow(g.lower, SW_HIDE);
    }
    g.lower = window;
    if (!g.figureTornOff) {
      if (nn && nd) {
        g.navNum = nn;
        g.navDen = nd;
      }
      g.lowerNum = 1;
      g.lowerDen = 3;
    } else {
      int share = ClampShare(g.tearOff);
      if (share != 70 && nn && nd) {
        g.navNum = nn;
        g.navDen = nd;
      }
      g.lowerNum = share == 30 ? 1 : share == 70 ? 2 : 1;
      g.lowerDen = share == 100 ? 1 : 3;
    }
  }
  if (ln && ld) {
    g.lowerNum = ln;
    g.lowerDen = ld;
  }
  LayoutPanes();
  if (g.lower) {
    ShowWindow(g.lower, SW_SHOW);
    Activate(g.lower);
    if (flash && !g.flash) {
      g.flash = 2;
      SetTimer(g.main, kFlashTimer, 250, nullptr);
    }
  }
}

void SetLowerPane(HWND window) {
  g.figureTornOff = false;
  ShowLowerPane(window, 0, 0, 0, 0, false);
}

void ShowTornOffFigure() {
  g.figureTornOff = true;
  ShowLowerPane(g.figure, 0, 0, 0, 0, false);
}

void ShowNavigatorPane(bool on) {
  if (on == g.navigatorShown) return;
  g.navigatorShown = on;
  if (g.navigatorView) ShowWindow(g.navigatorView, on ? SW_SHOW : SW_HIDE);
  LayoutPanes();
}

void ShowMainViewPane(bool on) {
  if (on == g.mainViewShown) return;
  g.mainViewShown = on;
  if (g.mainView) ShowWindow(g.mainView, on ? SW_SHOW : SW_HIDE);
  RepaintFrame();
}

bool NavigatorPaneShown() { return g.navigatorShown; }
bool MainViewPaneShown() { return g.mainViewShown; }

void RunExternalApp(const char* file) {
  char buffer[256] = "";
  GetPrivateProfileStringA("External Apps", "EDIT", "NOTEPAD %s", buffer, sizeof buffer,
                           "CV20CP.INI");
  // The first "%s" takes the file; any other '%' is text.
  std::string command = buffer;
  std::size_t at = command.find("%s");
  if (at != std::string::npos) command.replace(at, 2, file ? file : "");
  if (command.size() > 1024) command.resize(1024);
  if (WinExec(command.c_str(), SW_SHOW) < 32) {
    ShowMessageBox(g.main, command.c_str(), "Can't Execute", MB_OK | MB_ICONSTOP);
  }
}

void NotImplementedBox() {
  ShowMessageBox(g.main, "Not Implemented (yet)", kTitle, MB_OK | MB_ICONSTOP);
}


int RunViewer(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int show) {
  g.instance = instance;
  net::NetStartup();
  MakeProgramFolder(instance);
  MakeRunFolderForRun();
  CreateChromeObjects(instance);
  StartEngine(instance);
  g.keys = LoadAcceleratorsA(instance, "AccKeys");
  if (!previous) RegisterClasses(instance);
  LoadMiscSettings();
  Settings& s = CurrentSettings();
  int x = s.x == 0 ? CW_USEDEFAULT : s.x, cx = s.cx == 0 ? CW_USEDEFAULT : s.cx;
  g.main = CreateWindowA("Qs:MainAppWndCls", kTitle, WS_OVERLAPPEDWINDOW, x, s.y, cx, s.cy,
                         nullptr, nullptr, instance, nullptr);
  if (!g.main) return 1;
  if (!ShowSplash(g.main, true)) ShowWindow(g.main, show);
  if (s.windowMaximize) ShowWindow(g.main, SW_SHOWMAXIMIZED);
  static const char* const notations[][2] = {
      {"JPG", "JPG"},      {"GIF", "GIF"},         {"BMP", "BMP"},       {"CGM", "CGM-CHAR"},
      {"CGM", "CGM-BINARY"}, {"CGM", "CGM-CLEAR"}, {"CGM", "CGM"},       {"RGR", "GROUP4"},
      {"RGR", "CCITT4"},   {"RGR", "CCITTG4"},     {"RGR", "GROUP3"},    {"RGR", "CCITT3"},
      {"RGR", "CCITTG3"}};
  RegisterTbmNotation();
  for (auto& n : notations) eng::QsRegisterNotation(n[0], n[1], kAny, kAny);
  eng::QsSetMainWindow(W(g.main));
  auto child = [&](const char* cls, DWORD style, HWND parent) {
    return CreateWindowA(cls, "", style, 0, 0, 0, 0, parent, nullptr, instance, nullptr);
  };
  g.mainView = child("Qs:DocWndCls", WS_CHILD, g.main);
  g.secondView = child("Qs:DocWndCls", WS_CHILD, g.main);
  g.navigatorView = child("Qs:DocWndCls", WS_CHILD, g.main);
  g.figure = child("Qs:FigWndCls", WS_CHILD | WS_CLIPCHILDREN, g.main);
  g.overview = CreateWindowA("Qs:OvwWndCls", "", WS_CHILD | WS_VISIBLE | WS_BORDER, -1, -1, 256,
                             256, g.figure, nullptr, instance, nullptr);
  g.messages = child("Qs:PMsgWndCls", WS_CHILD, g.main);
  if (g.mainViewShown && g.mainView) ShowWindow(g.mainView, SW_SHOW);
  RECT client;
  GetClientRect(g.main, &client);
  g.width = client.right;
  g.height = client.bottom;
  LayoutPanes();
  const std::pair<int, QsEventProc> events[] = {
      {7, ShowLinkTarget},       {9, ShowViewWindow},        {10, PlaySoundEntity},
      {26, UpdateHistoryCommands}, {24, UpdateSelectionCommands}, {0, UpdateDocumentCommands},
      {5, LoadDocumentForEngine}, {44, FormatRadixNumber},   {49, AllowLockedObjects},
      {3, ResolveSystemId},      {16, ReportEngineError},    {47, CheckPdfLaunch}};
  for (auto& [event, procedure] : events) {
    HWND on = event == 24 || event == 0 ? g.mainView : nullptr;
    eng::QsSetCallback(W(on), std::int32_t{event}, procedure, QsWord{0});
  }
  g.menu = LoadMenuA(instance, "menuMain");
  SetMenu(g.main, g.menu);
  for (int id : {IDM_CLOSE, IDM_RELOAD, IDM_COMPILE, IDM_CLEAR_LOWER, IDM_PRINT,
                 IDM_PRINT_PREVIEW, IDM_COPY, IDM_TEXT_SEARCH, IDM_PARTS_SEARCH, IDM_SEND_ORDER,
                 IDM_NAV_NONE, IDM_NAV_TREE, IDM_HIT_FIRST, IDM_HIT_PREVIOUS, IDM_HIT_NEXT,
                 IDM_HIT_LAST, IDM_BACK, IDM_FORWARD, IDM_WEB_ANNOTATE, IDM_WEB_BEGIN_LINK,
                 IDM_WEB_CONNECT_LINK, IDM_WEB_CLOSE_ALL, IDM_BOOKMARKS, IDM_STOP_DOWNLOAD})
    EnableCommand(id, false);
  for (int id : {IDM_ZOOM_OUT, IDM_ZOOM_IN, IDM_ZOOM_RESET, IDM_PRINT_FIGURE, IDM_PREVIEW_FIGURE,
                 IDM_EDIT_HOTSPOTS})
    EnableCommand(id, false);
  LoadProxySetting();
  LoadViewSettings();
  LoadMruList();
  LoadUrlHistory();
  LoadStringSearchSettings();
  LoadPartsSearchSettings();
  CheckItem(IDM_CENTER_ZOOM, (g.zoomFlags & 0x20) != 0);
  CheckItem(IDM_ZOOM_HOTSPOTS, (g.zoomFlags & 0x10) != 0);
  CheckItem(IDM_IGNORE_HOTSPOTS, !(g.zoomFlags & 0x200));
  LoadZoomSettings();
  LoadWebList();
  InitHotspotEditor(instance);
  CreatePalettes();
  RefreshDownloadHost();
  OpenCommandLine(commandLine);
  g.wheelMessage = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (g.keys && g.main && TranslateAcceleratorA(g.main, g.keys, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  FreeHotspotEditor();
  SaveViewSettings();
  SaveMruList();
  SaveUrlHistory();
  SaveZoomSettings();
  SaveWebList();
  SaveStringSearchSettings();
  SavePartsSearchSettings();
  SaveMiscSettings();
  for (HPALETTE& p : g.palettes) {
    if (p) DeleteObject(p);
    p = nullptr;
  }
  DeleteChromeObjects();
  DeletePrintPreviewObjects();
  StopEngine();
  net::NetCleanup();
  return 0;
}

}  // namespace qs::viewer
