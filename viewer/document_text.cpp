#include "document_text.h"

#include <algorithm>

namespace qs::viewer {

PathParts SplitDocumentPath(const std::string& path) {
  PathParts parts;
  parts.extension = path.size();
  bool separatorMet = false;
  for (std::size_t i = path.size(); i-- > 1;) {
    char c = path[i];
    if (c == '\\' || c == '/' || c == ':') {
      parts.folderLength = i + 1;
      separatorMet = true;
      break;
    }
    if (c == '.' && !separatorMet && parts.extension == path.size()) parts.extension = i;
  }
  return parts;
}

std::string CompiledPathOf(const std::string& path) {
  return path.substr(0, SplitDocumentPath(path).extension) + ".qsb";
}

EntityFileKind ClassifyEntityFile(const std::string& path) {
  static const char* const pictures[] = {".gif", ".tif", ".cgm", ".bmp", ".jpg",
                                         ".ico", ".eps", ".pbm", ".xbm", ".xpm"};
  for (const char* p : pictures) {
    if (path.find(p) != std::string::npos) return EntityFileKind::kPicture;
  }
  if (path.find(".pdf") != std::string::npos) return EntityFileKind::kPdf;
  return EntityFileKind::kEngine;
}

bool FormatRadixNumber(std::uint32_t value, char* out) {
  unsigned radix;
  switch (value >> 28) {
    case 1: radix = 2; break;
    case 2: radix = 8; break;
    case 3: radix = 16; break;
    default: return false;
  }
  std::uint32_t number = value & 0x0FFFFFFF;
  char digits[32];
  int n = 0;
  // Zero has one digit too.
  do {
    digits[n++] = "0123456789ABCDEF"[number % radix];
    number /= radix;
  } while (number);
  for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
  out[n] = 0;
  return true;
}

void AddToFront(std::vector<std::string>& list, const std::string& text, std::size_t limit) {
  auto at = std::find(list.begin(), list.end(), text);
  if (at != list.end()) {
    std::rotate(list.begin(), at, at + 1);
    return;
  }
  if (limit == 0) return;
  if (list.size() >= limit) list.resize(limit - 1);
  list.insert(list.begin(), text);
}

void RemoveEntry(std::vector<std::string>& list, const std::string& text) {
  auto at = std::find(list.begin(), list.end(), text);
  if (at != list.end()) list.erase(at);
}

}  // namespace qs::viewer
