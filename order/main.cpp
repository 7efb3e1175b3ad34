// CorvaOrder: the order-form program. The viewer starts it with the path of
// its order exchange file as the whole command line; the main window holds a
// toolbar, a status bar and a modeless dialog with the list of items.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "file_io.h"
#include "item_list.h"
#include "order_file.h"
#include "resources/resource.h"

namespace qs::order {
namespace {

constexpr std::size_t kNameSize = 256;

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
HWND g_toolbar = nullptr;
HWND g_statusBar = nullptr;
HWND g_listDialog = nullptr;
HWND g_activeDialog = nullptr;  // receives IsDialogMessage routing
char g_commandFile[kNameSize] = "";
bool g_sortDescending[kFieldCount] = {};

// The names last chosen in the file dialogs, proposed the next time.
char g_openName[kNameSize] = "";
char g_saveName[kNameSize] = "";
char g_orderName[kNameSize] = "";

const char kOpenFilter[] = "All\0*.*\0CorvaOrder Save File(*.psr;*.ord)\0*.psr;*.ord\0";
const char kSaveFilter[] = "All\0*.*\0CorvaOrder Save File(*.psr)\0*.psr\0";
const char kOrderFilter[] = "All\0*.*\0CorvaOrder File(*.ord)\0*.ord\0";

// ---- Window placement -------------------------------------------------------

// The desktop less an always-on-top taskbar that does not hide itself.
RECT GetWorkArea() {
  RECT area;
  GetWindowRect(GetDesktopWindow(), &area);
  APPBARDATA bar{};
  bar.cbSize = sizeof bar;
  UINT state = static_cast<UINT>(SHAppBarMessage(ABM_GETSTATE, &bar));
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (!tray || !(state & ABS_ALWAYSONTOP) || (state & ABS_AUTOHIDE)) return area;
  RECT t;
  if (!GetWindowRect(tray, &t)) return area;
  if (t.top > 0) {
    area.bottom -= t.bottom - std::abs(t.top);
  } else if (t.left > 0) {
    area.right -= t.right - std::abs(t.left);
  } else if (t.right - t.left < area.right - area.left) {
    area.left += t.right - std::abs(t.left);
  } else {
    area.top += t.bottom - std::abs(t.top);
  }
  return area;
}

void CenterOnOwner(HWND owner, HWND window) {
  RECT area = GetWorkArea();
  RECT reference = area;
  if (owner && IsWindow(owner)) GetWindowRect(owner, &reference);
  RECT own;
  GetWindowRect(window, &own);
  int width = own.right - own.left, height = own.bottom - own.top;
  int x = reference.left + ((reference.right - reference.left) - width) / 2;
  int y = reference.top + ((reference.bottom - reference.top) - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- File dialogs -----------------------------------------------------------

bool HasForbiddenCharacter(const char* name) { return std::strpbrk(name, "/*<>|?\";,") != nullptr; }

// Runs the open or save dialog on `name` (kNameSize bytes). A cancelled dialog
// leaves `name` as it was.
bool ChooseFile(HWND owner, bool save, const char* title, const char* filter,
                const char* extension, char* name) {
  char previous[kNameSize];
  lstrcpynA(previous, name, sizeof previous);
  if (save && HasForbiddenCharacter(name)) name[0] = '\0';
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.hInstance = g_instance;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 2;
  ofn.lpstrFile = name;
  ofn.nMaxFile = kNameSize;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = extension;
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY |
              (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  // The last folder kept in the ini file is that of the last file chosen,
  // whatever the dialog does with the current folder meanwhile.
  char folder[kNameSize] = "";
  DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
  if (n == 0 || n >= sizeof folder) folder[0] = '\0';
  BOOL chosen = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (folder[0]) SetCurrentDirectoryA(folder);
  if (!chosen) {
    lstrcpynA(name, previous, kNameSize);
    return false;
  }
  name[kNameSize - 1] = '\0';
  if (ofn.nFileOffset > 0 && ofn.nFileOffset < kNameSize) {
    lstrcpynA(folder, name, ofn.nFileOffset + 1);
    SetCurrentDirectoryA(folder);
  }
  return true;
}

HWND ListView() { return GetDlgItem(g_listDialog, kListViewId); }

void OpenFile() {
  if (!ChooseFile(g_mainWindow, false, "Open File", kOpenFilter, "psr", g_openName)) return;
  DeleteAll(ListView());
  LoadItems(g_listDialog, g_openName, FileForm::kSaveFile);
}

// A file that could not be written is named to the user: the list is still
// there to be saved elsewhere.
void ReportWriteFailure(const char* path) {
  char text[kNameSize + 64];
  wsprintfA(text, "Could not write the file '%s'.", path);
  char title[64];
  if (!LoadStringA(g_instance, IDS_TITLE, title, sizeof title))
    lstrcpynA(title, "CorvaOrder 1.0", sizeof title);
  MessageBoxA(g_mainWindow, text, title, MB_OK | MB_ICONEXCLAMATION);
}

void SaveFile() {
  if (!ChooseFile(g_mainWindow, true, "Save File", kSaveFilter, "psr", g_saveName)) return;
  if (!SaveItems(ListView(), g_saveName)) ReportWriteFailure(g_saveName);
}

// The order goes out only when its file was written; otherwise the program
// stays with its list, so nothing is lost.
void ProcessOrder() {
  if (!ChooseFile(g_mainWindow, true, "Save File", kOrderFilter, "ord", g_orderName)) return;
  if (SaveItems(ListView(), g_orderName)) {
    SendMessageA(g_mainWindow, WM_CLOSE, 0, 0);
  } else {
    ReportWriteFailure(g_orderName);
  }
}

// ---- Dialogs ------------------------------------------------------------------

struct ItemEdit {
  int id;
  int limit;
};
// In the order of the record's fields.
constexpr ItemEdit kItemEdits[kFieldCount] = {{IDC_MODEL, 15}, {IDC_REFERENCE, 10},
                                              {IDC_PART, 15},  {IDC_SPEC, 25},
                                              {IDC_QUANTITY, 3}, {IDC_REMARKS, 30}};

INT_PTR CALLBACK ItemDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* item = reinterpret_cast<const OrderItem*>(lParam);
      for (int k = 0; k < kFieldCount; ++k) {
        SendDlgItemMessageA(dialog, kItemEdits[k].id, EM_LIMITTEXT,
                            static_cast<WPARAM>(kItemEdits[k].limit), 0);
        if (item) {
          char text[64];
          CopyField(text, sizeof text, ItemField(item, k), FieldSize(k));
          SetDlgItemTextA(dialog, kItemEdits[k].id, text);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          OrderItem* item = NewItem();
          if (item) {
            for (int k = 0; k < kFieldCount; ++k) {
              char* field = ItemField(item, k);
              GetDlgItemTextA(dialog, kItemEdits[k].id, field, static_cast<int>(FieldSize(k)));
              field[FieldSize(k) - 1] = '\0';
              CleanField(field);
            }
          }
          EndDialog(dialog, reinterpret_cast<INT_PTR>(item));
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

// Dialog 122 on `item` (or empty); the new record, or null when cancelled.
OrderItem* RunItemDialog(HWND owner, const OrderItem* item) {
  INT_PTR result = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ITEM), owner, ItemDlgProc,
                                   reinterpret_cast<LPARAM>(item));
  return result == -1 ? nullptr : reinterpret_cast<OrderItem*>(result);
}

void SetVersionText(HWND dialog, int id, const void* block, const char* name) {
  char query[96];
  lstrcpynA(query, "\\StringFileInfo\\040904b0\\", sizeof query);
  lstrcatA(query, name);
  char* value = nullptr;
  UINT length = 0;
  if (block && VerQueryValueA(block, query, reinterpret_cast<void**>(&value), &length) && value)
    SetDlgItemTextA(dialog, id, value);
}

INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char module[MAX_PATH];
      DWORD n = GetModuleFileNameA(g_instance, module, sizeof module);
      if (n > 0 && n < sizeof module) {
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeA(module, &ignored);
        void* block = size ? std::malloc(size) : nullptr;
        if (block && GetFileVersionInfoA(module, 0, size, block)) {
          SetVersionText(dialog, IDC_VERSION_PRODUCT, block, "ProductName");
          SetVersionText(dialog, IDC_VERSION_COPYRIGHT, block, "LegalCopyright");
          SetVersionText(dialog, IDC_VERSION_VERSION, block, "ProductVersion");
        }
        std::free(block);
      }
      CenterOnOwner(GetWindow(dialog, GW_OWNER), dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

void EditRow(HWND dialog) {
  HWND list = ListView();
  int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  OrderItem* edited = RunItemDialog(dialog, row >= 0 ? ItemAt(list, row) : nullptr);
  if (!edited) return;
  if (row >= 0) {
    ListReplaceItem(list, row, edited);
  } else {
    ListAddItem(list, edited);
  }
}

INT_PTR CALLBACK ListDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      g_listDialog = dialog;
      HWND list = GetDlgItem(dialog, kListViewId);
      ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
      InsertColumns(list);
      if (g_commandFile[0]) LoadItems(dialog, g_commandFile, FileForm::kExchange);
      return TRUE;
    }
    case WM_ACTIVATE:
      g_activeDialog = LOWORD(wParam) != WA_INACTIVE ? dialog : nullptr;
      return FALSE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->idFrom != static_cast<UINT_PTR>(kListViewId)) break;
      switch (header->code) {
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
          FillDisplayInfo(header);
          return TRUE;
        case LVN_COLUMNCLICK: {
          int column = reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem;
          if (column >= 0 && column < kFieldCount) {
            g_sortDescending[column] = !g_sortDescending[column];
            SortByColumn(header->hwndFrom, column, g_sortDescending[column]);
          }
          return TRUE;
        }
        case NM_RCLICK: {
          HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDM_POPUP));
          if (menu) {
            POINT at;
            GetCursorPos(&at);
            TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, at.x, at.y, 0, dialog, nullptr);
            DestroyMenu(menu);
          }
          return TRUE;
        }
        case NM_DBLCLK:
          EditRow(dialog);
          return TRUE;
      }
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CLEAR_ALL:
          DeleteAll(ListView());
          return TRUE;
        case IDC_PROCESS:
        case IDM_PROCESS:
          ProcessOrder();
          return TRUE;
        case IDC_CANCEL:
          SendMessageA(g_mainWindow, WM_CLOSE, 0, 0);
          return TRUE;
        case IDM_POPUP_DELETE:
        case IDM_DELETE:
          DeleteSelected(ListView());
          return TRUE;
        case IDM_POPUP_ADD:
        case IDM_ADD:
          if (OrderItem* item = RunItemDialog(dialog, nullptr)) ListAddItem(ListView(), item);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// ---- Main window ------------------------------------------------------------

void CreateChildren(HWND window) {
  InitCommonControls();
  static const TBBUTTON kButtons[] = {
      {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
      {0, IDC_CLEAR_ALL, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {1, IDM_OPEN, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {2, IDM_SAVE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
      {3, IDM_ADD, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {4, IDM_DELETE, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
      {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
      {5, IDM_PROCESS, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
  };
  g_toolbar = CreateToolbarEx(window, WS_CHILD | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE,
                              IDC_TOOLBAR, 6, g_instance, IDB_TOOLBAR, kButtons,
                              static_cast<int>(sizeof kButtons / sizeof kButtons[0]), 16, 15, 16,
                              15, sizeof(TBBUTTON));
  g_statusBar = CreateStatusWindowA(WS_CHILD, "", window, IDC_STATUS);
  if (g_statusBar) {
    int parts[1] = {-1};
    SendMessageA(g_statusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
  }
  g_activeDialog = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_LIST), window,
                                      ListDlgProc, 0);
  if (g_toolbar) ShowWindow(g_toolbar, SW_SHOW);
  if (g_statusBar) ShowWindow(g_statusBar, SW_SHOW);

  char folder[kNameSize] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  IniGet(g_instance, "FILE", "PATH", folder, sizeof folder);
  if (folder[0]) SetCurrentDirectoryA(folder);
}

LRESULT CALLBACK OrderWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_mainWindow = window;
      CreateChildren(window);
      return 0;
    case WM_DESTROY: {
      char folder[kNameSize] = "";
      DWORD n = GetCurrentDirectoryA(sizeof folder, folder);
      if (n > 0 && n < sizeof folder) IniSet(g_instance, "FILE", "PATH", folder);
      PostQuitMessage(0);
      return 0;
    }
    case WM_SIZE:
      if (g_toolbar) SendMessageA(g_toolbar, WM_SIZE, wParam, lParam);
      if (g_statusBar) SendMessageA(g_statusBar, WM_SIZE, wParam, lParam);
      break;
    case WM_SETFOCUS:
      if (g_listDialog) SetFocus(g_listDialog);
      return 0;
    case WM_PAINT: {
      // Only validates; BeginPaint leaves the children's own updates alone.
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      // The list dialog covers the client area. A child without a brush of
      // its own (the toolbar) hands its erasing up here; give it the face
      // colour.
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (WindowFromDC(dc) != window) {
        RECT box;
        if (GetClipBox(dc, &box) != ERROR) FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
      }
      return 1;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == TTN_NEEDTEXTA) {
        auto* tip = reinterpret_cast<TOOLTIPTEXTA*>(lParam);
        tip->hinst = g_instance;
        tip->lpszText = MAKEINTRESOURCEA(header->idFrom);
        return 0;
      }
      if (header->code == TTN_NEEDTEXTW) {
        auto* tip = reinterpret_cast<TOOLTIPTEXTW*>(lParam);
        tip->hinst = g_instance;
        tip->lpszText = MAKEINTRESOURCEW(header->idFrom);
        return 0;
      }
      break;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_QUIT:
          SendMessageA(window, WM_CLOSE, 0, 0);
          return 0;
        case IDM_OPEN:
          OpenFile();
          return 0;
        case IDM_ABOUT:
          DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_VERSION), window, VersionDlgProc, 0);
          return 0;
        case IDM_SAVE:
          SaveFile();
          return 0;
        default:
          if (g_listDialog) SendMessageA(g_listDialog, WM_COMMAND, wParam, lParam);
          return 0;
      }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int WindowHeight(HWND window) {
  RECT r{};
  if (window) GetWindowRect(window, &r);
  return r.bottom - r.top;
}

// The module's own file name without its folder.
void ProgramFileName(char* out, std::size_t size) {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
  out[0] = '\0';
  if (n == 0 || n >= sizeof module) return;
  const char* name = module;
  for (const char* p = module; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  lstrcpynA(out, name, static_cast<int>(size));
}

}  // namespace

int Run(HINSTANCE instance, int show) {
  g_instance = instance;
  // The whole command line: the viewer passes only the order file's path, with
  // no program name, so the runtime's split would drop it.
  char program[MAX_PATH];
  ProgramFileName(program, sizeof program);
  CommandLineFile(GetCommandLineA(), program, g_commandFile, sizeof g_commandFile);

  char className[64], title[64];
  if (!LoadStringA(instance, IDS_MAIN_CLASS, className, sizeof className))
    lstrcpynA(className, "MAIN_W_CLASS", sizeof className);
  if (!LoadStringA(instance, IDS_TITLE, title, sizeof title))
    lstrcpynA(title, "CorvaOrder 1.0", sizeof title);

  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = OrderWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ORDER));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORDER), IMAGE_ICON,
                                             16, 16, LR_DEFAULTCOLOR));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
  wc.lpszClassName = className;
  if (!RegisterClassExA(&wc)) return 1;

  HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, className, title,
                                WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;

  int toolbarHeight = WindowHeight(g_toolbar);
  RECT dialog{};
  if (g_listDialog) {
    GetWindowRect(g_listDialog, &dialog);
    SetWindowPos(g_listDialog, nullptr, 0, toolbarHeight, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(g_listDialog, SW_SHOW);
  }
  int width = 2 * GetSystemMetrics(SM_CXDLGFRAME) + (dialog.right - dialog.left);
  int height = 2 * GetSystemMetrics(SM_CYDLGFRAME) + toolbarHeight + (dialog.bottom - dialog.top) +
               WindowHeight(g_statusBar) + GetSystemMetrics(SM_CYMENU) +
               GetSystemMetrics(SM_CYCAPTION);
  SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  // The viewer starts the program hidden; the order form must still be seen.
  ShowWindow(window, show == SW_HIDE ? SW_SHOW : show);
  UpdateWindow(window);

  MSG msg{};
  for (;;) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (g_activeDialog && IsWindow(g_activeDialog) && IsDialogMessageA(g_activeDialog, &msg))
      continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 1;
}

}  // namespace qs::order

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  return qs::order::Run(instance, show);
}
