// The viewer's library in this test's own process: the text conversions,
// the engine binding's queue and wrappers without an engine, the registry
// reads, and the message window's lines and source excerpts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine.h"
#include "message_text.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

std::string Bytes(const char* text) {
  std::string out;
  char hex[4];
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    std::snprintf(hex, sizeof hex, "%02X ", *p);
    out += hex;
  }
  return out;
}

TEST(Conversion, NullAndAsciiComeBackAsThemselves) {
  EXPECT_EQ(ToEngineString(nullptr), nullptr);
  EXPECT_EQ(FromEngineString(nullptr), nullptr);
  const char* ascii = "C:\\docs\\manual.sgm";
  EXPECT_EQ(ToEngineString(ascii), ascii);
  EXPECT_EQ(FromEngineString(ascii), ascii);
}

TEST(Conversion, AnsiTextBecomesUtf8AndBack) {
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  const char cafe[] = "caf\xE9";
  char* utf8 = ToEngineString(cafe);
  ASSERT_NE(utf8, cafe);
  EXPECT_EQ(Bytes(utf8), "63 61 66 C3 A9 ");
  char* back = FromEngineString(utf8);
  EXPECT_STREQ(back, cafe);
  std::free(back);
  std::free(utf8);
  // U+1F600 has no place in code page 1252: the default character.
  // (A surrogate pair may give one default character a unit.)
  char* smiley = FromEngineString("a\xF0\x9F\x98\x80z");
  std::string shown = smiley;
  EXPECT_TRUE(shown == "a?z" || shown == "a??z") << shown;
  std::free(smiley);
}

TEST(Conversion, BadUtf8BecomesReplacementCharacters) {
  std::vector<wchar_t> out(16);
  struct Case {
    const char* utf8;
    std::wstring wide;
  } cases[] = {
      {"\xC3\xA9", L"\u00E9"},
      {"\xC3\x41", L"\uFFFDA"},         // a lead byte without its continuation
      {"\x80z", L"\uFFFDz"},            // a continuation byte alone
      {"\xED\xA0\x80", L"\uFFFD"},      // an encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD"},  // beyond U+10FFFF
      {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
      {"\xE2\x82", L"\uFFFD"},          // cut by the terminator
  };
  for (const Case& c : cases) {
    std::size_t n = Utf8ToUtf16(c.utf8, out.data());
    EXPECT_EQ(std::wstring(out.data(), n), c.wide) << Bytes(c.utf8);
  }
}

TEST(Conversion, LoneSurrogatesBecomeReplacementCharacters) {
  char out[32];
  const wchar_t high[] = {L'a', 0xD800, L'b'};
  Utf16ToUtf8(high, 3, out);
  EXPECT_EQ(Bytes(out), "61 EF BF BD 62 ");
  const wchar_t low[] = {0xDC00};
  Utf16ToUtf8(low, 1, out);
  EXPECT_EQ(Bytes(out), "EF BF BD ");
  const wchar_t pair[] = {0xD83D, 0xDE00};
  Utf16ToUtf8(pair, 2, out);
  EXPECT_EQ(Bytes(out), "F0 9F 98 80 ");
}

TEST(Conversion, NeverReadsPastTheTerminator) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  DWORD page = info.dwPageSize;
  auto* memory = static_cast<char*>(
      VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(memory, nullptr);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(memory + page, page, PAGE_NOACCESS, &old));
  // "E2 82" and the terminator end right before the guard page.
  char* text = memory + page - 3;
  text[0] = '\xE2';
  text[1] = '\x82';
  text[2] = 0;
  char* local = FromEngineString(text);
  ASSERT_NE(local, nullptr);
  EXPECT_LE(std::strlen(local), 2u);
  std::free(local);
  VirtualFree(memory, 0, MEM_RELEASE);
}

std::intptr_t ProcA(QsWindow, std::int32_t, QsWord, QsWord, QsWord) { return 1; }
std::intptr_t ProcB(QsWindow, std::int32_t, QsWord, QsWord, QsWord) { return 2; }

TEST(Binding, WithoutAnEngineWrappersAnswerZeroAndRegistrationsWait) {
  ASSERT_FALSE(engine::Bound());
  EXPECT_EQ(engine::QsGetVersion(), 0);
  char buffer[16] = "unchanged";
  EXPECT_EQ(engine::QsGetCatalogFile(buffer, std::int32_t{16}), nullptr);
  EXPECT_STREQ(buffer, "unchanged");
  int before = engine::PendingCallbackCount();
  engine::QsSetCallback(QsWindow{0}, std::int32_t{7}, ProcA, QsWord{1});
  engine::QsSetCallback(QsWindow{0}, std::int32_t{7}, ProcB, QsWord{2});  // replaces
  engine::QsSetCallback(QsWindow{5}, std::int32_t{7}, ProcA, QsWord{0});
  EXPECT_EQ(engine::PendingCallbackCount(), before + 2);
  // Without an engine the default window procedure answers.
  EXPECT_EQ(engine::QsDefWindowProc(QsWindow{0}, std::uint32_t{WM_NULL}, QsWord{0}, QsWord{0}), 0);
  engine::QsTerminate();  // nothing to stop
}

TEST(Binding, TheTableHasEveryNumberedExportInOrder) {
  ASSERT_EQ(engine::kSlotCount, 296);
  EXPECT_EQ(engine::kBindings[0].number, 0x11de08u);
  EXPECT_EQ(engine::kBindings[5].number, 0x11160u);
  EXPECT_EQ(engine::kBindings[5].bytes, 28u);
  EXPECT_EQ(engine::kBindings[292].number, 0xfeb7cu);
  EXPECT_EQ(engine::kBindings[295].number, 0x2407ec0u);
}

TEST(Registry, LongValuesCountAsMissingAndBuffersAreTerminated) {
  const char* key = "Software\\Tarkwell\\ViewerLibTest";
  std::string longValue(300, 'v');
  RegWriteString(HKEY_CURRENT_USER, key, "Long", longValue.c_str());
  std::string exact(250, 'e');
  RegWriteString(HKEY_CURRENT_USER, key, "Exact", exact.c_str());
  char buffer[kRegistryValueMax + 1] = "default";
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, key, "Long", buffer), 1);
  EXPECT_STREQ(buffer, "default");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, key, "Exact", buffer), 1);
  EXPECT_EQ(std::string(buffer), exact);
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, key, "Missing", buffer), 1);
  EXPECT_EQ(std::string(buffer), exact);
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Tarkwell\\NoSuchKey", "x", buffer), 0);
  RegDeleteTreeA(HKEY_CURRENT_USER, key);
}

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MessageWndProc;
    wc.cbWndExtra = sizeof(void*);
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Qs:PMsgWndCls";
    RegisterClassA(&wc);
    window_ = CreateWindowA("Qs:PMsgWndCls", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                            wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    SetMessageWindow(window_);
    list_ = GetDlgItem(window_, 100);
  }
  void TearDown() override {
    DestroyWindow(window_);
    SetMessageWindow(nullptr);
  }
  std::string Line(int index) {
    char text[512] = "";
    SendMessageA(list_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
  }
  void Report(int kind, const char* entity, int number, int severity = 1) {
    QsParseReport report = {};
    report.kind = kind;
    report.entity = entity;
    report.severity = severity;
    report.number = number;
    report.offset = 10;
    EXPECT_EQ(EngineMessageCallback(&report, 0), 1);
  }
  HWND window_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(MessageWindowTest, ListsLinesAndStopsAtOneHundred) {
  Report(QS_REPORT_MESSAGE, "C:\\docs\\bad.sgm", 8);
  Report(QS_REPORT_MESSAGE, "bad.sgm", 3, 0);
  Report(QS_REPORT_ENTERED, "C:\\docs\\bad.sgm", 53);  // no line for an opened file
  EXPECT_EQ(Line(0), "Error: Syntax error (bad.sgm)");
  EXPECT_EQ(Line(1), "Warning: Undefined entity: ''");
  for (int i = 2; i < 105; ++i) Report(QS_REPORT_MESSAGE, "x.sgm", 8);
  EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 101);
  EXPECT_EQ(Line(100), kTooManyMessages);
  EXPECT_EQ(SendMessageA(list_, LB_GETITEMDATA, 100, 0), 0);
  // The timer the first message armed keeps them through a clear; once it
  // has shown the window, a clear empties the list.
  MSG message;
  DWORD end = GetTickCount() + 2000;
  while (GetTickCount() < end && SendMessageA(list_, LB_GETCURSEL, 0, 0) == LB_ERR) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(5);
  }
  ClearMessages();
  EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 0);
}

TEST(SourceExcerpt, ShowsTheTextAroundTheOffset) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  std::string path = std::string(folder) + "viewer_excerpt.sgm";
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line " + std::to_string(i) + " of the document\n";
  FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  std::string shown;
  int caret = 0;
  ASSERT_TRUE(SourceExcerpt(path, 100, 0, &shown, &caret));
  EXPECT_EQ(caret, 103);
  EXPECT_EQ(shown.substr(0, 12), "...line 0 of");
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
  ASSERT_TRUE(SourceExcerpt(path, 700, 0, &shown, &caret));
  EXPECT_EQ(caret, 515);
  EXPECT_EQ(shown, "..." + text.substr(188, 1024) + "...");
  // An offset of -1 (a DTD) means the start of the reported line.
  ASSERT_TRUE(SourceExcerpt(path, -1, 3, &shown, &caret));
  EXPECT_EQ(shown.substr(caret, 6), "line 2");
  EXPECT_FALSE(SourceExcerpt(path + ".none", 0, 0, &shown, &caret));
  EXPECT_EQ(shown, "Can't open file \"" + path + ".none\"");
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace qs::viewer

namespace qs::viewer {
namespace {

// Answers the "Save Files" dialog from a second thread: ticks "Do not show
// this message in the future" when asked, then presses the button given.
struct SaveFilesAnswer {
  int button;
  bool tick;
  DWORD dialogThread;  // the thread that runs the dialog
};

BOOL CALLBACK FindShownSaveFiles(HWND window, LPARAM found) {
  char className[16] = "";
  char caption[32] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  if (std::strcmp(className, "#32770") || std::strcmp(caption, "Save Files") || !IsWindowVisible(window))
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Answers only this test's own dialog (other test processes on the same
// desktop may show theirs), and only once it is shown: the window exists
// before its controls and WM_INITDIALOG, so a tick set earlier could miss.
DWORD WINAPI AnswerSaveFiles(LPVOID parameter) {
  auto* answer = static_cast<SaveFilesAnswer*>(parameter);
  for (int i = 0; i < 1500; ++i) {
    HWND dialog = nullptr;
    EnumThreadWindows(answer->dialogThread, FindShownSaveFiles, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) {
      if (answer->tick) SendDlgItemMessageA(dialog, 1002, BM_SETCHECK, BST_CHECKED, 0);
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer->button, BN_CLICKED), 0);
      return 0;
    }
    Sleep(20);
  }
  return 1;
}

TEST(SaveFilesDialog, DeleteRemovesTheRunFolderAndTheBoxSetsThePrompt) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  struct Case {
    int button;
    bool tick;
    bool folderStays;
    bool promptAfter;
  } cases[] = {{2, false, false, true}, {1, true, true, false}};
  for (const Case& c : cases) {
    std::string folder = std::string(temp) + "SaveFilesDialog_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "sub").c_str(), nullptr);
    FILE* out = std::fopen((folder + "sub\\file.sgm").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("<doc>", out);
    std::fclose(out);
    CurrentSettings().savePrompt = !c.promptAfter;
    SaveFilesAnswer answer{c.button, c.tick, GetCurrentThreadId()};
    HANDLE thread = CreateThread(nullptr, 0, AnswerSaveFiles, &answer, 0, nullptr);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "DLGSAVEFILES", nullptr,
                                     SaveFilesDlgProc, reinterpret_cast<LPARAM>(&folder));
    DWORD answered = 1;
    WaitForSingleObject(thread, 35000);
    GetExitCodeThread(thread, &answered);
    CloseHandle(thread);
    EXPECT_EQ(answered, 0u);
    EXPECT_EQ(result, c.button);
    EXPECT_EQ(GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES, c.folderStays);
    EXPECT_EQ(CurrentSettings().savePrompt, c.promptAfter);
    DeleteDirTree(folder);
  }
}

// The engine's events the viewer answers without a document view.
TEST(EngineEvents, RadixNumbersAreWrittenOnlyForTheirThreeRadixes) {
  struct Case {
    std::uint32_t value;
    const char* text;  // null: nothing written, result 0
  } cases[] = {{0x3000001F, "1F"}, {0x10000005, "101"}, {0x20000000, "0"}, {0x40000005, nullptr}};
  for (const Case& c : cases) {
    char buffer[40] = "untouched";
    std::intptr_t result = FormatRadixNumber(0, 44, QsWord(c.value), reinterpret_cast<QsWord>(buffer), 0);
    EXPECT_EQ(result, c.text ? 1 : 0) << std::hex << c.value;
    EXPECT_STREQ(buffer, c.text ? c.text : "untouched");
  }
  EXPECT_EQ(FormatRadixNumber(0, 44, QsWord(0x3000001F), 0, 0), 0);  // no buffer
}

TEST(EngineEvents, SystemIdsOfPicturesAndPdfFilesComeBackAsFiles) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "EngineEvents_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string pdf = folder + "\\a long manual name.pdf";
  FILE* out = std::fopen(pdf.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("%PDF-1.4", out);
  std::fclose(out);
  char shortName[MAX_PATH] = "";
  ASSERT_GT(GetShortPathNameA(pdf.c_str(), shortName, sizeof shortName), 0u);
  struct Case {
    std::string path;
    const char* answer;  // null: 0 and the flags untouched
  } cases[] = {{"c:\\docs\\pic.gif", "c:\\docs\\pic.gif"},
               {"c:\\docs\\part.sgm", nullptr},
               {pdf, shortName},
               {folder + "\\missing.pdf", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::int32_t flags = 0x10000;
    std::intptr_t result = ResolveSystemId(0, 3, reinterpret_cast<QsWord>(c.path.c_str()),
                                           reinterpret_cast<QsWord>(&flags), 0);
    if (!c.answer) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(flags, 0x10000);
      continue;
    }
    ASSERT_NE(result, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(result), c.answer);
    EXPECT_NE(reinterpret_cast<const char*>(result), c.path.c_str());  // a copy the engine frees
    EXPECT_EQ(flags, 0x10006);
    FreeHostMemory(0, 48, result, 0, 0);
  }
  DeleteFileA(pdf.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(EngineEvents, LockedObjectsMayGoAndHistoryBitsAnswerOne) {
  EXPECT_EQ(AllowLockedObjects(0, 49, 0, 0, 0), 1);
  EXPECT_EQ(UpdateHistoryCommands(0, 26, 3, 0, 0), 1);
  EXPECT_EQ(ReportEngineError(0, 16, 49, 0, 0), 0);  // no PDF launch pending: the engine's own box
}

}  // namespace
}  // namespace qs::viewer
