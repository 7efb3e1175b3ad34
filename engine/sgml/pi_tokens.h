// The argument reader of the engine's processing instructions, shared by the
// parser and the compiled-document writer, which reads the instructions
// again from the document text.
#pragma once
#include <cstddef>
#include <cstring>

#include "foundation/strings.h"
#include "sgml/parser.h"

namespace qs {

inline bool IsPiBlank(char c) {
  return GetParserTables().separators[static_cast<std::uint8_t>(c)] != 0;
}
inline bool IsPiNameByte(char c) {
  return GetParserTables().names[static_cast<std::uint8_t>(c)] != 0;
}

// The items of an instruction's arguments: quoted texts, names (also after
// '#') and a lone '*'.
class PiTokens {
 public:
  explicit PiTokens(const char* text) : p_(text) {}
  // The next item into `out` (cut to its capacity); false when none is
  // well formed.
  bool Next(char* out, std::size_t capacity) {
    while (*p_ && IsPiBlank(*p_)) ++p_;
    const char* start = p_;
    std::size_t n = 0;
    if (*p_ == '"' || *p_ == '\'') {
      char quote = *p_++;
      start = p_;
      while (*p_ && *p_ != quote) ++p_;
      if (!*p_) return false;
      n = static_cast<std::size_t>(p_ - start);
      ++p_;
    } else if (*p_ == '*' && (p_[1] == 0 || IsPiBlank(p_[1]))) {
      n = 1;
      ++p_;
    } else if (IsPiNameByte(*p_) || (*p_ == '#' && IsPiNameByte(p_[1]))) {
      ++p_;
      while (*p_ && IsPiNameByte(*p_)) ++p_;
      n = static_cast<std::size_t>(p_ - start);
    } else {
      return false;
    }
    if (n >= capacity) n = capacity - 1;
    std::memcpy(out, start, n);
    out[n] = 0;
    return true;
  }
  bool AtEnd() {
    while (*p_ && IsPiBlank(*p_)) ++p_;
    return *p_ == 0;
  }

 private:
  const char* p_;
};

// Whether the instruction starts with the keyword (any case) followed by a
// separator: the arguments, else null.
inline const char* MatchPiKeyword(const char* text, const char* keyword) {
  std::size_t n = std::strlen(keyword);
  if (CompareStringNoCaseMax(text, keyword, n) != 0) return nullptr;
  if (!text[n] || !IsPiBlank(text[n])) return nullptr;
  return text + n;
}

}  // namespace qs
