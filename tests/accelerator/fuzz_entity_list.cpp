// Entity lists, parameter files and command lines come from outside: the walk
// ends on any bytes, and what it hands to a fetch is text of the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "job_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int calls = 0;
  int fetched = qs::accel::WalkEntityList(
      bytes, "http://srv/doc.sgm", [&](const std::string& link, const std::string& base) {
        if (link.size() > 250 || base.size() > 250) std::abort();
        ++calls;
      });
  if (fetched != calls) std::abort();
  qs::accel::Parameters p = qs::accel::ReadParameters(std::string(bytes));
  if (p.url.find('\n') != std::string::npos) std::abort();
  std::string arg;
  qs::accel::GetArgument(bytes, 1, &arg);
  qs::accel::GetArgument(bytes, 2, &arg);
  return 0;
}
