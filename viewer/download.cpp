#include "download.h"

#include <cstdio>
#include <cstring>

#include "net/client.h"
#include "net/text.h"
#include "net/url.h"
#include "resources/download_ids.h"

namespace qs::viewer {
namespace {

constexpr std::size_t kPathSize = 260;
constexpr std::size_t kParameterTextSize = 4096;
constexpr std::size_t kUserSize = 15;
constexpr std::size_t kPasswordSize = 7;

DownloadHost g_host;
std::atomic<int> g_stop{0};
bool g_active = false;
// Login state of the process: every request below the realm carries the
// credentials ("user:password").
std::string g_realm;
std::string g_credentials;

void EnableStop(bool on) {
  if (g_host.enableStopCommand) g_host.enableStopCommand(g_host.context, on);
}

bool Pump(void*) { return PumpMessages(); }

void Status(void*, const char* text) {
  if (g_host.showStatus) g_host.showStatus(g_host.context, text);
}

void DownloadProgressText(net::HttpRequest* request, const char*, long, long total) {
  // Formed for each piece; the viewer has no place that shows it.
  std::string text = net::ProgressText(total, request->bodyLength);
  (void)text;
}

std::string ProgramFolder() {
  if (!g_host.programFolder.empty()) {
    std::string folder = g_host.programFolder;
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
  }
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".";
  std::string folder(path, n);
  return folder.substr(0, folder.rfind('\\'));
}

// The stored form of a history entry turned back into a URL.
std::string HistoryUrl(const std::string& stored) {
  std::string url;
  for (std::size_t i = 0; i < stored.size();) {
    if (stored.compare(i, 5, "http#") == 0) {
      url += "http://";
      i += 5;
    } else {
      char c = stored[i++];
      url += c == '\\' ? '/' : c == '#' ? ':' : c;
    }
  }
  return url;
}

bool SafeValue(const std::string& value) {
  return value.find_first_of("#\r\n") == std::string::npos;
}

}  // namespace

void SetDownloadHost(const DownloadHost& host) {
  g_host = host;
  net::NetHooks hooks;
  hooks.pump = Pump;
  hooks.stopFlag = &g_stop;
  hooks.status = Status;
  net::SetNetHooks(&hooks);
}

std::atomic<int>& StopDownloadFlag() { return g_stop; }

bool DownloadActive() { return g_active; }

bool MakeRunFolder(const std::string& mainLocation, unsigned long tickCount, std::string* folder) {
  char text[MAX_PATH];
  int n = std::snprintf(text, sizeof text, "%s\\tmp\\%lu\\", mainLocation.c_str(), tickCount);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof text) return false;
  *folder = text;
  return CreateDirectoryA(text, nullptr) != 0;
}

bool PumpMessages() {
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The main loop must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return !g_host.mainWindow || IsWindow(g_host.mainWindow);
}

void InitDownloadRequest(net::HttpRequest* request, HWND owner, const char* url,
                         const char* localPath, DownloadContext* context) {
  request->userAgent = "corvina 1.0";
  request->receiveProgress = DownloadProgressText;
  request->userData = context;
  context->request = request;
  context->owner = owner;
  context->url = url;
  context->localPath = localPath;
  context->proxyHost.clear();
  context->proxyPort = 0;
}

INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(dialog, IDC_PASSWD_USER, EM_LIMITTEXT, kUserSize, 0);
      SendDlgItemMessageA(dialog, IDC_PASSWD_PASSWORD, EM_LIMITTEXT, kPasswordSize, 0);
      SetFocus(GetDlgItem(dialog, IDC_PASSWD_USER));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        char user[kUserSize + 1] = "", password[kPasswordSize + 1] = "";
        GetDlgItemTextA(dialog, IDC_PASSWD_USER, user, sizeof user);
        GetDlgItemTextA(dialog, IDC_PASSWD_PASSWORD, password, sizeof password);
        g_credentials = std::string(user) + ":" + password;
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

int DownloadWithAuth(DownloadContext* context) {
  net::HttpRequest* request = context->request;
  std::string url = context->url;
  request->credentials = nullptr;
  if (!g_realm.empty() && net::StartsWithNoCase(url, g_realm))
    request->credentials = g_credentials.c_str();
  std::string proxy = context->proxyHost;
  if (!proxy.empty() && context->proxyPort) proxy += ":" + std::to_string(context->proxyPort);

  // The answer goes to a staging folder first and reaches the final path
  // only whole and with a 2xx status: a 401 page or half a file never sits
  // where the viewer looks.
  std::string staging = g_host.runFolder;
  if (staging.empty() || staging.back() != '\\') staging += '\\';
  staging += "_download_" + std::to_string(GetCurrentProcessId());
  char staged[1024] = "";
  int status = net::HttpDownload(url.c_str(), proxy.c_str(), staging.c_str(), staged,
                                 sizeof staged, request);
  while (status == 401) {
    if (staged[0]) DeleteFileA(staged);
    INT_PTR answer = DialogBoxParamA(g_host.instance, "DLGPASSWD", g_host.mainWindow,
                                     PasswordDlgProc, 0);
    if (answer != 1) {
      g_realm.clear();
      g_credentials.clear();
      request->credentials = nullptr;
      break;
    }
    g_realm = net::AuthRealmPrefix(url);
    request->credentials = g_credentials.c_str();
    status = net::HttpDownload(url.c_str(), proxy.c_str(), staging.c_str(), staged, sizeof staged,
                               request);
  }
  bool placed = false;
  if (status >= 200 && status <= 299 && staged[0]) {
    placed = net::MoveIntoPlace(staged, context->localPath);
    if (!placed) status = 0;
  }
  if (!placed) {
    if (staged[0]) DeleteFileA(staged);
    DeleteFileA(context->localPath);
  }
  net::DeleteDirTree(staging.c_str());
  return status;
}

int DownloadUrl(char* localPath, const char* url, int) {
  g_active = true;
  EnableStop(true);
  int result = -1;
  localPath[0] = '\0';
  std::string normal = net::ResolveUrl(std::string_view(), url ? url : "");
  std::string path = net::UrlToCachePath(g_host.runFolder, normal);
  if (!path.empty() && path.back() == '\\') path += "index.html";
  if (!path.empty() && net::CopyToBuffer(localPath, kPathSize, path)) {
    if (net::FileExists(localPath)) {
      result = 0;
    } else if (net::HttpRequest* request = net::HttpCreateRequest()) {
      DownloadContext context;
      InitDownloadRequest(request, g_host.mainWindow, normal.c_str(), localPath, &context);
      std::string proxy = net::DownloadProxyText(g_host.proxySetting);
      std::size_t colon = proxy.find(':');
      context.proxyHost = proxy.substr(0, colon);
      if (colon != std::string::npos)
        context.proxyPort = static_cast<unsigned short>(std::atoi(proxy.c_str() + colon + 1));
      int status = DownloadWithAuth(&context);
      net::HttpFreeRequest(request);
      result = status == 0 ? -1 : status;
    }
  }
  EnableStop(false);
  return result;
}

int StartProcess(const char* program, const char* commandLine, bool wait) {
  if (HWND running = FindWindowA(nullptr, "CV-Accelerator"))
    PostMessageA(running, WM_COMMAND, IDCANCEL, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = g_host.showAcceleratorDialog ? SW_SHOWNA : SW_MINIMIZE;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
  if (CreateProcessA(program, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                     nullptr, nullptr, &startup, &info)) {
    if (wait) {
      while (WaitForSingleObject(info.hProcess, 100) == WAIT_TIMEOUT) {
      }
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  return 0;
}

int StartAccelerator(const char* url, const char*, const char* credentials) {
  std::string documentUrl = url ? url : "";
  std::string extra = credentials ? credentials : "";
  if (!SafeValue(g_host.proxySetting) || !SafeValue(g_host.runFolder) || !SafeValue(documentUrl) ||
      !SafeValue(g_host.entityListPath) || extra.find_first_of(" \t\"\r\n") != std::string::npos)
    return 0;
  std::string text = "PROXY " + g_host.proxySetting + "\r\nSAVEDIR " + g_host.runFolder +
                     "\r\nURL " + documentUrl + "\r\n";
  if (!g_host.entityListPath.empty()) text += "TMPFILE " + g_host.entityListPath + "\r\n";
  if (text.size() > kParameterTextSize) return 0;

  std::string program = ProgramFolder() + "\\CvAccel.exe";
  char folder[MAX_PATH], file[MAX_PATH];
  DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n >= sizeof folder || !GetTempFileNameA(folder, "CV", 0, file)) return 0;
  std::string parameterFile = file;
  // The accelerator reads a line that begins with a quote as the program
  // path first; a path with a blank must be quoted, so the program goes first.
  std::string commandLine;
  if (parameterFile.find(' ') != std::string::npos) {
    commandLine = "\"" + program + "\" \"" + parameterFile + "\" " + extra;
  } else {
    commandLine = parameterFile + " " + extra;
  }
  if (net::WriteWholeFile(parameterFile.c_str(), text.data(), text.size()) < 0) {
    DeleteFileA(parameterFile.c_str());
    return 0;
  }
  StartProcess(program.c_str(), commandLine.c_str(), false);
  return 1;
}

struct OpenUrlRecord {
  char url[256];
};

INT_PTR CALLBACK OpenUrlDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      HWND combo = GetDlgItem(dialog, IDC_OPENURL_COMBO);
      std::size_t count = 0;
      for (const std::string& stored : g_host.urlHistory) {
        if (count++ == 8) break;
        SendMessageA(combo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(HistoryUrl(stored).c_str()));
      }
      if (count) SendMessageA(combo, CB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* record = reinterpret_cast<OpenUrlRecord*>(GetWindowLongPtrA(dialog, DWLP_USER));
        GetDlgItemTextA(dialog, IDC_OPENURL_COMBO, record->url, sizeof record->url);
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

int RunOpenUrlDialog(HWND owner, char* currentDownloadPath) {
  g_stop = 0;
  OpenUrlRecord record{};
  INT_PTR answer = DialogBoxParamA(g_host.instance, "DLGOPENURL", owner, OpenUrlDlgProc,
                                   reinterpret_cast<LPARAM>(&record));
  int result = -2;
  if (answer == 1 && record.url[0]) {
    result = DownloadUrl(currentDownloadPath, record.url, 0);
    if ((result == 0 || (result >= 200 && result <= 299)) && g_host.openDocument)
      g_host.openDocument(g_host.context, currentDownloadPath);
  }
  EnableStop(false);
  return result;
}

}  // namespace qs::viewer
