// The Copy command in the viewer's library with the real engine: a document
// shown in a window of this process, a selection made through the engine,
// and the clipboard read back as text and as "Rich Text Format".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <string>

#include "engine.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

const char kSgml[] =
    "<!DOCTYPE DOC [<!ELEMENT DOC - - (TITLE, PARA+)><!ELEMENT (TITLE|PARA) - - (#PCDATA)>]>"
    "<DOC><TITLE>Grinder {CV} manual</TITLE><PARA>Check the wheel\\guard first.</PARA>"
    "<PARA>Then start.</PARA></DOC>";

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

std::string ClipboardText(UINT format) {
  std::string text = "<none>";
  if (!OpenClipboard(nullptr)) return "<not opened>";
  if (HANDLE data = GetClipboardData(format)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text.assign(bytes, strnlen(bytes, GlobalSize(data)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void PutText(const char* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
  std::strcpy(static_cast<char*>(GlobalLock(block)), text);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

class Copy : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "Copy_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
              std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_NE(eng::QsInitialize(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Copy",
                                nullptr, nullptr, nullptr, folder_.c_str(), nullptr),
              0u);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CopyTestView";
    RegisterClassA(&wc);
    window_ = CreateWindowA("CopyTestView", "copy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500,
                            300, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    document_ = eng::QsOpenDocumentText(kSgml, nullptr, nullptr, QsHandle{0}, nullptr, QsWord{0});
    ASSERT_NE(document_, 0u);
    ASSERT_NE(eng::QsDisplay(W(window_), document_, QsHandle{0}, QsHandle{0}, QsWindow{0},
                             QsHandle{0}, QsHandle{0}, std::int32_t{0}),
              0);
    UpdateWindow(window_);
  }
  void TearDown() override {
    if (window_) {
      eng::QsDetachWindowView(W(window_));
      DestroyWindow(window_);
    }
    if (document_) eng::QsReleaseHandle(document_);
    eng::QsTerminate();
    RemoveDirectoryA(folder_.c_str());
  }
  std::string folder_;
  HWND window_ = nullptr;
  QsHandle document_ = 0;
};

TEST_F(Copy, TextAndRichTextOfTheSelection) {
  // From inside the title to inside the first paragraph.
  ASSERT_NE(eng::QsAddSelectionRange(W(window_), std::int32_t{8}, std::int32_t{30}), 0);
  std::int32_t length = eng::QsGetSelectionLength(W(window_));
  ASSERT_GT(length, 0);
  PutText("before");
  CopySelectionAsRtf(window_);
  std::string text = ClipboardText(CF_TEXT);
  std::string rtf = ClipboardText(RegisterClipboardFormatA("Rich Text Format"));
  EXPECT_NE(text.find("{CV} manual"), std::string::npos) << text;
  EXPECT_NE(text.find("Check the"), std::string::npos) << text;
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi{\\fonttbl\n}", 0), 0u) << rtf;
  EXPECT_NE(rtf.find("\\{CV\\} manual"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("Check the"), std::string::npos) << rtf;
  EXPECT_EQ(rtf.find("Grinder"), std::string::npos) << rtf;  // before the selection
  EXPECT_EQ(rtf.find("Then start"), std::string::npos) << rtf;  // after it
  int depth = 0;
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\') {
      ++i;
      continue;
    }
    depth += rtf[i] == '{' ? 1 : rtf[i] == '}' ? -1 : 0;
    ASSERT_GE(depth, i + 1 < rtf.size() ? 1 : 0) << rtf;
  }
  EXPECT_EQ(depth, 0) << rtf;
}

// The sample manual with its sheet: its bold title and the paragraph after
// it, copied; both forms are also written to the build folder, where a
// check with Debian's unrtf reads the rich text (ctest copy_unrtf).
TEST_F(Copy, TheSampleManualsTitleAndAParagraphAsRichText) {
  const char* source = std::getenv("QS_SOURCE_DIR");
  const char* binary = std::getenv("QS_BINARY_DIR");
  ASSERT_TRUE(source && binary);
  auto windows = [](std::string path) {
    for (char& c : path)
      if (c == '/') c = '\\';
    return "Z:" + path;
  };
  eng::QsPushCatalog(windows(std::string(source) + "/samples/home/catalog/catalog").c_str(), QsWord{0});
  QsHandle manual = eng::QsParseDocument(
      windows(std::string(source) + "/samples/manual/manuale.sgm").c_str(), nullptr, QsHandle{0},
      nullptr, QsWord{0});
  ASSERT_NE(manual, 0u);
  QsHandle sheet = eng::QsLoadStyleSheet(manual, std::int32_t{0}, nullptr, QsWord{0});
  ASSERT_NE(sheet, 0u);
  ASSERT_NE(eng::QsDisplay(W(window_), manual, sheet, QsHandle{0}, QsWindow{0}, QsHandle{0},
                           QsHandle{0}, std::int32_t{0}),
            0);
  // From the title to the end of the first paragraph.
  QsHandle root = eng::QsGetDocumentRoot(manual);
  QsHandle para = eng::QsGetElementByPointer(manual, "ROOT DESCENDANT (1 PARA)");
  ASSERT_NE(para, 0u);
  std::int32_t start = 0, length = 0, paraStart = 0, paraLength = 0;
  ASSERT_EQ(eng::QsGetNodeRange(root, &start, &length), 1);
  ASSERT_EQ(eng::QsGetNodeRange(para, &paraStart, &paraLength), 1);
  ASSERT_NE(eng::QsAddSelectionRange(W(window_), start, paraStart + paraLength - start), 0);
  CopySelectionAsRtf(window_);
  const std::string text = ClipboardText(CF_TEXT);
  const std::string rtf = ClipboardText(RegisterClipboardFormatA("Rich Text Format"));
  EXPECT_NE(text.find("Corvina Sample Service Manual"), std::string::npos) << text;
  EXPECT_NE(text.find("Names of products in it are made up."), std::string::npos) << text;
  EXPECT_NE(rtf.find("\\b"), std::string::npos) << rtf;
  for (const auto& [name, bytes] : {std::pair{"copy_sample.txt", &text}, std::pair{"copy_sample.rtf", &rtf}}) {
    FILE* f = std::fopen(windows(std::string(binary) + "/" + name).c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    std::fwrite(bytes->data(), 1, bytes->size(), f);
    std::fclose(f);
  }
  eng::QsDetachWindowView(W(window_));
  for (QsHandle h : {para, root, sheet, manual}) eng::QsReleaseHandle(h);
  eng::QsPopCatalog();
}

// No selection, or one the engine cannot give as one text (two ranges),
// leaves the clipboard as it was.
TEST_F(Copy, NothingIsPutWhenTheTextCannotBeHad) {
  PutText("kept");
  CopySelectionAsRtf(window_);
  EXPECT_EQ(ClipboardText(CF_TEXT), "kept");
  ASSERT_NE(eng::QsAddSelectionRange(W(window_), std::int32_t{0}, std::int32_t{4}), 0);
  ASSERT_NE(eng::QsAddSelectionRange(W(window_), std::int32_t{30}, std::int32_t{4}), 0);
  CopySelectionAsRtf(window_);
  EXPECT_EQ(ClipboardText(CF_TEXT), "kept");
  EXPECT_EQ(ClipboardText(RegisterClipboardFormatA("Rich Text Format")), "<none>");
}

}  // namespace
}  // namespace qs::viewer
