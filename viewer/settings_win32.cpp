// The viewer's settings in the current user's registry, the options dialog,
// the end-of-run dialog about downloaded files and the LAUNCH line of the
// engine's setup file.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "engine.h"
#include "resources/resource.h"
#include "setup_text.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

Settings g_settings;

std::string KeyPath(const char* sub) { return std::string(kRegistryRoot) + sub; }

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

// Writes a temporary file beside `path` and renames it over the old one: a
// failed write leaves the old file whole.
bool ReplaceFile(const std::string& path, const std::string& text) {
  std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      out.close();
      DeleteFileA(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void Check(HWND dialog, int id, bool on) {
  CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

std::string ItemText(HWND dialog, int id) {
  char text[576];
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

}  // namespace

Settings& CurrentSettings() { return g_settings; }

int RegReadString(HKEY root, const char* keyPath, const char* name, char* buffer) {
  HKEY key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  char value[kRegistryValueMax + 2];
  DWORD type = 0;
  DWORD size = kRegistryValueMax + 1;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  // A longer value counts as missing rather than cut.
  if (result == ERROR_SUCCESS && type == REG_SZ && size <= kRegistryValueMax + 1) {
    value[size] = 0;
    value[kRegistryValueMax] = 0;
    std::strcpy(buffer, value);
  }
  return 1;
}

void RegWriteString(HKEY root, const char* keyPath, const char* name, const char* text) {
  HKEY key;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
  RegCloseKey(key);
}

std::string ReadSetting(const char* sub, const char* name, const char* fallback) {
  char buffer[kRegistryValueMax + 1];
  std::snprintf(buffer, sizeof buffer, "%s", fallback);
  RegReadString(HKEY_CURRENT_USER, KeyPath(sub).c_str(), name, buffer);
  return buffer;
}

void WriteSetting(const char* sub, const char* name, const std::string& text) {
  RegWriteString(HKEY_CURRENT_USER, KeyPath(sub).c_str(), name, text.c_str());
}

void LoadProxySetting() { g_settings.proxy = ReadSetting("\\Proxy", "ProxyServer"); }

void LoadMiscSettings() {
  auto flag = [](const char* name) { return ReadSetting("\\Misc", name) == "Yes"; };
  g_settings.savePrompt = g_settings.alwaysSave = false;
  if (flag("SavePrompt")) {
    g_settings.savePrompt = true;
  } else if (flag("AlwaysSave")) {
    g_settings.alwaysSave = true;
  }
  g_settings.showCvaDialog = flag("ShowCVADialog");
  g_settings.windowMaximize = flag("WindowMaximize");
  auto number = [](const char* name) {
    return static_cast<int>(std::strtol(ReadSetting("\\Misc", name, "0").c_str(), nullptr, 10));
  };
  g_settings.x = number("WindowPosX");
  g_settings.y = number("WindowPosY");
  g_settings.cx = number("WindowPosCX");
  g_settings.cy = number("WindowPosCY");
}

void SaveMiscSettings() {
  auto yes = [](bool on) { return std::string(on ? "Yes" : "No"); };
  WriteSetting("\\Misc", "SavePrompt", yes(g_settings.savePrompt));
  WriteSetting("\\Misc", "AlwaysSave", yes(g_settings.alwaysSave));
  WriteSetting("\\Misc", "ShowCVADialog", yes(g_settings.showCvaDialog));
  WriteSetting("\\Misc", "WindowMaximize", yes(g_settings.windowMaximize));
  if (!g_settings.windowMaximize) {
    WriteSetting("\\Misc", "WindowPosX", std::to_string(g_settings.x));
    WriteSetting("\\Misc", "WindowPosY", std::to_string(g_settings.y));
    WriteSetting("\\Misc", "WindowPosCX", std::to_string(g_settings.cx));
    WriteSetting("\\Misc", "WindowPosCY", std::to_string(g_settings.cy));
  }
}

std::string MainLocation() {
  std::string home = ReadSetting("\\Path", "Main-Location");
  return home.empty() ? ProgramFolder() : home;
}

std::string LoadSetupLaunchLine(const char* notation) {
  std::string text;
  if (!ReadWholeFile(MainLocation() + "\\setup", &text)) return {};
  return ReadLaunchCommand(text, notation);
}

int SaveSetupLaunchLine(const char* notation, const char* program) {
  std::string path = MainLocation() + "\\setup";
  CopyFileA(path.c_str(), (path + ".bak").c_str(), FALSE);
  std::string text;
  if (!ReadWholeFile(path, &text)) return 0;
  std::optional<std::string> rewritten = RewriteLaunchCommand(text, notation, program);
  if (!rewritten) return 0;
  return ReplaceFile(path, *rewritten) ? 1 : 0;
}

bool DeleteDirTree(const std::string& folder) {
  std::string base = folder;
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  if (base.empty()) return false;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((base + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = base + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  return RemoveDirectoryA(base.c_str()) != 0;
}

namespace {

struct FlagBox {
  int control;
  unsigned bit;  // 0: the overview
  int kind;      // 0 view, 1 navigator, 2 zoom
};
constexpr FlagBox kFlagBoxes[] = {
    {IDC_OPT_OCC_DENSITY, 0x1, 0},      {IDC_OPT_NAV_HITS, 0x2000, 1},
    {IDC_OPT_HOTSPOTS, 0x10, 0},        {IDC_OPT_AUTOSHRINK, 0x2, 0},
    {IDC_OPT_TAGS, 0x4, 0},             {IDC_OPT_IGNORE_HOTSPOTS, 0x200, 2},
    {IDC_OPT_ZOOM_HOTSPOTS, 0x10, 2},   {IDC_OPT_CENTER_ZOOM, 0x20, 2},
    {IDC_OPT_OVERVIEW, 0, 2},           {IDC_OPT_SUPPRESS_ZOOM, 0x40, 2},
};

bool FlagState(const FlagBox& box) {
  if (box.kind == 2 && box.bit == 0) return OverviewOn();
  unsigned flags = box.kind == 0 ? ViewFlags() : box.kind == 1 ? NavigatorFlags() : ZoomFlags();
  return (flags & box.bit) != 0;
}

void ToggleFlag(const FlagBox& box) {
  if (box.kind == 0) {
    ToggleViewFlag(box.bit);
  } else if (box.kind == 1) {
    ToggleNavigatorFlag(box.bit);
  } else if (box.bit == 0) {
    ToggleOverview();
  } else {
    ToggleZoomFlag(box.bit);
  }
}

constexpr char kDefaultHome[] = "Use Default Settings";

void OptionsInit(HWND dialog) {
  const std::string& proxy = g_settings.proxy;
  std::size_t colon = proxy.find(':');
  if (colon != std::string::npos) {
    SetDlgItemTextA(dialog, IDC_OPT_PROXY, proxy.substr(0, colon).c_str());
    SetDlgItemTextA(dialog, IDC_OPT_PORT, proxy.substr(colon + 1).c_str());
  }
  Check(dialog, IDC_OPT_SAVE_PROMPT, g_settings.savePrompt);
  Check(dialog, IDC_OPT_ALWAYS_SAVE, g_settings.alwaysSave);
  Check(dialog, IDC_OPT_SHOW_CVA, g_settings.showCvaDialog);
  SetDlgItemTextA(dialog, IDC_OPT_HOME, kDefaultHome);
  SetDlgItemTextA(dialog, IDC_OPT_LIBRARY, "Use Default Folder");
  for (const FlagBox& box : kFlagBoxes) Check(dialog, box.control, FlagState(box));
  HWND list = GetDlgItem(dialog, IDC_OPT_TEAROFF);
  for (const char* item : {"30% of Window", "70% of Window", "Full Window"}) {
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  int share = TearOffShare();
  SendMessageA(list, CB_SETCURSEL, share == 30 ? 0 : share == 70 ? 1 : 2, 0);
  SetDlgItemTextA(dialog, IDC_OPT_PDF, LoadSetupLaunchLine("PDF").c_str());
}

void OptionsReference(HWND dialog) {
  char file[MAX_PATH] = "";
  char filter[] = "Apllication files (*.exe)|*.exe|All Files (*.*)|*.*|";
  for (char& c : filter) {
    if (c == '|') c = 0;
  }
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&ofn)) return;
  char shortPath[MAX_PATH];
  DWORD n = GetShortPathNameA(file, shortPath, sizeof shortPath);
  SetDlgItemTextA(dialog, IDC_OPT_PDF, n > 0 && n < sizeof shortPath ? shortPath : file);
}

void OptionsOk(HWND dialog) {
  bool restart = false;
  std::string host = ItemText(dialog, IDC_OPT_PROXY);
  std::string port = host.empty() ? std::string() : ItemText(dialog, IDC_OPT_PORT);
  g_settings.proxy = host + (port.empty() ? "" : ":") + port;
  WriteSetting("\\Proxy", "ProxyServer", g_settings.proxy);

  g_settings.alwaysSave = Checked(dialog, IDC_OPT_ALWAYS_SAVE);
  g_settings.savePrompt = Checked(dialog, IDC_OPT_SAVE_PROMPT) && !g_settings.alwaysSave;
  g_settings.showCvaDialog = Checked(dialog, IDC_OPT_SHOW_CVA);
  SaveMiscSettings();

  std::string home = ItemText(dialog, IDC_OPT_HOME);
  if (!home.empty() && lstrcmpiA(home.c_str(), kDefaultHome) != 0) {
    WriteSetting("\\Path", "Main-Location", home);
    restart = true;
  }
  for (const FlagBox& box : kFlagBoxes) {
    if (Checked(dialog, box.control) != FlagState(box)) ToggleFlag(box);
  }
  int choice = static_cast<int>(SendDlgItemMessageA(dialog, IDC_OPT_TEAROFF, CB_GETCURSEL, 0, 0));
  SetTearOff(choice == 0 ? 30 : choice == 1 ? 70 : 100, true);

  std::string pdf = ItemText(dialog, IDC_OPT_PDF);
  if (!pdf.empty() && lstrcmpiA(pdf.c_str(), LoadSetupLaunchLine("PDF").c_str()) != 0) {
    if (SaveSetupLaunchLine("PDF", pdf.c_str())) restart = true;
  }
  if (restart) {
    ShowMessageBox(dialog, "Re-start the application for the change to take effect.",
                   "Re-start Application!", MB_OK | MB_ICONWARNING);
  }
}

}  // namespace

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OptionsInit(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          OptionsOk(dialog);
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_OPT_REFERENCE:
          OptionsReference(dialog);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// lParam of WM_INITDIALOG: the run folder (const std::string*).
INT_PTR CALLBACK SaveFilesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id != IDC_SAVE_FILES && id != IDC_DELETE_FILES) break;
      g_settings.savePrompt = !Checked(dialog, IDC_SAVE_NOT_AGAIN);
      auto* folder = reinterpret_cast<const std::string*>(GetWindowLongPtrA(dialog, DWLP_USER));
      if (id == IDC_DELETE_FILES && folder) DeleteDirTree(*folder);
      EndDialog(dialog, id);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace qs::viewer
