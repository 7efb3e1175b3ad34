// The system's print surface on a memory context: fonts measured between
// drawing calls leave the text to the font selected for drawing, and the
// host's context gets its own font back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "view/printer_device.h"
#include "view/window_gdi.h"

namespace qs {
namespace {

HGDIOBJ CurrentFont(HDC dc) { return GetCurrentObject(dc, OBJ_FONT); }

int DirectWidth(HDC dc, Font* font, const char* text) {
  HGDIOBJ old = SelectObject(dc, static_cast<GdiFont*>(font)->Handle());
  SIZE size{};
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
  SelectObject(dc, old);
  return size.cx;
}

TEST(PrintSurface, TextAndPicturesGetTheDrawingFontBackAfterAnotherIsMeasured) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 400, 200);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ hostFont = CurrentFont(dc);
  {
    std::unique_ptr<PrintSurface> surface(NewPlatformPrintSurface());
    std::unique_ptr<Font> body(surface->MakeFont("Arial", 1000, false, false, 600));
    std::unique_ptr<Font> title(surface->MakeFont("Arial", 2000, true, true, 600));
    ASSERT_TRUE(body && title);
    const HGDIOBJ bodyHandle = static_cast<GdiFont*>(body.get())->Handle();
    const HGDIOBJ titleHandle = static_cast<GdiFont*>(title.get())->Handle();

    surface->Attach(reinterpret_cast<std::intptr_t>(dc));
    // Nothing selected for drawing yet: text goes in the host's font.
    EXPECT_EQ(title->MeasureA("Title", 5), DirectWidth(dc, title.get(), "Title"));
    surface->Text8(0, 0, "x", 1);
    EXPECT_EQ(CurrentFont(dc), hostFont);

    surface->SelectFont(body.get());
    // Measured as GDI measures it, the font selected or not.
    const int wide = title->MeasureA("Wide words", 10);
    EXPECT_EQ(wide, DirectWidth(dc, title.get(), "Wide words"));
    EXPECT_EQ(title->MeasureA("Wide words", 10), wide);
    EXPECT_GT(wide, body->MeasureA("Wide words", 10));
    surface->Text8(0, 0, "body", 4);
    EXPECT_EQ(CurrentFont(dc), bodyHandle);
    const std::uint16_t wideText[] = {'a', 0xE9};
    title->MeasureW(wideText, 2);
    surface->Text16(0, 0, wideText, 2);
    EXPECT_EQ(CurrentFont(dc), bodyHandle);
    // A picture drawing through the context finds the drawing font too.
    title->MeasureA("T", 1);
    EXPECT_EQ(surface->Context(), reinterpret_cast<std::intptr_t>(dc));
    EXPECT_EQ(CurrentFont(dc), bodyHandle);

    surface->SelectFont(title.get());
    body->MeasureA("b", 1);
    surface->Text8(0, 0, "t", 1);
    EXPECT_EQ(CurrentFont(dc), titleHandle);

    body->MeasureA("b", 1);
    surface->Detach();
    EXPECT_EQ(CurrentFont(dc), hostFont);
  }
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
}  // namespace qs
