#include "view/printer_list.h"

#include "api/dialogs.h"

namespace qs {

namespace {

// Splits at every comma.
std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos
                                                                 : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

}  // namespace

std::string DriverFileName(const std::string& driver) {
  // A dot at the very start names no extension.
  if (driver.size() > 1 && driver.find('.', 1) != std::string::npos) return driver;
  return driver + ".DRV";
}

PrinterList::PrinterList(PrinterSystem* system) : system_(system) {
  Read();
  FindDefault(nullptr);
}

PrinterList::~PrinterList() {
  for (PrinterEntry* entry : entries_) delete entry;
  delete system_;
}

void PrinterList::Read() {
  if (!system_) return;
  // Every device, however many the profile holds: a list read into a fixed
  // buffer would drop the printers past its end.
  for (const std::string& device : system_->ProfileKeys("devices")) {
    if (device.empty()) continue;
    std::vector<std::string> parts = SplitCommas(system_->ProfileValue("devices", device.c_str()));
    // The driver, then one entry per port; without a comma, one entry with
    // no port.
    if (parts.size() == 1) {
      entries_.push_back(new PrinterEntry(parts[0], device, std::string()));
      continue;
    }
    for (std::size_t i = 1; i < parts.size(); ++i)
      entries_.push_back(new PrinterEntry(parts[0], device, parts[i]));
  }
  current_ = entries_.empty() ? nullptr : entries_.front();
}

void PrinterList::FindDefault(const char* description) {
  std::string text;
  if (description) {
    text = description;
  } else if (system_) {
    text = system_->ProfileValue("windows", "device");
  }
  std::size_t first = text.find(',');
  if (first == std::string::npos) return;
  std::size_t second = text.find(',', first + 1);
  if (second == std::string::npos) return;
  std::string device = text.substr(0, first);
  std::string driver = text.substr(first + 1, second - first - 1);
  std::string port = text.substr(second + 1);
  if (device.empty() || driver.empty() || port.empty()) return;
  for (PrinterEntry* entry : entries_) {
    if (entry->device == device && entry->port == port && entry->driver == driver) {
      current_ = entry;
      return;
    }
  }
  entries_.push_back(new PrinterEntry(driver, device, port));
  current_ = entries_.back();
}

void PrinterList::FillComboBox(DialogWindow* window, int combo) {
  if (!window) return;
  for (PrinterEntry* entry : entries_) {
    std::string line = entry->device + " on " + entry->port;
    int index = window->ComboAddString(combo, line.c_str());
    if (index < 0) continue;
    window->ComboSetItemData(combo, index, reinterpret_cast<std::intptr_t>(entry));
    if (entry == current_) window->ComboSelect(combo, index);
  }
}

PrinterEntry* PrinterList::EntryOfLine(DialogWindow* window, int combo) {
  if (!window) return nullptr;
  int index = window->ComboCurrentSelection(combo);
  if (index < 0) return nullptr;
  std::intptr_t data = window->ComboGetItemData(combo, index);
  if (data == 0 || data == -1) return nullptr;
  // Only an entry of this list: the line's data is the window's to keep.
  for (PrinterEntry* entry : entries_)
    if (reinterpret_cast<std::intptr_t>(entry) == data) return entry;
  return nullptr;
}

int PrinterList::GetSelection(DialogWindow* window, int combo) {
  if (!window || window->ComboCurrentSelection(combo) < 0) return 0;
  PrinterEntry* entry = EntryOfLine(window, combo);
  if (!entry) {
    FindDefault(nullptr);
    return 0;
  }
  current_ = entry;
  return 1;
}

void PrinterList::SetupSelected(DialogWindow* window, int combo) {
  PrinterEntry* entry = EntryOfLine(window, combo);
  if (!entry || !system_) return;
  if (system_->PlatformId() == 0) {
    system_->DriverSetup(window->Handle(), DriverFileName(entry->driver).c_str(),
                         entry->device.c_str(), entry->port.c_str());
  } else {
    system_->DocumentPropertiesSetup(window->Handle(), entry);
  }
}

std::intptr_t PrinterList::GetPrinterDC() {
  if (!current_ || !system_) return 0;
  const void* devMode = current_->devMode.empty() ? nullptr : current_->devMode.data();
  switch (system_->PlatformId()) {
    case 1:
      return system_->CreatePrinterContext(nullptr, current_->device.c_str(), nullptr, devMode);
    case 2:
      return system_->CreatePrinterContext(current_->driver.c_str(), current_->device.c_str(),
                                           nullptr, devMode);
    default:
      return system_->CreatePrinterContext(current_->driver.c_str(), current_->device.c_str(),
                                           current_->port.c_str(), devMode);
  }
}

}  // namespace qs
