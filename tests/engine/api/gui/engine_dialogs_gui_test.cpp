// The engine's own dialogs through the library, on a virtual display: a
// thread of the test finds each dialog by its class and caption and fills
// and presses it as a reader would. Every wait is bounded and a dialog left
// open is cancelled, so no run stays in a dialog.
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine_dll.h"
#include "gui_harness.h"

namespace qs::test {
namespace {

namespace gui = qs::test::gui;

struct RunDialogEvent {
  QsWindow window;
  std::string name;
};
std::vector<RunDialogEvent> g_runDialogEvents;

std::intptr_t RecordRunDialog(QsWindow window, std::int32_t event, QsWord a, QsWord, QsWord) {
  if (event == 41)
    g_runDialogEvents.push_back({window, a ? reinterpret_cast<const char*>(a) : "(null)"});
  return 0;
}

std::wstring WideText(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                      gui::kWaitMs, nullptr);
  return text;
}

bool SetWideText(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, gui::kWaitMs, &result) != 0;
}

class EngineDialogs : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder(("qsengdlg" + std::to_string(GetCurrentProcessId())).c_str());
    g_runDialogEvents.clear();
  }
  void TearDown() override {
    if (started_) QS_BIND(QsTerminate)();
    if (owner_) DestroyWindow(owner_);
    EngineDll::TearDown();
  }
  // The engine, with `instance` as the host's module.
  void Start(HMODULE instance) {
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(instance), "Dialogs", nullptr,
                                    nullptr, nullptr, dir_.c_str(), nullptr),
              0);
    started_ = true;
    QS_BIND(QsSetCallback)(0, 41, RecordRunDialog, 0);
  }
  // A plain top-level window to own the dialogs.
  HWND Owner() {
    if (!owner_)
      owner_ = CreateWindowA("STATIC", "dialog owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                             300, 200, nullptr, nullptr, nullptr, nullptr);
    return owner_;
  }

  // Runs `call` on this thread while `answer` gets the dialog captioned
  // `caption` on another; a dialog the answer leaves open is cancelled.
  // False when no such dialog came up.
  template <class Call>
  bool Answered(const char* caption, std::function<void(HWND)> answer, Call call) {
    bool found = false;
    std::thread answering([&] {
      HWND dialog = gui::WaitForWindow(GetCurrentProcessId(), "#32770", caption);
      if (!dialog) return;
      found = true;
      answer(dialog);
      if (!gui::WaitForWindowGone(dialog, 5000)) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        gui::WaitForWindowGone(dialog);
      }
    });
    call();
    answering.join();
    return found;
  }

  HWND owner_ = nullptr;
  bool started_ = false;
};

// Types `text` into the input dialog's edit and presses the button.
std::function<void(HWND)> Type(std::wstring text, int button, std::wstring* shown = nullptr,
                               std::wstring* label = nullptr, bool* hostTemplate = nullptr) {
  return [=](HWND dialog) {
    HWND edit = GetDlgItem(dialog, 102);
    if (shown) *shown = WideText(edit);
    if (label) *label = WideText(GetDlgItem(dialog, 101));
    if (hostTemplate) *hostTemplate = gui::FindControl(dialog, 300) != nullptr;
    if (button == IDOK) gui::WaitUntil([&] { return SetWideText(edit, text) && WideText(edit) == text; });
    gui::PressButton(dialog, button);
  };
}

TEST_F(EngineDialogs, InputDialogGivesTheTextOnOkAndKeepsTheBufferOnCancel) {
  Start(GetModuleHandleA(nullptr));
  auto input = QS_BIND(QsInputDialog);
  char buffer[256];
  std::memset(buffer, '#', sizeof buffer);
  std::strcpy(buffer, "start");
  std::wstring shown, label;
  std::int32_t result = -2;
  // The caption is the title; the label and the text are the caller's,
  // characters beyond ASCII too.
  ASSERT_TRUE(Answered("Part number", Type(L"abc", IDOK, &shown, &label), [&] {
    result = input(0, "Part number", "Gr\xC3\xB6\xC3\x9F" "e:", buffer);
  }));
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(shown, L"start");
  EXPECT_EQ(label, L"Gr\u00f6\u00dfe:");

  // Cancel: 0 and every byte as it was.
  char before[256];
  std::memcpy(before, buffer, sizeof buffer);
  ASSERT_TRUE(Answered("Part number", Type(L"changed", IDCANCEL),
                       [&] { result = input(0, "Part number", "Number:", buffer); }));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::memcmp(before, buffer, sizeof buffer), 0);

  // Without a title the template's caption stays.
  ASSERT_TRUE(Answered("Specify", Type(L"x", IDOK), [&] { result = input(0, nullptr, "N", buffer); }));
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "x");
}

TEST_F(EngineDialogs, InputDialogAnswerIsCutToWholeCharactersWithin100Bytes) {
  Start(GetModuleHandleA(nullptr));
  auto input = QS_BIND(QsInputDialog);
  const struct {
    std::wstring typed;
    std::string expected;
  } cases[] = {
      {std::wstring(150, L'\u00e9'), [] {
         std::string s;
         for (int i = 0; i < 50; ++i) s += "\xC3\xA9";
         return s;
       }()},
      // One byte ahead: the 50th "é" would end on byte 101 and stays out.
      {L"a" + std::wstring(150, L'\u00e9'), [] {
         std::string s = "a";
         for (int i = 0; i < 49; ++i) s += "\xC3\xA9";
         return s;
       }()},
      {std::wstring(150, L'x'), std::string(100, 'x')},
      // A character outside the ANSI code page comes through whole.
      {L"\u20ac\u4e2d", "\xE2\x82\xAC\xE4\xB8\xAD"},
  };
  for (const auto& c : cases) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    buffer[0] = '\0';
    std::int32_t result = -2;
    ASSERT_TRUE(Answered("Long", Type(c.typed, IDOK), [&] { result = input(0, "Long", "T", buffer); }));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::string(buffer), c.expected);
    // Nothing written past the 101st byte.
    for (std::size_t i = 101; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
  }
}

TEST_F(EngineDialogs, RunDialogEventNamesTheTemplateAndTheOwner) {
  Start(GetModuleHandleA(nullptr));
  HWND owner = Owner();
  ASSERT_NE(owner, nullptr);
  char buffer[128] = "";
  std::int32_t result = -2;
  ASSERT_TRUE(Answered("Owned", Type(L"1", IDOK), [&] {
    result = QS_BIND(QsInputDialog)(reinterpret_cast<QsWindow>(owner), "Owned", "P", buffer);
  }));
  EXPECT_EQ(result, 1);
  ASSERT_EQ(g_runDialogEvents.size(), 1u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgInput");
  EXPECT_EQ(g_runDialogEvents[0].window, reinterpret_cast<QsWindow>(owner));
  // The owner is usable again once the dialog is gone.
  EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(EngineDialogs, TheHostModulesTemplateWins) {
  HMODULE host = LoadLibraryA((gui::ProgramFolder() + "host_dialogs.dll").c_str());
  ASSERT_NE(host, nullptr) << GetLastError();
  Start(host);
  char buffer[128] = "";
  bool hostTemplate = false;
  std::int32_t result = -2;
  ASSERT_TRUE(Answered("Host asks", Type(L"from host", IDOK, nullptr, nullptr, &hostTemplate),
                       [&] { result = QS_BIND(QsInputDialog)(0, "Host asks", "P", buffer); }));
  EXPECT_TRUE(hostTemplate);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer, "from host");
  ASSERT_EQ(g_runDialogEvents.size(), 1u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgInput");
  QS_BIND(QsTerminate)();
  started_ = false;
  FreeLibrary(host);
}

TEST_F(EngineDialogs, TheLibrarysTemplateServesAHostWithoutOne) {
  Start(GetModuleHandleA(nullptr));
  char buffer[128] = "";
  bool hostTemplate = true;
  ASSERT_TRUE(Answered("Plain", Type(L"y", IDOK, nullptr, nullptr, &hostTemplate),
                       [&] { QS_BIND(QsInputDialog)(0, "Plain", "P", buffer); }));
  EXPECT_FALSE(hostTemplate);
  EXPECT_STREQ(buffer, "y");
}

std::vector<std::wstring> ComboLines(HWND combo) {
  std::vector<std::wstring> lines;
  LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t line[256] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256)
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(line));
    lines.push_back(line);
  }
  return lines;
}

int IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return static_cast<int>(i);
  return -1;
}

TEST_F(EngineDialogs, SelectPrinterListsThePrintersAndMakesTheChosenOneCurrent) {
  Start(GetModuleHandleA(nullptr));
  auto select = QS_BIND(QsSelectPrinter);
  auto name = QS_BIND(QsGetPrinterName);
  char buffer[128];
  EXPECT_EQ(select("Q,drvq,LPT1:"), 1);
  EXPECT_EQ(select("P,drv,FILE:"), 1);
  ASSERT_EQ(name(buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "P,drv,FILE:");
  // Only one comma: nothing changes.
  EXPECT_EQ(select("Q,drvq"), 1);
  EXPECT_STREQ(name(buffer, sizeof buffer), "P,drv,FILE:");

  HWND owner = Owner();
  std::vector<std::wstring> lines;
  int shown = -2;
  auto choose = [&](const wchar_t* line, int button) {
    return [&, line, button](HWND dialog) {
      HWND combo = GetDlgItem(dialog, 101);
      lines = ComboLines(combo);
      shown = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
      SendMessageW(combo, CB_SETCURSEL, IndexOf(lines, line), 0);
      gui::PressButton(dialog, button);
    };
  };
  auto run = [&] { QS_BIND(QsPrinterSetupDialog)(reinterpret_cast<QsWindow>(owner)); };
  ASSERT_TRUE(Answered("Select Printer", choose(L"Q on LPT1:", IDOK), run));
  int q = IndexOf(lines, L"Q on LPT1:"), p = IndexOf(lines, L"P on FILE:");
  ASSERT_GE(q, 0);
  ASSERT_GE(p, 0);
  EXPECT_EQ(shown, p);
  EXPECT_STREQ(name(buffer, sizeof buffer), "Q,drvq,LPT1:");
  // Cancel keeps the current printer.
  ASSERT_TRUE(Answered("Select Printer", choose(L"P on FILE:", IDCANCEL), run));
  EXPECT_EQ(shown, q);
  EXPECT_STREQ(name(buffer, sizeof buffer), "Q,drvq,LPT1:");
  ASSERT_EQ(g_runDialogEvents.size(), 2u);
  EXPECT_EQ(g_runDialogEvents[0].name, "DlgPrnSetup");
  EXPECT_EQ(g_runDialogEvents[1].window, reinterpret_cast<QsWindow>(owner));
}

}  // namespace
}  // namespace qs::test
