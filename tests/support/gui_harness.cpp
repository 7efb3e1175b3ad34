#include "gui_harness.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

namespace qs::test::gui {

namespace {

struct FindData {
  DWORD pid;
  const char* className;
  const char* caption;
  bool visible;
  HWND found;
};

bool Matches(HWND window, const char* className, const char* text) {
  if (className) {
    char name[128];
    if (!GetClassNameA(window, name, sizeof name) || lstrcmpiA(name, className) != 0) return false;
  }
  if (text && WindowText(window) != text) return false;
  return true;
}

// A top-level window by class and caption. The caption is the one the system
// keeps, read without a message: a busy program neither slows the search nor
// has a window missed, which would look gone.
bool MatchesTopLevel(HWND window, const char* className, const char* caption) {
  if (!Matches(window, className, nullptr)) return false;
  if (!caption) return true;
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return std::strcmp(text, caption) == 0;
}

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* data = reinterpret_cast<FindData*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != data->pid) return TRUE;
  if (data->visible && !IsWindowVisible(window)) return TRUE;
  if (!MatchesTopLevel(window, data->className, data->caption)) return TRUE;
  data->found = window;
  return FALSE;
}

struct ChildData {
  int id;
  const char* className;
  const char* text;
  HWND found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM param) {
  auto* data = reinterpret_cast<ChildData*>(param);
  if (data->id != -1 && GetDlgCtrlID(window) != data->id) return TRUE;
  if (!Matches(window, data->className, data->text)) return TRUE;
  data->found = window;
  return FALSE;
}

// A block of memory inside the process that owns a window, for messages
// whose parameters point at structures.
class RemoteBlock {
 public:
  explicit RemoteBlock(HWND window, std::size_t size = 4096) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    if (process_)
      base_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~RemoteBlock() {
    if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  bool ok() const { return base_ != nullptr; }
  char* at(std::size_t offset) const { return base_ + offset; }
  bool Write(std::size_t offset, const void* data, std::size_t size) {
    SIZE_T done = 0;
    return offset + size <= size_ &&
           WriteProcessMemory(process_, base_ + offset, data, size, &done) && done == size;
  }
  bool Read(std::size_t offset, void* data, std::size_t size) {
    SIZE_T done = 0;
    return offset + size <= size_ &&
           ReadProcessMemory(process_, base_ + offset, data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  char* base_ = nullptr;
  std::size_t size_;
};

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

}  // namespace

// ---- Processes -----------------------------------------------------------------

Process::~Process() {
  Kill();
  if (process_) CloseHandle(process_);
}

bool Process::Start(const std::string& application, const std::string& commandLine, WORD show,
                    const std::string& folder) {
  if (process_) {  // a new start forgets (and ends) the previous one
    Kill();
    CloseHandle(process_);
    process_ = nullptr;
    id_ = 0;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

bool Process::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  if (exitCode) *exitCode = code;
  return true;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, kWaitMs);
  }
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n < sizeof path ? n : 0);
  std::size_t slash = s.find_last_of('\\');
  return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

std::string CurrentFolder() {
  char path[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof path, path);
  return WithSlash(std::string(path, n < sizeof path ? n : 0));
}

// ---- Windows ---------------------------------------------------------------------

HWND WaitForWindow(DWORD pid, const char* className, const char* caption, bool visible,
                   DWORD timeoutMs) {
  FindData data{pid, className, caption, visible, nullptr};
  WaitUntil(
      [&] {
        data.found = nullptr;
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&data));
        return data.found != nullptr;
      },
      timeoutMs);
  return data.found;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

HWND FindControl(HWND parent, int id, const char* className) {
  ChildData data{id, className, nullptr, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

HWND FindDescendant(HWND parent, const char* className, const char* text) {
  ChildData data{-1, className, text, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

std::string WindowText(HWND window) {
  char text[1024];
  // WM_GETTEXT is carried across processes; GetWindowText would not ask a
  // control of another process. No SMTO_ABORTIFHUNG: Wine takes a program
  // that has not looked at its queue for five seconds for hung, as a busy
  // program on a loaded machine may be; the bound is the timeout.
  LRESULT n = SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                  SMTO_NORMAL, kWaitMs, nullptr);
  text[sizeof text - 1] = '\0';
  return n ? std::string(text) : std::string(text, 0);
}

std::string DescribeWindows(DWORD pid) {
  struct Data {
    DWORD pid;
    std::string text;
  } data{pid, std::string()};
  auto describe = [](HWND window, LPARAM param) -> BOOL {
    auto* d = reinterpret_cast<Data*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != d->pid) return TRUE;
    char name[128] = "", caption[256] = "", line[512];
    GetClassNameA(window, name, sizeof name);
    // The caption the system keeps: no message goes to the window.
    GetWindowTextA(window, caption, sizeof caption);
    std::snprintf(line, sizeof line, "  %p %s \"%s\"%s%s owner %p\n", static_cast<void*>(window),
                  name, caption, IsWindowVisible(window) ? " visible" : " hidden",
                  IsWindowEnabled(window) ? "" : " disabled",
                  static_cast<void*>(GetWindow(window, GW_OWNER)));
    d->text += line;
    return TRUE;
  };
  EnumWindows(describe, reinterpret_cast<LPARAM>(&data));
  return data.text.empty() ? std::string("  (no windows)\n") : data.text;
}

bool SetWindowTextRemote(HWND window, const std::string& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kWaitMs, &result) != 0;
}

void PostCommand(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return false;
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != 0;
}

// ---- List views --------------------------------------------------------------------

int ListViewCount(HWND listView) {
  return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListViewText(HWND listView, int row, int column) {
  RemoteBlock block(listView);
  if (!block.ok()) return "<no remote memory>";
  constexpr std::size_t kTextAt = 512, kTextSize = 1024;
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = block.at(kTextAt);
  item.cchTextMax = kTextSize;
  char zero = 0;
  block.Write(kTextAt, &zero, 1);
  if (!block.Write(0, &item, sizeof item)) return "<write failed>";
  SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(block.at(0)));
  char text[kTextSize + 1] = {};
  block.Read(kTextAt, text, kTextSize);
  text[kTextSize] = '\0';
  return text;
}

std::vector<std::vector<std::string>> ListViewRows(HWND listView, int columns) {
  std::vector<std::vector<std::string>> rows;
  int count = ListViewCount(listView);
  for (int r = 0; r < count; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < columns; ++c) row.push_back(ListViewText(listView, r, c));
    rows.push_back(row);
  }
  return rows;
}

void ListViewSelect(HWND listView, const std::vector<int>& rows) {
  RemoteBlock block(listView);
  if (!block.ok()) return;
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED;
  item.state = 0;
  block.Write(0, &item, sizeof item);
  SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(block.at(0)));
  item.state = LVIS_SELECTED;
  block.Write(0, &item, sizeof item);
  for (int row : rows)
    SendMessageA(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(block.at(0)));
}

namespace {
// A point inside a row's label, in the list view's client coordinates.
bool RowPoint(HWND listView, int row, LPARAM* at) {
  RemoteBlock block(listView);
  if (!block.ok()) return false;
  RECT rect{};
  rect.left = LVIR_LABEL;
  if (!block.Write(0, &rect, sizeof rect) ||
      !SendMessageA(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                    reinterpret_cast<LPARAM>(block.at(0))) ||
      !block.Read(0, &rect, sizeof rect))
    return false;
  *at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
  return true;
}
}  // namespace

bool PostDoubleClickRow(HWND listView, int row) {
  LPARAM at;
  return RowPoint(listView, row, &at) &&
         PostMessageA(listView, WM_LBUTTONDBLCLK, MK_LBUTTON, at) &&
         PostMessageA(listView, WM_LBUTTONUP, 0, at);
}

bool PostRightClickRow(HWND listView, int row) {
  LPARAM at;
  return RowPoint(listView, row, &at) && PostMessageA(listView, WM_RBUTTONDOWN, MK_RBUTTON, at) &&
         PostMessageA(listView, WM_RBUTTONUP, 0, at);
}

bool ChoosePopupMenuItem(DWORD pid, char mnemonic, DWORD timeoutMs) {
  HWND menu = WaitForWindow(pid, "#32768", nullptr, true, timeoutMs);
  return menu && PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(mnemonic), 0);
}

bool ChoosePopupMenuItemAt(DWORD pid, int index, DWORD timeoutMs) {
  HWND menu = WaitForWindow(pid, "#32768", nullptr, true, timeoutMs);
  if (!menu) return false;
  // The first Down selects the first item; separators are passed over.
  for (int i = 0; i <= index; ++i)
    if (!PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0)) return false;
  return PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

bool ClickColumnHeader(HWND listView, int column) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(listView, LVM_GETHEADER, 0, 0));
  if (!header) return false;
  RemoteBlock block(header);
  if (!block.ok()) return false;
  RECT rect{};
  if (!SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                    reinterpret_cast<LPARAM>(block.at(0))) ||
      !block.Read(0, &rect, sizeof rect))
    return false;
  LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageA(header, WM_MOUSEMOVE, 0, at);
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(header, WM_LBUTTONUP, 0, at);
  return true;
}

// ---- Common dialogs ------------------------------------------------------------------

namespace {
// The file-name control of an explorer-style file dialog: a combo box
// (cmb13) on Windows, an edit (edt1) under Wine.
HWND FileNameControl(HWND dialog) {
  if (HWND combo = FindControl(dialog, 0x47c)) return combo;
  return FindControl(dialog, 0x480);
}
}  // namespace

HWND WaitForFileDialog(DWORD pid, const char* title, DWORD timeoutMs) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        dialog = WaitForWindow(pid, "#32770", title, true, 0);
        return dialog && FileNameControl(dialog) && IsWindowEnabled(dialog);
      },
      timeoutMs);
  return dialog && FileNameControl(dialog) ? dialog : nullptr;
}

bool FillFileDialog(HWND dialog, const std::string& path) {
  HWND name = FileNameControl(dialog);
  if (!name) return false;
  // The dialog may still be setting up its name control when it shows; the
  // name is set again until it reads back.
  bool taken = WaitUntil([&] { return SetWindowTextRemote(name, path) && WindowText(name) == path; });
  return taken && PressButton(dialog, IDOK);
}

bool AnswerMessageBox(DWORD pid, const char* caption, int button, DWORD timeoutMs) {
  struct Data {
    DWORD pid;
    const char* caption;
    int button;
    HWND found;
  } data{pid, caption, button, nullptr};
  auto find = [](HWND window, LPARAM param) -> BOOL {
    auto* d = reinterpret_cast<Data*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != d->pid || !IsWindowVisible(window) || !MatchesTopLevel(window, "#32770", d->caption))
      return TRUE;
    if (FileNameControl(window) || !GetDlgItem(window, d->button)) return TRUE;
    d->found = window;
    return FALSE;
  };
  bool found = WaitUntil(
      [&] {
        data.found = nullptr;
        EnumWindows(find, reinterpret_cast<LPARAM>(&data));
        return data.found != nullptr;
      },
      timeoutMs);
  return found && PressButton(data.found, button);
}

// ---- Files ---------------------------------------------------------------------------

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Screenshot(const std::string& unixPath) {
  // Wine starts a Unix program when asked to run one by its Unix path. The
  // arguments reach it split at spaces, unquoted: the path must have none.
  if (unixPath.find(' ') != std::string::npos) return false;
  std::string line = "/usr/bin/import -window root " + unixPath;
  {
    std::string stale = "Z:" + unixPath;
    for (char& c : stale) {
      if (c == '/') c = '\\';
    }
    DeleteFileA(stale.c_str());
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return false;
  CloseHandle(info.hThread);
  WaitForSingleObject(info.hProcess, kWaitMs);
  CloseHandle(info.hProcess);
  // The wait on a Unix program may end before it has written its file: the
  // picture is there once its size holds still.
  std::string windowsPath = "Z:" + unixPath;
  for (char& c : windowsPath) {
    if (c == '/') c = '\\';
  }
  long long last = -1;
  return WaitUntil([&] {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(windowsPath.c_str(), GetFileExInfoStandard, &data)) return false;
    long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    bool still = size > 0 && size == last;
    last = size;
    if (!still) Sleep(200);
    return still;
  }, 10000);
}

int ListBoxCount(HWND listBox) {
  return static_cast<int>(SendMessageW(listBox, LB_GETCOUNT, 0, 0));
}

std::string ListBoxText(HWND listBox, int row) {
  LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, row, 0);
  if (length == LB_ERR || length < 0) return std::string();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT got = SendMessageW(listBox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(&text[0]));
  if (got == LB_ERR || got < 0) return std::string();
  text.resize(static_cast<std::size_t>(got));
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes,
                        nullptr, nullptr);
  return out;
}

}  // namespace qs::test::gui
