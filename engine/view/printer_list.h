// The printers Windows knows, one entry per device and port, with one
// current: read from the profile's [devices] section when the engine starts.
// Everything the system answers comes through `PrinterSystem`, so the list
// runs natively with a system of the test's own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/callbacks.h"

namespace qs {

class DialogWindow;
class PrinterEntry;

// The system behind the list. Texts are in the process code page.
class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;
  // 0 the Win32 subset, 1 Windows 95/98, 2 Windows NT.
  virtual int PlatformId() = 0;
  // Every key name of a profile section, in order, whole.
  virtual std::vector<std::string> ProfileKeys(const char* section) = 0;
  // A key's value, whole; empty when missing.
  virtual std::string ProfileValue(const char* section, const char* key) = 0;
  // Platform 0: the driver library's own set-up (its "ExtDeviceMode" in
  // mode 5) for a device on a port.
  virtual void DriverSetup(WindowHandle owner, const char* driverFile, const char* device,
                           const char* port) = 0;
  // Platforms 1 and 2: the document-properties dialog of the printer named
  // `device` on the entry's device-mode record (obtained for it first).
  virtual void DocumentPropertiesSetup(WindowHandle owner, PrinterEntry* entry) = 0;
  // A device context for the named printer with its record (or none); 0
  // when none can be made. Unused names are null.
  virtual std::intptr_t CreatePrinterContext(const char* driver, const char* device,
                                             const char* port, const void* devMode) = 0;
};

// One printer on one port (texts in the process code page).
class PrinterEntry {
 public:
  PrinterEntry(std::string driver, std::string device, std::string port)
      : driver(std::move(driver)), device(std::move(device)), port(std::move(port)) {}
  std::string driver, device, port;
  // The device-mode record, once obtained (empty until then).
  std::vector<unsigned char> devMode;
};

class PrinterList {
 public:
  // Reads the printers through `system` (which the list keeps and deletes)
  // and makes the profile's default current.
  explicit PrinterList(PrinterSystem* system);
  ~PrinterList();
  PrinterList(const PrinterList&) = delete;
  PrinterList& operator=(const PrinterList&) = delete;

  // Makes current the entry a "device,driver,port" text describes (null:
  // the profile's [windows] device=), adding it when the list lacks it. A
  // text without two commas or with an empty part changes nothing.
  void FindDefault(const char* description);
  // One line "DEVICE on PORT" per entry with the entry as its data, the
  // current one selected.
  void FillComboBox(DialogWindow* window, int combo);
  // 1 when the combo box's selected line became the current entry, else 0.
  int GetSelection(DialogWindow* window, int combo);
  // The driver's set-up for the entry selected in the combo box, owned by
  // the dialog.
  void SetupSelected(DialogWindow* window, int combo);
  // A new device context for the current entry; 0 when there is none.
  std::intptr_t GetPrinterDC();

  const std::vector<PrinterEntry*>& entries() const { return entries_; }
  PrinterEntry* current() const { return current_; }
  PrinterSystem* system() const { return system_; }

 private:
  void Read();
  PrinterEntry* EntryOfLine(DialogWindow* window, int combo);
  PrinterSystem* system_;
  std::vector<PrinterEntry*> entries_;
  PrinterEntry* current_ = nullptr;
};

// The driver library a platform-0 set-up loads: the name with ".DRV"
// appended unless it has a dot after its first character.
std::string DriverFileName(const std::string& driver);

// The system's own printer system (a native build has no printers).
PrinterSystem* NewPlatformPrinterSystem();

}  // namespace qs
