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

int DirectWidthW(HDC dc, Font* font, const std::uint16_t* text, std::size_t count) {
  HGDIOBJ old = SelectObject(dc, static_cast<GdiFont*>(font)->Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text), static_cast<int>(count), &size);
  SelectObject(dc, old);
  return size.cx;
}

// A memory context of its own bitmap, `extra` units between characters.
struct MemoryContext {
  explicit MemoryContext(int extra) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, 400, 200);
    old = SelectObject(dc, bitmap);
    SetTextCharacterExtra(dc, extra);
  }
  ~MemoryContext() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

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

// Widths are kept by their text, per font, for one context as it is: a
// measurement always answers what GDI answers for that font there now.
TEST(PrintSurface, KeptWidthsAreTheContextsAndTheFontsOwn) {
  MemoryContext plain(0), spaced(7);
  ASSERT_TRUE(plain.dc && spaced.dc);
  std::unique_ptr<PrintSurface> surface(NewPlatformPrintSurface());
  std::unique_ptr<Font> body(surface->MakeFont("Arial", 1000, false, false, 600));
  std::unique_ptr<Font> title(surface->MakeFont("Arial", 2000, true, true, 600));
  ASSERT_TRUE(body && title);
  const char* kWords[] = {"word", "drow", "Word", "wor", "words", "W", "iiii", "MMMM"};
  const std::uint16_t wide[] = {'w', 0xE9, 'r', 'd'};
  auto expectDirect = [&](HDC dc, const char* where) {
    for (Font* font : {body.get(), title.get()}) {
      for (const char* w : kWords) {
        // Twice: measured, then kept.
        for (int pass = 0; pass < 2; ++pass)
          EXPECT_EQ(font->MeasureA(w, std::strlen(w)), DirectWidth(dc, font, w)) << where << " " << w;
      }
      for (int pass = 0; pass < 2; ++pass)
        EXPECT_EQ(font->MeasureW(wide, 4), DirectWidthW(dc, font, wide, 4)) << where;
    }
  };

  surface->Attach(reinterpret_cast<std::intptr_t>(plain.dc));
  expectDirect(plain.dc, "plain");
  const int bodyWord = body->MeasureA("word", 4);
  EXPECT_GT(title->MeasureA("word", 4), bodyWord);
  EXPECT_NE(body->MeasureA("iiii", 4), body->MeasureA("MMMM", 4));
  surface->Detach();

  // Another context, then the first one again after its host changed it.
  surface->Attach(reinterpret_cast<std::intptr_t>(spaced.dc));
  expectDirect(spaced.dc, "spaced");
  EXPECT_GT(body->MeasureA("word", 4), bodyWord);
  surface->Detach();
  SetTextCharacterExtra(plain.dc, 3);
  surface->Attach(reinterpret_cast<std::intptr_t>(plain.dc));
  expectDirect(plain.dc, "plain spaced by its host");
  EXPECT_GT(body->MeasureA("word", 4), bodyWord);
  surface->Detach();
  SetTextCharacterExtra(plain.dc, 0);

  // A picture changing the context it was lent.
  surface->Attach(reinterpret_cast<std::intptr_t>(plain.dc));
  expectDirect(plain.dc, "plain again");
  EXPECT_EQ(body->MeasureA("word", 4), bodyWord);
  ASSERT_EQ(surface->Context(), reinterpret_cast<std::intptr_t>(plain.dc));
  SetTextCharacterExtra(plain.dc, 5);
  expectDirect(plain.dc, "spaced by a picture");
  EXPECT_GT(body->MeasureA("word", 4), bodyWord);
  SetTextCharacterExtra(plain.dc, 0);
  surface->Detach();
}

}  // namespace
}  // namespace qs
