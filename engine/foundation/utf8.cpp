#include "foundation/utf8.h"

namespace qs {

char32_t DecodeUtf8(const char*& p, const char* end) {
  unsigned char lead = static_cast<unsigned char>(*p);
  if (lead < 0x80) {
    ++p;
    return lead;
  }
  if (lead < 0xC0) {
    ++p;
    return kReplacementChar;
  }
  int n = Utf8SequenceLength(lead);
  if (end - p < n) {
    ++p;
    return kReplacementChar;
  }
  // Lead-byte payload bits for sequences of 2..6 bytes.
  static const unsigned char kLeadMask[7] = {0, 0, 0x1F, 0x0F, 0x07, 0x03, 0x01};
  char32_t cp = lead & kLeadMask[n];
  for (int i = 1; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if ((c & 0xC0) != 0x80) {
      ++p;
      return kReplacementChar;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  p += n;
  return cp > 0x10FFFF ? kReplacementChar : cp;
}

int EncodeUtf8(char32_t cp, char* out) {
  if (cp >= 0x200000) cp = kReplacementChar;
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace qs
