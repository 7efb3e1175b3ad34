// The printer list over a system of the test's own: the profile it reads,
// the platform it runs on, and the set-up and device-context calls it makes.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "api/dialogs.h"
#include "api/exports.h"
#include "fake_dialog_window.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "view/printer_list.h"

namespace qs {
namespace {

struct FakePrinters : PrinterSystem {
  int platform = 2;
  std::vector<std::pair<std::string, std::string>> devices;  // [devices] in order
  std::string windowsDevice;                                  // [windows] device=
  std::vector<std::string>* log;

  explicit FakePrinters(std::vector<std::string>* log) : log(log) {}
  int PlatformId() override { return platform; }
  std::vector<std::string> ProfileKeys(const char* section) override {
    std::vector<std::string> keys;
    if (std::string(section) == "devices")
      for (auto& d : devices) keys.push_back(d.first);
    return keys;
  }
  std::string ProfileValue(const char* section, const char* key) override {
    if (std::string(section) == "windows" && std::string(key) == "device") return windowsDevice;
    if (std::string(section) == "devices")
      for (auto& d : devices)
        if (d.first == key) return d.second;
    return {};
  }
  void DriverSetup(WindowHandle owner, const char* file, const char* device,
                   const char* port) override {
    log->push_back("ExtDeviceMode " + std::to_string(owner) + " " + file + " " + device + " " +
                   port);
  }
  void DocumentPropertiesSetup(WindowHandle owner, PrinterEntry* entry) override {
    log->push_back("DocumentProperties " + std::to_string(owner) + " " + entry->device);
    entry->devMode.assign(148, 7);
  }
  std::intptr_t CreatePrinterContext(const char* driver, const char* device, const char* port,
                                     const void* devMode) override {
    auto text = [](const char* s) { return s ? std::string(s) : std::string("(null)"); };
    log->push_back("CreateDC " + text(driver) + " " + text(device) + " " + text(port) +
                   (devMode ? " mode" : " none"));
    return 99;
  }
};

class PrinterListTest : public testing::Test {
 protected:
  // A list over the profile given; the system goes with the list.
  PrinterList& Make(std::vector<std::pair<std::string, std::string>> devices,
                    std::string windowsDevice = "", int platform = 2) {
    auto* system = new FakePrinters(&log_);
    system->devices = std::move(devices);
    system->windowsDevice = std::move(windowsDevice);
    system->platform = platform;
    list_ = std::make_unique<PrinterList>(system);
    return *list_;
  }
  // The combo box lines and the selected one.
  std::pair<std::vector<std::string>, int> Lines() {
    Dialog model;
    test::FakeDialogWindow window(&model);
    list_->FillComboBox(&window, 101);
    return {window.controls[101].lines, window.ComboCurrentSelection(101)};
  }

  std::vector<std::string> log_;
  std::unique_ptr<PrinterList> list_;
};

TEST_F(PrinterListTest, OneEntryForEachPortOfADevice) {
  const struct {
    const char* value;
    std::vector<std::string> lines;
  } cases[] = {
      {"drv,P1,P2", {"DEV on P1", "DEV on P2"}},
      {"drv,P1", {"DEV on P1"}},
      {"drv", {"DEV on "}},
      {"drv,", {"DEV on "}},
      {"drv,,P2", {"DEV on ", "DEV on P2"}},
  };
  for (const auto& c : cases) {
    PrinterList& list = Make({{"DEV", c.value}});
    EXPECT_EQ(Lines().first, c.lines) << c.value;
    for (PrinterEntry* e : list.entries()) {
      EXPECT_EQ(e->driver, "drv");
      EXPECT_EQ(e->device, "DEV");
    }
    // Without a [windows] device the first entry is current.
    EXPECT_EQ(Lines().second, 0) << c.value;
  }
}

TEST_F(PrinterListTest, TheWindowsDeviceIsCurrentAndAddedWhenUnknown) {
  Make({{"A", "drva,LPT1:"}, {"B", "drvb,LPT2:,FILE:"}}, "B,drvb,FILE:");
  EXPECT_EQ(Lines(), (std::pair<std::vector<std::string>, int>{
                         {"A on LPT1:", "B on LPT2:", "B on FILE:"}, 2}));
  PrinterList& list = Make({{"A", "drva,LPT1:"}}, "Z,drvz,COM1:");
  EXPECT_EQ(Lines(), (std::pair<std::vector<std::string>, int>{
                         {"A on LPT1:", "Z on COM1:"}, 1}));
  EXPECT_EQ(list.current()->driver, "drvz");
  // Equal means equal: another case is another printer.
  Make({{"A", "drva,LPT1:"}}, "a,drva,LPT1:");
  EXPECT_EQ(Lines().first.size(), 2u);
}

TEST_F(PrinterListTest, ADescriptionWithoutThreePartsChangesNothing) {
  PrinterList& list = Make({{"A", "drva,LPT1:"}, {"B", "drvb,LPT2:"}});
  for (const char* text : {"B,drvb", "B", "", ",drvb,LPT2:", "B,,LPT2:", "B,drvb,"}) {
    list.FindDefault(text);
    EXPECT_EQ(list.entries().size(), 2u) << text;
    EXPECT_EQ(list.current(), list.entries()[0]) << text;
  }
  list.FindDefault("B,drvb,LPT2:");
  EXPECT_EQ(list.current(), list.entries()[1]);
  // The port is the rest of the text, commas and all.
  list.FindDefault("C,drvc,P,Q");
  ASSERT_EQ(list.entries().size(), 3u);
  EXPECT_EQ(list.current()->port, "P,Q");
  // Null: the profile's default again (here none, so nothing changes).
  list.FindDefault(nullptr);
  EXPECT_EQ(list.current(), list.entries()[2]);
}

TEST_F(PrinterListTest, EveryDeviceOfALongSectionIsRead) {
  // Far more than 500 characters of names.
  std::vector<std::pair<std::string, std::string>> devices;
  for (int i = 0; i < 60; ++i)
    devices.push_back({"Printer number " + std::to_string(i) + " of the long list",
                       "winspool,Ne" + std::to_string(i) + ":" + std::string(100, 'p')});
  PrinterList& list = Make(devices);
  ASSERT_EQ(list.entries().size(), 60u);
  EXPECT_EQ(list.entries()[59]->device, "Printer number 59 of the long list");
  EXPECT_EQ(list.entries()[59]->port, "Ne59:" + std::string(100, 'p'));
}

TEST_F(PrinterListTest, NoPrintersNoCurrentNoContext) {
  PrinterList& list = Make({});
  EXPECT_EQ(list.current(), nullptr);
  EXPECT_EQ(list.GetPrinterDC(), 0);
  EXPECT_EQ(Lines().first.size(), 0u);
  EXPECT_TRUE(log_.empty());
}

TEST_F(PrinterListTest, ContextsAndSetUpByPlatform) {
  const struct {
    int platform;
    const char* driver;
    const char* setUp;
    const char* context;
  } cases[] = {
      {0, "x", "ExtDeviceMode 1 x.DRV DEV P1", "CreateDC x DEV P1 none"},
      {0, "x.y", "ExtDeviceMode 1 x.y DEV P1", "CreateDC x.y DEV P1 none"},
      {0, ".x", "ExtDeviceMode 1 .x.DRV DEV P1", "CreateDC .x DEV P1 none"},
      {1, "x", "DocumentProperties 1 DEV", "CreateDC (null) DEV (null) mode"},
      {2, "x", "DocumentProperties 1 DEV", "CreateDC x DEV (null) mode"},
  };
  for (const auto& c : cases) {
    PrinterList& list = Make({{"DEV", std::string(c.driver) + ",P1"}}, "", c.platform);
    Dialog model;
    test::FakeDialogWindow window(&model);
    list.FillComboBox(&window, 101);
    log_.clear();
    list.SetupSelected(&window, 101);
    EXPECT_EQ(list.GetPrinterDC(), 99);
    EXPECT_EQ(log_, (std::vector<std::string>{c.setUp, c.context})) << c.platform << c.driver;
  }
}

TEST_F(PrinterListTest, TheComboBoxSelectionBecomesCurrent) {
  PrinterList& list = Make({{"A", "drva,LPT1:"}, {"B", "drvb,LPT2:"}}, "B,drvb,LPT2:");
  Dialog model;
  test::FakeDialogWindow window(&model);
  list.FillComboBox(&window, 101);
  window.Select(101, 0);
  EXPECT_EQ(list.GetSelection(&window, 101), 1);
  EXPECT_EQ(list.current(), list.entries()[0]);
  // No line: nothing changes.
  window.controls[101].selected.clear();
  EXPECT_EQ(list.GetSelection(&window, 101), 0);
  EXPECT_EQ(list.current(), list.entries()[0]);
  list.SetupSelected(&window, 101);
  EXPECT_TRUE(log_.empty());
  // A line without its entry: the default again, and 0.
  window.ComboAddString(101, "stray");
  window.Select(101, 2);
  EXPECT_EQ(list.GetSelection(&window, 101), 0);
  EXPECT_EQ(list.current(), list.entries()[1]);
  window.ComboSetItemData(101, 2, 12345);
  EXPECT_EQ(list.GetSelection(&window, 101), 0);
}

TEST_F(PrinterListTest, SelectPrinterDialogMakesTheChosenLineCurrent) {
  PrinterList& list = Make({{"A", "drva,LPT1:"}, {"B", "drvb,LPT2:"}}, "B,drvb,LPT2:");
  for (int button : {kIdCancel, kIdOk}) {
    auto* dialog = new PrinterSetupDialog(&list);
    EXPECT_EQ(dialog->GetKind(), Dialog::kPrinterSetup);
    EXPECT_STREQ(DialogTemplateName(dialog->GetKind()), "DlgPrnSetup");
    {
      test::FakeDialogWindow window(dialog);
      window.Open();
      EXPECT_EQ(window.controls[101].lines,
                (std::vector<std::string>{"A on LPT1:", "B on LPT2:"}));
      EXPECT_EQ(window.ComboCurrentSelection(101), 1);
      window.Select(101, 0);
      log_.clear();
      // Setup: the driver's own dialog for the selected line; still open.
      EXPECT_FALSE(window.Send(102));
      EXPECT_EQ(log_, std::vector<std::string>{"DocumentProperties 1 A"});
      EXPECT_TRUE(window.Send(button));
      EXPECT_EQ(window.endCode, button == kIdOk ? 1 : 0);
    }
    EXPECT_EQ(list.current(), list.entries()[button == kIdOk ? 0 : 1]);
    dialog->Release();
  }
}

TEST_F(PrinterListTest, ExportsSelectAndNameTheCurrentPrinter) {
  test::RecordingSink sink;
  char name[64];
  // Without an engine there is no printer.
  EXPECT_EQ(QsSelectPrinter("P,drv,FILE:"), 0);
  EXPECT_EQ(QsGetPrinterName(name, sizeof name), nullptr);
  ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  // Natively the system knows no printers.
  EXPECT_EQ(QsGetPrinterName(name, sizeof name), nullptr);
  auto* system = new FakePrinters(&log_);
  system->devices = {{"DEV", "drv,P1,P2"}};
  GetEngine()->printers.Set(new PrinterList(system));
  EXPECT_EQ(QsGetPrinterName(name, sizeof name), name);
  EXPECT_STREQ(name, "DEV,drv,P1");
  EXPECT_EQ(QsSelectPrinter("P,drv,FILE:"), 1);
  EXPECT_STREQ(QsGetPrinterName(name, sizeof name), "P,drv,FILE:");
  EXPECT_EQ(QsSelectPrinter("DEV,drv"), 1);
  EXPECT_STREQ(QsGetPrinterName(name, sizeof name), "P,drv,FILE:");
  EXPECT_EQ(QsSelectPrinter("DEV,drv,P2"), 1);
  EXPECT_STREQ(QsGetPrinterName(name, sizeof name), "DEV,drv,P2");
  EXPECT_EQ(GetEngine()->printers->entries().size(), 3u);
  // Beyond ASCII through the code page and back; a short buffer takes
  // whole characters only.
  EXPECT_EQ(QsSelectPrinter("Dru\xC3\xA7k,drv,LPT1:"), 1);
  EXPECT_STREQ(QsGetPrinterName(name, sizeof name), "Dru\xC3\xA7k,drv,LPT1:");
  std::memset(name, '#', sizeof name);
  EXPECT_STREQ(QsGetPrinterName(name, 5), "Dru");
  EXPECT_EQ(name[5], '#');
  EXPECT_EQ(QsGetPrinterName(name, 0), nullptr);
  EXPECT_EQ(QsGetPrinterName(nullptr, 10), nullptr);
  QsTerminate();
}

}  // namespace
}  // namespace qs
