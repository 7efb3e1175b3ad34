// The figure window, in which the engine shows a document's pictures, with
// the overview window in its bottom-right corner; the engine asks for them
// with event 8. Also the Zoom menu's commands and their stored settings.
#include <cstring>
#include <string>

#include "api/records.h"
#include "engine.h"
#include "resources/resource.h"
#include "search_text.h"
#include "ui.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

OverviewSize g_overview;
int g_figureWidth = 0, g_figureHeight = 0;

void PlaceOverview() {
  if (HWND overview = OverviewWindow())
    MoveWindow(overview, g_figureWidth - g_overview.width + 1,
               g_figureHeight - g_overview.height + 1, g_overview.width, g_overview.height, TRUE);
}

bool SaysNo(const std::string& value) { return _stricmp(value.c_str(), "No") == 0; }
bool SaysYes(const std::string& value) { return _stricmp(value.c_str(), "Yes") == 0; }
const char* YesNo(bool yes) { return yes ? "Yes" : "No"; }

}  // namespace

std::intptr_t GetFigureWindow(QsWindow, std::int32_t, QsWord, QsWord b, QsWord) {
  HWND figure = FigureWindow();
  if (!figure) return 0;
  if (auto* request = reinterpret_cast<QsPictureRequest*>(b)) {
    // The first size is the picture's height, the second its width.
    g_overview = OverviewSizeFor(request->height, request->width, g_overview);
    request->pictureFlags = static_cast<std::int32_t>(ZoomFlags());
    request->overviewWindow = W(OverviewWindow());
  }
  ShowTornOffFigure();
  PlaceOverview();
  return reinterpret_cast<std::intptr_t>(figure);
}

LRESULT CALLBACK FigureWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      g_figureWidth = LOWORD(lParam);
      g_figureHeight = HIWORD(lParam);
      PlaceOverview();
      break;  // the engine's view follows the size too
    case WM_RBUTTONDOWN: {
      std::int32_t x = 0, y = 0, w = 0, h = 0;
      if (QsHandle entity = eng::QsGetViewEntity(W(window), &x, &y, &w, &h)) {
        eng::QsReleaseHandle(entity);
        eng::QsBeginLink(W(window));
        return 0;
      }
      break;
    }
    case WM_MOUSEMOVE:
      SetWheelTarget(window);
      break;
    default:
      break;
  }
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

LRESULT CALLBACK OverviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

void ZoomFigure(int steps) {
  HWND figure = FigureWindow();
  if (!figure) return;
  RECT client{};
  GetClientRect(figure, &client);
  const std::int32_t cx = client.right / 2, cy = client.bottom / 2;
  if (steps)
    eng::QsZoomPictureSteps(W(figure), cx, cy, std::int32_t{steps});
  else
    eng::QsSetPictureZoom(W(figure), cx, cy, std::int32_t{256});  // 100 per cent
}

void PrintFigure(bool preview) {
  HWND figure = FigureWindow();
  // Only a figure shown in the lower pane is printed.
  if (!figure || !IsWindowVisible(figure)) return;
  QsHandle entity = eng::QsGetPictureEntity(W(figure));
  QsHandle notation = entity ? eng::QsGetEntityNotation(entity) : 0;
  const char* name = notation ? eng::QsGetNotationName(notation) : nullptr;
  if (name && *name) {
    // A document of the picture alone, printed or previewed without a sheet.
    char file[256] = "";
    eng::QsGetFileName(entity, file, std::int32_t{255});
    const std::string text = "<!DOCTYPE [\n<!ELEMENT G (#PCDATA)>\n<!ENTITY X SYSTEM \"" +
                             std::string(file) + "\" NDATA " + name + ">\n]><G>&X;</G>";
    QsHandle document = eng::QsOpenDocumentText(text.c_str(), nullptr, nullptr, QsHandle{0},
                                                nullptr, QsWord{0});
    if (!document) {
      ShowMessageBox(MainWindow(), "Internal Error", "Corvina+ 3.0 for Windows", MB_OK | MB_ICONSTOP);
    } else {
      if (preview)
        CreatePrintPreview(MainWindow(), document, QsHandle{0}, QsHandle{0}, QsHandle{0}, std::int32_t{0});
      else
        eng::QsPrintDocument(document, QsHandle{0}, QsHandle{0}, QsHandle{0}, std::int32_t{0});
      eng::QsReleaseHandle(document);
    }
  }
  if (notation) eng::QsReleaseHandle(notation);
  if (entity) eng::QsReleaseHandle(entity);
}

void LoadZoomSettings() {
  eng::QsSetCallback(QsWindow{0}, std::int32_t{8}, GetFigureWindow, QsWord{0});
  if (SaysNo(ReadSetting("\\Zoom", "OVERVIEW")))
    ToggleOverview();
  else
    CheckCommand(IDM_OVERVIEW, true);
  if (SaysNo(ReadSetting("\\Zoom", "CENTER"))) ToggleZoomFlag(0x20);
  if (SaysYes(ReadSetting("\\Zoom", "SUPPRESS"))) ToggleZoomFlag(0x40);
  if (SaysNo(ReadSetting("\\Zoom", "HOTSPOTS"))) ToggleZoomFlag(0x10);
  if (SaysYes(ReadSetting("\\Zoom", "IGNHOTSPOTS"))) ToggleZoomFlag(0x200);
}

void SaveZoomSettings() {
  const unsigned flags = ZoomFlags();
  WriteSetting("\\Zoom", "OVERVIEW", YesNo(OverviewOn()));
  WriteSetting("\\Zoom", "CENTER", YesNo(flags & 0x20));
  WriteSetting("\\Zoom", "SUPPRESS", YesNo(flags & 0x40));
  WriteSetting("\\Zoom", "HOTSPOTS", YesNo(flags & 0x10));
  WriteSetting("\\Zoom", "IGNHOTSPOTS", YesNo(!(flags & 0x200)));
}

}  // namespace qs::viewer
