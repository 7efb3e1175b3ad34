#include <winsock2.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "net/client.h"
#include "net/text.h"
#include "net/url.h"

namespace qs::net {
namespace {

NetHooks g_hooks;
bool g_hooked = false;

constexpr int kPieceSize = 4096;
// How long one wait for data lasts before the program's messages, the stop
// flag and a cancel are looked at again: short where a window must stay
// responsive, longer on a worker thread.
constexpr long kPumpPollMicroseconds = 10 * 1000;
constexpr long kPollMicroseconds = 50 * 1000;

// Closes the request's socket when this thread is the one to take it.
void CloseSocket(HttpRequest* request) {
  std::uintptr_t s = request->socket.exchange(kNoSocket);
  if (s != kNoSocket) closesocket(static_cast<SOCKET>(s));
}

void CloseBodyFile(HttpRequest* request) {
  void* file = request->bodyFile.exchange(nullptr);
  if (file) CloseHandle(file);
}

SOCKET Connect(const UrlParts& parts) {
  int port = parts.port;
  if (port == 0) {
    std::string scheme = parts.scheme.substr(0, parts.scheme.find(':'));
    servent* service = scheme.empty() ? nullptr : getservbyname(scheme.c_str(), "TCP");
    port = service ? ntohs(service->s_port) : 80;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  unsigned long ip = inet_addr(parts.host.c_str());
  if (ip == INADDR_NONE) {
    hostent* host = gethostbyname(parts.host.c_str());
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) return INVALID_SOCKET;
    std::memcpy(&ip, host->h_addr_list[0], sizeof ip);
  }
  address.sin_addr.s_addr = ip;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

long SendAll(HttpRequest* request, const char* bytes, long count, HttpProgress progress) {
  long total = 0;
  while (total < count) {
    std::uintptr_t s = request->socket.load();
    if (s == kNoSocket || request->cancelled) return -1;
    int sent = send(static_cast<SOCKET>(s), bytes + total, static_cast<int>(count - total), 0);
    if (sent == SOCKET_ERROR) return -1;
    total += sent;
    if (progress) progress(request, bytes + total - sent, sent, total);
  }
  return total;
}

// Why a wait for data ended.
enum class Wait { kData, kStop };

// Waits until the socket has data (or is closed by the peer), keeping the
// viewer's window alive and watching the stop flag and a cancel.
Wait WaitForData(HttpRequest* request) {
  for (;;) {
    if (request->cancelled) return Wait::kStop;
    if (g_hooked && g_hooks.pump && !g_hooks.pump(g_hooks.context)) return Wait::kStop;
    if (g_hooked && g_hooks.stopFlag && g_hooks.stopFlag->exchange(0)) return Wait::kStop;
    std::uintptr_t s = request->socket.load();
    if (s == kNoSocket) return Wait::kStop;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(s), &readable);
    timeval timeout{0, g_hooked && g_hooks.pump ? kPumpPollMicroseconds : kPollMicroseconds};
    int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return request->cancelled ? Wait::kStop : Wait::kData;
    if (ready > 0) return Wait::kData;
  }
}

// One read; 0 at the peer's close, -1 on an error or a stop.
int ReadPiece(HttpRequest* request, char* buffer) {
  if (WaitForData(request) == Wait::kStop) return -1;
  std::uintptr_t s = request->socket.load();
  if (s == kNoSocket) return -1;
  int got = recv(static_cast<SOCKET>(s), buffer, kPieceSize, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

bool WriteAll(HttpRequest* request, const char* bytes, long count) {
  while (count > 0) {
    void* file = request->bodyFile.load();
    if (!file || request->cancelled) return false;
    DWORD written = 0;
    if (!WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0)
      return false;
    bytes += written;
    count -= static_cast<long>(written);
  }
  return true;
}

// Receives the body into `path` after the `already` bytes that came with the
// header. Answers the body's length, or -1 when it was cut (the file is then
// deleted): a read error, a stop or cancel, a failed write or creation, or
// fewer bytes than the header's Content-Length.
long ReceiveToFile(HttpRequest* request, const char* path, const char* already, long count) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  request->bodyFile.store(file);
  long expected = request->bodyLength;  // -1: read to the peer's close
  long total = 0;
  bool whole = true;
  auto take = [&](const char* bytes, long n) {
    if (expected >= 0 && total + n > expected) n = expected - total;
    if (n <= 0) return true;
    if (!WriteAll(request, bytes, n)) return false;
    total += n;
    if (request->receiveProgress) request->receiveProgress(request, bytes, n, total);
    return true;
  };
  if (count > 0 && !take(already, count)) whole = false;
  char buffer[kPieceSize];
  while (whole && (expected < 0 || total < expected)) {
    int got = ReadPiece(request, buffer);
    if (got == 0) break;
    if (got < 0 || !take(buffer, got)) whole = false;
  }
  if (expected >= 0 && total < expected) whole = false;
  CloseBodyFile(request);
  if (!whole || request->cancelled) {
    DeleteFileA(path);
    return -1;
  }
  return total;
}

// Sends the request text (and body) and reads the answer into `path`.
int ReadResponse(HttpRequest* request, const char* path) {
  if (request->cancelled) return 0;
  std::string text = std::move(request->headerText);
  request->headerText.clear();
  if (SendAll(request, text.data(), static_cast<long>(text.size()), request->headerHook) < 0)
    return 0;
  if (request->hasBody && request->bodyLength > 0 &&
      SendAll(request, request->body.data(), static_cast<long>(request->body.size()),
              request->sendProgress) < 0) {
    return 0;
  }
  request->body.clear();
  request->hasBody = false;
  request->cookie.clear();
  request->contentType.clear();
  request->bodyLength = 0;

  std::string received;
  std::optional<HeaderEnd> end;
  char buffer[kPieceSize];
  while (!end) {
    int got = ReadPiece(request, buffer);
    if (got <= 0) break;
    received.append(buffer, got);
    end = FindHeaderEnd(received);
    if (!end && received.size() > kMaxHeaderSize) return 0;
  }
  if (!end || end->end > kMaxHeaderSize) return 0;
  request->headerText = received.substr(0, end->end);
  int status = HttpParseHeaders(request, request->headerText);
  if (request->headerHook) {
    request->headerHook(request, request->headerText.data(),
                        static_cast<long>(request->headerText.size()),
                        static_cast<long>(request->headerText.size()));
    request->headerHook(request, "\r\n\r\n", 4, 4);
  }
  long length = ReceiveToFile(request, path, received.data() + end->bodyStart,
                              static_cast<long>(received.size() - end->bodyStart));
  if (length < 0) return 0;
  if (length == 0) {
    DeleteFileA(path);
  } else if (StartsWithNoCase(request->contentType, "text/")) {
    ReadWholeFile(path, &request->body);
  }
  return status;
}

}  // namespace

void SetNetHooks(const NetHooks* hooks) {
  g_hooked = hooks != nullptr;
  g_hooks = hooks ? *hooks : NetHooks();
}

int NetStartup() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return -1;
  if (LOBYTE(data.wVersion) == 0 || HIBYTE(data.wVersion) == 0) {
    WSACleanup();
    return -1;
  }
  return 0;
}

void NetCleanup() { WSACleanup(); }

int HttpCancel(HttpRequest* request) {
  if (!request) return 0;
  request->cancelled = 1;
  CloseSocket(request);
  CloseBodyFile(request);
  return 0;
}

int HttpGet(const char* url, const char* proxy, const char* destination, const char* method,
            HttpRequest* request) {
  if (!request || request->cancelled || !url) return 0;
  request->headerText.clear();
  UrlParts parts;
  if (!SplitUrl(proxy ? proxy : "", url, &parts)) return 0;
  if (g_hooked && g_hooks.stopFlag && g_hooks.stopFlag->load()) return 0;
  char temporary[MAX_PATH] = "";
  if (!destination) {
    char folder[MAX_PATH];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder || !GetTempFileNameA(folder, "SPR", 0, temporary)) return 0;
    destination = temporary;
  }
  int status = 0;
  SOCKET s = Connect(parts);
  if (s != INVALID_SOCKET) {
    request->socket.store(s);
    // A cancel that came while connecting found no socket to close.
    if (request->cancelled) CloseSocket(request);
    request->headerText = HttpBuildRequest(*request, method ? method : "GET", parts.target,
                                           parts.urlHost, parts.urlPort);
    status = ReadResponse(request, destination);
    CloseSocket(request);
  }
  if (temporary[0]) DeleteFileA(temporary);
  return status;
}

int HttpDownload(const char* url, const char* proxy, const char* cacheRoot, char* localPath,
                 std::size_t size, HttpRequest* request) {
  if (!request) return 0;
  request->body.clear();
  request->hasBody = false;
  request->contentType.clear();
  request->bodyLength = 0;
  if (!url || !*url) return 0;
  const char* destination = nullptr;
  if (cacheRoot && localPath && size > 0) {
    std::string path = UrlToCachePath(cacheRoot, url);
    if (!path.empty() && path.back() == '\\') path += "index.html";
    std::string root(cacheRoot);
    if (root.empty() || root.back() != '\\') root += '\\';
    if (path.empty() || path.compare(0, root.size(), root) != 0 ||
        !CopyToBuffer(localPath, size, path)) {
      localPath[0] = '\0';
      return 0;
    }
    if (!CreateDirPath(localPath)) return 0;
    destination = localPath;
  }
  if (g_hooked && g_hooks.status) {
    std::string text = std::string("Downloading: ") + url;
    g_hooks.status(g_hooks.context, text.c_str());
  }
  return HttpGet(url, proxy, destination, "GET", request);
}

// ---- Files ---------------------------------------------------------------------

long WriteWholeFile(const char* path, const void* bytes, std::size_t count) {
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes, static_cast<DWORD>(count), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != count) {
    DeleteFileA(path);
    return -1;
  }
  return static_cast<long>(written);
}

bool ReadWholeFile(const char* path, std::string* bytes) {
  bytes->clear();
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (256LL << 20);
  if (ok) {
    bytes->resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ok = bytes->empty() ||
         (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) &&
          read == bytes->size());
  }
  CloseHandle(file);
  if (!ok) bytes->clear();
  return ok;
}

bool CreateDirPath(const char* path) {
  std::string p(path);
  std::size_t last = p.rfind('\\');
  if (last == std::string::npos) return true;
  for (std::size_t at = p.find('\\'); at != std::string::npos && at <= last;
       at = p.find('\\', at + 1)) {
    if (at == 0 || p[at - 1] == ':') continue;
    std::string folder = p.substr(0, at);
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      DWORD attributes = GetFileAttributesA(folder.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    }
  }
  return true;
}

bool DeleteDirTree(const char* folder) {
  std::string base(folder);
  while (!base.empty() && base.back() == '\\') base.pop_back();
  if (base.empty()) return false;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((base + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!std::strcmp(data.cFileName, ".") || !std::strcmp(data.cFileName, "..")) continue;
      std::string child = base + "\\" + data.cFileName;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirTree(child.c_str());
      } else {
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  return RemoveDirectoryA(base.c_str()) != 0;
}

bool FileExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MoveIntoPlace(const char* staged, const char* final) {
  if (!CreateDirPath(final)) return false;
  return MoveFileExA(staged, final, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

}  // namespace qs::net
