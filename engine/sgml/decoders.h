// Input decoders: everything the parser reads becomes UTF-8 first. A decoder
// is a stream over another stream; its buffer holds UTF-8, and Tell gives
// the offset in the source of the character at the read position.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/stream.h"

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

class Decoder : public Stream {
 public:
  ~Decoder() override;
  // The source offset of the character at the read position.
  std::int32_t Tell() override;
  bool IsReadable() override { return source_->IsReadable(); }
  void Refill() override;
  // Forward only, by reading, to a source offset.
  int Seek(std::int32_t position) override;
  int GetEncoding() override { return encoding_; }

 protected:
  // Takes over the caller's use of the source.
  Decoder(Stream* source, int encoding);
  // Decodes one character from the source; false at the end of the source.
  virtual bool DecodeOne(char32_t* cp) = 0;

  // Reading helpers that keep count of the source bytes taken: the next
  // byte, -1 at the end of the source (a 0 byte inside it is kept).
  int Next() {
    int c = source_->GetChar();
    if (c == 0 && source_->State() == kAtEnd) return -1;
    ++consumed_;
    return c;
  }
  // Gives the byte Next returned last back to the source.
  void GiveBack() {
    source_->Unread(1);
    --consumed_;
  }
  // Source bytes taken but not yet decoded (a unit read ahead).
  std::int32_t heldBack_ = 0;

 private:
  static constexpr std::size_t kBufferSize = 1024;
  Stream* source_;
  int encoding_;
  std::int32_t consumed_;
  std::uint8_t out_[kBufferSize];
  // Source offset of the character that each output byte belongs to; the
  // entry after the last byte holds the offset where the buffer ends.
  std::int32_t sourceAt_[kBufferSize + 1];
};

// The stream to read the source through: a decoder chosen by an explicit
// number (1-16: encoding number + 1), else from a byte-order mark (FF FE,
// FE FF, EF BB BF; consumed) or an XML declaration's encoding, else the
// default number. The source itself for UTF-8 and for numbers without a
// decoder. Takes over the caller's use of the source: the caller releases
// only the result. An unknown declared encoding goes to the reporter as
// warning 52 with the declared name.
Stream* OpenDecoder(Stream* source, int explicitNumber, int defaultNumber,
                    DecodeReporter* reporter);

}  // namespace qs
