// CvAccel: started by the viewer with a parameter file (and optional
// credentials) when it opens a document from a server. It fetches every
// entity the viewer's entity list names for that document into the viewer's
// run folder, through a staging folder so that the viewer never sees half a
// file, showing its progress in a small dialog at the bottom-left corner.
// Two threads: the progress dialog on the main thread, one worker for all
// network and file work.
#include <winsock2.h>
#include <windows.h>
#include <process.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "job_text.h"
#include "net/client.h"
#include "net/text.h"
#include "net/url.h"
#include "resources/resource.h"

namespace qs::accel {
namespace {

constexpr UINT kWorkerDone = WM_USER + 16;  // 1040
constexpr std::size_t kNameSize = 1024;
constexpr int kBottomLeft = 3;

// The job, on the main thread's stack. The dialog's window is written once,
// before the worker starts.
struct Job {
  net::HttpRequest* request = nullptr;
  HWND dialog = nullptr;
  HINSTANCE instance = nullptr;
  Parameters parameters;
  std::string list;
  bool listRead = false;
  std::string staging;
  std::string base;
  std::string link;
  unsigned fileNumber = 0;  // the file now fetched, from 1
  unsigned fileTotal = 0;
};

// Login state of the process: from argument 2 or the login dialog.
char g_credentials[kNameSize] = "";
std::string g_realm;
// The login dialog while the worker shows it: a cancel of the job closes it.
std::atomic<HWND> g_loginDialog{nullptr};

// What the progress dialog receives.
struct DialogRecord {
  HANDLE thread = nullptr;
  unsigned(__stdcall* function)(void*) = nullptr;
  HWND* windowSlot = nullptr;
  net::HttpRequest* request = nullptr;
  int flags = kBottomLeft;
  void* argument = nullptr;
  const char* caption = nullptr;
};

struct LoginRecord {
  const char* url;
  char* credentials;
  std::size_t size;
  const char* caption;
  int flags;
};

void ShowMessage(const char* text, UINT icon) {
  MessageBoxA(nullptr, text, "DOCPULL", MB_OK | icon);
}

// ---- Placement ---------------------------------------------------------------------

Box ToBox(const RECT& r) { return Box{r.left, r.top, r.right, r.bottom}; }

Box GetWorkArea() {
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  APPBARDATA bar{};
  bar.cbSize = sizeof bar;
  UINT state = static_cast<UINT>(SHAppBarMessage(ABM_GETSTATE, &bar));
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  RECT trayRect;
  if (!tray || !GetWindowRect(tray, &trayRect)) return ToBox(desktop);
  Box trayBox = ToBox(trayRect);
  return WorkArea(ToBox(desktop), (state & ABS_ALWAYSONTOP) != 0, (state & ABS_AUTOHIDE) != 0,
                  &trayBox);
}

void MoveTo(HWND window, const Box& box) {
  SetWindowPos(window, nullptr, box.left, box.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterOnOwner(HWND owner, HWND window) {
  RECT own, rect;
  GetWindowRect(window, &rect);
  Box area = GetWorkArea();
  Box reference = (owner && IsWindow(owner) && GetWindowRect(owner, &own)) ? ToBox(own) : area;
  MoveTo(window, CenterBox(ToBox(rect), reference, area));
}

void PlaceWindow(HWND window, int flags) {
  HWND owner = GetWindow(window, GW_OWNER);
  if (!owner) owner = GetParent(window);
  if (flags == 0) {
    CenterOnOwner(owner, window);
    return;
  }
  RECT rect, own;
  GetWindowRect(window, &rect);
  Box reference;
  if (flags < 0) {
    flags = -flags;
    reference = GetWorkArea();
  } else if (owner && IsWindow(owner) && GetWindowRect(owner, &own)) {
    reference = ToBox(own);
  } else {
    reference = GetWorkArea();
  }
  MoveTo(window, PlaceBox(ToBox(rect), reference, flags));
}

// ---- Dialog fields -------------------------------------------------------------------

// Each dialog keeps its record as the item data of its hidden combo box.
void* RecordOf(HWND dialog, int combo) {
  LRESULT data = SendDlgItemMessageA(dialog, combo, CB_GETITEMDATA, 0, 0);
  return data == CB_ERR ? nullptr : reinterpret_cast<void*>(data);
}

void KeepRecord(HWND dialog, int combo, void* record) {
  LRESULT item = SendDlgItemMessageA(dialog, combo, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>("HIDE"));
  SendDlgItemMessageA(dialog, combo, CB_SETITEMDATA, item, reinterpret_cast<LPARAM>(record));
}

void ShowStatus(HWND dialog, const std::string& text) {
  SetDlgItemTextA(dialog, IDC_STATUS, text.c_str());
}

void ShowFileCount(HWND dialog, const std::string& text) {
  SetDlgItemTextA(dialog, IDC_FILE_COUNT, text.c_str());
}

bool ShowLocation(HWND dialog, const std::string& url) {
  bool changed = false;
  std::string host = HostPart(url);
  char shown[kNameSize] = "";
  GetDlgItemTextA(dialog, IDC_HOST, shown, sizeof shown);
  if (host != shown) {
    SetDlgItemTextA(dialog, IDC_HOST, host.c_str());
    changed = true;
  }
  std::string file = StringTail(url);
  GetDlgItemTextA(dialog, IDC_FILE, shown, sizeof shown);
  if (file != shown) {
    SetDlgItemTextA(dialog, IDC_FILE, file.c_str());
    changed = true;
  }
  return changed;
}

void ShowProgress(net::HttpRequest* request, const char*, long, long total) {
  auto* job = static_cast<Job*>(request->userData);
  if (job && job->dialog) ShowStatus(job->dialog, net::ProgressText(total, request->bodyLength));
}

// ---- Login dialog ----------------------------------------------------------------------

INT_PTR CALLBACK LoginDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* record = reinterpret_cast<LoginRecord*>(lParam);
      KeepRecord(dialog, IDC_LOGIN_HIDE, record);
      SetDlgItemTextA(dialog, IDC_HOST, UpToLastSlash(record->url).c_str());
      // Both halves and their colon fit the credential buffer.
      WPARAM limit = record->size / 2 - 2;
      SendDlgItemMessageA(dialog, IDC_USER, EM_LIMITTEXT, limit, 0);
      SendDlgItemMessageA(dialog, IDC_PASSWORD, EM_LIMITTEXT, limit, 0);
      if (record->caption) SetWindowTextA(dialog, record->caption);
      PlaceWindow(dialog, record->flags);
      g_loginDialog = dialog;
      return TRUE;
    }
    case WM_DESTROY:
      g_loginDialog = nullptr;
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* record = static_cast<LoginRecord*>(RecordOf(dialog, IDC_LOGIN_HIDE));
        if (record) {
          char user[kNameSize] = "", password[kNameSize] = "";
          GetDlgItemTextA(dialog, IDC_USER, user, sizeof user);
          GetDlgItemTextA(dialog, IDC_PASSWORD, password, sizeof password);
          std::snprintf(record->credentials, record->size, "%s:%s", user, password);
        }
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

// ---- Fetching ----------------------------------------------------------------------------

void SetCredentials(Job* job, const std::string& url) {
  job->request->credentials = nullptr;
  if (!g_realm.empty() && net::StartsWithNoCase(url, g_realm))
    job->request->credentials = g_credentials;
  job->request->cookie.clear();
}

// Fetches the current link into the run folder. Answers the HTTP status, 0
// when the file was there already or the link names no place below the run
// folder, -1 when the job is cancelled.
int FetchLink(Job* job) {
  net::HttpRequest* request = job->request;
  if (request->cancelled) return -1;
  std::string url = net::ResolveUrl(job->base, job->link);
  if (url.size() >= kNameSize) return 0;
  std::string final = net::UrlToCachePath(job->parameters.saveDir, url);
  if (final.empty()) return 0;
  if (final.back() == '\\') final += "index.html";
  if (final.size() >= kNameSize) return 0;

  ShowLocation(job->dialog, url);
  ShowFileCount(job->dialog, FileCountText(job->fileNumber, job->fileTotal));
  if (net::FileExists(final.c_str())) return 0;

  SetCredentials(job, url);
  char staged[kNameSize] = "";
  const char* proxy = job->parameters.proxy.c_str();
  int status = net::HttpDownload(url.c_str(), proxy, job->staging.c_str(), staged, sizeof staged,
                                 request);
  while (status == 401 && !request->cancelled) {
    LoginRecord login{url.c_str(), g_credentials, sizeof g_credentials, nullptr, kBottomLeft};
    INT_PTR answer = DialogBoxParamA(job->instance, MAKEINTRESOURCEA(IDD_LOGIN), job->dialog,
                                     LoginDlgProc, reinterpret_cast<LPARAM>(&login));
    if (answer != 1) {
      g_realm.clear();
      g_credentials[0] = '\0';
      request->credentials = nullptr;
      net::HttpCancel(request);
      break;
    }
    g_realm = net::AuthRealmPrefix(url);
    SetCredentials(job, url);
    status = net::HttpDownload(url.c_str(), proxy, job->staging.c_str(), staged, sizeof staged,
                               request);
  }
  bool placed = false;
  if (status >= 200 && status <= 299 && staged[0] && !request->cancelled) {
    placed = net::MoveIntoPlace(staged, final.c_str());
  }
  if (!placed && staged[0]) DeleteFileA(staged);
  if (request->cancelled) {
    if (placed) DeleteFileA(final.c_str());
    return -1;
  }
  return status;
}

unsigned __stdcall WorkerThread(void* argument) {
  auto* job = static_cast<Job*>(argument);
  if (job->listRead) {
    job->fileNumber = 1;
    WalkEntityList(job->list, job->parameters.url,
                   [job](const std::string& link, const std::string& base) {
                     job->link = link;
                     job->base = base;
                     FetchLink(job);
                     ++job->fileNumber;
                   });
  }
  PostMessageA(job->dialog, kWorkerDone, 0, 0);
  return 0;
}

// ---- Progress dialog -------------------------------------------------------------------

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* record = reinterpret_cast<DialogRecord*>(lParam);
      *record->windowSlot = dialog;
      KeepRecord(dialog, IDC_PROGRESS_HIDE, record);
      if (record->caption) SetWindowTextA(dialog, record->caption);
      PlaceWindow(dialog, record->flags);
      record->thread = reinterpret_cast<HANDLE>(
          _beginthreadex(nullptr, 0, record->function, record->argument, 0, nullptr));
      // Without a worker nothing would end the dialog.
      if (!record->thread) PostMessageA(dialog, kWorkerDone, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        auto* record = static_cast<DialogRecord*>(RecordOf(dialog, IDC_PROGRESS_HIDE));
        if (record) net::HttpCancel(record->request);
        // A job waiting for a login ends too.
        if (HWND login = g_loginDialog.load()) PostMessageA(login, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
      }
      break;
    case kWorkerDone:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

// ---- The job -------------------------------------------------------------------------------

void RunJob(HINSTANCE instance, const char* parameterFile, const char* credentials) {
  std::string text;
  if (!net::ReadWholeFile(parameterFile, &text)) return;
  Job job;
  job.instance = instance;
  job.parameters = ReadParameters(text);
  if (!job.parameters.tmpFile.empty() &&
      net::ReadWholeFile(job.parameters.tmpFile.c_str(), &job.list)) {
    job.listRead = true;
    job.fileTotal = static_cast<unsigned>(CountFiles(job.list, job.parameters.url));
  }
  if (credentials) {
    std::snprintf(g_credentials, sizeof g_credentials, "%s", credentials);
    g_realm = net::AuthRealmPrefix(job.parameters.url);
  }
  // A staging folder of this process's own: a cancelled accelerator that
  // cleans up cannot take the files of the one that follows it.
  job.staging = StagingFolder(job.parameters.saveDir, GetCurrentProcessId());

  job.request = net::HttpCreateRequest();
  if (!job.request) return;
  job.request->receiveProgress = ShowProgress;
  job.request->userAgent = "DOCPULL";
  job.request->userData = &job;

  DialogRecord record;
  record.function = WorkerThread;
  record.windowSlot = &job.dialog;
  record.request = job.request;
  record.argument = &job;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, ProgressDlgProc,
                  reinterpret_cast<LPARAM>(&record));
  if (record.thread) {
    WaitForSingleObject(record.thread, INFINITE);
    CloseHandle(record.thread);
  }
  net::HttpFreeRequest(job.request);
  net::DeleteDirTree(job.staging.c_str());
}

}  // namespace
}  // namespace qs::accel

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace qs::accel;
  // The whole command line: the C runtime's view of it drops a first token
  // that is no program name, and the viewer passes none.
  const char* line = GetCommandLineA();
  if (qs::net::NetStartup() != 0) {
    ShowMessage("Windows Sockets DLL Load error", MB_ICONERROR);
    return 0;
  }
  std::string parameterFile, credentials;
  if (!GetArgument(line, 1, &parameterFile)) {
    ShowMessage("Specify a parameter file name.", MB_ICONINFORMATION);
    qs::net::NetCleanup();
    return 0;
  }
  GetArgument(line, 2, &credentials);
  if (parameterFile.size() >= kNameSize) parameterFile.clear();
  if (credentials.size() >= kNameSize) credentials.clear();
  if (!parameterFile.empty()) {
    RunJob(instance, parameterFile.c_str(), credentials.c_str());
    DeleteFileA(parameterFile.c_str());
  }
  qs::net::NetCleanup();
  return 0;
}
