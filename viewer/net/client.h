// The HTTP client's sockets and files (Windows Sockets 1.1 and Win32 files):
// the download of one URL into a file, and the hooks through which the viewer
// keeps its window alive and stops a download. The accelerator installs no
// hooks and cancels from another thread with HttpCancel.
#pragma once
#include <atomic>
#include <cstddef>
#include <string>

#include "net/http.h"

namespace qs::net {

struct NetHooks {
  // Handles at most one waiting window message; false when the program is
  // quitting (a WM_QUIT it took is posted again) or its main window is gone.
  bool (*pump)(void* context) = nullptr;
  // Set by the viewer's stop command; a read that sees it clears it and stops.
  std::atomic<int>* stopFlag = nullptr;
  // Shows "Downloading: " and the URL.
  void (*status)(void* context, const char* text) = nullptr;
  void* context = nullptr;
};
// Installs the hooks (null: none). Not thread-safe: set once at start.
void SetNetHooks(const NetHooks* hooks);

int NetStartup();  // 0, or -1 when Windows Sockets 1.1 cannot be had
void NetCleanup();

// Downloads `url` into its cache path below `cacheRoot`, written into
// `localPath` (a path ending in '\' gets "index.html"). Answers the HTTP
// status, or 0 when no whole answer arrived: a refused URL, no connection, a
// cut body, a stop or cancel, a failed write. A cut body leaves no file.
int HttpDownload(const char* url, const char* proxy, const char* cacheRoot, char* localPath,
                 std::size_t size, HttpRequest* request);
// One request; the body goes to `destination` (null: a temporary file,
// deleted afterwards). Answers the status, or 0 as HttpDownload.
int HttpGet(const char* url, const char* proxy, const char* destination, const char* method,
            HttpRequest* request);
// From any thread: marks the request cancelled and closes its socket and body
// file, which ends a read under way. Null accepted; answers 0.
int HttpCancel(HttpRequest* request);

// ---- Files ---------------------------------------------------------------------
// Creates the file anew with these bytes; answers the count written, -1 on failure.
long WriteWholeFile(const char* path, const void* bytes, std::size_t count);
// The whole file, or false when it cannot be read.
bool ReadWholeFile(const char* path, std::string* bytes);
// Creates every folder named by `path` up to its last '\'.
bool CreateDirPath(const char* path);
// Deletes every file and folder below `folder`, then the folder.
bool DeleteDirTree(const char* folder);
bool FileExists(const char* path);
// Creates the final path's folders and moves the staged file there.
bool MoveIntoPlace(const char* staged, const char* final);

}  // namespace qs::net
