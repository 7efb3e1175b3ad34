// UTF-8 text drawn on a real device context: ASCII through the ANSI call,
// the rest through the wide one, both accepted by the system.
#include <windows.h>

#include <gtest/gtest.h>

#include "foundation/win_utils.h"

namespace qs {
namespace {

TEST(WinUtilsOnWindows, TextOutUtf8DrawsOnADeviceContext) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ASSERT_NE(dc, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 40);
  HGDIOBJ old = SelectObject(dc, bitmap);
  auto at = reinterpret_cast<std::intptr_t>(dc);
  EXPECT_TRUE(TextOutUtf8(at, 2, 2, "Bolt M6", 7));
  EXPECT_TRUE(TextOutUtf8(at, 2, 20, "K\xC3\xA4" "fer \xE2\x82\xAC", 10));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);

  // A global block is a real one of the size asked.
  void* block = AllocGlobalBlock(100);
  ASSERT_NE(block, nullptr);
  HGLOBAL handle = GlobalHandle(block);
  ASSERT_NE(handle, nullptr);
  EXPECT_GE(GlobalSize(handle), 100u);
  FreeGlobalBlock(block);
}

}  // namespace
}  // namespace qs
