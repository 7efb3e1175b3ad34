// corvina.exe driven from outside: with stand-ins for QSENGINE.DLL (none, a
// wrong compatibility text, none at all, one export missing, and one that
// records the calls of the viewer's start and end), with the real engine
// (and with the order program it hands parts-list rows to), and read as a
// data file for its menus and keys. The registry and the ini
// file are this prefix's: each case starts from an empty settings key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "gui_harness.h"
#include "resources/resource.h"

namespace qs::test::gui {
namespace {

constexpr char kTitle[] = "Corvina+ 3.0 for Windows";
constexpr char kKey[] = "Software\\Tarkwell\\Corvina3.0ep";

std::string Bin() { return ProgramFolder(); }
std::string UnixPath(const std::string& path) {
  std::string unix = path.substr(2);
  for (char& c : unix) {
    if (c == '\\') c = '/';
  }
  return unix;
}
std::string StandinFolder(const std::string& variant) {
  return CurrentFolder() + "standin\\" + variant + "\\";
}

void SetValue(const char* sub, const char* name, const std::string& value) {
  HKEY key;
  std::string path = std::string(kKey) + sub;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string GetValue(const char* sub, const char* name) {
  char buffer[1024] = "";
  DWORD size = sizeof buffer;
  std::string path = std::string(kKey) + sub;
  if (RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return "<missing>";
  return buffer;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
  void TearDown() override {
    if (process_.Running()) process_.Kill();
  }
  // Starts corvina.exe from `folder` (a copy of it is put there).
  void Start(const std::string& folder, const std::string& arguments = "") {
    std::string program = folder + "corvina.exe";
    if (folder != Bin()) {
      CreateDirectoryA(folder.c_str(), nullptr);
      ASSERT_TRUE(CopyFileA((Bin() + "corvina.exe").c_str(), program.c_str(), FALSE));
    }
    ASSERT_TRUE(process_.Start(program, "\"" + program + "\" " + arguments, SW_SHOWNORMAL, folder));
  }
  HWND WaitMain() {
    HWND main = WaitForWindow(process_.id(), "Qs:MainAppWndCls", kTitle);
    EXPECT_NE(main, nullptr) << DescribeWindows(process_.id());
    return main;
  }
  void ExitAndExpectZero(HWND main) {
    PostCommand(main, IDM_EXIT);
    DWORD code = 99;
    ASSERT_TRUE(process_.WaitForExit(&code)) << DescribeWindows(process_.id());
    EXPECT_EQ(code, 0u);
  }
  // Checks a message box's text and closes it.
  void ExpectBox(const char* caption, const char* text) {
    HWND box = WaitForWindow(process_.id(), "#32770", caption);
    ASSERT_NE(box, nullptr) << caption << "\n" << DescribeWindows(process_.id());
    EXPECT_NE(FindDescendant(box, "Static", text), nullptr) << text;
    PressButton(box, IDOK);
    WaitForWindowGone(box);
  }
  Process process_;
};

TEST_F(Viewer, LoadFailuresShowTheirBoxAndTheViewerRunsOn) {
  struct Case {
    const char* variant;
    const char* caption;  // null: no box
    const char* text;
  } cases[] = {
      {"none", "Scrivox Load Error", "Can't load \"QSENGINE.DLL\""},
      {"wrongver", "Scrivox Load Error", "Scrivox DLL version mismatch"},
      {"nocmptl", "Scrivox Load Error", "Scrivox DLL version mismatch"},
      {"noslot", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    Start(StandinFolder(c.variant));
    if (c.caption) ExpectBox(c.caption, c.text);
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    if (!c.caption) {
      EXPECT_EQ(FindWindowA("#32770", "Scrivox Load Error"), nullptr);
      // The stand-in was refused: nothing reached it.
      EXPECT_FALSE(FileExists(StandinFolder(c.variant) + "calls.log"));
    }
    ExitAndExpectZero(main);
  }
}

TEST_F(Viewer, StartAndEndCallTheEngineInOrder) {
  std::string folder = StandinFolder("record");
  DeleteFileA((folder + "calls.log").c_str());
  std::string home = folder.substr(0, folder.size() - 1);
  SetValue("\\Misc", "DocCharset", "3");
  // A value over 250 bytes counts as missing: the home is the program folder.
  SetValue("\\Path", "Main-Location", std::string(300, 'x'));
  Start(folder);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  ExitAndExpectZero(main);
  std::vector<std::string> calls = Lines(ReadFileBytes(folder + "calls.log"));
  std::vector<std::string> expected = {
      "QsSetCallback|0|48|0",
      "QsInitialize|Corvina+ 3.0 for Windows|" + home + "\\catalog\\catalog|" + home +
          "\\entityrc\\entityrc|" + home + "\\setup|" + home + "\\tmp|" + home,
      "QsSetCharset|3", "QsRegisterNotation|TBM|TBM|1|0"};
  for (const char* n : {"JPG|JPG", "GIF|GIF", "BMP|BMP", "CGM|CGM-CHAR", "CGM|CGM-BINARY",
                        "CGM|CGM-CLEAR", "CGM|CGM", "RGR|GROUP4", "RGR|CCITT4", "RGR|CCITTG4",
                        "RGR|GROUP3", "RGR|CCITT3", "RGR|CCITTG3"})
    expected.push_back(std::string("QsRegisterNotation|") + n + "|1|1");
  expected.push_back("QsSetMainWindow|window");
  for (const char* e : {"0|7", "0|9", "0|10", "0|26", "window|24", "window|0", "0|5", "0|44",
                        "0|49", "0|3", "0|16", "0|47", "0|8", "0|15", "0|21", "window|1"})
    expected.push_back(std::string("QsSetCallback|") + e + "|0");
  expected.push_back("QsTerminate");
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(GetValue("\\Path", "Start-Location") + "\\", folder);
}

TEST_F(Viewer, WindowPlacementIsRestoredAndStored) {
  std::string folder = StandinFolder("record");
  SetValue("\\Misc", "SavePrompt", "yes");  // lower case: off
  SetValue("\\Misc", "WindowPosX", "40");
  SetValue("\\Misc", "WindowPosY", "50");
  SetValue("\\Misc", "WindowPosCX", "600");
  SetValue("\\Misc", "WindowPosCY", "400");
  Start(folder);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  RECT r;
  GetWindowRect(main, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right - r.left, 600);
  EXPECT_EQ(r.bottom - r.top, 400);
  // Closed while minimised: the normal rectangle is stored.
  ShowWindow(main, SW_MINIMIZE);
  WaitUntil([&] { return IsIconic(main) != 0; }, 5000);
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\Misc", "SavePrompt"), "No");
  EXPECT_EQ(GetValue("\\Misc", "WindowPosX"), "40");
  EXPECT_EQ(GetValue("\\Misc", "WindowPosCX"), "600");
  EXPECT_EQ(GetValue("\\Misc", "WindowMaximize"), "No");

  // Maximised: shown so, and the stored rectangle stays.
  SetValue("\\Misc", "WindowMaximize", "Yes");
  Start(folder);
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IsZoomed(main) != 0; }, 5000));
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\Misc", "WindowMaximize"), "Yes");
  EXPECT_EQ(GetValue("\\Misc", "WindowPosX"), "40");
  EXPECT_EQ(GetValue("\\Misc", "WindowPosCY"), "400");
}

class OptionsTest : public Viewer {
 protected:
  void SetUp() override {
    Viewer::SetUp();
    home_ = CurrentFolder() + "options_home";
    CreateDirectoryA(home_.c_str(), nullptr);
    DeleteFileA((home_ + "\\setup.bak").c_str());
    SetValue("\\Path", "Main-Location", home_);
  }
  // Opens the options dialog, lets `fill` set it, presses OK.
  HWND RunOptions(HWND main) {
    PostCommand(main, IDM_SETTINGS);
    HWND dialog = WaitForWindow(process_.id(), "#32770", "User Settings");
    EXPECT_NE(dialog, nullptr) << DescribeWindows(process_.id());
    return dialog;
  }
  void Check(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, BST_CHECKED, 0);
  }
  std::string home_;
};

TEST_F(OptionsTest, ProxySaveFlagsAndPdfViewerAreStored) {
  std::string setup = "-- setup --\nENTITY PDF\n  LAUNCH \"C:\\Long\\Path\\reader.exe \\file\"\n"
                      "ENTITY GIF LAUNCH \"g.exe \\file\"\nrest of the file\n";
  ASSERT_TRUE(WriteFileBytes(home_ + "\\setup", setup));
  Start(StandinFolder("record"));
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND dialog = RunOptions(main);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OPT_PDF)), "C:\\Long\\Path\\reader.exe");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OPT_HOME)), "Use Default Settings");
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PROXY), "proxy");
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PORT), "8080");
  Check(dialog, IDC_OPT_SAVE_PROMPT);
  Check(dialog, IDC_OPT_ALWAYS_SAVE);
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PDF), "C:\\x\\a.exe");
  PressButton(dialog, IDOK);
  ExpectBox("Re-start Application!", "Re-start the application for the change to take effect.");
  EXPECT_TRUE(WaitForWindowGone(dialog));
  EXPECT_EQ(GetValue("\\Proxy", "ProxyServer"), "proxy:8080");
  EXPECT_EQ(GetValue("\\Misc", "SavePrompt"), "No");
  EXPECT_EQ(GetValue("\\Misc", "AlwaysSave"), "Yes");
  EXPECT_EQ(ReadFileBytes(home_ + "\\setup.bak"), setup);
  // A shorter command: the rest of the file byte for byte.
  EXPECT_EQ(ReadFileBytes(home_ + "\\setup"),
            "-- setup --\nENTITY PDF\n  LAUNCH \"C:\\x\\a.exe \\file\"\n"
            "ENTITY GIF LAUNCH \"g.exe \\file\"\nrest of the file\n");
  ExitAndExpectZero(main);
}

TEST_F(OptionsTest, APdfViewerWithoutALineIsAppendedAndCancelChangesNothing) {
  ASSERT_TRUE(WriteFileBytes(home_ + "\\setup", "ENTITY GIF LAUNCH \"g.exe \\file\""));
  Start(StandinFolder("record"));
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND dialog = RunOptions(main);
  ASSERT_NE(dialog, nullptr);
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PROXY), "ignored");
  PressButton(dialog, IDCANCEL);
  EXPECT_TRUE(WaitForWindowGone(dialog));
  EXPECT_EQ(GetValue("\\Proxy", "ProxyServer"), "<missing>");

  dialog = RunOptions(main);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OPT_PDF)), "");
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PDF), "C:\\x\\a.exe");
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_HOME), "");  // empty: nothing written
  PressButton(dialog, IDOK);
  ExpectBox("Re-start Application!", "Re-start the application for the change to take effect.");
  EXPECT_EQ(ReadFileBytes(home_ + "\\setup"),
            "ENTITY GIF LAUNCH \"g.exe \\file\"\nENTITY PDF\n  LAUNCH \"C:\\x\\a.exe \\file\"\n");
  EXPECT_EQ(GetValue("\\Path", "Main-Location"), home_);
  EXPECT_EQ(GetValue("\\Proxy", "ProxyServer"), "");
  ExitAndExpectZero(main);
}

TEST_F(OptionsTest, ASetupFileThatCannotBeReplacedStaysAsItWas) {
  std::string setup = "ENTITY PDF LAUNCH \"old.exe \\file\"\n";
  std::string path = home_ + "\\setup";
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteFileBytes(path, setup));
  // A folder where the new file would go: the write fails.
  CreateDirectoryA((path + ".new").c_str(), nullptr);
  Start(StandinFolder("record"));
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND dialog = RunOptions(main);
  ASSERT_NE(dialog, nullptr);
  SetWindowTextRemote(GetDlgItem(dialog, IDC_OPT_PDF), "C:\\x\\a.exe");
  PressButton(dialog, IDOK);
  EXPECT_TRUE(WaitForWindowGone(dialog));
  Sleep(300);
  EXPECT_EQ(FindWindowA("#32770", "Re-start Application!"), nullptr);
  EXPECT_EQ(ReadFileBytes(path), setup);
  ExitAndExpectZero(main);
  RemoveDirectoryA((path + ".new").c_str());
}

TEST_F(OptionsTest, TheRunFolderGoesAtTheEndUnlessFilesWereKept) {
  CreateDirectoryA((home_ + "\\tmp").c_str(), nullptr);
  std::string other = home_ + "\\tmp\\other";
  CreateDirectoryA(other.c_str(), nullptr);
  Start(StandinFolder("record"));
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  std::string cache = GetValue("\\Path", "Cache");
  ASSERT_EQ(cache.rfind(home_ + "\\tmp\\", 0), 0u) << cache;
  EXPECT_NE(GetFileAttributesA(cache.c_str()), INVALID_FILE_ATTRIBUTES);
  ExitAndExpectZero(main);
  // Nothing was downloaded: this run's folder goes, the others stay.
  EXPECT_EQ(GetFileAttributesA(cache.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(other.c_str()), INVALID_FILE_ATTRIBUTES);
  RemoveDirectoryA(other.c_str());
}

LRESULT CALLBACK AcceleratorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Viewer, EditCatalogRunsTheEditorAndCloseCancelsTheAccelerator) {
  std::string recorder = Bin() + "arg_recorder.exe";
  DeleteFileA((Bin() + "recorded.txt").c_str());
  WritePrivateProfileStringA("External Apps", "EDIT", (recorder + " %s %d").c_str(), "CV20CP.INI");
  std::string folder = StandinFolder("record");
  Start(folder);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  PostCommand(main, IDM_EDIT_CATALOG);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(Bin() + "recorded.txt"); }));
  Sleep(200);
  EXPECT_EQ(ReadFileBytes(Bin() + "recorded.txt"),
            recorder + " " + folder.substr(0, folder.size() - 1) + "\\catalog\\catalog %d");

  WritePrivateProfileStringA("External Apps", "EDIT", "C:\\no\\such\\editor.exe %s", "CV20CP.INI");
  PostCommand(main, IDM_EDIT_CATALOG);
  HWND box = WaitForWindow(process_.id(), "#32770", "Can't Execute");
  ASSERT_NE(box, nullptr) << DescribeWindows(process_.id());
  EXPECT_NE(FindDescendant(box, "Static", nullptr), nullptr);
  PressButton(box, IDOK);
  WaitForWindowGone(box);
  WritePrivateProfileStringA("External Apps", nullptr, nullptr, "CV20CP.INI");

  // A running accelerator gets a cancel when the viewer closes.
  WNDCLASSA wc = {};
  wc.lpfnWndProc = AcceleratorProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "FakeAcceleratorCls";
  RegisterClassA(&wc);
  HWND accelerator = CreateWindowA("FakeAcceleratorCls", "CV-Accelerator", WS_OVERLAPPED, 0, 0,
                                   100, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(accelerator, nullptr);
  PostCommand(main, IDM_EXIT);
  bool cancelled = WaitUntil([&] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    return GetWindowLongPtrA(accelerator, GWLP_USERDATA) == 1;
  });
  EXPECT_TRUE(cancelled);
  DWORD code = 99;
  EXPECT_TRUE(process_.WaitForExit(&code));
  EXPECT_EQ(code, 0u);
  DestroyWindow(accelerator);
}

TEST_F(Viewer, ToolbarPressesSendOnlyEnabledCommandsReleasedOnTheButton) {
  std::string folder = StandinFolder("record");
  DeleteFileA((folder + "calls.log").c_str());
  Start(folder);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  auto click = [&](int x, int upX) {
    PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 12));
    PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(upX, 12));
    PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(upX, 12));
  };
  auto dialogCalls = [&] {
    int n = 0;
    for (const std::string& line : Lines(ReadFileBytes(folder + "calls.log")))
      n += line == "QsOpenFileDialog";
    return n;
  };
  click(14, 14);  // Open: its command asks the engine's open dialog
  EXPECT_TRUE(WaitUntil([&] { return dialogCalls() == 1; }, 5000));
  click(14, 300);  // released off the button: nothing
  click(68, 68);   // Reload is greyed: nothing
  Sleep(500);
  EXPECT_EQ(dialogCalls(), 1);
  EXPECT_EQ(FindWindowA("#32770", nullptr), nullptr);
  ExitAndExpectZero(main);
}

TEST_F(Viewer, WithTheRealEngineTheWindowsStandAndF4ShowsTheAbout) {
  Start(Bin(), "");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowText(main), kTitle);
  HWND figure = FindWindowExA(main, nullptr, "Qs:FigWndCls", nullptr);
  ASSERT_NE(figure, nullptr);
  HWND overview = FindWindowExA(figure, nullptr, "Qs:OvwWndCls", nullptr);
  ASSERT_NE(overview, nullptr);
  RECT r;
  GetWindowRect(overview, &r);
  EXPECT_EQ(r.right - r.left, 256);
  EXPECT_EQ(r.bottom - r.top, 256);
  int views = 0;
  for (HWND w = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr); w;
       w = FindWindowExA(main, w, "Qs:DocWndCls", nullptr))
    ++views;
  EXPECT_EQ(views, 3);
  // Without a navigator or a lower pane the main view fills the area
  // between toolbar (30 pixels) and status bar, 4 pixels from the left.
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  RECT client, view;
  GetClientRect(main, &client);
  GetWindowRect(mainView, &view);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&view), 2);
  EXPECT_EQ(view.left, 4);
  EXPECT_EQ(view.top, 30);
  EXPECT_EQ(view.right - view.left, client.right - 9);
  EXPECT_GT(view.bottom, 30);
  EXPECT_LT(view.bottom, client.bottom - 8);
  EXPECT_TRUE(IsWindowVisible(mainView));
  EXPECT_NE(FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr), nullptr);
  Sleep(500);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_main_window.png");

  PostMessageA(main, WM_KEYDOWN, VK_F4, 0);
  PostMessageA(main, WM_KEYUP, VK_F4, 0);
  HWND about = WaitForWindow(process_.id(), "Qs:SplashWndCls", nullptr);
  ASSERT_NE(about, nullptr) << DescribeWindows(process_.id());
  Screenshot(UnixPath(CurrentFolder()) + "viewer_about.png");
  PostMessageA(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(WaitForWindowGone(about));
  ExitAndExpectZero(main);
}

// A function of the engine DLL loaded into this program, found by the
// ordinal name its export table gives it.
template <typename Fn>
bool BindEngineExport(HMODULE engine, Fn& slot, const char* function) {
  struct Export {
    const char* function;
    unsigned number, bytes;
  };
  static const Export kExports[] = {
#define QS_EXPORT(number, bytes, function, group, failure) {#function, number, bytes},
#include "api/export_table.h"
  };
  for (const Export& e : kExports) {
    if (std::strcmp(e.function, function) != 0) continue;
    char name[64];
    std::snprintf(name, sizeof name, "_P%x@%u", e.number, e.bytes);
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(engine, name)));
    return slot != nullptr;
  }
  return false;
}

// How many pages the engine lays `document` out in with its first sheet, as
// the viewer's preview asks (600 dpi, the preview's page size, the
// preview's options); -1 when the engine cannot say.
int EnginePageCount(const std::string& document, const std::string& temp) {
  HMODULE engine = LoadLibraryA((Bin() + "QSENGINE.dll").c_str());
  if (!engine) return -1;
  decltype(&::QsInitialize) initialize = nullptr;
  decltype(&::QsTerminate) terminate = nullptr;
  decltype(&::QsSetCharset) setCharset = nullptr;
  decltype(&::QsParseDocument) parse = nullptr;
  decltype(&::QsLoadStyleSheet) loadSheet = nullptr;
  decltype(&::QsPrintPreviewPage) preview = nullptr;
  decltype(&::QsEndPreview) end = nullptr;
  decltype(&::QsReleaseHandle) release = nullptr;
  int count = -1;
  CreateDirectoryA(temp.c_str(), nullptr);
  if (BindEngineExport(engine, initialize, "QsInitialize") &&
      BindEngineExport(engine, terminate, "QsTerminate") &&
      BindEngineExport(engine, setCharset, "QsSetCharset") &&
      BindEngineExport(engine, parse, "QsParseDocument") &&
      BindEngineExport(engine, loadSheet, "QsLoadStyleSheet") &&
      BindEngineExport(engine, preview, "QsPrintPreviewPage") &&
      BindEngineExport(engine, end, "QsEndPreview") &&
      BindEngineExport(engine, release, "QsReleaseHandle") &&
      initialize(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Probe",
                 (Bin() + "catalog\\catalog").c_str(), (Bin() + "entityrc\\entityrc").c_str(),
                 (Bin() + "setup").c_str(), temp.c_str(), Bin().c_str())) {
    QsHandle doc = parse(document.c_str(), nullptr, 0, nullptr, 0);
    setCharset(1);
    QsHandle sheet = doc ? loadSheet(doc, 0, nullptr, 0) : 0;
    if (doc && sheet) {
      HDC screen = GetDC(nullptr);
      std::int32_t pages = -1;
      const QsWord job = preview(doc, 0, sheet, 0, 4096, reinterpret_cast<QsWord>(screen), 600, 600,
                                 4942, 6989, &pages);
      ReleaseDC(nullptr, screen);
      if (job) {
        count = pages;
        end(job);
      }
    }
    if (sheet) release(sheet);
    if (doc) release(doc);
    terminate();
  }
  FreeLibrary(engine);
  return count;
}

TEST_F(Viewer, PrintPreviewPagesTheManualAndZooms) {
  Start(Bin(), "\"" + Bin() + "Manual\\manuale.sgm\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  // The command does nothing until the document is shown.
  HWND preview = nullptr;
  for (int i = 0; i < 10 && !preview; ++i) {
    PostCommand(main, IDM_PRINT_PREVIEW);
    preview = WaitForWindow(process_.id(), "Qs:PrnPrvwMgrWndCls", "Print Preview", true, 1500);
  }
  ASSERT_NE(preview, nullptr) << DescribeWindows(process_.id());
  EXPECT_TRUE(IsZoomed(preview));
  Sleep(500);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_print_preview_fit.png");
  HWND first = FindControl(preview, 1001), prev = FindControl(preview, 1002);
  HWND next = FindControl(preview, 1003), zoom = FindControl(preview, 1005);
  HWND page = FindWindowExA(preview, nullptr, "Qs:PrnPrvwWndCls", nullptr);
  ASSERT_TRUE(first && prev && next && zoom && page);
  EXPECT_FALSE(IsWindowEnabled(first));
  EXPECT_FALSE(IsWindowEnabled(prev));
  EXPECT_TRUE(IsWindowEnabled(next));
  auto press = [&](int id, HWND button) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(preview, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button),
                        SMTO_NORMAL, 10000, &result);
  };
  // Next until it greys: as many pages as the engine counts for the
  // document laid out alike (the title's, then one a top-level section).
  int pages = 1;
  while (IsWindowEnabled(next) && pages < 50) {
    press(1003, next);
    if (IsWindowEnabled(next)) ++pages;
  }
  const int counted = EnginePageCount(Bin() + "Manual\\manuale.sgm", CurrentFolder() + "preview_probe\\");
  EXPECT_GE(counted, 5);
  EXPECT_EQ(pages, counted);
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_TRUE(IsWindowEnabled(prev));
  press(1001, first);
  EXPECT_FALSE(IsWindowEnabled(first));
  EXPECT_FALSE(IsWindowEnabled(prev));
  EXPECT_TRUE(IsWindowEnabled(next));
  // "100%" at 96 dpi: a page of 790 x 1118 pixels, as wide as the window
  // shows it and scrolled down its height.
  SendMessageA(zoom, CB_SETCURSEL, 3, 0);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(preview, WM_COMMAND, MAKEWPARAM(1005, CBN_SELCHANGE), reinterpret_cast<LPARAM>(zoom),
                      SMTO_NORMAL, 10000, &result);
  RECT shown{};
  GetWindowRect(page, &shown);
  EXPECT_EQ(shown.right - shown.left, 790 + 2);
  // Taller than the window: a vertical bar only.
  const LONG style = GetWindowLongA(page, GWL_STYLE);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_FALSE(style & WS_HSCROLL);
  const int visible = shown.bottom - shown.top - 2;
  ASSERT_LT(visible, 1118);
  // The thumb dragged past the end stops where the page ends: the same
  // picture as the thumb at the page's height less the window's.
  int w = 0, h = 0;
  // The window's pixels once two reads a little apart agree (the paint
  // follows in the viewer's own time).
  auto settled = [&] {
    std::vector<std::uint32_t> last = ScreenPixels(page, &w, &h);
    for (int i = 0; i < 20; ++i) {
      Sleep(250);
      std::vector<std::uint32_t> now = ScreenPixels(page, &w, &h);
      if (now == last) break;
      last = std::move(now);
    }
    return last;
  };
  auto scrollTo = [&](int position) {
    SendMessageTimeoutA(page, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0, SMTO_NORMAL, 10000,
                        &result);
    return settled();
  };
  const std::vector<std::uint32_t> top = settled();
  const std::vector<std::uint32_t> past = scrollTo(5000);
  EXPECT_NE(past, top);
  scrollTo(0);
  EXPECT_EQ(scrollTo(1118 - visible), past);
  Sleep(500);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_print_preview.png");

  // "Fit" in a wide and in a tall window: the whole page, at the page's
  // proportions, as high as the wide window leaves and as wide as the tall
  // one leaves beside the buttons, with no scroll bar.
  SendMessageA(zoom, CB_SETCURSEL, 0, 0);
  SendMessageTimeoutA(preview, WM_COMMAND, MAKEWPARAM(1005, CBN_SELCHANGE), reinterpret_cast<LPARAM>(zoom),
                      SMTO_NORMAL, 10000, &result);
  ShowWindow(preview, SW_RESTORE);
  const struct {
    const char* name;
    int width, height;
    bool wide;
  } shapes[] = {{"wide", 900, 420, true}, {"tall", 420, 760, false}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.name);
    SetWindowPos(preview, nullptr, 10, 10, shape.width, shape.height, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{}, framed{}, inner{};
    ASSERT_TRUE(WaitUntil([&] {
      GetClientRect(preview, &client);
      return client.right > shape.width - 40 && client.right < shape.width &&
             client.bottom > shape.height - 80 && client.bottom < shape.height;
    }, 5000));
    settled();
    GetWindowRect(page, &framed);
    MapWindowPoints(nullptr, preview, reinterpret_cast<POINT*>(&framed), 2);
    GetClientRect(page, &inner);
    const LONG pageStyle = GetWindowLongA(page, GWL_STYLE);
    EXPECT_FALSE(pageStyle & WS_VSCROLL);
    EXPECT_FALSE(pageStyle & WS_HSCROLL);
    // What the page window leaves of the client area beside the buttons.
    const int originX = framed.left + 1;
    const int across = client.right - originX - 5, down = client.bottom - 10;
    if (shape.wide) {
      EXPECT_EQ(inner.bottom, down);
      EXPECT_EQ(inner.right, down * 4942 / 6989);
      EXPECT_LT(inner.right, across);
    } else {
      EXPECT_EQ(inner.right, across);
      EXPECT_EQ(inner.bottom, across * 6989 / 4942);
      EXPECT_LT(inner.bottom, down);
    }
    // Inside the manager's client area, the page drawn in it.
    EXPECT_LE(framed.right, client.right);
    EXPECT_LE(framed.bottom, client.bottom);
    EXPECT_FALSE(DarkBands(page).empty());
    Screenshot(UnixPath(CurrentFolder()) + "viewer_print_preview_fit_" + shape.name + ".png");
  }
  // Close.
  PostMessageA(preview, WM_COMMAND, MAKEWPARAM(1004, BN_CLICKED),
               reinterpret_cast<LPARAM>(FindControl(preview, 1004)));
  EXPECT_TRUE(WaitForWindowGone(preview));
  ExitAndExpectZero(main);
}

TEST_F(Viewer, PrintAndPrinterSetupRunTheEnginesDialogs) {
  Start(Bin(), "\"" + Bin() + "Manual\\manuale.sgm\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  // The command does nothing until the document is shown.
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !DarkBands(mainView).empty(); }, 10000));
  // Printer Setup: the engine's "Select Printer".
  PostCommand(main, IDM_PRINTER_SETUP);
  HWND setup = WaitForWindow(process_.id(), "#32770", "Select Printer", true, 8000);
  ASSERT_NE(setup, nullptr) << DescribeWindows(process_.id());
  PressButton(setup, IDCANCEL);
  EXPECT_TRUE(WaitForWindowGone(setup));
  PostCommand(main, IDM_PRINT);
  HWND dialog = WaitForWindow(process_.id(), "#32770", "Print Document", true, 8000);
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  // Page number and date: "None" and the six places each.
  EXPECT_EQ(SendMessageA(FindControl(dialog, 109), CB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(SendMessageA(FindControl(dialog, 110), CB_GETCOUNT, 0, 0), 7);
  // The manual's one sheet and one navigator.
  EXPECT_EQ(SendMessageA(FindControl(dialog, 103), LB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageA(FindControl(dialog, 104), LB_GETCOUNT, 0, 0), 1);
  // The whole document is shown: no part to print alone.
  EXPECT_FALSE(IsWindowEnabled(FindControl(dialog, 105)));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_print_dialog.png");
  PressButton(dialog, IDCANCEL);
  EXPECT_TRUE(WaitForWindowGone(dialog));
  ExitAndExpectZero(main);
}

TEST(Resources, MenusAndKeysStandWhereTheCodeExpectsThem) {
  HMODULE exe = LoadLibraryExA((Bin() + "corvina.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HMENU menu = LoadMenuA(exe, "menuMain");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 9);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), FILE_MENU_FIXED_ITEMS);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 0), static_cast<UINT>(IDM_OPEN_FILE));
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 0), 9), static_cast<UINT>(IDM_EXIT));
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), EDIT_MENU_FIXED_ITEMS);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 3)), VIEW_MENU_FIXED_ITEMS);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 4), 0), static_cast<UINT>(IDM_NAV_NONE));
  HMENU web = GetSubMenu(menu, 6);
  EXPECT_EQ(GetMenuItemCount(web), WEB_MENU_FIXED_ITEMS);
  char text[64] = "";
  GetMenuStringA(web, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "C&lose");
  EXPECT_EQ(GetMenuItemID(GetSubMenu(web, 1), 0), static_cast<UINT>(IDM_WEB_CLOSE_ALL));
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 7)), 1);
  EXPECT_EQ(GetMenuItemID(GetSubMenu(menu, 7), 0), static_cast<UINT>(IDM_BOOKMARKS));
  GetMenuStringA(GetSubMenu(menu, 5), IDM_SUPPRESS_ZOOM, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "&Supress Zoom");
  DestroyMenu(menu);

  HACCEL keys = LoadAcceleratorsA(exe, "AccKeys");
  ASSERT_NE(keys, nullptr);
  ACCEL table[32];
  int count = CopyAcceleratorTableA(keys, table, 32);
  ASSERT_EQ(count, 13);
  struct Key {
    WORD key;
    bool virtualKey;
    WORD command;
  } expected[] = {{15, false, IDM_OPEN_FILE}, {21, false, IDM_OPEN_URL},   {24, false, IDM_CLOSE},
                  {18, false, IDM_RELOAD},    {3, false, IDM_COPY},        {2, false, IDM_BACK},
                  {6, false, IDM_FORWARD},    {23, false, IDM_CLEAR_LOWER}, {19, false, IDM_TEXT_SEARCH},
                  {VK_F1, true, IDM_HELP},    {VK_F2, true, IDM_HIT_PREVIOUS}, {VK_F3, true, IDM_HIT_NEXT},
                  {VK_F4, true, IDM_ABOUT}};
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(table[i].key, expected[i].key) << i;
    EXPECT_EQ((table[i].fVirt & FVIRTKEY) != 0, expected[i].virtualKey) << i;
    EXPECT_EQ(table[i].cmd, expected[i].command) << i;
  }
  EXPECT_NE(FindResourceA(exe, "IDD_VIEWPROP", reinterpret_cast<LPCSTR>(RT_DIALOG)), nullptr);
  EXPECT_NE(FindResourceA(exe, "dlgSearch", reinterpret_cast<LPCSTR>(RT_DIALOG)), nullptr);
  EXPECT_NE(FindResourceA(exe, "dlgPartsSearch", reinterpret_cast<LPCSTR>(RT_DIALOG)), nullptr);
  EXPECT_NE(FindResourceA(exe, "DLGSAVEFILES", reinterpret_cast<LPCSTR>(RT_DIALOG)), nullptr);
  EXPECT_NE(FindResourceA(exe, "bmpToolbar", reinterpret_cast<LPCSTR>(RT_BITMAP)), nullptr);
  // No template of the engine's own: a host's would take its place.
  EXPECT_EQ(FindResourceA(exe, "DlgInput", reinterpret_cast<LPCSTR>(RT_DIALOG)), nullptr);

  // The hotspot editor's menu: each command where its code looks, and the
  // outline colours in the order of the VGA palette.
  HMENU editor = LoadMenuA(exe, "menuHotEd");
  ASSERT_NE(editor, nullptr);
  for (int id : {IDM_HOT_DONE, IDM_EXIT, IDM_HOT_CUT, IDM_HOT_COPY, IDM_HOT_PASTE,
                 IDM_HOT_REMOVE_ANCHOR, IDM_HOT_COLOR, IDM_HOT_NOTES, IDM_ZOOM_OUT, IDM_ZOOM_IN,
                 IDM_ZOOM_RESET, IDM_OVERVIEW, IDM_CENTER_ZOOM, IDM_SUPPRESS_ZOOM,
                 IDM_IGNORE_HOTSPOTS, IDM_PRINT_FIGURE, IDM_PREVIEW_FIGURE, IDM_HOT_NEW_RECT,
                 IDM_HOT_NEW_ELLIPSE, IDM_HOT_NEW_POLYGON, IDM_HOT_TRIM, IDM_HOT_ADD_POINT,
                 IDM_HOT_REMOVE_POINT, IDM_HOT_SHAPE_RECT, IDM_HOT_SHAPE_ELLIPSE,
                 IDM_HOT_SHAPE_POLYGON})
    EXPECT_NE(GetMenuStringA(editor, id, text, sizeof text, MF_BYCOMMAND), 0) << id;
  GetMenuStringA(editor, IDM_HOT_DONE, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "&Done Editing");
  GetMenuStringA(editor, IDM_HOT_TRIM, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "&Trim Bounding Box");
  GetMenuStringA(editor, IDM_HOT_COLOR_FIRST + 13, text, sizeof text, MF_BYCOMMAND);
  EXPECT_STREQ(text, "Red");
  EXPECT_EQ(GetMenuStringA(editor, IDM_EDIT_HOTSPOTS, text, sizeof text, MF_BYCOMMAND), 0);
  DestroyMenu(editor);
  for (const char* name : {"curSel", "curLocked", "curMove", "curCut", "curCutHit", "curTrash",
                           "curTrashHit", "curRect", "curEllipse", "curPoly", "curPolyEnd"})
    EXPECT_NE(FindResourceA(exe, name, reinterpret_cast<LPCSTR>(RT_GROUP_CURSOR)), nullptr) << name;
  FreeLibrary(exe);
}

// Opening documents with the "docs" stand-in, which keeps documents and
// views and logs every call: the histories, Back through event 7, the style
// sheet and navigator menus, the panes and the context menu.
class Documents : public Viewer {
 protected:
  void SetUp() override {
    Viewer::SetUp();
    engine_ = StandinFolder("docs");
    DeleteFileA((engine_ + "calls.log").c_str());
    DeleteFileA((engine_ + "dialog.txt").c_str());
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    docs_ = CurrentFolder() + "docs_" + info->name() + "_" + std::to_string(GetCurrentProcessId()) +
            "\\";
    CreateDirectoryA(docs_.c_str(), nullptr);
  }
  std::string Document(const std::string& name, const std::string& text = "<doc>text</doc>\n") {
    std::string path = docs_ + name;
    EXPECT_TRUE(WriteFileBytes(path, text));
    return path;
  }
  std::string Log() { return ReadFileBytes(engine_ + "calls.log"); }
  bool WaitForLog(const std::string& text) {
    bool found = WaitUntil([&] { return Log().find(text) != std::string::npos; }, 10000);
    EXPECT_TRUE(found) << text << "\n" << Log();
    return found;
  }
  // Opens `path` through File Open (the stand-in's dialog answers it).
  void OpenThroughDialog(HWND main, const std::string& path, std::string opened = "") {
    ASSERT_TRUE(WriteFileBytes(engine_ + "dialog.txt", path));
    PostCommand(main, IDM_OPEN_FILE);
    WaitForLog(opened.empty() ? "QsParseDocument|" + path + "|" : opened);
  }
  HWND View(HWND main, int n) {
    HWND w = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
    for (int i = 0; i < n && w; ++i) w = FindWindowExA(main, w, "Qs:DocWndCls", nullptr);
    return w;
  }
  RECT ClientRectIn(HWND main, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  std::vector<std::string> History() {
    std::vector<std::string> list;
    for (int i = 0; i < 6; ++i) list.push_back(GetValue("\\MRU", ("HIST" + std::to_string(i)).c_str()));
    return list;
  }
  std::string engine_, docs_;
};

TEST_F(Documents, RecentFilesFollowOpeningClosingAndExit) {
  std::vector<std::string> files;
  for (int i = 0; i < 7; ++i) files.push_back(Document("f" + std::to_string(i) + ".sgm"));
  for (int i = 0; i < 6; ++i) SetValue("\\MRU", ("HIST" + std::to_string(i)).c_str(), files[i]);
  Start(engine_);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  PostCommand(main, IDM_RECENT_FIRST + 3);  // the fourth
  WaitForLog("QsParseDocument|" + files[3] + "|ok");
  ExitAndExpectZero(main);
  EXPECT_EQ(History(), (std::vector<std::string>{files[3], files[0], files[1], files[2], files[4],
                                                 files[5]}));

  // A seventh opened through Open drops the oldest.
  Start(engine_, "\"" + files[3] + "\"");
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsParseDocument|" + files[3] + "|ok");
  OpenThroughDialog(main, files[6]);
  ExitAndExpectZero(main);
  EXPECT_EQ(History(), (std::vector<std::string>{files[6], files[3], files[0], files[1], files[2],
                                                 files[4]}));

  // Close puts the open document first; the next one opened comes before it
  // only at exit.
  Start(engine_, "\"" + files[2] + "\"");
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsParseDocument|" + files[2] + "|ok");
  PostCommand(main, IDM_CLOSE);
  WaitForLog("QsCloseDocument|f2.sgm");
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(View(main, 0)); }, 5000));
  OpenThroughDialog(main, files[5]);
  ExitAndExpectZero(main);
  EXPECT_EQ(History(), (std::vector<std::string>{files[5], files[2], files[6], files[3], files[0],
                                                 files[1]}));
}

TEST_F(Documents, BackToAnotherDocumentGoesThroughEvent7) {
  std::string a = Document("a.sgm", "<?NAVIGATOR \"Contents\" \"a.nav\"><doc>a</doc>\n");
  std::string b = Document("b.sgm");
  Start(engine_, "\"" + a + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsDisplay|other|a.sgm|sheet -|navigator 0|linked main|2");
  OpenThroughDialog(main, b);
  WaitForLog("QsDisplay|main|b.sgm|");
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(View(main, 2)); }, 5000));  // b has no navigator
  PostCommand(main, IDM_BACK);
  // The viewer answers with the main view and its flags, having shown a's
  // navigator again.
  WaitForLog("Event7|main|380");
  std::string log = Log();
  EXPECT_NE(log.find("QsDisplay|other|a.sgm|sheet -|navigator 0|linked main|2",
                     log.find("QsViewCommand|10")),
            std::string::npos)
      << log;
  // The navigator it loaded for a is released again.
  EXPECT_NE(log.find("QsReleaseHandle|2000", log.find("QsViewCommand|10")), std::string::npos) << log;
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(View(main, 2)) != 0; }, 5000));
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), a);
  EXPECT_EQ(GetValue("\\MRU", "HIST1"), b);
}

TEST_F(Documents, StyleSheetsAndNavigatorsComeFromTheDocumentsMenus) {
  std::string doc = Document("two.sgm",
                             "<?STYLESPEC \"Screen\" \"s.ssh\"><?STYLESPEC \"Print\" \"p.ssh\">"
                             "<?NAVIGATOR \"Contents\" \"c.nav\"><doc>text</doc>\n");
  Start(engine_, "\"" + doc + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsDisplay|main|two.sgm|sheet 0|navigator -|linked 0|380");
  WaitForLog("QsDisplay|other|two.sgm|sheet 0|navigator 0|linked main|2");
  HWND mainView = View(main, 0), navigator = View(main, 2);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(navigator) != 0; }, 5000));
  RECT client, nav = ClientRectIn(main, navigator), view = ClientRectIn(main, mainView);
  GetClientRect(main, &client);
  int n = client.right / 4;
  EXPECT_EQ(nav.left, 4);
  EXPECT_EQ(nav.top, 30);
  EXPECT_EQ(nav.right - nav.left, n);
  EXPECT_EQ(view.left, n + 9);
  EXPECT_EQ(view.right - view.left, client.right - n - 14);
  // The stand-in's lines of sheet 1, and of the navigator.
  std::vector<int> before;
  EXPECT_TRUE(WaitUntil([&] {
    before = DarkBands(mainView);
    return before.size() >= 2 && DarkBands(navigator).size() >= 2;
  }, 5000)) << before.size();

  PostCommand(main, IDM_STYLESHEET_FIRST + 1);  // "Print"
  WaitForLog("QsDisplay|main|two.sgm|sheet 1|navigator -|linked 0|380");
  WaitForLog("QsDisplay|other|two.sgm|sheet 1|navigator 0|linked main|2");
  EXPECT_TRUE(WaitUntil([&] { return DarkBands(mainView).size() > before.size(); }, 5000));

  PostCommand(main, IDM_NAV_NONE);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(navigator); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return ClientRectIn(main, mainView).left == 4; }, 5000));
  PostCommand(main, IDM_NAVIGATOR_FIRST);  // "Contents" again
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(navigator) != 0; }, 5000));
  ExitAndExpectZero(main);
}

TEST_F(Documents, TheDocumentsFolderLendsItsCatalogUnlessACompiledFileIsThere) {
  std::string doc = Document("cat.sgm");
  std::string compiled = Document("bin.sgm");
  Document("bin.qsb", "compiled");
  Start(engine_, "\"" + doc + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsParseDocument|" + doc + "|ok");
  OpenThroughDialog(main, compiled, "QsOpenBinaryDocument|");
  ExitAndExpectZero(main);
  std::vector<std::string> calls;
  for (const std::string& line : Lines(Log())) {
    if (line.rfind("QsPush", 0) == 0 || line.rfind("QsPop", 0) == 0 ||
        line.rfind("QsParseDocument", 0) == 0 || line.rfind("QsOpenBinary", 0) == 0)
      calls.push_back(line);
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "QsPushCatalog|" + docs_ + "catalog", "QsPushEntityrc|" + docs_ + "entityrc",
                       "QsParseDocument|" + doc + "|ok", "QsPopEntityrc", "QsPopCatalog",
                       // Open's dialog wrote bin.sgm: its compiled file is opened instead.
                       "QsOpenBinaryDocument|" + docs_ + "bin.qsb|" + compiled}));
}

TEST_F(Documents, HelpOpensTheManualAndAFailedOpenHidesTheMainView) {
  std::string manual = engine_ + "Manual";
  CreateDirectoryA(manual.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((Bin() + "Manual\\manuale.sgm").c_str(), (manual + "\\manuale.sgm").c_str(),
                        FALSE));
  Start(engine_);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  PostCommand(main, IDM_HELP);
  WaitForLog("QsParseDocument|" + manual + "\\manuale.sgm|ok");
  HWND mainView = View(main, 0);
  EXPECT_TRUE(IsWindowVisible(mainView));
  OpenThroughDialog(main, docs_ + "missing.sgm");
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(mainView); }, 5000));
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), manual + "\\manuale.sgm");
}

TEST_F(Documents, TheContextMenuNeedsADocumentAndUnbuiltCommandsSaySo) {
  std::string doc = Document("menu.sgm");
  Start(engine_);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = View(main, 0);
  PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 40));
  Sleep(700);
  EXPECT_EQ(FindWindowA("#32768", nullptr), nullptr);  // no document, no menu
  OpenThroughDialog(main, doc);
  WaitForLog("QsDisplay|main|menu.sgm|");
  PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 40));
  HWND menu = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr &&
                                     IsWindowVisible(menu); }, 5000));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_context_menu.png");
  PostMessageA(mainView, WM_CANCELMODE, 0, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }, 5000));
  PostMessageA(mainView, WM_COMMAND, IDM_CTX_BEGIN_LINK, 0);
  ExpectBox(kTitle, "Not Implemented (yet)");
  ExitAndExpectZero(main);
}

TEST_F(Documents, AWarningBringsTheMessageWindowIntoTheLowerPane) {
  std::string doc = Document("warn.sgm", "<?NAVIGATOR \"Contents\" \"c.nav\"><doc>WARNING-HERE</doc>\n");
  Start(engine_, "\"" + doc + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  // A client area of 800 x 600.
  RECT outer, inner;
  GetWindowRect(main, &outer);
  GetClientRect(main, &inner);
  SetWindowPos(main, nullptr, 0, 0, 800 + (outer.right - outer.left) - inner.right,
               600 + (outer.bottom - outer.top) - inner.bottom, SWP_NOMOVE | SWP_NOZORDER);
  HWND messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
  ASSERT_NE(messages, nullptr);
  HWND mainView = View(main, 0), navigator = View(main, 2);
  ASSERT_TRUE(WaitUntil([&] {
    GetClientRect(main, &inner);
    return IsWindowVisible(messages) && IsWindowVisible(navigator) && inner.right == 800 &&
           inner.bottom == 600;
  }, 10000)) << DescribeWindows(process_.id());
  Sleep(300);
  RECT lower = ClientRectIn(main, messages), view = ClientRectIn(main, mainView);
  int s = 600 - lower.bottom;  // the status bar
  EXPECT_GT(s, 10);
  EXPECT_EQ(lower.bottom - lower.top, (600 - 30 - s) / 3);
  EXPECT_EQ(view.bottom + 5, lower.top);
  EXPECT_EQ(lower.left, view.left);
  HWND list = FindWindowExA(messages, nullptr, "ListBox", nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListBoxText(list, 0), "Warning: Undeclared element: 'WARNING-HERE' (warn.sgm)");
  Screenshot(UnixPath(CurrentFolder()) + "viewer_warning.png");

  // The vertical splitter dropped left of x 15 hides the navigator.
  int n = 800 / 4;
  PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(n + 7, 200));
  PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 200));
  PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(10, 200));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(navigator); }, 5000));
  // The horizontal one dropped at the bottom empties the lower pane.
  int y = lower.top - 2;
  PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, y));
  PostMessageA(main, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 599));
  PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(400, 599));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(messages); }, 5000));
  EXPECT_TRUE(WaitUntil([&] { return ClientRectIn(main, mainView).bottom == 600 - s; }, 5000));
  ExitAndExpectZero(main);
}

// The real engine's parse reports: the message window lists them, shows the
// source around one, offers the file to the editor, and stops at 100.
TEST_F(Viewer, WithTheRealEngineParseErrorsFillTheMessageWindow) {
  std::string folder = CurrentFolder() + "messages_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string prolog = "<!DOCTYPE doc [<!ELEMENT doc - - (p)*><!ELEMENT p - - (#PCDATA)>]>\n";
  std::string text = prolog + "<doc><p>one</p></doc>junk\n";
  std::string bad = folder + "bad.sgm";
  ASSERT_TRUE(WriteFileBytes(bad, text));
  std::string recorder = Bin() + "arg_recorder.exe";
  DeleteFileA((Bin() + "recorded.txt").c_str());
  WritePrivateProfileStringA("External Apps", "EDIT", (recorder + " %s").c_str(), "CV20CP.INI");
  Start(Bin(), "\"" + bad + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
  ASSERT_NE(messages, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(messages) != 0; }));
  HWND list = FindWindowExA(messages, nullptr, "ListBox", nullptr);
  HWND edit = FindWindowExA(messages, nullptr, "Edit", nullptr);
  ASSERT_NE(list, nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(ListBoxText(list, 0), "Error: Syntax error (bad.sgm)");
  // The first message's source is shown with the caret at its offset.
  ASSERT_TRUE(WaitUntil([&] { return !WindowText(edit).empty(); }, 5000));
  EXPECT_EQ(WindowText(edit).substr(0, 3), "...");
  EXPECT_NE(WindowText(edit).find("junk"), std::string::npos);
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, end);
  // The parser reports the offset past the byte it stopped at; the caret
  // goes there, behind the three leading dots.
  EXPECT_EQ(start, text.find("junk") + 1 + 3);
  // "Edit <file>" runs the editor on the document.
  PostCommand(main, IDM_EDIT_FILE_FIRST);
  ASSERT_TRUE(WaitUntil([&] { return FileExists(Bin() + "recorded.txt"); }));
  Sleep(200);
  EXPECT_EQ(ReadFileBytes(Bin() + "recorded.txt"), recorder + " " + bad);
  WritePrivateProfileStringA("External Apps", nullptr, nullptr, "CV20CP.INI");

  // 105 warnings: 100 lines and one that says there were too many.
  std::string many = prolog + "<doc><p>";
  for (int i = 0; i < 105; ++i) many += "&e" + std::to_string(i) + ";";
  many += "</p></doc>\n";
  std::string warnings = folder + "many.sgm";
  ASSERT_TRUE(WriteFileBytes(warnings, many));
  ExitAndExpectZero(main);
  Start(Bin(), "\"" + warnings + "\"");
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
  list = FindWindowExA(messages, nullptr, "ListBox", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(messages) && ListBoxCount(list) == 101; }))
      << ListBoxCount(list);
  EXPECT_EQ(ListBoxText(list, 100), "To many warnings/errors");
  EXPECT_EQ(ListBoxText(list, 0), "Warning: Undefined entity: 'e0' (many.sgm)");
  ExitAndExpectZero(main);
}

TEST_F(Documents, ARunEndingOnADownloadedDocumentKeepsItsRecentFiles) {
  std::string local = Document("local.sgm");
  std::string cache = docs_ + "http#srv#8080";
  CreateDirectoryA(cache.c_str(), nullptr);
  std::string downloaded = Document("http#srv#8080\\manual.sgm");
  SetValue("\\MRU", "HIST0", "C:\\old.sgm");
  Start(engine_, "\"" + local + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsDisplay|main|local.sgm|");
  OpenThroughDialog(main, downloaded);
  WaitForLog("QsDisplay|main|manual.sgm|");
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), local);
  EXPECT_EQ(GetValue("\\MRU", "HIST1"), "C:\\old.sgm");
  EXPECT_EQ(GetValue("\\URL History List", "HIST0"), "http#srv#8080\\manual.sgm");
}

TEST_F(Documents, ReloadAndCompileWorkOnTheMainViewsDocument) {
  std::string doc = Document("reload.sgm");
  Start(engine_, "\"" + doc + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  WaitForLog("QsDisplay|main|reload.sgm|");
  PostCommand(main, IDM_RELOAD);
  WaitForLog("QsCloseDocument|reload.sgm");
  // Parsed again after the close.
  EXPECT_TRUE(WaitUntil([&] {
    std::string text = Log();
    return text.find("QsParseDocument|" + doc + "|ok", text.find("QsCloseDocument|reload.sgm")) !=
           std::string::npos;
  }, 5000)) << Log();
  // Shown again.
  EXPECT_TRUE(WaitUntil([&] {
    std::string text = Log();
    std::size_t first = text.find("QsDisplay|main|reload.sgm|");
    return first != std::string::npos &&
           text.find("QsDisplay|main|reload.sgm|", first + 1) != std::string::npos;
  }, 5000));

  PostCommand(main, IDM_COMPILE);
  HWND dialog = WaitForFileDialog(process_.id(), "Save Binary Document as");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  ASSERT_TRUE(FillFileDialog(dialog, docs_ + "reload"));
  WaitForLog("QsSaveDocumentBinary|reload.sgm|" + docs_ + "reload.qsb");  // the default extension
  ExitAndExpectZero(main);
}

// The searches with the "docs" stand-in, which logs each QsSearch with the
// window it went to: a table of dialog settings and the calls each makes
// (the second view, or the navigator view for parts, only after hits).
TEST_F(Documents, SearchDialogsSendTheirQueriesToTheViews) {
  std::string doc = Document("search.sgm", "<?NAVIGATOR \"Contents\" \"c.nav\"><doc>text</doc>\n");
  // Loaded at start: the dialog shows them.
  SetValue("\\Search Mode\\String Search", "CASE", "Yes");
  SetValue("\\Search Mode\\String Search", "MARKUP", "No");
  SetValue("\\Search Mode\\String Search", "MATCH", "word");
  SetValue("\\Search Mode\\String Search", "SEARCHIN", "NOTES");
  SetValue("\\Search Mode\\String Search", "SEARCH1", "older");
  SetValue("\\Search Mode\\String Search", "SEARCH0", "newer");
  Start(engine_);
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  OpenThroughDialog(main, doc);
  WaitForLog("QsDisplay|main|search.sgm|");

  PostCommand(main, IDM_TEXT_SEARCH);
  HWND dialog = WaitForWindow(process_.id(), "#32770", "Text Search");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_SEARCH_CASE), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_SEARCH_MARKUP), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_SEARCH_MATCH), CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_SEARCH_IN), CB_GETCURSEL, 0, 0), 5);
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_SEARCH_TEXT), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(WindowText(FindControl(dialog, IDC_SEARCH_TEXT)), "newer");
  Screenshot(UnixPath(CurrentFolder()) + "viewer_text_search.png");
  PressButton(dialog, IDCANCEL);
  WaitForWindowGone(dialog);

  struct Case {
    bool parts;
    const char* text;
    int match;
    int in;  // search-in or column index
    bool caseSensitive, markup;
    std::vector<std::string> calls;
  } cases[] = {
      {false, "", 0, 0, false, false, {}},
      {true, "", 0, 0, false, false, {}},
      {false, "valve", 0, 6, false, false,
       {"QsSearch|main|\"valve\" in <TABLE TYPE = \"PARTS\">|0",
        "QsSearch|second|\"valve\" in <TABLE TYPE = \"PARTS\">|0"}},
      {false, "nohit gasket", 1, 0, true, false, {"QsSearch|main|nohit gasket|29"}},
      {false, "single <X>", 3, 2, false, true,
       {"QsSearch|main|single <X>|60", "QsSearch|second|single <X>|60"}},
      {false, "Bolt and nut", 2, 5, false, false,
       {"QsSearch|main|\"Bolt\" \"and\" \"nut\" in <NOTE>|40",
        "QsSearch|second|\"Bolt\" \"and\" \"nut\" in <NOTE>|40"}},
      {true, "1234", 1, 2, false, false,
       {"QsSearch|main|\"1234\" in <ENTRY TYPE = \"PNO\">|20",
        "QsSearch|navigator|\"1234\" in <ENTRY TYPE = \"PNO\">|20"}},
      {true, "nohit", 3, 3, false, false, {"QsSearch|main|\"nohit\" in <ENTRY TYPE = \"PNM\">|60"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t before = Log().size();
    PostCommand(main, c.parts ? IDM_PARTS_SEARCH : IDM_TEXT_SEARCH);
    dialog = WaitForWindow(process_.id(), "#32770", c.parts ? "Parts-List Search" : "Text Search");
    ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
    HWND text = FindControl(dialog, c.parts ? IDC_PARTS_TEXT : IDC_SEARCH_TEXT);
    ASSERT_TRUE(SetWindowTextRemote(text, c.text));
    SendMessageA(FindControl(dialog, c.parts ? IDC_PARTS_MATCH : IDC_SEARCH_MATCH), CB_SETCURSEL,
                 c.match, 0);
    SendMessageA(FindControl(dialog, c.parts ? IDC_PARTS_COLUMN : IDC_SEARCH_IN), CB_SETCURSEL,
                 c.in, 0);
    if (!c.parts) {
      SendMessageA(FindControl(dialog, IDC_SEARCH_CASE), BM_SETCHECK,
                   c.caseSensitive ? BST_CHECKED : BST_UNCHECKED, 0);
      SendMessageA(FindControl(dialog, IDC_SEARCH_MARKUP), BM_SETCHECK,
                   c.markup ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForWindowGone(dialog));
    std::vector<std::string> calls;
    for (const std::string& line : Lines(Log().substr(before)))
      if (line.rfind("QsSearch|", 0) == 0) calls.push_back(line);
    EXPECT_EQ(calls, c.calls);
  }

  // From the context menu: the selection's first line is offered first.
  ASSERT_TRUE(WriteFileBytes(engine_ + "selection.txt", "\r\nFuel pump\r\nsecond line"));
  PostMessageA(View(main, 0), WM_COMMAND, IDM_CTX_PARTS_SEARCH, 0);
  dialog = WaitForWindow(process_.id(), "#32770", "Parts-List Search");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(WindowText(FindControl(dialog, IDC_PARTS_TEXT)), "Fuel pump");
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_PARTS_TEXT), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(FindControl(dialog, IDC_PARTS_COLUMN), CB_GETCURSEL, 0, 0), 3);
  PressButton(dialog, IDCANCEL);
  WaitForWindowGone(dialog);
  DeleteFileA((engine_ + "selection.txt").c_str());
  ExitAndExpectZero(main);

  const char* text = "\\Search Mode\\String Search";
  const char* parts = "\\Search Mode\\Parts Search";
  EXPECT_EQ(GetValue(text, "SEARCH0"), "Bolt and nut");
  EXPECT_EQ(GetValue(text, "SEARCH1"), "single <X>");
  EXPECT_EQ(GetValue(text, "SEARCH4"), "newer");
  EXPECT_EQ(GetValue(text, "SEARCH5"), "older");
  EXPECT_EQ(GetValue(text, "SEARCH6"), "<missing>");
  EXPECT_EQ(GetValue(text, "SEARCHIN"), "Notes");
  EXPECT_EQ(GetValue(text, "MATCH"), "Suffix");
  EXPECT_EQ(GetValue(text, "MARKUP"), "No");
  EXPECT_EQ(GetValue(text, "CASE"), "No");
  EXPECT_EQ(GetValue(text, "RE"), "No");
  EXPECT_EQ(GetValue(parts, "SEARCH0"), "nohit");
  EXPECT_EQ(GetValue(parts, "SEARCH1"), "1234");
  EXPECT_EQ(GetValue(parts, "SEARCHIN"), "Parts Description");
  EXPECT_EQ(GetValue(parts, "MATCH"), "Word");
}

// The gtk-doc manual (DocBook XML 4.3) takes the DocBook sheet and navigator
// that the installed home's entityrc includes, without a message.
TEST_F(Viewer, WithTheRealEngineADocBookManualTakesTheDocBookNavigator) {
  std::string manual = "Z:\\usr\\share\\help\\C\\gtk-doc-manual\\index.docbook";
  if (!FileExists(manual)) GTEST_SKIP() << "gtk-doc-tools is not installed";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  HWND second = FindWindowExA(main, mainView, "Qs:DocWndCls", nullptr);
  HWND navigator = FindWindowExA(main, second, "Qs:DocWndCls", nullptr);
  ASSERT_NE(navigator, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(navigator) != 0; }))
      << DescribeWindows(process_.id());
  EXPECT_TRUE(IsWindowVisible(mainView));
  Sleep(500);  // a message would show the message window within a tick
  HWND messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
  EXPECT_FALSE(IsWindowVisible(messages));
  ExitAndExpectZero(main);

  // Its DTD comes from docbook-xml through the home's catalog: an entity
  // it declares is no undefined one.
  std::string folder = CurrentFolder() + "docbook_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string article = folder + "article.xml";
  ASSERT_TRUE(WriteFileBytes(article,
      "<?xml version=\"1.0\"?>\n<!DOCTYPE article PUBLIC \"-//OASIS//DTD DocBook XML V4.5//EN\" "
      "\"http://www.oasis-open.org/docbook/xml/4.5/docbookx.dtd\">\n"
      "<article><title>Dashes</title><para>one&mdash;two</para></article>\n"));
  Start(Bin(), "\"" + article + "\"");
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) != 0; }));
  Sleep(500);
  messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
  EXPECT_FALSE(IsWindowVisible(messages));
  ExitAndExpectZero(main);
  EXPECT_EQ(ReadFileBytes(Bin() + "entityrc\\entityrc").find("ENTITYRC \"..\\docbook\\entityrc\""),
            ReadFileBytes(Bin() + "entityrc\\entityrc").rfind("ENTITYRC \"..\\docbook\\entityrc\""));
}

// The large DocBook manuals open from the command line without a message,
// with text in both panes, and a Page Down moves the main view. How long a
// start takes until the main view shows text is printed for the record.
TEST_F(Viewer, WithTheRealEngineDocBookManualsShowTextInBothPanesAndPage) {
  std::vector<std::string> manuals;
  const std::string gtkdoc = "Z:\\usr\\share\\help\\C\\gtk-doc-manual\\index.docbook";
  if (FileExists(gtkdoc)) manuals.push_back(gtkdoc);
  // The PostgreSQL manual the build's corpus step makes (when its source
  // package could be fetched).
  if (const char* source = std::getenv("QS_SOURCE_DIR")) {
    std::string postgres = std::string("Z:") + source + "/build/corpus/postgres.xml";
    for (char& c : postgres)
      if (c == '/') c = '\\';
    if (FileExists(postgres)) manuals.push_back(postgres);
  }
  if (manuals.empty()) GTEST_SKIP() << "no DocBook manual on this machine";
  for (const std::string& manual : manuals) {
    SCOPED_TRACE(manual);
    const ULONGLONG started = GetTickCount64();
    Start(Bin(), "\"" + manual + "\"");
    HWND main = WaitMain();
    ASSERT_NE(main, nullptr);
    HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
    HWND second = FindWindowExA(main, mainView, "Qs:DocWndCls", nullptr);
    HWND navigator = FindWindowExA(main, second, "Qs:DocWndCls", nullptr);
    ASSERT_NE(navigator, nullptr);
    ULONGLONG firstText = 0;
    ASSERT_TRUE(WaitUntil([&] {
      if (!firstText && IsWindowVisible(mainView) && DarkBands(mainView).size() >= 5)
        firstText = GetTickCount64();
      return firstText && IsWindowVisible(navigator) && DarkBands(navigator).size() >= 3;
    }, 90000)) << DescribeWindows(process_.id());
    std::printf("FIGURE start to first text in the main view: %llu ms (%s)\n",
                static_cast<unsigned long long>(firstText - started), manual.c_str());
    HWND messages = FindWindowExA(main, nullptr, "Qs:PMsgWndCls", nullptr);
    EXPECT_FALSE(IsWindowVisible(messages));
    int width = 0, height = 0;
    const std::vector<std::uint32_t> before = ScreenPixels(mainView, &width, &height);
    PostMessageA(mainView, WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_TRUE(WaitUntil([&] {
      int w = 0, h = 0;
      return ScreenPixels(mainView, &w, &h) != before;
    })) << "Page Down left the main view as it was";
    ExitAndExpectZero(main);
  }
}

// A point on a line of text below the title of a document view, in its
// client coordinates; {-1, -1} while there is none.
POINT TextPointIn(HWND view) {
  POINT text{-1, -1};
  if (!IsWindowVisible(view)) return text;
  int w = 0, h = 0;
  std::vector<std::uint32_t> shown = ScreenPixels(view, &w, &h);
  RECT r;
  GetWindowRect(view, &r);
  for (int y = 80; y < h && text.x < 0; ++y)
    for (int x = 20; x < w / 2; ++x)
      if ((shown[y * w + x] & 0xFF) < 60 && ((shown[y * w + x] >> 8) & 0xFF) < 60) {
        text = {r.left + x, r.top + y};
        ScreenToClient(view, &text);
        break;
      }
  return text;
}

// "Edit Navigator..." of the view's context menu at `at`: the editor's dialog.
HWND OpenNavigatorEditor(DWORD pid, HWND view, POINT at) {
  PostMessageA(view, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  HWND menu = nullptr;
  if (!WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000))
    return nullptr;
  PostMessageA(view, WM_CANCELMODE, 0, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  WaitUntil([&] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }, 5000);
  PostMessageA(view, WM_COMMAND, IDM_CTX_EDIT_NAVIGATOR, 0);
  return WaitForWindow(pid, "#32770", "Navigator Editor");
}

// The navigator editor's list, and an item of it selected as a click does.
std::vector<std::string> NavigatorEntries(HWND dialog) {
  std::vector<std::string> lines;
  HWND list = GetDlgItem(dialog, IDC_NAV_ENTRIES);
  for (int i = 0; i < ListBoxCount(list); ++i) lines.push_back(ListBoxText(list, i));
  return lines;
}
bool SelectNavigatorEntry(HWND dialog, const std::string& line) {
  HWND list = GetDlgItem(dialog, IDC_NAV_ENTRIES);
  for (int i = 0; i < ListBoxCount(list); ++i)
    if (ListBoxText(list, i) == line) {
      SendMessageA(list, LB_SETCURSEL, i, 0);
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_NAV_ENTRIES, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
      return true;
    }
  return false;
}

// The navigator editor on a copy of the sample manual: an entry added and
// made a body entry, one removed, the scale clamped by the engine; OK writes
// the navigator's file, Cancel leaves it as it was.
TEST_F(Viewer, WithTheRealEngineTheNavigatorEditorEditsTheNavigatorsFile) {
  const std::string folder = CurrentFolder() + "naved_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* file : {"manuale.sgm", "manuale.ssh", "manuale.nav", "fig1.bmp"})
    ASSERT_TRUE(CopyFileA((Bin() + "Manual\\" + file).c_str(), (folder + file).c_str(), FALSE)) << file;
  const std::string nav = folder + "manuale.nav";
  Start(Bin(), "\"" + folder + "manuale.sgm\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  // A point on a line of text below the title.
  POINT text{-1, -1};
  ASSERT_TRUE(WaitUntil([&] { return (text = TextPointIn(mainView)).x >= 0; })) << DescribeWindows(process_.id());
  auto openEditor = [&] { return OpenNavigatorEditor(process_.id(), mainView, text); };
  auto entries = NavigatorEntries;
  auto select = SelectNavigatorEntry;
  auto close = [](HWND dialog, int button) {
    PressButton(dialog, button);
    return WaitForWindowGone(dialog);
  };

  // Adding: the candidates climb from the element; an entry already listed
  // adds nothing; a new one goes to the list selected, made a body entry.
  HWND dialog = openEditor();
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  HWND combo = GetDlgItem(dialog, IDC_NAV_CANDIDATES);
  const LRESULT candidates = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  ASSERT_GE(candidates, 2);
  wchar_t own[128] = {}, parent[256] = {};
  SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(own));
  SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(parent));
  const std::wstring ownName = own, parentLine = parent;
  EXPECT_EQ(parentLine.substr(parentLine.size() - ownName.size() - 2), L": " + ownName);
  EXPECT_EQ(entries(dialog), (std::vector<std::string>{"FIGURE: CAP", "SECTION: TTL", "TABLE: TTL"}));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_NAV_REMOVE)));
  ASSERT_TRUE(SetWindowTextRemote(combo, "TABLE: TTL"));
  PressButton(dialog, IDC_NAV_ADD);
  ASSERT_TRUE(SetWindowTextRemote(combo, "PARA"));
  PressButton(dialog, IDC_NAV_ADD);
  ASSERT_TRUE(WaitUntil([&] { return entries(dialog).size() == 4; })) << entries(dialog).size();
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_NAV_REMOVE)));
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_NAV_TITLE), BM_GETCHECK, 0, 0), BST_CHECKED);
  PressButton(dialog, IDC_NAV_BODY);
  ASSERT_TRUE(WaitUntil([&] {
    return SendMessageA(GetDlgItem(dialog, IDC_NAV_BODY), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }));
  ASSERT_TRUE(close(dialog, IDOK));
  std::string written = ReadFileBytes(nav);
  std::size_t para = written.find("PARA");
  ASSERT_NE(para, std::string::npos) << written;
  const std::string paraLine = written.substr(written.rfind('<', para), written.find('>', para) - written.rfind('<', para));
  EXPECT_NE(paraLine.find("LOCATE"), std::string::npos) << paraLine;
  EXPECT_NE(paraLine.find("BODY"), std::string::npos) << paraLine;

  // Removing, then Cancel: the file keeps the entry.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(select(dialog, "PARA"));
  EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_NAV_BODY), BM_GETCHECK, 0, 0), BST_CHECKED);
  PressButton(dialog, IDC_NAV_REMOVE);
  ASSERT_TRUE(WaitUntil([&] { return entries(dialog).size() == 3; }));
  ASSERT_TRUE(close(dialog, IDCANCEL));
  EXPECT_EQ(ReadFileBytes(nav), written);

  // Removing and a scale outside the engine's bounds, then OK.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(entries(dialog).size(), 4u);
  ASSERT_TRUE(select(dialog, "PARA"));
  PressButton(dialog, IDC_NAV_REMOVE);
  ASSERT_TRUE(WaitUntil([&] { return entries(dialog).size() == 3; }));
  ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(dialog, IDC_NAV_MIN), "3"));
  ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(dialog, IDC_NAV_MAX), "200"));
  ASSERT_TRUE(close(dialog, IDOK));
  written = ReadFileBytes(nav);
  EXPECT_EQ(written.find("PARA"), std::string::npos) << written;
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_NAV_MIN)), "6");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_NAV_MAX)), "128");
  Screenshot(UnixPath(CurrentFolder()) + "viewer_navigator_editor.png");
  ASSERT_TRUE(close(dialog, IDCANCEL));
  ExitAndExpectZero(main);
}

// The navigator editor on a copy of the sample manual whose navigator also
// has an entry with a qualifier of its own. Cancel after Preview brings the
// navigator pane's pixels back; "CHAP: TTL" is written with its title path
// and "&Body" marks that line; the qualified entry, toggled and removed,
// changes its own line and no other; entries the engine holds already or
// without an element add nothing and change no entry; a navigator file that
// cannot be written keeps the dialog open with "Can't save", and the file.
TEST_F(Viewer, WithTheRealEngineTheNavigatorEditorKeepsEachEntryToItsOwnLine) {
  const std::string folder = CurrentFolder() + "navqual_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const char* file : {"manuale.sgm", "manuale.ssh", "fig1.bmp"})
    ASSERT_TRUE(CopyFileA((Bin() + "Manual\\" + file).c_str(), (folder + file).c_str(), FALSE)) << file;
  const std::string nav = folder + "manuale.nav";
  std::string fixture = ReadFileBytes(Bin() + "Manual\\manuale.nav");
  const std::size_t end = fixture.find("</TOC-DEF>");
  ASSERT_NE(end, std::string::npos) << fixture;
  fixture.insert(end, "<TOC BODY=SECTION QUAL=\"[TYPE]=x\" TITLE=TTL>\n");
  SetFileAttributesA(nav.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteFileBytes(nav, fixture));
  Start(Bin(), "\"" + folder + "manuale.sgm\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  HWND navigator =
      FindWindowExA(main, FindWindowExA(main, mainView, "Qs:DocWndCls", nullptr), "Qs:DocWndCls", nullptr);
  POINT text{-1, -1};
  ASSERT_TRUE(WaitUntil([&] { return (text = TextPointIn(mainView)).x >= 0; })) << DescribeWindows(process_.id());
  ASSERT_TRUE(WaitUntil([&] { return DarkBands(navigator).size() >= 3; }, 5000));
  auto pixels = [&] {
    int w = 0, h = 0;
    return ScreenPixels(navigator, &w, &h);
  };
  auto close = [](HWND dialog, int button) {
    PressButton(dialog, button);
    return WaitForWindowGone(dialog);
  };
  auto checked = [](HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  };
  auto add = [&](HWND dialog, const char* typed) {
    return SetWindowTextRemote(GetDlgItem(dialog, IDC_NAV_CANDIDATES), typed) &&
           PressButton(dialog, IDC_NAV_ADD);
  };
  using Texts = std::vector<std::string>;
  auto fileLines = [&] {
    Texts lines = Lines(ReadFileBytes(nav));
    for (std::string& line : lines)
      if (!line.empty() && line.back() == '\r') line.pop_back();
    return lines;
  };
  // The lines the file has more of than `before`, and those it has fewer of.
  auto changes = [&](const Texts& before) {
    const Texts now = fileLines();
    Texts added, gone;
    auto more = [](const Texts& a, const Texts& b, Texts* out) {
      for (const std::string& line : a)
        if (std::count(a.begin(), a.end(), line) > std::count(b.begin(), b.end(), line) &&
            std::find(out->begin(), out->end(), line) == out->end())
          out->push_back(line);
    };
    more(now, before, &added);
    more(before, now, &gone);
    return std::make_pair(added, gone);
  };
  const Texts listed{"FIGURE: CAP", "SECTION: TTL", "SECTION: TTL [[TYPE]=x]", "TABLE: TTL"};

  // Preview shows the navigator without its section entries; Cancel brings
  // back the pane and leaves the file.
  Sleep(500);
  const std::vector<std::uint32_t> shown = pixels();
  HWND dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(NavigatorEntries(dialog), listed);
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "SECTION: TTL"));
  PressButton(dialog, IDC_NAV_REMOVE);
  ASSERT_TRUE(WaitUntil([&] { return NavigatorEntries(dialog).size() == 3; }));
  PressButton(dialog, IDC_NAV_PREVIEW);
  EXPECT_TRUE(WaitUntil([&] { return pixels() != shown; }, 5000));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_navigator_preview.png");
  // A removed entry typed again comes back.
  ASSERT_TRUE(add(dialog, "SECTION: TTL"));
  EXPECT_TRUE(WaitUntil([&] { return NavigatorEntries(dialog) == listed; })) << NavigatorEntries(dialog).size();
  ASSERT_TRUE(close(dialog, IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return pixels() == shown; }, 5000)) << [&] {
    const std::vector<std::uint32_t> now = pixels();
    int w = 0, h = 0;
    ScreenPixels(navigator, &w, &h);
    std::string where;
    int n = 0;
    for (std::size_t i = 0; i < now.size() && i < shown.size(); ++i)
      if (now[i] != shown[i] && n++ < 10) where += std::to_string(i % w) + "," + std::to_string(i / w) + " ";
    return std::to_string(n) + " of " + std::to_string(w) + "x" + std::to_string(h) + ": " + where;
  }();
  Screenshot(UnixPath(CurrentFolder()) + "viewer_navigator_cancelled.png");
  EXPECT_EQ(ReadFileBytes(nav), fixture);

  // An entry with a title path, then made a body entry: one line each time.
  dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(NavigatorEntries(dialog), listed);
  ASSERT_TRUE(add(dialog, "CHAP: TTL"));
  ASSERT_TRUE(WaitUntil([&] { return NavigatorEntries(dialog).size() == 5; }));
  EXPECT_TRUE(checked(dialog, IDC_NAV_TITLE));
  ASSERT_TRUE(close(dialog, IDOK));
  Texts saved = fileLines();
  EXPECT_NE(std::find(saved.begin(), saved.end(), "<TOC BODY=\"CHAP\" TITLE=\"TTL\">"), saved.end())
      << ReadFileBytes(nav);
  dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "CHAP: TTL"));
  PressButton(dialog, IDC_NAV_BODY);
  ASSERT_TRUE(WaitUntil([&] { return checked(dialog, IDC_NAV_BODY); }));
  ASSERT_TRUE(close(dialog, IDOK));
  EXPECT_EQ(changes(saved), std::make_pair(Texts{"<TOC BODY=\"CHAP\" TITLE=\"TTL\" LOCATE=BODY>"},
                                           Texts{"<TOC BODY=\"CHAP\" TITLE=\"TTL\">"}));

  // The qualified entry made a body entry: its own line alone changes.
  saved = fileLines();
  const std::string qualified = "<TOC BODY=\"SECTION\" QUAL=\"[TYPE]=x\" TITLE=\"TTL\"";
  ASSERT_NE(std::find(saved.begin(), saved.end(), qualified + ">"), saved.end()) << ReadFileBytes(nav);
  dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "SECTION: TTL [[TYPE]=x]"));
  EXPECT_TRUE(checked(dialog, IDC_NAV_TITLE));
  PressButton(dialog, IDC_NAV_BODY);
  ASSERT_TRUE(WaitUntil([&] { return checked(dialog, IDC_NAV_BODY); }));
  ASSERT_TRUE(close(dialog, IDOK));
  EXPECT_EQ(changes(saved), std::make_pair(Texts{qualified + " LOCATE=BODY>"}, Texts{qualified + ">"}));

  // Entries that add nothing: one the engine holds already (the blank after
  // its path is trimmed) and one without an element. The list stays, and
  // "CHAP: TTL" stays a body entry. Then the qualified entry is removed:
  // its line alone goes.
  saved = fileLines();
  dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr);
  const Texts five = NavigatorEntries(dialog);
  ASSERT_EQ(five.size(), 5u);
  for (const char* typed : {"CHAP: TTL ", " CHAP :TTL", ": TTL", "  "}) {
    SCOPED_TRACE(typed);
    ASSERT_TRUE(add(dialog, typed));
    Sleep(200);
    EXPECT_EQ(NavigatorEntries(dialog), five);
  }
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "CHAP: TTL"));
  EXPECT_TRUE(checked(dialog, IDC_NAV_BODY));
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "SECTION: TTL [[TYPE]=x]"));
  PressButton(dialog, IDC_NAV_REMOVE);
  ASSERT_TRUE(WaitUntil([&] { return NavigatorEntries(dialog).size() == 4; }));
  ASSERT_TRUE(close(dialog, IDOK));
  EXPECT_EQ(changes(saved), std::make_pair(Texts{}, Texts{qualified + " LOCATE=BODY>"}));

  // A file that cannot be written: the engine says so, the editor says
  // "Can't save" and stays open with the change, and the file is as it was.
  const std::string bytes = ReadFileBytes(nav);
  SetFileAttributesA(nav.c_str(), FILE_ATTRIBUTE_READONLY);
  dialog = OpenNavigatorEditor(process_.id(), mainView, text);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SelectNavigatorEntry(dialog, "CHAP: TTL"));
  PressButton(dialog, IDC_NAV_TITLE);
  ASSERT_TRUE(WaitUntil([&] { return checked(dialog, IDC_NAV_TITLE); }));
  PressButton(dialog, IDOK);
  EXPECT_TRUE(AnswerMessageBox(process_.id(), kTitle, IDOK)) << DescribeWindows(process_.id());
  // The box has the dialog's caption: the one that is not the dialog.
  HWND box = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    box = nullptr;
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", "Navigator Editor"); w && !box;
         w = FindWindowExA(nullptr, w, "#32770", "Navigator Editor"))
      if (w != dialog && IsWindowVisible(w)) box = w;
    return box != nullptr;
  })) << DescribeWindows(process_.id());
  if (box) {
    EXPECT_NE(FindDescendant(box, "Static", "Can't save"), nullptr) << DescribeWindows(process_.id());
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitForWindowGone(box));
  }
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(checked(dialog, IDC_NAV_TITLE));
  EXPECT_EQ(ReadFileBytes(nav), bytes);
  ASSERT_TRUE(close(dialog, IDCANCEL));
  SetFileAttributesA(nav.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(nav), bytes);
  ExitAndExpectZero(main);
}

// The style sheet editor on a copy of the sample manual: the contexts of the
// clicked element and its parents; the PARA rule's Font Weight made Bold and
// saved, then Inherit removing it; Space Left taking "+=5" and "-3" but not
// "5px" or a value outside its field; Cancel after Preview leaving the file.
TEST_F(Viewer, WithTheRealEngineTheStyleSheetEditorEditsTheSheetsFile) {
  const std::string folder = CurrentFolder() + "sshed_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  // (A run that stopped half way may have left its copy read-only.)
  SetFileAttributesA((folder + "manuale.ssh").c_str(), FILE_ATTRIBUTE_NORMAL);
  for (const char* file : {"manuale.sgm", "manuale.ssh", "manuale.nav", "fig1.bmp"})
    ASSERT_TRUE(CopyFileA((Bin() + "Manual\\" + file).c_str(), (folder + file).c_str(), FALSE)) << file;
  const std::string ssh = folder + "manuale.ssh";
  // The cross references' colour by name.
  std::string sheet = ReadFileBytes(ssh);
  const std::size_t blue = sheet.find("<FONT-COLOR V=blue><LINKSRC");
  ASSERT_NE(blue, std::string::npos);
  sheet.replace(blue, std::strlen("<FONT-COLOR V=blue>"), "<FONT-COLOR V=\"NAVY\">");
  // The notes' rule with a qualified style.
  const std::size_t note = sheet.find("<A-TEXT V=\"Note: \">");
  ASSERT_NE(note, std::string::npos);
  sheet.insert(note, "<QUAL-STYLE QUAL=\"[TYPE]='warn'\"><FONT-WEIGHT V=Bold></QUAL-STYLE>");
  ASSERT_TRUE(WriteFileBytes(ssh, sheet));
  const std::string original = ReadFileBytes(ssh);
  Start(Bin(), "\"" + folder + "manuale.sgm\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  // A point on a line of text below the title.
  POINT text{-1, -1};
  ASSERT_TRUE(WaitUntil([&] { return (text = TextPointIn(mainView)).x >= 0; }))
      << DescribeWindows(process_.id());
  auto darkPixels = [&] {
    int w = 0, h = 0, dark = 0;
    for (std::uint32_t p : ScreenPixels(mainView, &w, &h))
      if ((p & 0xFF) < 60 && ((p >> 8) & 0xFF) < 60 && ((p >> 16) & 0xFF) < 60) ++dark;
    return dark;
  };
  auto openEditor = [&]() -> HWND {
    PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(text.x, text.y));
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000))
      return nullptr;
    PostMessageA(mainView, WM_CANCELMODE, 0, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    WaitUntil([&] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }, 5000);
    PostMessageA(mainView, WM_COMMAND, IDM_CTX_EDIT_STYLESHEET, 0);
    return WaitForWindow(process_.id(), "#32770", "Edit Style sheet");
  };
  auto comboItems = [](HWND combo) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      wchar_t item[600] = {};
      if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 600)
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      std::string narrow;
      for (const wchar_t* c = item; *c; ++c) narrow += static_cast<char>(*c);
      items.push_back(narrow);
    }
    return items;
  };
  auto lines = [](HWND dialog) {
    std::vector<std::string> shown;
    HWND list = GetDlgItem(dialog, IDC_SSH_PROPERTIES);
    for (int i = 0; i < ListBoxCount(list); ++i) shown.push_back(ListBoxText(list, i));
    return shown;
  };
  auto selectGroup = [](HWND dialog, int group) {
    HWND combo = GetDlgItem(dialog, IDC_SSH_GROUP);
    SendMessageA(combo, CB_SETCURSEL, group, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SSH_GROUP, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  };
  // The rule picked by its text in "Specify Style".
  auto pickRule = [&](HWND dialog, const char* rule) {
    PressButton(dialog, IDC_SSH_RULES);
    HWND chooser = WaitForWindow(process_.id(), "#32770", "Specify Style");
    if (!chooser) return false;
    HWND list = GetDlgItem(chooser, IDC_SSH_LIST);
    bool listed = false;
    for (int i = 0; i < ListBoxCount(list); ++i) listed = listed || ListBoxText(list, i) == rule;
    EXPECT_TRUE(listed) << rule;
    if (!SetWindowTextRemote(GetDlgItem(chooser, IDC_SSH_TEXT), rule)) return false;
    PressButton(chooser, IDOK);
    return WaitForWindowGone(chooser) &&
           WaitUntil([&] { return comboItems(GetDlgItem(dialog, IDC_SSH_ELEMENT)) == std::vector<std::string>{rule}; });
  };
  // A click on line `row` of the property list and choice `choice` of its popup.
  auto choose = [&](HWND dialog, int row, int choice) {
    HWND list = GetDlgItem(dialog, IDC_SSH_PROPERTIES);
    const int height = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    const int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, (row - top) * height + height / 2));
    return ChoosePopupMenuItemAt(process_.id(), choice);
  };
  auto close = [](HWND dialog, int button) {
    PressButton(dialog, button);
    return WaitForWindowGone(dialog);
  };
  auto paraRule = [&] {
    const std::string written = ReadFileBytes(ssh);
    const std::size_t at = written.find("TAG=\"PARA\"");
    if (at == std::string::npos) return std::string();
    return written.substr(at, written.find("</STYLE>", at) - at);
  };

  // The contexts grow outward from the element; "&P" gives its parent's.
  HWND dialog = openEditor();
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  std::vector<std::string> contexts = comboItems(GetDlgItem(dialog, IDC_SSH_ELEMENT));
  ASSERT_GE(contexts.size(), 2u);
  for (std::size_t i = 1; i < contexts.size(); ++i) {
    const std::string& c = contexts[i];
    ASSERT_GT(c.size(), contexts[i - 1].size() + 1);
    EXPECT_EQ(c.substr(c.size() - contexts[i - 1].size() - 1), "," + contexts[i - 1]) << c;
  }
  EXPECT_EQ(contexts.back().substr(0, 7), "SVCDOC,");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SSH_PARENT)));
  EXPECT_EQ(lines(dialog).size(), 10u);  // "Content"
  PressButton(dialog, IDC_SSH_PARENT);
  std::vector<std::string> parents;
  for (std::size_t i = 1; i < contexts.size(); ++i) parents.push_back(contexts[i].substr(0, contexts[i].rfind(',')));
  EXPECT_TRUE(WaitUntil([&] { return comboItems(GetDlgItem(dialog, IDC_SSH_ELEMENT)) == parents; }));
  selectGroup(dialog, 2);
  const std::vector<std::string> before = lines(dialog);
  ASSERT_EQ(before.size(), 11u);
  EXPECT_EQ(before.front(), "Text Before: None");
  EXPECT_EQ(before.back(), "Rule Before: No");

  // Font Weight "Bold" on the PARA rule, then OK: the file has it and the
  // paragraphs darken.
  ASSERT_TRUE(pickRule(dialog, "PARA"));
  selectGroup(dialog, 0);
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Inherit");
  const int darkBefore = darkPixels();
  ASSERT_TRUE(choose(dialog, 3, 2));
  ASSERT_TRUE(WaitUntil([&] { return lines(dialog)[3] == "Font Weight: Bold"; })) << lines(dialog)[3];
  ASSERT_TRUE(close(dialog, IDOK));
  EXPECT_NE(paraRule().find("FONT-WEIGHT"), std::string::npos) << paraRule();
  EXPECT_TRUE(WaitUntil([&] { return darkPixels() > darkBefore; })) << darkBefore;

  // "Inherit" takes it out again.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "PARA"));
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Bold");
  ASSERT_TRUE(choose(dialog, 3, 0));
  ASSERT_TRUE(WaitUntil([&] { return lines(dialog)[3] == "Font Weight: Inherit"; })) << lines(dialog)[3];
  ASSERT_TRUE(close(dialog, IDOK));
  const std::string saved = ReadFileBytes(ssh);
  EXPECT_EQ(paraRule().find("FONT-WEIGHT"), std::string::npos) << paraRule();
  EXPECT_NE(paraRule().find("SPC-BELOW"), std::string::npos) << paraRule();

  // A colour stored by name opens the colour dialog on it.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "XREF"));
  EXPECT_EQ(lines(dialog)[4], "Font Color: NAVY");
  ASSERT_TRUE(choose(dialog, 4, 1));
  HWND colours = WaitForWindow(process_.id(), "#32770", "Color");
  ASSERT_NE(colours, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(WindowText(GetDlgItem(colours, 706)), "0");  // red
  EXPECT_EQ(WindowText(GetDlgItem(colours, 707)), "0");  // green
  EXPECT_EQ(WindowText(GetDlgItem(colours, 708)), "128");  // blue
  PressButton(colours, IDCANCEL);
  ASSERT_TRUE(WaitForWindowGone(colours));
  EXPECT_EQ(lines(dialog)[4], "Font Color: NAVY");
  ASSERT_TRUE(close(dialog, IDCANCEL));

  // A sheet that cannot be written keeps the dialog, and the file.
  SetFileAttributesA(ssh.c_str(), FILE_ATTRIBUTE_READONLY);
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "PARA"));
  ASSERT_TRUE(choose(dialog, 3, 2));
  ASSERT_TRUE(WaitUntil([&] { return lines(dialog)[3] == "Font Weight: Bold"; }));
  PressButton(dialog, IDOK);
  // The engine reports the file it could not write, the editor that it
  // keeps the changes.
  EXPECT_TRUE(AnswerMessageBox(process_.id(), kTitle, IDOK)) << DescribeWindows(process_.id());
  EXPECT_TRUE(AnswerMessageBox(process_.id(), "Style Sheet", IDOK)) << DescribeWindows(process_.id());
  Sleep(200);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(ReadFileBytes(ssh), saved);
  ASSERT_TRUE(close(dialog, IDCANCEL));
  SetFileAttributesA(ssh.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(ssh), saved);

  // Space Left through its prompt: "5px" and a value beyond its field are
  // refused and the prompt stays; "+=5" and "-3" are taken.
  Sleep(500);
  int viewWidth = 0, viewHeight = 0;
  const std::vector<std::uint32_t> shown = ScreenPixels(mainView, &viewWidth, &viewHeight);
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "PARA"));
  selectGroup(dialog, 1);
  ASSERT_EQ(lines(dialog).size(), 8u);
  EXPECT_EQ(lines(dialog)[4], "Space Left: Inherit");
  auto specify = [&](const char* typed, bool taken) {
    SCOPED_TRACE(typed);
    if (!choose(dialog, 4, 1)) return false;
    HWND prompt = WaitForWindow(process_.id(), "#32770", "Specify...");
    if (!prompt) return false;
    EXPECT_EQ(WindowText(GetDlgItem(prompt, IDC_SSH_PROMPT)), "Space Left:");
    if (!SetWindowTextRemote(GetDlgItem(prompt, IDC_SSH_TEXT), typed)) return false;
    PressButton(prompt, IDOK);
    if (taken) return WaitForWindowGone(prompt);
    EXPECT_TRUE(AnswerMessageBox(process_.id(), "Error", IDOK)) << "no \"Invalid value\"";
    Sleep(200);
    EXPECT_TRUE(IsWindowVisible(prompt));
    PressButton(prompt, IDCANCEL);
    return WaitForWindowGone(prompt);
  };
  ASSERT_TRUE(specify("5px", false));
  ASSERT_TRUE(specify("-9000", false));
  EXPECT_EQ(lines(dialog)[4], "Space Left: Inherit");
  ASSERT_TRUE(specify("+=5", true));
  EXPECT_TRUE(WaitUntil([&] { return lines(dialog)[4] == "Space Left: +=5"; })) << lines(dialog)[4];
  ASSERT_TRUE(specify("-3", true));
  EXPECT_TRUE(WaitUntil([&] { return lines(dialog)[4] == "Space Left: -3"; })) << lines(dialog)[4];

  // Preview shows it; Cancel leaves the file's bytes as they were.
  ASSERT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SSH_PREVIEW)));
  PressButton(dialog, IDC_SSH_PREVIEW);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(dialog, IDC_SSH_PREVIEW)); }));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_style_sheet_editor.png");
  ASSERT_TRUE(close(dialog, IDCANCEL));
  EXPECT_EQ(ReadFileBytes(ssh), saved);
  EXPECT_NE(saved, original);
  EXPECT_TRUE(WaitUntil([&] {
    int w = 0, h = 0;
    return ScreenPixels(mainView, &w, &h) == shown;
  })) << "the preview stayed in the main view";

  // Qualified styles: the rule's own are listed after "(None)" and edited
  // on their own; a typed qualifier that is new starts empty and is saved
  // beside the others.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "NOTE"));
  HWND qualifiers = GetDlgItem(dialog, IDC_SSH_QUALIFIER);
  EXPECT_EQ(comboItems(qualifiers), (std::vector<std::string>{"(None)", "[TYPE]='warn'"}));
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Inherit");
  SendMessageA(qualifiers, CB_SETCURSEL, 1, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SSH_QUALIFIER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(qualifiers));
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Bold");
  EXPECT_EQ(lines(dialog)[4], "Font Color: Inherit");
  PressButton(dialog, IDC_SSH_QUALIFIERS);
  HWND chooser = WaitForWindow(process_.id(), "#32770", "Specify Qualifier");
  ASSERT_NE(chooser, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(ListBoxCount(GetDlgItem(chooser, IDC_SSH_LIST)), 1);
  ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(chooser, IDC_SSH_TEXT), "[TYPE]='info'"));
  PressButton(chooser, IDOK);
  ASSERT_TRUE(WaitForWindowGone(chooser));
  ASSERT_TRUE(WaitUntil([&] { return comboItems(qualifiers).size() == 3; }));
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Inherit");
  ASSERT_TRUE(choose(dialog, 2, 2));  // Font Slant: Italic
  ASSERT_TRUE(WaitUntil([&] { return lines(dialog)[2] == "Font Slant: Italic"; })) << lines(dialog)[2];
  ASSERT_TRUE(close(dialog, IDOK));
  const std::string qualified = ReadFileBytes(ssh);
  // (The file writes the quotes of a qualifier as references.)
  const std::size_t info = qualified.find("[TYPE]=&q;info&q;");
  ASSERT_NE(info, std::string::npos) << qualified;
  EXPECT_NE(qualified.find("FONT-SLANT", info), std::string::npos);
  EXPECT_LT(qualified.find("FONT-SLANT", info), qualified.find("</QUAL-STYLE>", info));
  EXPECT_NE(qualified.find("[TYPE]=&q;warn&q;"), std::string::npos) << qualified;

  // A typed qualifier that another one already has: "Yes" puts the record
  // being edited in its place.
  dialog = openEditor();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(pickRule(dialog, "NOTE"));
  qualifiers = GetDlgItem(dialog, IDC_SSH_QUALIFIER);
  ASSERT_EQ(comboItems(qualifiers).size(), 3u);
  SendMessageA(qualifiers, CB_SETCURSEL, 2, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SSH_QUALIFIER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(qualifiers));
  EXPECT_EQ(lines(dialog)[2], "Font Slant: Italic");
  PressButton(dialog, IDC_SSH_QUALIFIERS);
  chooser = WaitForWindow(process_.id(), "#32770", "Specify Qualifier");
  ASSERT_NE(chooser, nullptr);
  SendMessageA(GetDlgItem(chooser, IDC_SSH_LIST), LB_SETCURSEL, 1, 0);
  ASSERT_TRUE(SetWindowTextRemote(GetDlgItem(chooser, IDC_SSH_TEXT), "[TYPE]='warn'"));
  PressButton(chooser, IDOK);
  EXPECT_TRUE(AnswerMessageBox(process_.id(), "New or edited qualifier?", IDYES)) << DescribeWindows(process_.id());
  ASSERT_TRUE(WaitForWindowGone(chooser));
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<std::string> items = comboItems(qualifiers);
    const LRESULT at = SendMessageA(qualifiers, CB_GETCURSEL, 0, 0);
    return at >= 0 && at < static_cast<LRESULT>(items.size()) && items[static_cast<std::size_t>(at)] == "[TYPE]='warn'";
  }));
  EXPECT_EQ(comboItems(qualifiers).size(), 3u);
  EXPECT_EQ(lines(dialog)[2], "Font Slant: Italic");
  EXPECT_EQ(lines(dialog)[3], "Font Weight: Inherit");
  ASSERT_TRUE(close(dialog, IDOK));
  const std::string replaced = ReadFileBytes(ssh);
  const std::size_t warn = replaced.find("[TYPE]=&q;warn&q;");
  ASSERT_NE(warn, std::string::npos) << replaced;
  const std::string warnStyle = replaced.substr(warn, replaced.find("</QUAL-STYLE>", warn) - warn);
  EXPECT_NE(warnStyle.find("FONT-SLANT"), std::string::npos) << warnStyle;
  EXPECT_EQ(warnStyle.find("FONT-WEIGHT"), std::string::npos) << warnStyle;
  ExitAndExpectZero(main);
}

// The sample manual through the real engine: formatted in the main view with
// its navigator in the left quarter.
TEST_F(Viewer, WithTheRealEngineTheSampleManualShowsFormatted) {
  std::string manual = Bin() + "Manual\\manuale.sgm";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  HWND second = FindWindowExA(main, mainView, "Qs:DocWndCls", nullptr);
  HWND navigator = FindWindowExA(main, second, "Qs:DocWndCls", nullptr);
  ASSERT_NE(navigator, nullptr);
  std::vector<int> bands;
  ASSERT_TRUE(WaitUntil([&] {
    bands = IsWindowVisible(mainView) ? DarkBands(mainView) : std::vector<int>();
    return bands.size() >= 5 && IsWindowVisible(navigator) && DarkBands(navigator).size() >= 5;
  })) << bands.size() << "\n" << DescribeWindows(process_.id());
  RECT client, nav, view;
  GetClientRect(main, &client);
  GetWindowRect(navigator, &nav);
  GetWindowRect(mainView, &view);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&nav), 2);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&view), 2);
  int n = client.right / 4;
  EXPECT_EQ(nav.left, 4);
  EXPECT_EQ(nav.top, 30);
  EXPECT_EQ(nav.right - nav.left, n);
  EXPECT_EQ(view.left, n + 9);
  // The title, styled large, is the first band and taller than the body's
  // lines below it.
  ASSERT_GE(bands.size(), 5u);
  EXPECT_GT(bands[0], bands[bands.size() / 2]) << bands[0] << " " << bands[bands.size() / 2];
  Screenshot(UnixPath(CurrentFolder()) + "viewer_manual.png");
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), manual);

  // F1 opens it too when no document is named.
  Start(Bin(), "");
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  PostCommand(main, IDM_HELP);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) && DarkBands(mainView).size() >= 5; }));
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), Bin() + "Manual\\manuale.sgm");
}

// "Tear Off..." on the sample's figure (96 by 64 pixels): the engine asks
// for a window with event 8 and the figure window shows the picture in the
// lower pane, its overview 192 wide and 128 high in its bottom-right
// corner; the zoom settings read at start are written back at exit.
TEST_F(Viewer, WithTheRealEngineATornOffFigureShowsWithItsOverviewAndZooms) {
  SetValue("\\Zoom", "IGNHOTSPOTS", "Yes");
  SetValue("\\Zoom", "HOTSPOTS", "no");
  std::string manual = Bin() + "Manual\\manuale.sgm";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  HWND figure = FindWindowExA(main, nullptr, "Qs:FigWndCls", nullptr);
  ASSERT_NE(figure, nullptr);
  HWND overview = FindWindowExA(figure, nullptr, "Qs:OvwWndCls", nullptr);
  ASSERT_NE(overview, nullptr);
  POINT blue{};  // a wheel of the drawn grinder
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) && FindColour(mainView, 40, 80, 200, &blue); }))
      << DescribeWindows(process_.id());
  EXPECT_FALSE(IsWindowVisible(figure));
  // Printing the figure with none shown does nothing: no box, no window.
  // The splash goes on its own timer, so it is gone before the count.
  WaitUntil([] {
    HWND splash = FindWindowA("Qs:SplashWndCls", nullptr);
    return !splash || !IsWindowVisible(splash);
  }, 10000);
  const std::string windowsBefore = DescribeWindows(process_.id());
  PostCommand(main, IDM_PRINT_FIGURE);
  PostCommand(main, IDM_PREVIEW_FIGURE);
  Sleep(500);
  EXPECT_EQ(DescribeWindows(process_.id()), windowsBefore);
  // The grinder shows more than once in the document: "Tear Off..." on
  // each until one is the figure's entity.
  std::vector<POINT> candidates;
  WaitUntil([&] {
    int w = 0, h = 0;
    std::vector<std::uint32_t> shown = ScreenPixels(mainView, &w, &h);
    RECT r;
    GetWindowRect(mainView, &r);
    int lastY = -100;
    candidates.clear();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (shown[y * w + x] == 0x2850C8 && y > lastY + 16) {
          POINT p{r.left + x + 2, r.top + y + 3};
          ScreenToClient(mainView, &p);
          candidates.push_back(p);
          lastY = y;
        }
    return candidates.size() >= 2;
  });
  ASSERT_FALSE(candidates.empty());
  for (const POINT& at : candidates) {
    PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr &&
                                       IsWindowVisible(menu); }, 5000));
    PostMessageA(mainView, WM_CANCELMODE, 0, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }, 5000));
    PostMessageA(mainView, WM_COMMAND, IDM_CTX_TEAR_OFF, 0);
    if (WaitUntil([&] { return IsWindowVisible(figure) != FALSE; }, 3000)) break;
  }
  ASSERT_TRUE(IsWindowVisible(figure)) << candidates.size() << "\n" << DescribeWindows(process_.id());

  RECT view, fig, client, ovw;
  GetWindowRect(mainView, &view);
  GetWindowRect(figure, &fig);
  GetClientRect(figure, &client);
  EXPECT_GT(fig.top, view.bottom);  // the lower pane
  EXPECT_TRUE(IsWindowVisible(overview));
  GetWindowRect(overview, &ovw);
  MapWindowPoints(nullptr, figure, reinterpret_cast<POINT*>(&ovw), 2);
  EXPECT_EQ(ovw.right - ovw.left, 192);
  EXPECT_EQ(ovw.bottom - ovw.top, 128);
  EXPECT_EQ(ovw.left, client.right - 192 + 1);
  EXPECT_EQ(ovw.top, client.bottom - 128 + 1);

  // The picture itself, in the window and scaled in its overview.
  POINT at{};
  EXPECT_TRUE(WaitUntil([&] { return FindColour(figure, 40, 80, 200, &at); }))
      << DescribeWindows(process_.id());
  EXPECT_TRUE(WaitUntil([&] { return FindColour(overview, 40, 80, 200, &at); }));
  // The new layout leaves the navigator's entries standing.
  HWND navigator = FindWindowExA(main, FindWindowExA(main, mainView, "Qs:DocWndCls", nullptr),
                                 "Qs:DocWndCls", nullptr);
  EXPECT_TRUE(WaitUntil([&] { return DarkBands(navigator).size() >= 3; }, 3000));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_figure.png");

  // Zoom in, out (twice, below where it started) and back to 100 per cent:
  // each redraws the picture at another size.
  auto pixels = [&] {
    int w = 0, h = 0;
    return ScreenPixels(figure, &w, &h);
  };
  std::vector<std::uint32_t> shown = pixels();
  ASSERT_FALSE(shown.empty());
  const struct {
    int command, times;
  } zooms[] = {{IDM_ZOOM_IN, 1}, {IDM_ZOOM_OUT, 2}, {IDM_ZOOM_RESET, 1}};
  for (const auto& zoom : zooms) {
    for (int i = 0; i < zoom.times; ++i) PostCommand(main, zoom.command);
    std::vector<std::uint32_t> now;
    EXPECT_TRUE(WaitUntil([&] { return (now = pixels()) != shown; }, 5000)) << zoom.command;
    Sleep(300);  // a step's paint done
    shown = pixels();
  }
  Screenshot(UnixPath(CurrentFolder()) + "viewer_figure_zoomed.png");

  // The figure previewed as a document of its own: one page.
  PostCommand(main, IDM_PREVIEW_FIGURE);
  HWND preview = WaitForWindow(process_.id(), "Qs:PrnPrvwMgrWndCls", "Print Preview", true, 10000);
  ASSERT_NE(preview, nullptr) << DescribeWindows(process_.id());
  Screenshot(UnixPath(CurrentFolder()) + "viewer_figure_preview.png");
  PostMessageA(preview, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitForWindowGone(preview));

  // The figure printed: this prefix has no printer, so the engine's error
  // 41 reaches the viewer (which leaves it to the engine's own box); once
  // it is answered the viewer goes on, the figure still shown.
  PostCommand(main, IDM_PRINT_FIGURE);
  HWND box = WaitForWindow(process_.id(), "#32770", nullptr, true, 15000);
  ASSERT_NE(box, nullptr) << DescribeWindows(process_.id());
  EXPECT_NE(FindDescendant(box, "Static", "Can't create printer DC"), nullptr)
      << DescribeWindows(process_.id());
  Screenshot(UnixPath(CurrentFolder()) + "viewer_figure_print.png");
  PressButton(box, IDOK);
  EXPECT_TRUE(WaitForWindowGone(box));
  EXPECT_TRUE(IsWindowVisible(figure));
  DWORD_PTR answered = 0;
  EXPECT_NE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answered), 0);
  EXPECT_EQ(WaitForWindow(process_.id(), "#32770", nullptr, true, 500), nullptr)
      << DescribeWindows(process_.id());

  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\Zoom", "IGNHOTSPOTS"), "Yes");
  EXPECT_EQ(GetValue("\\Zoom", "HOTSPOTS"), "No");
  EXPECT_EQ(GetValue("\\Zoom", "OVERVIEW"), "Yes");
  EXPECT_EQ(GetValue("\\Zoom", "CENTER"), "Yes");
  EXPECT_EQ(GetValue("\\Zoom", "SUPPRESS"), "No");
}

// The first three bands of dark rows: the top of the view, above the
// sample's figure, whose picture changes on its own.
std::vector<int> TopBands(HWND window) {
  std::vector<int> bands = DarkBands(window);
  if (bands.size() > 3) bands.resize(3);
  return bands;
}

// A part name of the sample's parts list, searched as text in "Parts List",
// brings its row into the main view (the parts table lies below the first
// screen); the search's settings are kept.
TEST_F(Viewer, WithTheRealEngineATextSearchShowsItsHit) {
  std::string manual = Bin() + "Manual\\manuale.sgm";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) && DarkBands(mainView).size() >= 5; }));
  std::vector<int> before = TopBands(mainView);
  PostCommand(main, IDM_TEXT_SEARCH);
  HWND dialog = WaitForWindow(process_.id(), "#32770", "Text Search");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  ASSERT_TRUE(SetWindowTextRemote(FindControl(dialog, IDC_SEARCH_TEXT), "Housing"));
  SendMessageA(FindControl(dialog, IDC_SEARCH_IN), CB_SETCURSEL, 6, 0);  // "Parts List"
  SendMessageA(FindControl(dialog, IDC_SEARCH_MARKUP), BM_SETCHECK, BST_UNCHECKED, 0);
  PressButton(dialog, IDOK);
  ASSERT_TRUE(WaitForWindowGone(dialog));
  EXPECT_TRUE(WaitUntil([&] { return TopBands(mainView) != before; }, 10000));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_search_hit.png");
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\Search Mode\\String Search", "SEARCH0"), "Housing");
  EXPECT_EQ(GetValue("\\Search Mode\\String Search", "SEARCHIN"), "Parts List");
  EXPECT_EQ(GetValue("\\Search Mode\\String Search", "MARKUP"), "No");
}

TEST_F(Viewer, WithTheRealEngineBackReturnsToTheDocumentBefore) {
  std::string folder = CurrentFolder() + "back_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string other = folder + "other.sgm";
  ASSERT_TRUE(WriteFileBytes(other, "<!DOCTYPE doc [<!ELEMENT doc - - (#PCDATA)>]>\n<doc>other</doc>\n"));
  std::string manual = Bin() + "Manual\\manuale.sgm";
  SetValue("\\MRU", "HIST0", other);
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return DarkBands(mainView).size() >= 5; }));
  PostCommand(main, IDM_RECENT_FIRST);  // other.sgm
  ASSERT_TRUE(WaitUntil([&] { return DarkBands(mainView).size() < 5; }));
  PostCommand(main, IDM_BACK);
  EXPECT_TRUE(WaitUntil([&] { return DarkBands(mainView).size() >= 5; }));
  ExitAndExpectZero(main);
  EXPECT_EQ(GetValue("\\MRU", "HIST0"), manual);
  EXPECT_EQ(GetValue("\\MRU", "HIST1"), other);
}

// The viewer's text-bitmap notation through the real engine: a TBM file
// entity offered 200 pixels wide by its WIDTH, and an inline bitmap shown as
// a widget, each drawn in its own colours.
TEST_F(Viewer, WithTheRealEngineTextBitmapsShowInTheirColours) {
  std::string folder = CurrentFolder() + "tbm_" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  // 20 x 6 pixels of one green; the inline one 24 x 8 of one purple.
  std::string file = "20 6 2\n g 12AB34\n w ffffff\n";
  for (int y = 0; y < 6; ++y) file += std::string(20, 'g') + "\n";
  ASSERT_TRUE(WriteFileBytes(folder + "fig.tbm", file));
  std::string inline_ = "24 8 1 p C81E64";
  for (int y = 0; y < 8; ++y) inline_ += " " + std::string(24, 'p');
  ASSERT_TRUE(WriteFileBytes(folder + "tbm.ssh",
      "<!DOCTYPE STYLESHEET PUBLIC \"-//Quenda//DTD Stylesheet v2.00//EN\">\n"
      "<STYLESHEET NAME=\"Tbm\" VERSION=\"2.00\">\n"
      "<STYLE TAG=\"P\"><BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
      "<STYLE TAG=\"PIC\"><BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
      "<STYLE TAG=\"BITS\"><WIDGET V=\"TBM\"><BREAK-BEFORE V=Line><BREAK-AFTER V=Line></STYLE>\n"
      "</STYLESHEET>\n"));
  std::string doc = folder + "tbm.sgm";
  ASSERT_TRUE(WriteFileBytes(doc,
      "<!DOCTYPE doc [<!ELEMENT doc - - (p|pic|bits)*><!ELEMENT p - - (#PCDATA)>"
      "<!ELEMENT pic - - (#PCDATA)>"
      "<!ELEMENT bits - - (#PCDATA)>"
      "<!NOTATION TBM SYSTEM \"tbm\"><!ATTLIST #NOTATION TBM width CDATA #IMPLIED>"
      "<!ENTITY fig SYSTEM \"fig.tbm\" NDATA TBM [width=\"200\"]>]>\n"
      "<?STYLESPEC \"Tbm\" \"tbm.ssh\">\n"
      "<doc><p>Two text bitmaps</p><pic>&fig;</pic><bits>" + inline_ + "</bits><p>End</p></doc>\n"));
  Start(Bin(), "\"" + doc + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  ASSERT_NE(mainView, nullptr);
  // The longest run of each colour in any row of the view.
  auto runs = [&](std::uint32_t colour) {
    RECT r;
    GetWindowRect(mainView, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return 0;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int best = 0;
    if (bitmap && bits) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
      GdiFlush();
      const auto* p = static_cast<const std::uint32_t*>(bits);
      for (int y = 0; y < h; ++y)
        for (int x = 0, run = 0; x < w; ++x) {
          run = (p[y * w + x] & 0xFFFFFF) == colour ? run + 1 : 0;
          if (run > best) best = run;
        }
      SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return best;
  };
  int green = 0, purple = 0;
  EXPECT_TRUE(WaitUntil([&] {
    green = IsWindowVisible(mainView) ? runs(0x12AB34) : 0;
    purple = IsWindowVisible(mainView) ? runs(0xC81E64) : 0;
    return green >= 200 && purple >= 24;
  })) << green << " " << purple;
  EXPECT_LT(green, 205);  // 200 wide, not the bitmap's own 20
  Screenshot(UnixPath(CurrentFolder()) + "viewer_tbm.png");
  ExitAndExpectZero(main);
}

// ---- The order hand-off, end to end --------------------------------------------

// The harness's own engine: a view of the same engine, client size,
// document, sheet and flags lays the document out as the viewer's main view
// does, so a point that lies on a cell here lies on it there.
class EngineProbe {
 public:
  ~EngineProbe() {
    if (view_) DestroyWindow(view_);
    if (sheet_) releaseHandle_(sheet_);
    if (document_) releaseHandle_(document_);
    if (started_) terminate_();
    if (engine_) FreeLibrary(engine_);
  }

  // Shows `document` with its first sheet in a window as large as `like`.
  bool Open(const std::string& document, HWND like, const std::string& temp) {
    engine_ = LoadLibraryA((Bin() + "QSENGINE.dll").c_str());
    if (!engine_ || !Bind(initialize_, "QsInitialize") || !Bind(terminate_, "QsTerminate") ||
        !Bind(registerNotation_, "QsRegisterNotation") || !Bind(setCharset_, "QsSetCharset") ||
        !Bind(parse_, "QsParseDocument") || !Bind(loadSheet_, "QsLoadStyleSheet") ||
        !Bind(display_, "QsDisplay") || !Bind(nodeAtPoint_, "QsNodeAtPoint") ||
        !Bind(elementName_, "QsGetElementName") || !Bind(gotoParent_, "QsGotoParent") ||
        !Bind(gotoFirstChild_, "QsGotoFirstChild") || !Bind(dupNode_, "QsDupNode") ||
        !Bind(getText_, "QsGetText") || !Bind(releaseHandle_, "QsReleaseHandle") ||
        !Bind(g_defWindowProc, "QsDefWindowProc"))
      return false;
    // As the viewer starts its engine, from the same program folder.
    if (!initialize_(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Probe",
                     (Bin() + "catalog\\catalog").c_str(), (Bin() + "entityrc\\entityrc").c_str(),
                     (Bin() + "setup").c_str(), temp.c_str(), Bin().c_str()))
      return false;
    started_ = true;
    const char* const kAny = reinterpret_cast<const char*>(1);
    for (const char* n : {"JPG", "GIF", "BMP"}) registerNotation_(n, n, kAny, kAny);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Probe:DocWndCls";
    RegisterClassA(&wc);
    RECT outer, inner;
    GetWindowRect(like, &outer);
    GetClientRect(like, &inner);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrA(like, GWL_STYLE));
    // Off the desktop: the viewer stays in sight for the screenshots.
    view_ = CreateWindowA(wc.lpszClassName, "", WS_POPUP | WS_VISIBLE | (style & WS_BORDER),
                          -3000, 0, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                          nullptr, wc.hInstance, nullptr);
    if (!view_) return false;
    document_ = parse_(document.c_str(), nullptr, 0, nullptr, 0);
    setCharset_(1);
    sheet_ = document_ ? loadSheet_(document_, 0, nullptr, 0) : 0;
    if (!sheet_ || !display_(reinterpret_cast<QsWindow>(view_), document_, sheet_, 0, 0, 0, 0,
                             0x380))
      return false;
    Pump();
    // The scroll bars the engine adds take their room alike on both.
    RECT own;
    GetClientRect(view_, &own);
    if (own.right != inner.right || own.bottom != inner.bottom) {
      SetWindowPos(view_, nullptr, 0, 0, outer.right - outer.left + inner.right - own.right,
                   outer.bottom - outer.top + inner.bottom - own.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      Pump();
      GetClientRect(view_, &own);
    }
    return own.right == inner.right && own.bottom == inner.bottom;
  }

  void PageDown() {
    SendMessageA(view_, WM_VSCROLL, SB_PAGEDOWN, 0);
    Pump();
  }

  // A point in the middle of a cell of the parts-list row whose first cell
  // reads `first`: of the row's cells, the one that covers most of the
  // points looked at. False when the row is not in sight.
  bool FindRow(const std::string& first, POINT* at) {
    RECT client;
    GetClientRect(view_, &client);
    std::vector<std::pair<std::string, POINT>> hits;  // (cell text, point)
    // Rows are a text line high, cells many characters wide.
    for (int y = 1; y < client.bottom; y += 3) {
      for (int x = 1; x < client.right; x += 8) {
        std::string cell;
        if (RowAt(x, y, &cell) == first) hits.push_back({cell, POINT{x, y}});
      }
    }
    if (hits.empty()) return false;
    std::string best;
    std::size_t most = 0;
    for (const auto& hit : hits) {
      std::size_t n = 0;
      for (const auto& other : hits) n += other.first == hit.first;
      if (n > most) most = n, best = hit.first;
    }
    std::vector<POINT> points;
    for (const auto& hit : hits)
      if (hit.first == best) points.push_back(hit.second);
    long left = points[0].x, right = left, top = points[0].y, bottom = top;
    for (POINT p : points) {
      left = std::min(left, p.x), right = std::max(right, p.x);
      top = std::min(top, p.y), bottom = std::max(bottom, p.y);
    }
    *at = {(left + right) / 2, (top + bottom) / 2};
    std::string cell;
    return RowAt(at->x, at->y, &cell) == first && cell == best;
  }

 private:
  template <typename Fn>
  bool Bind(Fn& slot, const char* function) {
    return BindEngineExport(engine_, slot, function);
  }

  void Pump() {
    DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < 300) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      Sleep(10);
    }
  }

  std::string Text(QsHandle node) {
    char buffer[256] = "";
    getText_(node, 0, buffer, sizeof buffer);
    return buffer;
  }

  // The first cell's text of the "ROW" at the point, and the text of the
  // "ENTRY" there; empty outside a row.
  std::string RowAt(int x, int y, std::string* cell) {
    QsHandle node = nodeAtPoint_(reinterpret_cast<QsWindow>(view_), x, y);
    std::string first;
    cell->clear();
    for (bool up = node != 0; up; up = gotoParent_(node) > 0) {
      const char* name = elementName_(node);
      if (!name) break;
      if (cell->empty() && std::strcmp(name, "ENTRY") == 0) *cell = Text(node);
      if (std::strcmp(name, "ROW") == 0) {
        QsHandle child = dupNode_(node);
        if (child && gotoFirstChild_(child) > 0) first = Text(child);
        if (child) releaseHandle_(child);
        break;
      }
    }
    if (node) releaseHandle_(node);
    return cell->empty() ? std::string() : first;
  }

  static LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_defWindowProc(reinterpret_cast<QsWindow>(window), message,
                           static_cast<QsWord>(wParam), static_cast<QsWord>(lParam));
  }
  static inline decltype(&::QsDefWindowProc) g_defWindowProc = nullptr;

  HMODULE engine_ = nullptr;
  bool started_ = false;
  HWND view_ = nullptr;
  QsHandle document_ = 0, sheet_ = 0;
  decltype(&::QsInitialize) initialize_ = nullptr;
  decltype(&::QsTerminate) terminate_ = nullptr;
  decltype(&::QsRegisterNotation) registerNotation_ = nullptr;
  decltype(&::QsSetCharset) setCharset_ = nullptr;
  decltype(&::QsParseDocument) parse_ = nullptr;
  decltype(&::QsLoadStyleSheet) loadSheet_ = nullptr;
  decltype(&::QsDisplay) display_ = nullptr;
  decltype(&::QsNodeAtPoint) nodeAtPoint_ = nullptr;
  decltype(&::QsGetElementName) elementName_ = nullptr;
  decltype(&::QsGotoParent) gotoParent_ = nullptr;
  decltype(&::QsGotoFirstChild) gotoFirstChild_ = nullptr;
  decltype(&::QsDupNode) dupNode_ = nullptr;
  decltype(&::QsGetText) getText_ = nullptr;
  decltype(&::QsReleaseHandle) releaseHandle_ = nullptr;
};

// Webs and bookmarks with the real engine. The open webs are kept in the
// private profile CV20CP.INI (this prefix's), section "Web List".
class Webs : public Viewer {
 protected:
  void SetUp() override {
    Viewer::SetUp();
    ClearProfile();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = CurrentFolder() + "webs_" + info->name() + "_" + std::to_string(GetCurrentProcessId()) +
              "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    Viewer::TearDown();
    ClearProfile();
  }
  static void ClearProfile() { WritePrivateProfileStringA("Web List", nullptr, nullptr, "CV20CP.INI"); }
  static std::string Profile(const char* key) {
    char value[512] = "";
    GetPrivateProfileStringA("Web List", key, "<missing>", value, sizeof value, "CV20CP.INI");
    return value;
  }
  static void SetProfile(const char* key, const std::string& value) {
    WritePrivateProfileStringA("Web List", key, value.c_str(), "CV20CP.INI");
  }
  // A web file named `name` with the anchors given, on the sample manual.
  std::string Web(const std::string& name, const std::string& anchors = "") {
    std::string path = folder_ + name;
    EXPECT_TRUE(WriteFileBytes(
        path, "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n<!ENTITY M SYSTEM \"" +
                  Bin() + "Manual\\manuale.sgm\" NDATA SGML>]>\n<web><webname>" + name +
                  "</webname>\n<doc><title>m</title>" + anchors + "</doc>\n</web>\n"));
    return path;
  }
  // Opens `path` through "&Open..." and its "Open/Create Web" dialog.
  void OpenThroughMenu(HWND main, const std::string& path) {
    PostCommand(main, IDM_WEB_OPEN);
    HWND dialog = WaitForFileDialog(process_.id(), "Open/Create Web");
    ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
    ASSERT_TRUE(FillFileDialog(dialog, path));
    ASSERT_TRUE(WaitForWindowGone(dialog));
  }
  std::string folder_;
};

// The profile's list ends at its first gap; "&Open..." refuses a web
// already open and a 17th, opens another and makes a new one; choosing a web's item makes
// it the one edited (WRWEB) and choosing it again ends that.
TEST_F(Webs, WithTheRealEngineTheWebListIsKeptInTheProfile) {
  const std::string a = Web("a.web"), b = Web("b.web"), c = Web("c.web");
  SetProfile("WEB00", a);
  SetProfile("WEB02", c);
  Start(Bin());
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  OpenThroughMenu(main, a);
  ExpectBox("Web is already open", a.c_str());
  OpenThroughMenu(main, b);
  // A name not yet used makes a new web with the title asked for.
  const std::string made = folder_ + "made.web";
  DeleteFileA(made.c_str());  // a run before may have left it (process ids repeat)
  OpenThroughMenu(main, made);
  HWND input = WaitForWindow(process_.id(), "#32770", "Create Web");
  ASSERT_NE(input, nullptr) << DescribeWindows(process_.id());
  ASSERT_TRUE(SetWindowTextRemote(FindControl(input, 102), "Made here"));
  PressButton(input, IDOK);
  ASSERT_TRUE(WaitForWindowGone(input));
  PostCommand(main, IDM_WEB_FIRST + 1);  // b is edited
  ExitAndExpectZero(main);
  EXPECT_EQ(Profile("WEB00"), a);
  EXPECT_EQ(Profile("WEB01"), b);
  EXPECT_EQ(Profile("WEB02"), made);
  EXPECT_EQ(Profile("WEB03"), "<missing>");
  EXPECT_EQ(Profile("WRWEB"), "1");
  EXPECT_NE(ReadFileBytes(made).find("Made here"), std::string::npos) << ReadFileBytes(made);

  // b is edited from the start; its item again ends that.
  Start(Bin());
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  PostCommand(main, IDM_WEB_FIRST + 1);
  ExitAndExpectZero(main);
  EXPECT_EQ(Profile("WEB01"), b);
  EXPECT_EQ(Profile("WRWEB"), "<missing>");

  // Sixteen open: a 17th is refused, and closing one keeps the rest.
  for (int i = 0; i < 16; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "WEB%02d", i);
    SetProfile(key, Web("w" + std::to_string(i) + ".web"));
  }
  Start(Bin());
  main = WaitMain();
  ASSERT_NE(main, nullptr);
  const std::string seventeenth = Web("w16.web");
  OpenThroughMenu(main, seventeenth);
  ExpectBox("Can't open more than 16 webs", seventeenth.c_str());
  PostCommand(main, IDM_WEB_CLOSE_FIRST);  // w0
  ExitAndExpectZero(main);
  EXPECT_EQ(Profile("WEB00"), folder_ + "w1.web");
  EXPECT_EQ(Profile("WEB14"), folder_ + "w15.web");
  EXPECT_EQ(Profile("WEB15"), "<missing>");
}

// A web with two bookmarks and an anchor that is only a note: the menu and
// the dialog list the two bookmarks, both show their place in the main
// view, and a bookmark deleted in the dialog leaves the list and the web.
TEST_F(Webs, WithTheRealEngineBookmarksAreListedShownAndDeleted) {
  auto anchor = [](const char* id, const char* target, const char* head, bool bookmark) {
    return std::string("<anchor id=") + id + " linkend=" + id + "N" + (bookmark ? " bookmark=1" : "") +
           "><loc><nameloc id=" + id + "N><nmlist docorsub=M>" + target +
           "</nmlist></nameloc></loc>" + (bookmark ? "<head>" : "<note>") + head +
           (bookmark ? "</head>" : "</note>") + "</anchor>\n";
  };
  const std::string marks = Web("marks.web", anchor("A1", "S3", "Parts list mark", true) +
                                                 anchor("A2", "S4", "Maintenance mark", true) +
                                                 anchor("A3", "S1", "Only a note", false));
  SetProfile("WEB00", marks);
  SetProfile("WRWEB", "0");  // edited: its anchors may be deleted
  std::string manual = Bin() + "Manual\\manuale.sgm";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  auto pixels = [&] {
    int w = 0, h = 0;
    return ScreenPixels(mainView, &w, &h);
  };
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) && DarkBands(mainView).size() >= 5; }));
  Sleep(300);
  const std::vector<std::uint32_t> top = pixels();

  // The second bookmark's item shows the maintenance section.
  PostCommand(main, IDM_BOOKMARK_FIRST + 1);
  ASSERT_TRUE(WaitUntil([&] { return pixels() != top; }, 5000));
  Sleep(300);
  const std::vector<std::uint32_t> maintenance = pixels();
  PostMessageA(main, WM_KEYDOWN, VK_HOME, 0);
  ASSERT_TRUE(WaitUntil([&] { return pixels() != maintenance; }, 5000));

  PostCommand(main, IDM_BOOKMARKS);
  HWND dialog = WaitForWindow(process_.id(), "#32770", "Bookmarks");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  HWND list = FindControl(dialog, IDC_BOOKMARK_LIST);
  ASSERT_EQ(ListBoxCount(list), 2);
  EXPECT_EQ(ListBoxText(list, 0), "Parts list mark");
  EXPECT_EQ(ListBoxText(list, 1), "Maintenance mark");
  HWND locate = FindControl(dialog, IDC_BOOKMARK_LOCATE);
  EXPECT_FALSE(IsWindowEnabled(locate));  // nothing chosen yet
  auto choose = [&](int row) {
    SendMessageA(list, LB_SETCURSEL, row, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BOOKMARK_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  };
  choose(1);
  EXPECT_TRUE(IsWindowEnabled(locate));
  PressButton(dialog, IDC_BOOKMARK_LOCATE);
  Sleep(500);
  PressButton(dialog, IDOK);
  ASSERT_TRUE(WaitForWindowGone(dialog));
  EXPECT_TRUE(WaitUntil([&] { return pixels() == maintenance; }, 5000));

  PostCommand(main, IDM_BOOKMARKS);
  dialog = WaitForWindow(process_.id(), "#32770", "Bookmarks");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(process_.id());
  list = FindControl(dialog, IDC_BOOKMARK_LIST);
  choose(0);
  PressButton(dialog, IDC_BOOKMARK_DELETE);
  EXPECT_TRUE(WaitUntil([&] { return ListBoxCount(list) == 1; }, 5000));
  EXPECT_EQ(ListBoxText(list, 0), "Maintenance mark");
  Screenshot(UnixPath(CurrentFolder()) + "viewer_bookmarks.png");
  // "&Note..." runs the engine's note dialog on the chosen bookmark; the
  // note typed there and OK'd goes into the web.
  choose(0);
  EXPECT_TRUE(IsWindowEnabled(FindControl(dialog, IDC_BOOKMARK_NOTE)));
  PressButton(dialog, IDC_BOOKMARK_NOTE);
  HWND note = WaitForWindow(process_.id(), "#32770", "Annotation");
  ASSERT_NE(note, nullptr) << DescribeWindows(process_.id());
  EXPECT_EQ(WindowText(FindControl(note, 103)), "Maintenance mark");
  ASSERT_TRUE(WaitUntil([&] {
    return SetWindowTextRemote(FindControl(note, 108), "Check the wheel guard") &&
           WindowText(FindControl(note, 108)) == "Check the wheel guard";
  }));
  Screenshot(UnixPath(CurrentFolder()) + "viewer_bookmark_note.png");
  PressButton(note, IDOK);
  ASSERT_TRUE(WaitForWindowGone(note));
  EXPECT_TRUE(IsWindowVisible(dialog));  // back in the bookmarks, which stay as they were
  EXPECT_EQ(ListBoxCount(list), 1);
  PressButton(dialog, IDOK);
  ASSERT_TRUE(WaitForWindowGone(dialog));

  // A web that cannot be written is not closed: the failure is told and the
  // web stays open with its change. Written, it is closed and its bookmarks leave the list. (The
  // file is read only after exit: a reader holding it would fail the save.)
  auto bookmarksListed = [&] {
    PostCommand(main, IDM_BOOKMARKS);
    HWND shown = WaitForWindow(process_.id(), "#32770", "Bookmarks");
    EXPECT_NE(shown, nullptr) << DescribeWindows(process_.id());
    if (!shown) return -1;
    const int count = ListBoxCount(FindControl(shown, IDC_BOOKMARK_LIST));
    PressButton(shown, IDOK);
    EXPECT_TRUE(WaitForWindowGone(shown));
    return count;
  };
  auto hold = [&] {
    return CreateFileA(marks.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  // Its editing ended while the file cannot be replaced: the change waits
  // for the web's close.
  HANDLE held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PostCommand(main, IDM_WEB_FIRST);
  EXPECT_TRUE(AnswerMessageBox(process_.id(), kTitle, IDOK)) << DescribeWindows(process_.id());
  CloseHandle(held);
  held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PostCommand(main, IDM_WEB_CLOSE_FIRST);
  EXPECT_TRUE(AnswerMessageBox(process_.id(), kTitle, IDOK)) << DescribeWindows(process_.id());
  EXPECT_EQ(bookmarksListed(), 1);
  CloseHandle(held);
  PostCommand(main, IDM_WEB_CLOSE_FIRST);
  EXPECT_EQ(bookmarksListed(), 0);
  ExitAndExpectZero(main);

  const std::string saved = ReadFileBytes(marks);
  EXPECT_EQ(saved.find("Parts list mark"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Maintenance mark"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Only a note"), std::string::npos) << saved;
  // The note belongs to the maintenance bookmark's anchor.
  const std::size_t head = saved.find("Maintenance mark"), typed = saved.find("Check the wheel guard");
  EXPECT_NE(typed, std::string::npos) << saved;
  EXPECT_TRUE(head != std::string::npos && head < typed && saved.find("</anchor>", head) > typed) << saved;
  EXPECT_EQ(Profile("WEB00"), "<missing>");
  EXPECT_EQ(Profile("WRWEB"), "<missing>");
}

// The hotspot editor on a copy of the sample manual whose figure is a plain
// 256 by 128 picture, with an empty web edited from the start. The figure
// is torn off, zoomed to 100 per cent and not centred, so that window
// pixels and picture units are known.
class HotspotEditor : public Webs {
 protected:
  void SetUp() override {
    Webs::SetUp();
    for (const char* name : {"manuale.sgm", "manuale.ssh", "manuale.nav"})
      ASSERT_TRUE(CopyFileA((Bin() + "Manual\\" + name).c_str(), (folder_ + name).c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(folder_ + "fig1.bmp", PlainBitmap(256, 128)));
    manual_ = folder_ + "manuale.sgm";
    web_ = folder_ + "hot.web";
    ASSERT_TRUE(WriteFileBytes(
        web_, "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n<!ENTITY M SYSTEM \"" +
                  manual_ + "\" NDATA SGML>]>\n<web><webname>hot</webname>\n<doc><title>m</title></doc>\n</web>\n"));
    SetProfile("WEB00", web_);
    SetProfile("WRWEB", "0");
    SetValue("\\Zoom", "CENTER", "No");
  }
  // An 8-bit picture in the blue (40, 80, 200) of the sample's figure.
  static std::string PlainBitmap(int width, int height) {
    const int row = (width + 3) & ~3;
    const std::string data(static_cast<std::size_t>(row * height), '\0');
    auto u32 = [](std::uint32_t v) {
      return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    };
    auto u16 = [](std::uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    const std::string palette{'\xC8', '\x50', '\x28', '\0', '\xFF', '\xFF', '\xFF', '\0'};
    const std::string header = u32(40) + u32(static_cast<std::uint32_t>(width)) +
                               u32(static_cast<std::uint32_t>(height)) + u16(1) + u16(8) + u32(0) +
                               u32(static_cast<std::uint32_t>(data.size())) + u32(2835) + u32(2835) +
                               u32(2) + u32(0);
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + header.size() + palette.size());
    return "BM" + u32(offset + static_cast<std::uint32_t>(data.size())) + u32(0) + u32(offset) + header +
           palette + data;
  }
  // Starts the viewer on the copy and tears its figure off: right-click on
  // the picture in the main view, then "Tear Off...".
  void StartWithFigure() {
    Start(Bin(), "\"" + manual_ + "\"");
    main_ = WaitMain();
    ASSERT_NE(main_, nullptr);
    mainView_ = FindWindowExA(main_, nullptr, "Qs:DocWndCls", nullptr);
    navigator_ = FindWindowExA(main_, FindWindowExA(main_, mainView_, "Qs:DocWndCls", nullptr),
                               "Qs:DocWndCls", nullptr);
    figure_ = FindWindowExA(main_, nullptr, "Qs:FigWndCls", nullptr);
    ASSERT_NE(figure_, nullptr);
    POINT blue{};
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView_) && FindColour(mainView_, 40, 80, 200, &blue); }))
        << DescribeWindows(process_.id());
    WaitUntil([] {
      HWND splash = FindWindowA("Qs:SplashWndCls", nullptr);
      return !splash || !IsWindowVisible(splash);
    }, 10000);
    ASSERT_TRUE(WaitUntil([&] { return DarkBands(navigator_).size() >= 3; }, 5000));
    // The picture may show more than once: "Tear Off..." on each place
    // until one is the figure's.
    std::vector<POINT> candidates;
    WaitUntil([&] {
      int w = 0, h = 0;
      const std::vector<std::uint32_t> pixels = ScreenPixels(mainView_, &w, &h);
      candidates.clear();
      int lastY = -100;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (pixels[static_cast<std::size_t>(y * w + x)] == 0x2850C8 && y > lastY + 16) {
            candidates.push_back({x + 4, y + 4});
            lastY = y;
          }
      return !candidates.empty();
    });
    for (const POINT& at : candidates) {
      PostMessageA(mainView_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
      HWND menu = nullptr;
      ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu); }, 5000));
      PostMessageA(mainView_, WM_CANCELMODE, 0, 0);
      PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      EXPECT_TRUE(WaitUntil([&] { HWND m = FindWindowA("#32768", nullptr); return !m || !IsWindowVisible(m); }, 5000));
      PostMessageA(mainView_, WM_COMMAND, IDM_CTX_TEAR_OFF, 0);
      if (WaitUntil([&] { return IsWindowVisible(figure_) != FALSE; }, 3000)) break;
    }
    Screenshot(UnixPath(CurrentFolder()) + "viewer_hotspot_start.png");
    ASSERT_TRUE(IsWindowVisible(figure_)) << candidates.size() << "\n" << DescribeWindows(process_.id());
  }
  // Where the figure window shows the picture (its overview, bottom right, left out).
  RECT PictureExtent() {
    int w = 0, h = 0;
    const std::vector<std::uint32_t> shown = ScreenPixels(figure_, &w, &h);
    RECT overview{};
    if (HWND o = FindWindowExA(figure_, nullptr, "Qs:OvwWndCls", nullptr); o && IsWindowVisible(o)) {
      GetWindowRect(o, &overview);
      MapWindowPoints(nullptr, figure_, reinterpret_cast<POINT*>(&overview), 2);
    }
    RECT extent{10000, 10000, 0, 0};
    for (int y = 0; y < std::min(h, 250); ++y)
      for (int x = 0; x < std::min(w, 400); ++x)
        if (shown[static_cast<std::size_t>(y * w + x)] == 0x2850C8 &&
            !(x >= overview.left && x < overview.right && y >= overview.top && y < overview.bottom)) {
          extent.left = std::min<LONG>(extent.left, x);
          extent.top = std::min<LONG>(extent.top, y);
          extent.right = std::max<LONG>(extent.right, x + 1);
          extent.bottom = std::max<LONG>(extent.bottom, y + 1);
        }
    return extent;
  }
  RECT FigureInMain() {
    RECT r;
    GetWindowRect(figure_, &r);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  void Mouse(UINT message, int x, int y) {
    PostMessageA(figure_, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
  }
  void Drag(int x0, int y0, int x1, int y1) {
    Mouse(WM_LBUTTONDOWN, x0, y0);
    Mouse(WM_MOUSEMOVE, (x0 + x1) / 2, (y0 + y1) / 2);
    Mouse(WM_MOUSEMOVE, x1, y1);
    Mouse(WM_LBUTTONUP, x1, y1);
    Sleep(300);
  }
  void Enter() {
    PostCommand(main_, IDM_EDIT_HOTSPOTS);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(mainView_) && FigureInMain().left == 4; }, 5000))
        << DescribeWindows(process_.id());
  }
  void Leave() {
    PostCommand(main_, IDM_HOT_DONE);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView_) != FALSE; }, 5000));
  }
  // The hotspots the saved web holds, as "RX RY RW RH".
  std::vector<std::string> SavedHotspots() {
    const std::string saved = ReadFileBytes(web_);
    std::vector<std::string> spots;
    for (std::size_t at = saved.find(" RX=\""); at != std::string::npos; at = saved.find(" RX=\"", at + 1)) {
      int x = 0, y = 0, w = 0, h = 0;
      if (std::sscanf(saved.c_str() + at, " RX=\"%d\" RY=\"%d\" RW=\"%d\" RH=\"%d\"", &x, &y, &w, &h) == 4)
        spots.push_back(std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " +
                        std::to_string(h));
    }
    return spots;
  }
  // The points of the saved web's polygons, one text each.
  std::vector<std::string> SavedPolygonPoints(const std::string& path) {
    const std::string saved = ReadFileBytes(path);
    std::vector<std::string> polygons;
    const std::string open = "SHAPE=\"#POLYGON\">";
    for (std::size_t at = saved.find(open); at != std::string::npos; at = saved.find(open, at + 1)) {
      const std::size_t start = saved.find_first_not_of("\r\n", at + open.size());
      if (start == std::string::npos) break;
      polygons.push_back(saved.substr(start, saved.find_first_of("\r\n", start) - start));
    }
    return polygons;
  }
  // Pixels of the picture's area in the figure window that are not the
  // picture's blue (hotspot outlines, handles), and those of one colour.
  int MarkedPixels(std::uint32_t colour = 0) {
    int w = 0, h = 0;
    const std::vector<std::uint32_t> shown = ScreenPixels(figure_, &w, &h);
    const RECT r = PictureExtent();
    int count = 0;
    for (int y = r.top; y < std::min<int>(r.bottom, h); ++y)
      for (int x = r.left; x < std::min<int>(r.right, w); ++x) {
        const std::uint32_t pixel = shown[static_cast<std::size_t>(y * w + x)];
        if (colour ? pixel == colour : pixel != 0x2850C8) ++count;
      }
    return count;
  }
  void ResetZoom() {
    PostCommand(main_, IDM_ZOOM_RESET);
    RECT shown{};
    EXPECT_TRUE(WaitUntil([&] {
      shown = PictureExtent();
      return shown.left == 0 && shown.top == 0 && shown.right == 256 && shown.bottom == 128;
    }, 5000)) << shown.left << "," << shown.top << " " << shown.right << "," << shown.bottom;
  }
  std::string manual_, web_;
  HWND main_ = nullptr, mainView_ = nullptr, navigator_ = nullptr, figure_ = nullptr;
};

// "&Edit Hotspots" hides the main and navigator views and puts the figure at
// (4, 4) over the client area less 9; a click with the rectangle tool makes
// nothing, a rectangle dragged from (32, 16) to (96, 80) over the 256 by 128
// picture is saved in picture units; "&Done Editing" brings the views and
// the lower pane back. A second run selects the hotspot and moves it far
// past the picture's corner, where it stops at the border, and pulls its
// top edge down by a handle.
TEST_F(HotspotEditor, WithTheRealEngineARectangleIsDrawnSavedMovedAndResizedWithinThePicture) {
  StartWithFigure();
  ASSERT_FALSE(HasFatalFailure());
  RECT view;
  GetWindowRect(mainView_, &view);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&view), 2);
  const RECT lower = FigureInMain();
  ASSERT_TRUE(IsWindowVisible(navigator_));

  Enter();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_FALSE(IsWindowVisible(navigator_));
  RECT client;
  GetClientRect(main_, &client);
  const RECT whole = FigureInMain();
  EXPECT_EQ(whole.top, 4);
  EXPECT_EQ(whole.right - whole.left, client.right - 9);
  EXPECT_EQ(whole.bottom - whole.top, client.bottom - 9);
  // The editor's Zoom menu: at 100 per cent the picture shows pixel for
  // pixel at the top left.
  PostCommand(main_, IDM_ZOOM_RESET);
  RECT shown{};
  EXPECT_TRUE(WaitUntil([&] {
    shown = PictureExtent();
    return shown.left == 0 && shown.top == 0 && shown.right == 256 && shown.bottom == 128;
  }, 5000)) << shown.left << "," << shown.top << " " << shown.right << "," << shown.bottom;

  PostCommand(main_, IDM_HOT_NEW_RECT);
  Mouse(WM_LBUTTONDOWN, 200, 100);  // a click: no hotspot
  Mouse(WM_LBUTTONUP, 200, 100);
  PostCommand(main_, IDM_HOT_NEW_RECT);
  Drag(32, 16, 96, 80);
  // "Hotspot color..." offers the new hotspot's colour and keeps the one
  // typed; Cancel keeps it too.
  auto colourDialog = [&](const char* shown, const char* typed) {
    PostCommand(main_, IDM_HOT_COLOR);
    HWND input = WaitForWindow(process_.id(), "#32770", "Set hotspot color");
    ASSERT_NE(input, nullptr) << DescribeWindows(process_.id());
    EXPECT_EQ(WindowText(FindControl(input, 102)), shown);
    if (typed) ASSERT_TRUE(SetWindowTextRemote(FindControl(input, 102), typed));
    PressButton(input, typed ? IDOK : IDCANCEL);
    ASSERT_TRUE(WaitForWindowGone(input));
  };
  colourDialog("RED", "YELLOW");
  colourDialog("YELLOW", nullptr);
  colourDialog("YELLOW", nullptr);
  ASSERT_FALSE(HasFatalFailure());
  Screenshot(UnixPath(CurrentFolder()) + "viewer_hotspot_editor.png");
  Leave();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(navigator_) != FALSE; }, 5000));
  EXPECT_TRUE(WaitUntil([&] {
    const RECT r = FigureInMain();
    return r.top == lower.top && r.left == lower.left && r.bottom == lower.bottom;
  }, 5000));
  RECT viewAfter;
  GetWindowRect(mainView_, &viewAfter);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&viewAfter), 2);
  EXPECT_EQ(viewAfter.top, view.top);
  EXPECT_EQ(viewAfter.bottom, view.bottom);
  ExitAndExpectZero(main_);
  EXPECT_EQ(SavedHotspots(), std::vector<std::string>{"256 256 512 1024"}) << ReadFileBytes(web_);

  // The web is edited again at the next start: a press selects the
  // hotspot, a second one moves it towards (1000, 1000).
  StartWithFigure();
  ASSERT_FALSE(HasFatalFailure());
  Enter();
  ASSERT_FALSE(HasFatalFailure());
  PostCommand(main_, IDM_ZOOM_RESET);
  EXPECT_TRUE(WaitUntil([&] { const RECT r = PictureExtent(); return r.right == 256 && r.bottom == 128; }, 5000));
  Mouse(WM_LBUTTONDOWN, 64, 48);
  Mouse(WM_LBUTTONUP, 64, 48);
  Drag(64, 48, 1000, 1000);  // at 1536 1024: pixels 192..256 and 64..128
  // Its top-middle handle, 6 pixels above the box, pulled down 32 pixels
  // (512 units): only the top edge follows.
  Drag(224, 58, 224, 90);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_hotspot_moved.png");
  Leave();
  ASSERT_FALSE(HasFatalFailure());
  ExitAndExpectZero(main_);
  EXPECT_EQ(SavedHotspots(), std::vector<std::string>{"1536 1536 512 512"}) << ReadFileBytes(web_);
}

// Reshaping in the editor: a rectangle made a polygon has its four corners,
// two of them dragged inwards and the box trimmed to them, a point added on
// an edge and another taken away; an ellipse is drawn, and a rectangle
// drawn and removed; a polygon drawn
// with 100 presses keeps 99 points. With another web edited, a press on the
// first web's hotspot selects nothing: its outline shows, but no handles
// in the outline colour.
TEST_F(HotspotEditor, WithTheRealEngineShapesPointsTrimAndOtherWebs) {
  SetValue("\\Zoom", "HOTSPOTS", "No");
  const std::string other = folder_ + "other.web";
  ASSERT_TRUE(WriteFileBytes(
      other, "<!DOCTYPE WEB PUBLIC \"-//Quenda//DTD Web v2.00//EN\" [\n<!ENTITY M SYSTEM \"" +
                 manual_ + "\" NDATA SGML>]>\n<web><webname>other</webname>\n<doc><title>m</title></doc>\n</web>\n"));
  SetProfile("WEB01", other);
  StartWithFigure();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(WaitUntil([&] { return PictureExtent().right > 0; }));
  // The document's own hot areas show; the webs' hotspots do not.
  Sleep(300);
  const int documentOutlines = MarkedPixels();

  Enter();
  ASSERT_FALSE(HasFatalFailure());
  ResetZoom();
  constexpr std::uint32_t kGreen = 0x00FF00;
  PostCommand(main_, IDM_HOT_COLOR_FIRST + 14);
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) == 0; }, 3000));
  PostCommand(main_, IDM_HOT_NEW_RECT);
  Drag(32, 16, 96, 80);  // 256 256 512 1024
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) > 0; }, 3000));  // its handles
  PostCommand(main_, IDM_HOT_SHAPE_POLYGON);
  Sleep(300);
  Drag(32, 16, 64, 16);  // the top-left corner ...
  Drag(32, 80, 64, 80);  // ... and the bottom-left one to the middle
  PostCommand(main_, IDM_HOT_TRIM);
  Sleep(300);
  // Its points now stand at (64, 16), (96, 16), (96, 80) and (64, 80): one
  // is added on the top edge and the top-right one taken away.
  PostCommand(main_, IDM_HOT_ADD_POINT);
  Mouse(WM_LBUTTONDOWN, 80, 17);
  Mouse(WM_LBUTTONUP, 80, 17);
  PostCommand(main_, IDM_HOT_REMOVE_POINT);
  Mouse(WM_LBUTTONDOWN, 96, 16);
  Mouse(WM_LBUTTONUP, 96, 16);
  PostCommand(main_, IDM_HOT_NEW_ELLIPSE);
  Drag(110, 90, 140, 120);
  // A rectangle drawn and removed at once leaves nothing in the web.
  PostCommand(main_, IDM_HOT_NEW_RECT);
  Drag(10, 100, 30, 120);
  PostCommand(main_, IDM_HOT_REMOVE_ANCHOR);

  PostCommand(main_, IDM_HOT_NEW_POLYGON);
  for (int i = 0; i < 100; ++i) {
    const int x = 150 + (i % 10) * 8, y = 10 + (i / 10) * 10;
    Mouse(WM_LBUTTONDOWN, x, y);
    Mouse(WM_LBUTTONUP, x, y);
  }
  PostMessageA(figure_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 120));
  Sleep(500);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_hotspot_shapes.png");
  Leave();
  ASSERT_FALSE(HasFatalFailure());

  // The other web is edited: the first one's hotspots are not the editor's.
  PostCommand(main_, IDM_WEB_FIRST + 1);
  Enter();
  ASSERT_FALSE(HasFatalFailure());
  ResetZoom();
  Mouse(WM_LBUTTONDOWN, 80, 48);
  Mouse(WM_LBUTTONUP, 80, 48);
  Sleep(500);
  EXPECT_GT(MarkedPixels(), documentOutlines);  // the first web's hotspots show ...
  EXPECT_EQ(MarkedPixels(kGreen), 0);  // ... but none has handles
  // Exit from the editor's menu leaves it and ends the program as usual.
  ExitAndExpectZero(main_);

  EXPECT_EQ(SavedHotspots(),
            (std::vector<std::string>{"512 256 256 1024", "880 1440 240 480", "1200 160 576 1440"}))
      << ReadFileBytes(web_);
  EXPECT_NE(ReadFileBytes(web_).find("RH=\"480\" SHAPE=\"#ELLIPSE\""), std::string::npos);
  const std::vector<std::string> polygons = SavedPolygonPoints(web_);
  ASSERT_EQ(polygons.size(), 2u) << ReadFileBytes(web_);
  EXPECT_EQ(polygons[0], "0 0 1024 0 2048 2048 0 2048");
  int numbers = 0;
  for (std::size_t at = 0; at < polygons[1].size();) {
    at = polygons[1].find_first_not_of(' ', at);
    if (at == std::string::npos) break;
    ++numbers;
    at = polygons[1].find(' ', at);
  }
  EXPECT_EQ(numbers, 2 * 99) << polygons[1];
  EXPECT_EQ(ReadFileBytes(other).find("RX="), std::string::npos) << ReadFileBytes(other);
}

// The edited hotspot's anchor removed outside the editor, through its
// "Annotation" dialog's Remove: the engine's event 21 names it and the
// editor lets it go. Its handles go from the picture, the commands that
// act on the edited hotspot do nothing (no colour prompt opens), a press
// and a drag where it stood change nothing, and the editor draws on.
TEST_F(HotspotEditor, WithTheRealEngineAnAnchorRemovedThroughItsNoteIsLetGo) {
  SetValue("\\Zoom", "HOTSPOTS", "No");
  StartWithFigure();
  ASSERT_FALSE(HasFatalFailure());
  Enter();
  ASSERT_FALSE(HasFatalFailure());
  ResetZoom();
  constexpr std::uint32_t kGreen = 0x00FF00;
  PostCommand(main_, IDM_HOT_COLOR_FIRST + 14);
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) == 0; }, 3000));
  Sleep(300);
  const int bare = MarkedPixels();
  PostCommand(main_, IDM_HOT_NEW_RECT);
  Drag(32, 16, 96, 80);
  ASSERT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) > 0; }, 3000));  // its handles

  PostCommand(main_, IDM_HOT_NOTES);
  HWND note = WaitForWindow(process_.id(), "#32770", "Annotation");
  ASSERT_NE(note, nullptr) << DescribeWindows(process_.id());
  PressButton(note, 109);  // Remove
  ASSERT_TRUE(WaitForWindowGone(note));
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) == 0; }, 3000)) << MarkedPixels(kGreen);
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels() == bare; }, 3000)) << MarkedPixels() << " " << bare;

  // Nothing is edited: the colour prompt of the edited hotspot stays shut.
  PostCommand(main_, IDM_HOT_COLOR);
  PostCommand(main_, IDM_HOT_SHAPE_POLYGON);
  PostCommand(main_, IDM_HOT_TRIM);
  Sleep(500);
  EXPECT_EQ(FindWindowA("#32770", "Set hotspot color"), nullptr);
  Drag(64, 48, 64, 48);
  Drag(64, 48, 100, 100);
  Drag(32, 16, 20, 10);  // where its top-left handle stood
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels() == bare; }, 3000)) << MarkedPixels() << " " << bare;
  EXPECT_EQ(MarkedPixels(kGreen), 0);

  // The editor goes on: a new rectangle is drawn and kept.
  PostCommand(main_, IDM_HOT_NEW_RECT);
  Drag(120, 20, 160, 60);
  EXPECT_TRUE(WaitUntil([&] { return MarkedPixels(kGreen) > 0; }, 3000));
  Leave();
  ASSERT_FALSE(HasFatalFailure());
  ExitAndExpectZero(main_);
  EXPECT_EQ(SavedHotspots(), std::vector<std::string>{"960 320 320 640"}) << ReadFileBytes(web_);
}

class OrderHandOff : public Viewer {
 protected:
  void SetUp() override {
    Viewer::SetUp();
    work_ = CurrentFolder() + "order_e2e\\";
    CreateDirectoryA(work_.c_str(), nullptr);
    CreateDirectoryA((work_ + "tmp").c_str(), nullptr);
    DeleteFileA(por_.c_str());
    DeleteFileA((work_ + "order.ord").c_str());
  }
  void TearDown() override {
    if (HWND order = OrderWindow(0)) PostMessageA(order, WM_CLOSE, 0, 0);
    Viewer::TearDown();
  }
  // The order program's main window once it shows.
  HWND OrderWindow(DWORD timeoutMs = kWaitMs) {
    HWND found = nullptr;
    WaitUntil([&] {
      found = FindWindowA("MAIN_W_CLASS", "CorvaOrder 1.0");
      return found && IsWindowVisible(found);
    }, timeoutMs);
    return found && IsWindowVisible(found) ? found : nullptr;
  }
  // Right-clicks the viewer's main view at `at` and chooses "Add to Selection".
  void AddToSelection(HWND mainView, POINT at) {
    PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    // "String Search", "Parts-List Search", then "Add to Selection".
    ASSERT_TRUE(ChoosePopupMenuItemAt(process_.id(), 2)) << DescribeWindows(process_.id());
    EXPECT_TRUE(WaitUntil([&] {
      HWND m = FindWindowA("#32768", nullptr);
      return !m || !IsWindowVisible(m);
    })) << "the menu stayed open: \"Add to Selection\" greyed at " << at.x << "," << at.y;
  }
  std::string work_;
  std::string por_ = Bin() + "corvaorder.por";
};

std::string Record(const std::vector<std::string>& fields) {
  std::string record;
  for (const std::string& f : fields) record += f + '\x02';
  return record + '\x03';
}

// The reader orders two rows of the sample manual's parts list, one with a
// non-ASCII name and one with '*' in its part number, and sends the order:
// the order program lists them and processes them into its order file.
// Sending with nothing ordered gives it an empty list; an exchange file that
// cannot be created is told.
TEST_F(OrderHandOff, WithTheRealEngineRowsOfTheSampleReachTheOrderProgram) {
  std::string manual = Bin() + "Manual\\manuale.sgm";
  Start(Bin(), "\"" + manual + "\"");
  HWND main = WaitMain();
  ASSERT_NE(main, nullptr);
  HWND mainView = FindWindowExA(main, nullptr, "Qs:DocWndCls", nullptr);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(mainView) && DarkBands(mainView).size() >= 5; }))
      << DescribeWindows(process_.id());

  EngineProbe probe;
  ASSERT_TRUE(probe.Open(manual, mainView, work_ + "tmp"));
  // Row 2's name holds U+00D8, row 8's part number a '*'.
  const char* const rows[] = {"2", "8"};
  int pages = 0;
  POINT at{};
  for (const char* row : rows) {
    while (!probe.FindRow(row, &at)) {
      ASSERT_LT(++pages, 12) << "row " << row << " not found";
      probe.PageDown();
      SendMessageA(mainView, WM_VSCROLL, SB_PAGEDOWN, 0);
    }
    AddToSelection(mainView, at);
    if (row == rows[0]) Screenshot(UnixPath(CurrentFolder()) + "viewer_order_row.png");
  }
  PostCommand(main, IDM_SEND_ORDER);
  HWND order = OrderWindow();
  ASSERT_NE(order, nullptr) << "the order program did not show";
  DWORD orderPid = 0;
  GetWindowThreadProcessId(order, &orderPid);
  HWND list = FindControl(order, 1016, "SysListView32");
  ASSERT_NE(list, nullptr);
  const std::vector<std::string> two = {"CV-3000", "2", "CV-3000-102",
                                        "Grinding wheel, coarse \xD8 150 mm", "1", ""};
  const std::vector<std::string> eight = {"CV-3000", "8", "CV-3000-108*S", "Paper washer", "1", ""};
  EXPECT_EQ(ReadFileBytes(por_), Record(two) + Record(eight));
  // The order program keeps 25 bytes of a name and shows '*' as a blank.
  std::vector<std::string> shownTwo = two, shownEight = eight;
  shownTwo[3].resize(25);
  shownEight[2] = "CV-3000-108 S";
  EXPECT_TRUE(WaitUntil([&] { return ListViewCount(list) == 2; })) << ListViewCount(list);
  EXPECT_EQ(ListViewRows(list, 6), (std::vector<std::vector<std::string>>{shownTwo, shownEight}));
  Sleep(300);
  Screenshot(UnixPath(CurrentFolder()) + "viewer_order_program.png");
  PostCommand(order, 40028);  // "&Process..."
  HWND dialog = WaitForFileDialog(orderPid, "Save File");
  ASSERT_NE(dialog, nullptr) << DescribeWindows(orderPid);
  ASSERT_TRUE(FillFileDialog(dialog, work_ + "order.ord"));
  ASSERT_TRUE(WaitForWindowGone(order));
  auto line = [](const std::vector<std::string>& fields) {
    std::string text;
    for (const std::string& field : fields) text += field + "*";
    return text + "\r\n";
  };
  EXPECT_EQ(ReadFileBytes(work_ + "order.ord"), line(shownTwo) + line(shownEight));

  // Nothing ordered: the old exchange file goes and the list is empty.
  ASSERT_TRUE(FileExists(por_));
  PostCommand(main, IDM_SEND_ORDER);
  order = OrderWindow();
  ASSERT_NE(order, nullptr) << "the order program did not show";
  // The list is filled before the window shows.
  list = FindControl(order, 1016, "SysListView32");
  EXPECT_EQ(ListViewCount(list), 0);
  EXPECT_FALSE(FileExists(por_));
  PostCommand(order, 40002);  // "&Quit"
  ASSERT_TRUE(WaitForWindowGone(order));

  // An exchange file held open by another program cannot be made.
  HANDLE held = CreateFileA(por_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Row 8 is still where it was chosen.
  PostMessageA(mainView, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
  ASSERT_TRUE(ChoosePopupMenuItemAt(process_.id(), 2));
  ExpectBox(kTitle, ("Can't create file \"" + por_ + "\"").c_str());
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(por_), "");
  // The order stayed closed: the next selection makes the file anew.
  AddToSelection(mainView, at);
  PostCommand(main, IDM_SEND_ORDER);
  order = OrderWindow();
  ASSERT_NE(order, nullptr) << "the order program did not show";
  EXPECT_EQ(ReadFileBytes(por_), Record(eight));
  list = FindControl(order, 1016, "SysListView32");
  EXPECT_EQ(ListViewRows(list, 6), (std::vector<std::vector<std::string>>{shownEight}));
  PostCommand(order, 40002);
  ASSERT_TRUE(WaitForWindowGone(order));
  ExitAndExpectZero(main);
}

}  // namespace
}  // namespace qs::test::gui
