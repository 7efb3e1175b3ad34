#include <windows.h>

#include <cstring>

#include "foundation/engine.h"
#include "sgml/setup_file.h"
#include "view/window_gdi.h"

namespace qs {

namespace {

struct FaceSearch {
  const char* wanted;
  char* out;
  bool found;
};

int CALLBACK MatchFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM data) {
  auto* search = reinterpret_cast<FaceSearch*>(data);
  if (lstrcmpiA(font->lfFaceName, search->wanted) == 0) {
    lstrcpynA(search->out, font->lfFaceName, LF_FACESIZE);
    search->found = true;
    return 0;
  }
  return 1;
}

}  // namespace

bool FindInstalledFace(const char* face, char* out) {
  if (!face || !*face) return false;
  HDC screen = GetDC(nullptr);
  if (!screen) return false;
  FaceSearch search{face, out, false};
  LOGFONTA query{};
  query.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExA(screen, &query, MatchFace, reinterpret_cast<LPARAM>(&search), 0);
  ReleaseDC(nullptr, screen);
  return search.found;
}

int FontHeightForSize(std::uint16_t size, int dpiY) {
  return -static_cast<int>(static_cast<long>(size) * dpiY / 7200);
}

GdiFont* MakeGdiFont(const char* face, std::uint16_t size, bool italic, bool bold, int dpiY,
                     std::function<HDC()> drawingDc) {
  LOGFONTA lf{};
  lf.lfHeight = FontHeightForSize(size, dpiY);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  // The installed face of that name, else the one the setup file maps it
  // to, else "Arial".
  char installed[LF_FACESIZE];
  bool found = FindInstalledFace(face, installed);
  if (!found) {
    EngineBase* engine = GetEngine();
    SetupFile* setup = engine ? engine->setup.get() : nullptr;
    const char* mapped = setup ? setup->FindFontMap(face) : nullptr;
    found = mapped && FindInstalledFace(mapped, installed);
  }
  lstrcpynA(lf.lfFaceName, found ? installed : "Arial", LF_FACESIZE);
  HFONT handle = CreateFontIndirectA(&lf);
  if (!handle) return nullptr;
  return new GdiFont(face ? face : "", size, italic, bold, handle, std::move(drawingDc));
}

GdiFont::GdiFont(const char* face, std::uint16_t size, bool italic, bool bold, HFONT handle,
                 std::function<HDC()> drawingDc, bool leaveSelected,
                 const std::uint32_t* contextChanges, HGDIOBJ* selected)
    : Font(face, size, italic, bold), handle_(handle), drawingDc_(std::move(drawingDc)),
      leaveSelected_(leaveSelected), contextChanges_(contextChanges), selected_(selected) {
  WithDc([this](HDC dc) {
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc, &tm)) {
      ascent = static_cast<std::int16_t>(tm.tmAscent);
      descent = static_cast<std::int16_t>(tm.tmDescent);
    }
    return 0;
  });
}

GdiFont::~GdiFont() {
  if (handle_) DeleteObject(handle_);
}

int GdiFont::WithDc(const std::function<int(HDC)>& measure) {
  HDC dc = drawingDc_ ? drawingDc_() : nullptr;
  bool own = false;
  if (!dc) {
    dc = GetDC(nullptr);
    own = true;
  }
  if (!dc) return 0;
  // The record is of the drawing context only, never of the screen's.
  HGDIOBJ* record = own ? nullptr : selected_;
  // Already the context's font (the words of a paragraph mostly share
  // one): measured as it stands.
  if ((record && *record == handle_) || GetCurrentObject(dc, OBJ_FONT) == handle_) {
    const int result = measure(dc);
    if (record) *record = handle_;
    if (own) ReleaseDC(nullptr, dc);
    return result;
  }
  HGDIOBJ old = SelectObject(dc, handle_);
  const int result = measure(dc);
  if (own || !leaveSelected_) SelectObject(dc, old);
  if (record) *record = leaveSelected_ ? handle_ : nullptr;
  if (own) ReleaseDC(nullptr, dc);
  return result;
}

ExtentCache* GdiFont::Widths() {
  if (!contextChanges_) return nullptr;
  // Only the drawing context's own measurements: the screen's stand-in
  // is another device.
  HDC dc = drawingDc_ ? drawingDc_() : nullptr;
  if (!dc) return nullptr;
  if (dc != widthsDc_ || *contextChanges_ != widthsChanges_) {
    widths_.Clear();
    widthsDc_ = dc;
    widthsChanges_ = *contextChanges_;
  }
  return &widths_;
}

int GdiFont::Extent8(const char* text, std::size_t length) {
  ExtentCache* widths = Widths();
  int width = 0;
  bool measured = false;
  if (widths && widths->Find(text, length, &width)) return width;
  width = WithDc([&](HDC dc) {
    SIZE size{};
    measured = GetTextExtentPoint32A(dc, text, static_cast<int>(length), &size) != 0;
    return static_cast<int>(size.cx);
  });
  if (widths && measured) widths->Store(text, length, width);
  return width;
}

int GdiFont::Extent16(const std::uint16_t* text, std::size_t count) {
  ExtentCache* widths = Widths();
  int width = 0;
  bool measured = false;
  if (widths && widths->Find(text, count, &width)) return width;
  width = WithDc([&](HDC dc) {
    SIZE size{};
    const auto* wide = reinterpret_cast<const wchar_t*>(text);
    measured = GetTextExtentPoint32W(dc, wide, static_cast<int>(count), &size) != 0;
    return static_cast<int>(size.cx);
  });
  if (widths && measured) widths->Store(text, count, width);
  return width;
}

}  // namespace qs
