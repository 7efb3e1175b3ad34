// Natively the system knows no printers.
#include "view/printer_list.h"

namespace qs {

namespace {

class NoPrinters : public PrinterSystem {
 public:
  int PlatformId() override { return 2; }
  std::vector<std::string> ProfileKeys(const char*) override { return {}; }
  std::string ProfileValue(const char*, const char*) override { return {}; }
  void DriverSetup(WindowHandle, const char*, const char*, const char*) override {}
  void DocumentPropertiesSetup(WindowHandle, PrinterEntry*) override {}
  std::intptr_t CreatePrinterContext(const char*, const char*, const char*,
                                     const void*) override {
    return 0;
  }
};

}  // namespace

PrinterSystem* NewPlatformPrinterSystem() { return new NoPrinters; }

}  // namespace qs
