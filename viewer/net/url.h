// URLs: taking them apart, resolving links, and the names under which a
// downloaded URL lives in a cache folder. Platform-free.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qs::net {

// Where a request for a URL goes and what it asks for.
struct UrlParts {
  std::string scheme;   // "http"; with a proxy "http://host" of the URL
  std::string host;     // host to connect to (the proxy's with a proxy)
  int port = 0;         // port to connect to; 0: the scheme's default
  std::string target;   // the request target ("/a/b.sgm", or the whole URL via a proxy)
  std::string urlHost;  // the URL's own host and port, for the Host field
  int urlPort = 0;
  std::string path;     // the URL's path from its first '/' after the host
};

// Splits `url`; with a proxy setting ("host:port", its host longer than 3
// characters) the connection goes to the proxy and the target is the whole URL. False for
// a URL that cannot be sent: empty, with blanks or control characters, or a
// port outside 1-65535.
bool SplitUrl(std::string_view proxy, std::string_view url, UrlParts* parts);

// Resolves `link` against `base` (null or empty: no base) into `link`, when
// the result fits `size` with its terminator; answers whether it did.
bool ResolveUrl(const char* base, char* link, std::size_t size);
std::string ResolveUrl(std::string_view base, std::string_view link);

// The local path of `url` below the folder `root`: "http://srv:8080/a/b.sgm?x"
// becomes root\http#srv#8080\a\b.sgm. Answers 1 with the path in `dest`, or
// 0 with `dest` empty when the result would not fit `size` or the URL names
// no safe place below the root (".." above the host folder, device names,
// names ending in '.' or a blank, characters no file name may hold).
int UrlToCachePath(char* dest, std::size_t size, const char* root, const char* url);
// The same as a string; empty when refused.
std::string UrlToCachePath(std::string_view root, std::string_view url);

// The URL of a cache path, or 0 when the path is not one.
int PathToUrl(char* dest, std::size_t size, const char* path);

// Cuts a URL just after the first '/' that follows "://" (scheme, host and
// that slash remain); a URL without such a '/' stays whole.
std::string AuthRealmPrefix(std::string_view url);

// The proxy text a download uses from the proxy setting "host:port": the
// host only when longer than 3 characters, the port only when not 0.
std::string DownloadProxyText(std::string_view setting);

}  // namespace qs::net
