#include "message_text.h"

#include <cstring>

namespace qs::viewer {

extern const char* const kMessageTexts[119];

namespace {

void AppendArgument(std::string* out, std::intptr_t argument) {
  const char* text = reinterpret_cast<const char*>(argument);
  if (!text) return;
  std::size_t n = 0;
  while (n < 512 && text[n]) ++n;
  out->append(text, n);
}

}  // namespace

std::string FormatEngineMessage(int number, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3) {
  if (number < 0 || number >= kMessageTextCount) return "Message " + std::to_string(number);
  const std::intptr_t arguments[3] = {a1, a2, a3};
  int next = 0;
  std::string out;
  for (const char* p = kMessageTexts[number]; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
      std::intptr_t argument = next < 3 ? arguments[next++] : 0;
      if (p[1] == 's') {
        AppendArgument(&out, argument);
      } else {
        out += std::to_string(static_cast<long long>(argument));
      }
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string MessageLine(const std::string& fileName, int severity, const std::string& text) {
  std::string line = (severity ? "Error: " : "Warning: ") + text;
  // Backwards from the second-to-last character down to the second.
  for (std::size_t i = fileName.size() >= 2 ? fileName.size() - 2 : 0; i >= 1 && i < fileName.size();
       --i) {
    char c = fileName[i];
    if (c == '\\' || c == '/' || c == ':') {
      line += " (" + fileName.substr(i + 1) + ")";
      break;
    }
  }
  return line;
}

}  // namespace qs::viewer
