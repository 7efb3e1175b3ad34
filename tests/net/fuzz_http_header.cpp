// Answer headers come from any server: whatever their bytes, finding the
// header's end, the status and the fields stays inside them, and the end
// found lies inside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/http.h"
#include "net/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto end = qs::net::FindHeaderEnd(bytes);
  std::string_view header = bytes;
  if (end) {
    if (end->end >= size || end->bodyStart > size || end->bodyStart <= end->end) std::abort();
    header = bytes.substr(0, end->end);
  }
  qs::net::HttpRequest request;
  qs::net::HttpParseHeaders(&request, header);
  if (request.bodyLength < -1) std::abort();
  qs::net::GetKeyValue(bytes, "'Quoted");
  qs::net::Base64Encode(bytes.substr(0, 64));
  return 0;
}
