// Natively there are no printers and no drawing contexts: a preview lays
// its pages out with fixed font metrics and draws nothing.
#include "view/print_job.h"
#include "view/printer_device.h"

namespace qs {

namespace {

class FixedFont : public Font {
 public:
  FixedFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY)
      : Font(face, size, italic, bold) {
    ascent = static_cast<std::int16_t>(8L * size * dpiY / 72000);
    descent = static_cast<std::int16_t>(2L * size * dpiY / 72000);
    charWidth_ = static_cast<int>(6L * size * dpiY / 72000);
  }

 protected:
  int Extent8(const char*, std::size_t length) override { return static_cast<int>(length) * charWidth_; }
  int Extent16(const std::uint16_t*, std::size_t count) override {
    return static_cast<int>(count) * charWidth_;
  }

 private:
  int charWidth_;
};

class NullSurface : public PrintSurface {
 public:
  Font* MakeFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY) override {
    return new FixedFont(face ? face : "", size, italic, bold, dpiY);
  }
};

class NullSpooler : public PrintSpooler {
 public:
  void ShowAbortDialog(WindowHandle) override {}
  std::string ItemText(int) override { return {}; }
  void SetItemText(int, const char*) override {}
  int StartDocument(const char*, const char*) override { return 0; }
  int StartPage() override { return 0; }
  int EndPage() override { return 0; }
  void AbortDocument() override {}
  int EndDocument() override { return 0; }
  bool Running() override { return true; }
  bool Cancelled() const override { return false; }
  void CloseAbortDialog(WindowHandle) override {}
};

}  // namespace

PrintSurface* NewPlatformPrintSurface() { return new NullSurface; }
PrintSpooler* NewPlatformSpooler(std::intptr_t) { return new NullSpooler; }
bool PrinterContextSize(std::intptr_t, int*, int*, int*, int*) { return false; }
void DeletePrinterContext(std::intptr_t) {}

}  // namespace qs
