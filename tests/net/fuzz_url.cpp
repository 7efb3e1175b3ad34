// URLs come from documents, entity lists and servers: a mapped path lies
// under the root with no ".." segment and no device name, or is refused;
// resolving, splitting and mapping back stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t cut = input.find('\n');
  std::string base = cut == std::string::npos ? std::string() : input.substr(0, cut);
  std::string url = cut == std::string::npos ? input : input.substr(cut + 1);
  url = url.c_str();  // as the C callers see it
  base = base.c_str();

  const char root[] = "C:\\cache\\run";
  char path[260];
  if (qs::net::UrlToCachePath(path, sizeof path, root, url.c_str())) {
    std::string p(path);
    if (p.compare(0, sizeof root, std::string(root) + "\\") != 0) std::abort();
    std::string rest = p.substr(sizeof root);
    if (rest.empty() || rest[0] == '\\') std::abort();
    std::size_t start = 0;
    while (start < rest.size()) {
      std::size_t end = rest.find('\\', start);
      if (end == std::string::npos) end = rest.size();
      std::string segment = rest.substr(start, end - start);
      if (segment.empty() || segment == "." || segment == ".." || segment.back() == '.' ||
          segment.back() == ' ' || segment.find('/') != std::string::npos)
        std::abort();
      start = end + 1;
    }
  } else if (path[0] != '\0') {
    std::abort();
  }

  char link[256];
  std::strncpy(link, url.c_str(), sizeof link - 1);
  link[sizeof link - 1] = '\0';
  qs::net::ResolveUrl(base.empty() ? nullptr : base.c_str(), link, sizeof link);
  if (!std::memchr(link, '\0', sizeof link)) std::abort();
  qs::net::UrlParts parts;
  qs::net::SplitUrl(base, url, &parts);
  char back[64];
  qs::net::PathToUrl(back, sizeof back, url.c_str());
  return 0;
}
