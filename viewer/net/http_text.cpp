#include <string>

#include "http.h"
#include "text.h"

namespace qs::net {

HttpRequest* HttpCreateRequest() { return new (std::nothrow) HttpRequest(); }

void HttpFreeRequest(HttpRequest* request) { delete request; }

std::string HttpBuildRequest(const HttpRequest& request, std::string_view method,
                             std::string_view target, std::string_view urlHost, int urlPort) {
  std::string text;
  text.append(method).append(" ").append(target).append(" ").append(request.version);
  text += "\r\nUser-Agent: ";
  if (request.userAgent) text += request.userAgent;
  text.append("\r\nHost: ").append(urlHost).append(":").append(
      std::to_string(urlPort ? urlPort : 80));
  text += "\r\nAccept: ";
  text += request.accept && *request.accept ? request.accept : "*/*";
  text += "\r\n";
  if (request.proxyCredentials) {
    text += "Proxy-Authorization: Basic " + Base64Encode(request.proxyCredentials) + "\r\n";
  }
  if (request.credentials && *request.credentials) {
    text += "Authorization: Basic " + Base64Encode(request.credentials) + "\r\n";
  }
  if (!request.cookie.empty()) text += "Cookie: " + request.cookie + "\r\n";
  if (!request.contentType.empty()) text += "Content-Type: " + request.contentType + "\r\n";
  if (request.hasBody && request.bodyLength >= 1) {
    text += "Content-Length: " + std::to_string(request.bodyLength) + "\r\n";
  }
  if (request.extraHeaders) text += request.extraHeaders;
  text += "\r\n";
  return text;
}

std::optional<HeaderEnd> FindHeaderEnd(std::string_view received) {
  for (std::size_t i = 0; i + 1 < received.size(); ++i) {
    if (received.substr(i, 4) == "\r\n\r\n") return HeaderEnd{i, i + 4};
    if (received[i] == received[i + 1] && (received[i] == '\r' || received[i] == '\n')) {
      return HeaderEnd{i, i + 2};
    }
  }
  return std::nullopt;
}

int HttpStatusCode(std::string_view header) {
  std::size_t at = FindSubstring(header, "HTTP/");
  if (at == std::string_view::npos) return 0;
  std::size_t blank = header.find(' ', at);
  if (blank == std::string_view::npos) return 0;
  int value = 0;
  for (std::size_t i = blank + 1; i < header.size() && header[i] >= '0' && header[i] <= '9';
       ++i) {
    if (value > 99999) return 0;
    value = value * 10 + (header[i] - '0');
  }
  return value;
}

std::optional<std::string> HttpHeaderValue(std::string_view header, std::string_view name) {
  auto value = GetKeyValue(header, name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

long HttpHeaderNumber(std::string_view header, std::string_view name) {
  auto value = GetKeyValue(header, name);
  if (!value) return -1;
  long long number = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
    if (number > 0x7fffffffLL) return -1;
  }
  return static_cast<long>(number);
}

int HttpParseHeaders(HttpRequest* request, std::string_view header) {
  auto type = HttpHeaderValue(header, "Content-Type:");
  request->contentType = type ? *type : std::string();
  auto cookie = HttpHeaderValue(header, "Set-Cookie:");
  if (cookie) request->cookie = *cookie;
  request->bodyLength = static_cast<std::int32_t>(HttpHeaderNumber(header, "Content-Length:"));
  return HttpStatusCode(header);
}

std::string ProgressText(long total, long length) {
  if (total < 0) total = 0;
  if (length >= 1) {
    if (total > length) total = length;
    return std::to_string(total) + "/" + std::to_string(length) + " bytes";
  }
  return std::to_string(total) + "/? bytes";
}

}  // namespace qs::net
