#include "text.h"

#include <cstring>

namespace qs::net {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchAt(std::string_view text, std::size_t at, std::string_view key, bool caseBlind) {
  if (text.size() - at < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char a = text[at + i], b = key[i];
    if (caseBlind ? Lower(a) != Lower(b) : a != b) return false;
  }
  return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchAt(a, 0, b, true);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return MatchAt(text, 0, prefix, true);
}

std::size_t FindSubstring(std::string_view text, std::string_view key, std::size_t from) {
  if (key.empty() || from > text.size()) return std::string_view::npos;
  for (std::size_t at = from; at + key.size() <= text.size(); ++at) {
    if (MatchAt(text, at, key, true)) return at;
  }
  return std::string_view::npos;
}

std::size_t FindAtTokenStart(std::string_view text, std::string_view key,
                             std::string_view delimiters) {
  if (key.empty()) return std::string_view::npos;
  for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
    if (at > 0 && delimiters.find(text[at - 1]) == std::string_view::npos) continue;
    if (MatchAt(text, at, key, true)) return at;
  }
  return std::string_view::npos;
}

std::optional<std::string_view> GetKeyValue(std::string_view text, std::string_view key) {
  if (key.empty()) return std::nullopt;
  bool caseBlind = key[0] != '"' && key[0] != '\'';
  for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
    if (at > 0 && text[at - 1] != '\n' && text[at - 1] != '\r') continue;
    if (!MatchAt(text, at, key, caseBlind)) continue;
    std::size_t p = at + key.size();
    while (p < text.size() && !std::strchr(" =\t\"'\n\r", text[p])) ++p;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '=')) ++p;
    if (p >= text.size() || text[p] == '\n' || text[p] == '\r') return std::nullopt;
    std::size_t end = p;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    while (end > p && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    if (end == p) return std::nullopt;
    return text.substr(p, end - p);
  }
  return std::nullopt;
}

std::size_t CountSubstring(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + 1)) {
    ++count;
  }
  return count;
}

void BlankComments(std::string& text) {
  bool inComment = false;
  for (char& c : text) {
    if (c == '\r' || c == '\n') {
      inComment = false;
    } else if (c == '#' || inComment) {
      inComment = true;
      c = ' ';
    }
  }
}

std::string Base64Encode(std::string_view bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                 (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  std::size_t rest = bytes.size() - i;
  if (rest) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool CopyToBuffer(char* buffer, std::size_t size, std::string_view text) {
  if (!buffer || size == 0) return false;
  if (text.size() >= size) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return true;
}

}  // namespace qs::net
