// The engine's file dialogs through the library, on a virtual display: a
// thread of the test answers each dialog as a user would, with every wait
// bounded, so no run can stay in a dialog.
#include <cstring>
#include <string>

#include "engine_dll.h"

namespace qs::test {
namespace {

class DialogsThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qsdialogs");
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)),
                                    "Dialogs", nullptr, nullptr, nullptr, dir_.c_str(), nullptr),
              0);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    RemoveDirectoryA(dir_.c_str());
    EngineDll::TearDown();
  }
  std::string dir_;
};

}  // namespace
}  // namespace qs::test

namespace qs::test {
namespace {

// Answers the file dialog captioned `title` from a thread of its own: types
// `name` and presses OK, or presses Cancel. Every wait is bounded, and a
// dialog still open at the end is cancelled, so no test stays in a dialog.
struct DialogAnswer {
  const char* title;
  std::wstring name;  // empty: cancel
  bool found = false;
};

DWORD WINAPI AnswerFileDialog(LPVOID parameter) {
  auto* answer = static_cast<DialogAnswer*>(parameter);
  HWND dialog = nullptr, control = nullptr;
  for (int i = 0; i < 200 && !control; ++i) {
    dialog = FindWindowA("#32770", answer->title);
    if (dialog && IsWindowEnabled(dialog)) {
      // The name box: a combo box on Windows, an edit under Wine.
      control = GetDlgItem(dialog, 0x47c);
      if (!control) control = GetDlgItem(dialog, 0x480);
    }
    if (!control) Sleep(50);
  }
  if (!control) return 0;
  answer->found = true;
  if (!answer->name.empty()) {
    wchar_t read[MAX_PATH] = {};
    for (int i = 0; i < 40; ++i) {
      SetWindowTextW(control, answer->name.c_str());
      GetWindowTextW(control, read, MAX_PATH);
      if (answer->name == read) break;
      Sleep(50);
    }
  }
  PostMessageA(dialog, WM_COMMAND, answer->name.empty() ? IDCANCEL : IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(dialog); ++i) Sleep(50);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  return 0;
}

std::int32_t RunAnswered(decltype(&::QsOpenFileDialog) dialog, DialogAnswer* answer, char* path,
                         const char* filter) {
  HANDLE thread = CreateThread(nullptr, 0, AnswerFileDialog, answer, 0, nullptr);
  std::int32_t result = dialog(0, answer->title, path, filter);
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  return result;
}

TEST_F(DialogsThroughDll, TheChosenPathComesInUtf8AndCancelGivesZero) {
  // A file whose name holds "é", made by its wide name.
  std::wstring wideDir(dir_.begin(), dir_.end());
  std::wstring file = wideDir + L"\\pick\u00e9.txt";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  auto open = QS_BIND(QsOpenFileDialog);
  char path[301];
  std::memset(path, '#', sizeof path);
  DialogAnswer chosen{"Pick a parts list", file};
  ASSERT_EQ(RunAnswered(open, &chosen, path, "Text|*.txt|All|*.*"), 1)
      << (chosen.found ? "the dialog did not take the name" : "no dialog came up");
  std::string utf8 = path;
  EXPECT_NE(utf8.find("pick\xC3\xA9.txt"), std::string::npos) << utf8;
  // Cancelled: 0, and the buffer as it was.
  std::memset(path, '#', sizeof path);
  DialogAnswer cancelled{"Save the parts list", L""};
  EXPECT_EQ(RunAnswered(QS_BIND(QsSaveFileDialog), &cancelled, path, "Only"), 0);
  EXPECT_TRUE(cancelled.found);
  for (char c : path) ASSERT_EQ(c, '#');
  DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace qs::test
