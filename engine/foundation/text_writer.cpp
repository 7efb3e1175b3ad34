#include "foundation/text_writer.h"

#include "foundation/strings.h"

namespace qs {

TextWriter::TextWriter(const char* fileName, bool crlf) : crlf_(crlf) {
  if (fileName && *fileName) {
    std::size_t len = GetStringLength(fileName);
    target_ = DuplicateString(fileName);
    scratch_ = static_cast<char*>(MemAlloc(len + 2));
    if (target_ && scratch_) {
      CopyString(scratch_, fileName);
      scratch_[len] = '~';
      scratch_[len + 1] = '\0';
      file_ = File::Open(scratch_, File::kModeCreate);
    }
  }
  ok_ = opened_ = file_ != nullptr;
  if (!file_) file_ = new RawFile;  // the null file takes every write
}

TextWriter::~TextWriter() {
  Close();
  delete file_;
  MemFree(target_);
  MemFree(scratch_);
}

void TextWriter::PutString(const char* s) {
  if (!s) return;
  while (*s) PutChar(static_cast<std::uint8_t>(*s++));
}

void TextWriter::PutQuoted(const char* value) {
  if (!value) value = "";
  if (!FindChar(value, '"')) {
    PutChar('"');
    PutString(value);
    PutChar('"');
  } else if (!FindChar(value, '\'')) {
    PutChar('\'');
    PutString(value);
    PutChar('\'');
  } else {
    PutChar('"');
    for (const char* p = value; *p; ++p) {
      if (*p == '"') PutString("&Q;");
      else if (*p == '&') PutString("&A;");
      else PutChar(static_cast<std::uint8_t>(*p));
    }
    PutChar('"');
  }
}

void TextWriter::Flush() {
  if (count_ == 0) return;
  if (closed_) {  // the text was already put in place
    count_ = 0;
    return;
  }
  std::size_t put = file_->Write(buffer_, count_);
  if (put != count_) ok_ = false;
  written_ += static_cast<std::uint32_t>(put);
  count_ = 0;
}

void TextWriter::CloseFile() {
  delete file_;
  file_ = new RawFile;
  closed_ = true;
}

bool TextWriter::Close() {
  if (closed_) return ok_;
  Flush();
  CloseFile();
  if (!opened_) return false;
  // A read-only file stays as its owner made it: not every platform's
  // rename refuses to replace one.
  if (ok_ && File::Exists(target_) == 1) ok_ = false;
  if (ok_ && !File::Rename(scratch_, target_)) ok_ = false;
  if (!ok_) File::Delete(scratch_);
  return ok_;
}

void TextWriter::Discard() {
  if (closed_) return;
  count_ = 0;
  CloseFile();
  if (opened_) File::Delete(scratch_);
  ok_ = false;
}

}  // namespace qs
