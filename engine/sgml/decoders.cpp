#include "sgml/decoders.h"

#include <cstring>

#include "foundation/strings.h"
#include "foundation/utf8.h"
#include "sgml/unicode_tables.h"

namespace qs {

Decoder::Decoder(Stream* source, int encoding)
    : source_(source), encoding_(encoding), consumed_(source->Tell()) {
  tellCountsBytes_ = false;
  sourceAt_[0] = consumed_;
}

Decoder::~Decoder() { source_->Release(); }

std::int32_t Decoder::Tell() {
  if (!start_) return consumed_ - heldBack_;
  return sourceAt_[cur_ - out_];
}

void Decoder::Refill() {
  std::size_t n = 0;
  char bytes[4];
  while (n + sizeof bytes <= kBufferSize) {
    std::int32_t at = consumed_ - heldBack_;
    char32_t cp;
    if (!DecodeOne(&cp)) break;
    int len = EncodeUtf8(cp, bytes);
    for (int i = 0; i < len; ++i) {
      out_[n] = static_cast<std::uint8_t>(bytes[i]);
      sourceAt_[n++] = at;
    }
  }
  sourceAt_[n] = consumed_ - heldBack_;
  start_ = out_;
  end_ = out_ + n;
}

int Decoder::Seek(std::int32_t position) {
  if (position < Tell()) return 0;
  while (Tell() < position) {
    if (cur_ >= end_ && !Advance()) return 0;
    ++cur_;
  }
  return 1;
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

class Latin1Decoder : public Decoder {
 public:
  explicit Latin1Decoder(Stream* source) : Decoder(source, kEncodingLatin1) {}

 protected:
  bool DecodeOne(char32_t* cp) override {
    int b = Next();
    if (b < 0) return false;
    *cp = static_cast<char32_t>(b);
    return true;
  }
};

class Iso8859Decoder : public Decoder {
 public:
  Iso8859Decoder(Stream* source, int encoding)
      : Decoder(source, encoding), table_(Iso8859Table(encoding - 2)) {}

 protected:
  bool DecodeOne(char32_t* cp) override {
    int b = Next();
    if (b < 0) return false;
    if (b < 0x80) {
      *cp = static_cast<char32_t>(b);
    } else {
      std::uint16_t v = table_[b - 0x80];
      *cp = v ? v : kReplacement;
    }
    return true;
  }

 private:
  const std::uint16_t* table_;
};

class Utf16Decoder : public Decoder {
 public:
  Utf16Decoder(Stream* source, bool littleEndian)
      : Decoder(source, littleEndian ? kEncodingUtf16Le : kEncodingUtf16Be),
        littleEndian_(littleEndian) {}

 protected:
  static constexpr int kEnd = -1;
  static constexpr int kOddByte = -2;  // one byte left at the end

  int ReadUnit() {
    int a = Next();
    if (a < 0) return kEnd;
    int b = Next();
    if (b < 0) return kOddByte;
    return littleEndian_ ? (a | (b << 8)) : ((a << 8) | b);
  }

  bool DecodeOne(char32_t* cp) override {
    int u;
    if (pending_ >= 0) {
      u = pending_;
      pending_ = -1;
      heldBack_ = 0;
    } else {
      u = ReadUnit();
      if (u == kEnd) return false;
      if (u == kOddByte) {
        *cp = kReplacement;
        return true;
      }
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      int v = ReadUnit();
      if (v >= 0xDC00 && v <= 0xDFFF) {
        *cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (v - 0xDC00);
        return true;
      }
      // The unit after an unpaired high surrogate is a character of its
      // own: it is decoded next.
      if (v >= 0) {
        pending_ = v;
        heldBack_ = 2;
      }
      *cp = kReplacement;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      *cp = kReplacement;
    } else {
      *cp = static_cast<char32_t>(u);
    }
    return true;
  }

 private:
  bool littleEndian_;
  int pending_ = -1;
};

class ShiftJisDecoder : public Decoder {
 public:
  explicit ShiftJisDecoder(Stream* source)
      : Decoder(source, kEncodingShiftJis), table_(ShiftJisTable()) {}

 protected:
  bool DecodeOne(char32_t* cp) override {
    int b = Next();
    if (b < 0) return false;
    int lead;
    if (b == 0x5C) {
      *cp = 0xA5;
    } else if (b == 0x7E) {
      *cp = 0x203E;
    } else if (b >= 0xA1 && b <= 0xDF) {
      *cp = static_cast<char32_t>(b + 0xFEC0);
    } else if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF)) {
      lead = b <= 0x9F ? b - 0x81 : b - 0xC1;
      int t = Next();
      int trail = -1;
      if (t >= 0x40 && t <= 0x7E) {
        trail = t - 0x40;
      } else if (t >= 0x80 && t <= 0xFC) {
        trail = t - 0x41;
      } else if (t >= 0) {
        GiveBack();
      }
      std::uint16_t v = trail >= 0 ? table_[trail * 48 + lead] : 0;
      *cp = v ? v : kReplacement;
    } else {
      *cp = static_cast<char32_t>(b);
    }
    return true;
  }

 private:
  const std::uint16_t* table_;
};

// GB2312 (EUC form) and Big5 share their shape: a lead 0xA1-0xFE, a trail
// from a range, '~' for a lead without a valid trail.
class Gb2312Decoder : public Decoder {
 public:
  explicit Gb2312Decoder(Stream* source)
      : Decoder(source, kEncodingGb2312), table_(Gb2312Table()) {}

 protected:
  bool DecodeOne(char32_t* cp) override {
    int b = Next();
    if (b < 0) return false;
    if (b < 0xA1 || b > 0xFE) {
      *cp = static_cast<char32_t>(b);
      return true;
    }
    int t = Next();
    if (t >= 0xA1 && t <= 0xFE) {
      std::uint16_t v = table_[(t - 0xA1) * 96 + (b - 0xA1)];
      *cp = v ? v : kReplacement;
    } else {
      if (t >= 0) GiveBack();
      *cp = '~';
    }
    return true;
  }

 private:
  const std::uint16_t* table_;
};

class Big5Decoder : public Decoder {
 public:
  explicit Big5Decoder(Stream* source) : Decoder(source, kEncodingBig5), table_(Big5Table()) {}

 protected:
  bool DecodeOne(char32_t* cp) override {
    int b = Next();
    if (b < 0) return false;
    if (b < 0xA1 || b > 0xFE) {
      *cp = static_cast<char32_t>(b);
      return true;
    }
    int t = Next();
    int trail = -1;
    if (t >= 0x40 && t <= 0x7E) {
      trail = t - 0x40;
    } else if (t >= 0xA1 && t <= 0xFE) {
      trail = t - 0x62;
    }
    if (trail >= 0) {
      std::uint16_t v = table_[trail * 96 + (b - 0xA1)];
      *cp = v ? v : kReplacement;
    } else {
      if (t >= 0) GiveBack();
      *cp = '~';
    }
    return true;
  }

 private:
  const std::uint16_t* table_;
};

bool IsSeparator(std::uint8_t c) {
  return c == 0 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x1A || c == 0x20;
}

// Matches `rest` case-insensitively at p (within end) followed directly by
// the quote; returns the position after the matched text or null.
const std::uint8_t* MatchRest(const std::uint8_t* p, const std::uint8_t* end, const char* rest) {
  for (; *rest; ++rest, ++p) {
    if (p >= end || FoldCase(*p) != FoldCase(static_cast<unsigned char>(*rest))) return nullptr;
  }
  return p;
}

// The encoding named by a declaration's value starting at p (just after the
// opening quote q); -1 when it names none we know.
int MatchEncodingName(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t q) {
  if (p >= end) return -1;
  auto closes = [&](const std::uint8_t* at) { return at && at < end && *at == q; };
  switch (FoldCase(*p)) {
    case 'B':
      if (closes(MatchRest(p + 1, end, "IG5"))) return kEncodingBig5;
      break;
    case 'G':
      if (closes(MatchRest(p + 1, end, "B2312"))) return kEncodingGb2312;
      break;
    case 'I': {
      const std::uint8_t* at = MatchRest(p + 1, end, "SO-8859-");
      if (at && at < end && *at >= '1' && *at <= '9' && closes(at + 1)) return *at - '0' + 2;
      break;
    }
    case 'S':
      if (closes(MatchRest(p + 1, end, "HIFT_JIS"))) return kEncodingShiftJis;
      break;
    case 'U':
      if (closes(MatchRest(p + 1, end, "TF-8")) || closes(MatchRest(p + 1, end, "TF8")))
        return kEncodingUtf8;
      break;
  }
  return -1;
}

// Looks for the encoding declaration in the buffered start of an XML
// document. Returns the encoding number it names, or -1 (no usable
// declaration, or one that was reported as unknown).
int ScanXmlDeclaration(const std::uint8_t* buf, std::size_t n, DecodeReporter* reporter) {
  static const char kXml[] = "<?xml";
  if (n < 6 || std::memcmp(buf, kXml, 5) != 0 || !IsSeparator(buf[5])) return -1;
  const std::uint8_t* end = buf + n;
  const std::uint8_t* p = buf + 5;
  while (p < end) {
    std::uint8_t c = *p;
    if (c == '"' || c == '\'') {
      const void* close = std::memchr(p + 1, c, static_cast<std::size_t>(end - p - 1));
      if (!close) return -1;
      p = static_cast<const std::uint8_t*>(close) + 1;
      continue;
    }
    // The declaration ends at its '>': what follows is the document, whose
    // text may say "encoding" too.
    if (c == '>') return -1;
    if (IsSeparator(c) && end - p > 8 && std::memcmp(p + 1, "encoding", 8) == 0) {
      p += 9;
      while (p < end && IsSeparator(*p)) ++p;
      if (p >= end || *p != '=') return -1;
      ++p;
      while (p < end && IsSeparator(*p)) ++p;
      if (p >= end || (*p != '"' && *p != '\'')) return -1;
      std::uint8_t q = *p++;
      int number = MatchEncodingName(p, end, q);
      if (number >= 0) return number;
      if (reporter) {
        char name[64];
        std::size_t len = 0;
        while (p + len < end && len + 1 < sizeof name && p[len] != q && p[len] != '>' &&
               p[len] != '?' && !IsSeparator(p[len]))
          ++len;
        std::memcpy(name, p, len);
        name[len] = '\0';
        reporter->Warning(kWarningUnsupportedEncoding, name);
      }
      return -1;
    }
    ++p;
  }
  return -1;
}

Stream* MakeDecoder(Stream* source, int number) {
  switch (number) {
    case kEncodingUtf16Le:
      return new Utf16Decoder(source, true);
    case kEncodingUtf16Be:
      return new Utf16Decoder(source, false);
    case kEncodingLatin1:
      return new Latin1Decoder(source);
    case kEncodingShiftJis:
      return new ShiftJisDecoder(source);
    case kEncodingGb2312:
      return new Gb2312Decoder(source);
    case kEncodingBig5:
      return new Big5Decoder(source);
    default:
      if (number >= kEncodingIso8859_2 && number <= kEncodingIso8859_9)
        return new Iso8859Decoder(source, number);
      // UTF-8, and numbers that name no decoder, read the source directly.
      return source;
  }
}

}  // namespace

Stream* OpenDecoder(Stream* source, int explicitNumber, int defaultNumber,
                        DecodeReporter* reporter) {
  if (explicitNumber >= 1 && explicitNumber <= 16) return MakeDecoder(source, explicitNumber - 1);
  if (explicitNumber != 0) return MakeDecoder(source, defaultNumber);
  std::size_t n = 0;
  const std::uint8_t* buf = source->Peek(&n);
  if (buf && n >= 2 && buf[0] == 0xFF && buf[1] == 0xFE) {
    source->ReadBlock(&n, 2);
    return MakeDecoder(source, kEncodingUtf16Le);
  }
  if (buf && n >= 2 && buf[0] == 0xFE && buf[1] == 0xFF) {
    source->ReadBlock(&n, 2);
    return MakeDecoder(source, kEncodingUtf16Be);
  }
  if (buf && n >= 3 && buf[0] == 0xEF && buf[1] == 0xBB && buf[2] == 0xBF) {
    source->ReadBlock(&n, 3);
    return MakeDecoder(source, kEncodingUtf8);
  }
  int declared = buf ? ScanXmlDeclaration(buf, n, reporter) : -1;
  return MakeDecoder(source, declared >= 0 ? declared : defaultNumber);
}

}  // namespace qs
