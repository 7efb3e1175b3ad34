// A small blocking HTTP/1.0 client: one request per connection, no
// redirects, no keep-alive, no chunked transfer. The request record and the
// text of requests and answers are platform-free (http_text.cpp); sockets
// and files are in http_win32.cpp.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qs::net {

struct HttpRequest;
// Called with the record, the bytes just handled, their count and the
// running total of the transfer.
using HttpProgress = void (*)(HttpRequest* request, const char* bytes, long count, long total);

inline constexpr std::uintptr_t kNoSocket = ~static_cast<std::uintptr_t>(0);

struct HttpRequest {
  // Connection and body file of the transfer under way. A cancel from another
  // thread takes them out of these slots and closes them: whoever takes a
  // handle out of its slot closes it, so each is closed once.
  std::atomic<std::uintptr_t> socket{kNoSocket};
  std::atomic<void*> bodyFile{nullptr};
  std::atomic<int> cancelled{0};

  std::string headerText;    // the request text, then the answer's header
  std::string body;          // body to send; after a "text/" answer, the body read
  bool hasBody = false;
  const char* version = "HTTP/1.0";
  std::int32_t bodyLength = 0;  // to send; after an answer its Content-Length or -1
  std::string contentType;   // to send; after an answer its Content-Type
  const char* userAgent = nullptr;
  const char* accept = nullptr;
  const char* proxyCredentials = nullptr;  // "user:password"
  const char* credentials = nullptr;       // "user:password"
  std::string cookie;        // the last answer's Set-Cookie, sent back as Cookie
  const char* extraHeaders = nullptr;      // verbatim, with its own CR LF
  HttpProgress sendProgress = nullptr;
  HttpProgress receiveProgress = nullptr;
  HttpProgress headerHook = nullptr;
  void* userData = nullptr;
};

HttpRequest* HttpCreateRequest();
void HttpFreeRequest(HttpRequest* request);

// The request text for `target` with host and port of the URL itself.
std::string HttpBuildRequest(const HttpRequest& request, std::string_view method,
                             std::string_view target, std::string_view urlHost, int urlPort);

// Largest answer header read; a longer one fails the request.
inline constexpr std::size_t kMaxHeaderSize = 64 * 1024;

// Where an answer's header ends in the bytes received so far: the earliest
// of CR LF CR LF, CR CR and LF LF. `end` is the mark's position, `bodyStart`
// the first body byte.
struct HeaderEnd {
  std::size_t end;
  std::size_t bodyStart;
};
std::optional<HeaderEnd> FindHeaderEnd(std::string_view received);

// The number after the first blank behind "HTTP/"; 0 when there is none.
int HttpStatusCode(std::string_view header);
std::optional<std::string> HttpHeaderValue(std::string_view header, std::string_view name);
// A field's decimal value; -1 when missing or not a number.
long HttpHeaderNumber(std::string_view header, std::string_view name);
// Status, Content-Type, Set-Cookie and Content-Length into the record.
int HttpParseHeaders(HttpRequest* request, std::string_view header);

// "%d/%d bytes" with the total clamped to 0..length when the length is at
// least 1, else "%d/? bytes" (a negative total as 0).
std::string ProgressText(long total, long length);

}  // namespace qs::net
