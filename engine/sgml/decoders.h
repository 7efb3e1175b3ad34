// Input decoders: everything the parser reads becomes UTF-8 first. A decoder
// is a byte source over another byte source; its buffer holds UTF-8, and
// Tell gives the offset in the source of the character at the read position.
#pragma once
#include <cstddef>
#include <cstdint>

#include "sgml/byte_source.h"

namespace qs {

// Encoding numbers (callers of OpenDecoder pass the number plus one, or 0 to
// detect it).
enum Encoding : int {
  kEncodingUtf8 = 0,
  kEncodingUtf16Le = 1,
  kEncodingUtf16Be = 2,
  kEncodingLatin1 = 3,
  kEncodingIso8859_2 = 4,  // ISO-8859-n is n + 2, up to 11 for part 9
  kEncodingIso8859_9 = 11,
  kEncodingShiftJis = 12,
  kEncodingGb2312 = 13,
  kEncodingBig5 = 14,
};

constexpr int kWarningUnsupportedEncoding = 52;  // "Unsupported character encoding: '%s'"

// Who hears of an encoding declaration that names no known encoding (the
// parser, which reports it as its warning 52).
class DecodeReporter {
 public:
  virtual void Warning(int number, const char* argument) = 0;

 protected:
  ~DecodeReporter() = default;
};

class Decoder : public ByteSource {
 public:
  std::uint32_t Tell() const override;
  int GetEncoding() const override { return encoding_; }

 protected:
  Decoder(ByteSource* source, int encoding);
  ~Decoder() override;
  bool Refill() override;
  // Decodes one character from the source; false at the end of the source.
  virtual bool DecodeOne(char32_t* cp) = 0;

  // Reading helpers that keep count of the source bytes taken.
  int Next() {
    int c = source_->GetByte();
    if (c >= 0) ++consumed_;
    return c;
  }
  void GiveBack() {
    source_->UngetByte();
    --consumed_;
  }
  // Source bytes taken but not yet decoded (a unit read ahead).
  std::uint32_t heldBack_ = 0;

 private:
  static constexpr std::size_t kBufferSize = 1024;
  ByteSource* source_;
  int encoding_;
  std::uint32_t consumed_;
  std::uint8_t out_[kBufferSize];
  // Source offset of the character that each output byte belongs to; the
  // entry after the last byte holds the offset where the buffer ends.
  std::uint32_t sourceAt_[kBufferSize + 1];
};

// The decoder for the source: from an explicit number (1-16: encoding
// number + 1), else detected from a byte-order mark (FF FE, FE FF, EF BB BF,
// consumed) or an XML declaration's encoding, else the default number. The
// result is a new reference; it is the source itself for UTF-8 and for
// numbers without a decoder. An unknown declared encoding goes to the
// reporter as warning 52 with the declared name.
ByteSource* OpenDecoder(ByteSource* source, int explicitNumber, int defaultNumber,
                        DecodeReporter* reporter);

}  // namespace qs
