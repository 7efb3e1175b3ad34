// The viewer's downloads: a URL is fetched once into the run folder under its
// cache name, with a login dialog and a retry when the server asks for a
// password; opening a document from a server also starts the download
// accelerator CvAccel with a parameter file. The viewer fills DownloadHost
// with its settings, main window and commands.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "net/http.h"

namespace qs::viewer {

struct DownloadHost {
  HINSTANCE instance = nullptr;  // the module holding "DLGPASSWD" and "DLGOPENURL"
  HWND mainWindow = nullptr;     // owns the dialogs; its end stops a download
  std::string runFolder;         // the run folder, ending in '\'
  std::string proxySetting;      // "host:port" or empty
  bool showAcceleratorDialog = false;
  std::string entityListPath;    // the entity list the viewer was started with; empty: none
  std::string programFolder;     // the folder of CvAccel.exe; empty: this program's
  std::vector<std::string> urlHistory;  // stored form ("http#..."), most recent first
  void (*enableStopCommand)(void* context, bool enable) = nullptr;  // command 40025
  void (*showStatus)(void* context, const char* text) = nullptr;
  void (*openDocument)(void* context, const char* path) = nullptr;
  void* context = nullptr;
};

// Takes the host's settings and hooks the HTTP client to this thread's
// message pump, the stop flag and the status text.
void SetDownloadHost(const DownloadHost& host);
// Set by the stop-download command; cleared by the reader that sees it.
std::atomic<int>& StopDownloadFlag();
// Whether a download was attempted in this run.
bool DownloadActive();

// Makes the run folder "<mainLocation>\tmp\<tick count>\"; the "tmp" folder
// is expected to exist.
bool MakeRunFolder(const std::string& mainLocation, unsigned long tickCount, std::string* folder);

// Handles at most one waiting message; false when the program is quitting
// (the WM_QUIT taken is posted again) or the main window is gone.
bool PumpMessages();

// Fetches `url` once into the run folder; `localPath` (260 bytes) receives
// its path. Answers 0 when the file was there already, else the final HTTP
// status, or -1 when no whole answer arrived (a refused URL, no connection, a
// cut body, a stop). Only a 2xx answer leaves a file at the path.
int DownloadUrl(char* localPath, const char* url, int flag);

struct DownloadContext {
  net::HttpRequest* request = nullptr;
  HWND owner = nullptr;
  const char* url = nullptr;
  const char* localPath = nullptr;
  std::string proxyHost;  // empty: no proxy
  unsigned short proxyPort = 0;
};
void InitDownloadRequest(net::HttpRequest* request, HWND owner, const char* url,
                         const char* localPath, DownloadContext* context);
// Runs the download with the login loop; answers the last HTTP status (0: no
// whole answer).
int DownloadWithAuth(DownloadContext* context);

// Starts the accelerator for the document `url` with a parameter file; 1 once
// started (a failed start is not reported), 0 when refused (a value that
// holds '#', CR or LF, a text over 4,096 bytes) or the file cannot be written.
int StartAccelerator(const char* url, const char* proxy, const char* credentials);
// Cancels a running accelerator's job, then starts the program.
int StartProcess(const char* program, const char* commandLine, bool wait);

// The "Open URL" dialog: fetches the URL chosen into `currentDownloadPath`
// (260 bytes) and opens that path on 0 or a 2xx status. Answers the
// DownloadUrl result, or -2 when the dialog was cancelled.
int RunOpenUrlDialog(HWND owner, char* currentDownloadPath);

INT_PTR CALLBACK OpenUrlDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qs::viewer
