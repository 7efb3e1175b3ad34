#include "url.h"

#include <cstring>
#include <vector>

#include "text.h"

namespace qs::net {
namespace {

constexpr std::string_view npos_view{};
constexpr auto npos = std::string_view::npos;

// Parses a decimal port; -1 when it is not one.
int ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return -1;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535 ? value : -1;
}

bool IsAbsolute(std::string_view link) {
  return StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "ftp://");
}

// Length of the part of `url` that names the host root, up to and including
// the '/' after the host. The '/' is appended when the URL has none.
std::size_t RootLength(std::string& url) {
  std::size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  std::size_t slash = url.find('/', start);
  if (slash == std::string::npos) {
    url += '/';
    return url.size();
  }
  return slash + 1;
}

std::string ResolveAgainstBase(std::string copy, std::string_view link) {
  std::size_t root = RootLength(copy);
  if (!link.empty() && link[0] == '/') {
    copy.resize(root);
  } else {
    while (link.substr(0, 3) == "../") {
      link.remove_prefix(3);
      std::size_t last = copy.rfind('/');
      if (last != std::string::npos && last >= root) copy.resize(last);
    }
    copy.resize(copy.rfind('/') + 1);
  }
  while (!link.empty() && (link[0] == '.' || link[0] == '/')) link.remove_prefix(1);
  copy += link;
  return copy;
}

bool IsDeviceName(std::string_view segment) {
  std::string_view stem = segment.substr(0, segment.find('.'));
  static const char* const kNames[] = {"nul", "con", "aux", "prn"};
  for (const char* name : kNames) {
    if (EqualsNoCase(stem, name)) return true;
  }
  if (stem.size() == 4 && (StartsWithNoCase(stem, "com") || StartsWithNoCase(stem, "lpt")) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return true;
  }
  return false;
}

bool IsSafeSegment(std::string_view segment) {
  if (segment.empty() || segment.back() == '.' || segment.back() == ' ') return false;
  if (IsDeviceName(segment)) return false;
  for (char c : segment) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::strchr("<>\"|*?", c)) return false;
  }
  return true;
}

}  // namespace

bool SplitUrl(std::string_view proxy, std::string_view url, UrlParts* parts) {
  *parts = UrlParts();
  if (url.empty()) return false;
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  std::size_t rest = 0;
  std::size_t sep = FindSubstring(url, "://");
  if (sep != npos) {
    parts->scheme = std::string(url.substr(0, sep));
    rest = sep + 3;
    while (rest < url.size() && url[rest] == '/') ++rest;
  }
  std::size_t hostEnd = url.find_first_of(":/", rest);
  if (hostEnd == npos) hostEnd = url.size();
  parts->urlHost = std::string(url.substr(rest, hostEnd - rest));
  if (parts->urlHost.empty()) return false;
  std::size_t pathStart = url.find('/', hostEnd);
  if (hostEnd < url.size() && url[hostEnd] == ':') {
    std::size_t portEnd = pathStart == npos ? url.size() : pathStart;
    std::string_view digits = url.substr(hostEnd + 1, portEnd - hostEnd - 1);
    if (!digits.empty()) {
      parts->urlPort = ParsePort(digits);
      if (parts->urlPort < 0) return false;
    }
  }
  parts->path = pathStart == npos ? "/" : std::string(url.substr(pathStart));
  parts->host = parts->urlHost;
  parts->port = parts->urlPort;
  std::size_t colon = proxy.rfind(':');
  std::string_view proxyHost = colon == npos ? proxy : proxy.substr(0, colon);
  // As the viewer reads its setting: a host of 3 characters or fewer is no proxy.
  if (proxyHost.size() > 3) {
    if (colon != npos) {
      int port = ParsePort(proxy.substr(colon + 1));
      if (port < 0) return false;
      parts->port = port;
    }
    parts->host = std::string(proxyHost);
    parts->scheme = (parts->scheme.empty() ? std::string("http") : parts->scheme) + "://" +
                    parts->urlHost;
    parts->target = sep == npos ? "http://" + std::string(url) : std::string(url);
  } else {
    parts->target = parts->path;
  }
  return true;
}

std::string ResolveUrl(std::string_view base, std::string_view link) {
  if (!base.empty() && !IsAbsolute(link)) return ResolveAgainstBase(std::string(base), link);
  std::size_t first = link.find("//");
  std::size_t second = first == npos ? npos : link.find("//", first + 2);
  if (second != npos) {
    // A doubled slash in the path returns to the host's root.
    std::string head(link.substr(0, second + 1));
    return ResolveAgainstBase(head, link.substr(second + 1));
  }
  if (first == npos) {
    std::size_t dot = link.find("/.");
    if (dot != npos) return ResolveAgainstBase(std::string(link.substr(0, dot + 1)),
                                               link.substr(dot + 1));
  }
  std::string out(link);
  if (!StartsWithNoCase(out, "http://") && out.find("://") == std::string::npos) {
    out.insert(0, "http://");
  }
  std::size_t slashes = 0;
  for (char c : out) slashes += c == '/';
  if (slashes < 3) out += '/';
  return out;
}

bool ResolveUrl(const char* base, char* link, std::size_t size) {
  if (!link || size == 0) return false;
  std::string out = ResolveUrl(base ? std::string_view(base) : npos_view, link);
  if (out.size() >= size) return false;
  std::memcpy(link, out.c_str(), out.size() + 1);
  return true;
}

std::string UrlToCachePath(std::string_view root, std::string_view url) {
  std::string text(url.substr(0, url.find('?')));
  // The scheme marks become part of the host folder's name.
  std::string mapped;
  for (std::size_t i = 0; i < text.size();) {
    if (StartsWithNoCase(std::string_view(text).substr(i), "http://")) {
      mapped += "http#";
      i += 7;
    } else if (StartsWithNoCase(std::string_view(text).substr(i), "ftp://")) {
      mapped += "ftp#";
      i += 6;
    } else {
      char c = text[i++];
      mapped += c == '\\' ? '/' : c == ':' ? '#' : c;
    }
  }
  // Walk the segments: "." goes, ".." takes back the last one but never the
  // host folder, empty ones between slashes go.
  std::vector<std::string_view> segments;
  std::string_view rest(mapped);
  bool trailingSlash = !rest.empty() && rest.back() == '/';
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.size() <= 1) return std::string();
      segments.pop_back();
      continue;
    }
    if (!IsSafeSegment(segment)) return std::string();
    segments.push_back(segment);
  }
  if (segments.empty()) return std::string();
  std::string path(root);
  if (path.empty() || path.back() != '\\') path += '\\';
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i) path += '\\';
    path += segments[i];
  }
  if (trailingSlash) path += '\\';
  return path;
}

int UrlToCachePath(char* dest, std::size_t size, const char* root, const char* url) {
  if (!dest || size == 0) return 0;
  dest[0] = '\0';
  if (!root || !url) return 0;
  std::string path = UrlToCachePath(root, url);
  if (path.empty()) return 0;
  return CopyToBuffer(dest, size, path) ? 1 : 0;
}

int PathToUrl(char* dest, std::size_t size, const char* path) {
  if (!dest || size == 0 || !path) return 0;
  std::string text;
  std::string_view in(path);
  for (std::size_t i = 0; i < in.size();) {
    if (in.substr(i, 5) == "http#") {
      text += "http://";
      i += 5;
    } else if (in.substr(i, 4) == "ftp#") {
      text += "ftp://";
      i += 4;
    } else {
      char c = in[i++];
      text += c == '\\' ? '/' : c == '#' ? ':' : c;
    }
  }
  std::size_t start = text.find("http://");
  if (start == std::string::npos) start = text.find("ftp://");
  if (start == std::string::npos) return 0;
  return CopyToBuffer(dest, size, std::string_view(text).substr(start)) ? 1 : 0;
}

std::string AuthRealmPrefix(std::string_view url) {
  std::size_t sep = url.find("://");
  if (sep == npos) return std::string(url);
  std::size_t slash = url.find('/', sep + 3);
  if (slash == npos) return std::string(url);
  return std::string(url.substr(0, slash + 1));
}

std::string DownloadProxyText(std::string_view setting) {
  std::size_t colon = setting.find(':');
  std::string_view host = setting.substr(0, colon);
  if (host.size() <= 3) return std::string();
  int port = 0;
  if (colon != npos) {
    for (char c : setting.substr(colon + 1)) {
      if (c < '0' || c > '9' || port > 65535) break;
      port = port * 10 + (c - '0');
    }
  }
  std::string text(host);
  if (port > 0 && port <= 65535) text += ":" + std::to_string(port);
  return text;
}

}  // namespace qs::net
