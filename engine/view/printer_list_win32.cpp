// The printer list's system on Windows: the profile, the driver's set-up
// dialogs and printer device contexts.
#include <windows.h>
#include <winspool.h>

#include "foundation/module.h"
#include "view/printer_list.h"

namespace qs {

namespace {

// The smallest device-mode record a driver may hand back.
constexpr LONG kLeastDevMode = 148;

// A profile read into a buffer that grows until the text fits: the system
// signals a cut text by a length of size - 1 (a value) or size - 2 (a list
// of keys).
std::string ReadProfile(const char* section, const char* key) {
  for (DWORD size = 1024; size <= (1u << 24); size *= 4) {
    std::string buffer(size, '\0');
    DWORD n = GetProfileStringA(section, key, "", buffer.data(), size);
    if (n < size - 2) {
      buffer.resize(key ? n : n + 1);
      return buffer;
    }
  }
  return std::string();
}

// The entry's device-mode record for an open printer, obtained once.
void GetDevMode(HWND owner, HANDLE printer, PrinterEntry* entry) {
  if (!entry->devMode.empty()) return;
  LPSTR device = const_cast<LPSTR>(entry->device.c_str());
  LONG size = DocumentPropertiesA(owner, printer, device, nullptr, nullptr, 0);
  if (size < kLeastDevMode) return;
  std::vector<unsigned char> record(static_cast<std::size_t>(size));
  if (DocumentPropertiesA(owner, printer, device, reinterpret_cast<DEVMODEA*>(record.data()),
                          nullptr, DM_OUT_BUFFER) < 0)
    return;
  entry->devMode = std::move(record);
}

class Win32PrinterSystem : public PrinterSystem {
 public:
  int PlatformId() override { return Module().platformId; }

  std::vector<std::string> ProfileKeys(const char* section) override {
    std::string list = ReadProfile(section, nullptr);
    std::vector<std::string> keys;
    for (std::size_t at = 0; at < list.size();) {
      std::size_t end = list.find('\0', at);
      if (end == std::string::npos) end = list.size();
      if (end > at) keys.push_back(list.substr(at, end - at));
      at = end + 1;
    }
    return keys;
  }

  std::string ProfileValue(const char* section, const char* key) override {
    return key ? ReadProfile(section, key) : std::string();
  }

  void DriverSetup(WindowHandle owner, const char* driverFile, const char* device,
                   const char* port) override {
    using ExtDeviceModeProc = int(WINAPI*)(HWND, HMODULE, DEVMODEA*, LPSTR, LPSTR, DEVMODEA*,
                                           LPSTR, WORD);
    HMODULE library = LoadLibraryA(driverFile);
    if (!library) return;
    auto proc = reinterpret_cast<ExtDeviceModeProc>(
        reinterpret_cast<void*>(GetProcAddress(library, "ExtDeviceMode")));
    if (proc)
      proc(reinterpret_cast<HWND>(owner), library, nullptr, const_cast<LPSTR>(device),
           const_cast<LPSTR>(port), nullptr, nullptr, DM_UPDATE | DM_PROMPT);
    FreeLibrary(library);
  }

  void DocumentPropertiesSetup(WindowHandle owner, PrinterEntry* entry) override {
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<LPSTR>(entry->device.c_str()), &printer, nullptr)) return;
    HWND window = reinterpret_cast<HWND>(owner);
    GetDevMode(window, printer, entry);
    if (!entry->devMode.empty()) {
      // The printer's own name: the driver's would name no printer.
      auto* record = reinterpret_cast<DEVMODEA*>(entry->devMode.data());
      DocumentPropertiesA(window, printer, const_cast<LPSTR>(entry->device.c_str()), record,
                          record, DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
    }
    ClosePrinter(printer);
  }

  std::intptr_t CreatePrinterContext(const char* driver, const char* device, const char* port,
                                     const void* devMode) override {
    return reinterpret_cast<std::intptr_t>(
        CreateDCA(driver, device, port, static_cast<const DEVMODEA*>(devMode)));
  }
};

}  // namespace

PrinterSystem* NewPlatformPrinterSystem() { return new Win32PrinterSystem; }

}  // namespace qs
