// The document windows (main view, second view, navigator view): the engine
// draws them and takes their input; the viewer adds the context menu with
// its commands and records the main view's document when it goes.
#include <string>

#include "engine.h"
#include "resources/resource.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

// Where the last context menu was asked for: its commands work there.
struct ContextPoint {
  HWND view = nullptr;
  int x = 0, y = 0;
} g_context;

void Release(QsHandle handle) {
  if (handle) eng::QsReleaseHandle(handle);
}

void Append(HMENU menu, int id, const char* text, bool enabled, bool checked = false) {
  AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED) | (checked ? MF_CHECKED : 0),
              id, text);
}

bool HasFileName(QsHandle handle) {
  char buffer[256] = "";
  return handle && eng::QsGetFileName(handle, buffer, std::int32_t{255}) && buffer[0];
}

void ShowDocContextMenu(HWND view, int x, int y) {
  g_context = {view, x, y};
  QsHandle document = eng::QsGetViewDocument(W(view));
  if (!document) return;
  Release(document);
  int kind = eng::QsGetWindowKind(W(view));
  QsHandle node = eng::QsNodeAtPoint(W(view), std::int32_t{x}, std::int32_t{y});
  QsHandle current = eng::QsGetViewCurrentNode(W(view));
  QsHandle anchor = eng::QsAnchorAtPoint(W(view), std::int32_t{x}, std::int32_t{y});
  QsHandle web = anchor ? eng::QsGetAnchorWeb(anchor) : 0;
  QsHandle entity = eng::QsEntityAtPoint(W(view), std::int32_t{x}, std::int32_t{y});
  QsHandle sheet = eng::QsGetViewStyleSheet(W(MainView()));
  QsHandle navigator = eng::QsGetViewNavigator(W(NavigatorView()));
  bool hasNode = node != 0, hasAnchor = anchor != 0, hasEntity = entity != 0;
  bool hasNavigator = navigator != 0;
  bool parent = current && eng::QsGotoParent(current) > 0;
  bool sheetFile = HasFileName(sheet), navigatorFile = HasFileName(navigator);
  bool currentWeb = web && CurrentWeb() && eng::QsIsSameObject(web, CurrentWeb());
  QsHandle table = node ? IsInPartsTable(node) : 0;
  bool partsTable = table != 0;
  Release(table);
  int box = kind == 2 ? eng::QsQueryBoxAtPoint(W(view), std::int32_t{x}, std::int32_t{y}) : 0;
  for (QsHandle h : {node, current, anchor, web, entity, sheet, navigator}) Release(h);

  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  if (kind == 4) {
    Append(menu, IDM_CTX_ATTRIBUTES, "Attributes...", hasNode);
  } else {
    if (kind != 2) {
      bool selection = eng::QsGetSelectionLength(W(MainView())) > 0;
      Append(menu, IDM_CTX_STRING_SEARCH, "String Search", selection);
      Append(menu, IDM_CTX_PARTS_SEARCH, "Parts-List Search", selection);
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      Append(menu, IDM_CTX_ADD_TO_SELECTION, "Add to Selection", partsTable);
      Append(menu, IDM_SEND_ORDER, "Order Selection", hasNode);
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      Append(menu, IDM_CTX_LOCATE_NAVIGATOR, "Locate in Navigator", hasNode && hasNavigator);
      Append(menu, IDM_CTX_LOCATE_TREE, "Locate in SGML tree", hasNode);
      Append(menu, IDM_CTX_LOCATE_MAIN, "Locate in Main Window", parent);
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      Append(menu, IDM_CTX_ADD_TO_PRINTOUT, "Add to Printout", box != 0, box == 2);
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    }
    Append(menu, IDM_CTX_EDIT_STYLESHEET, "Edit Style Sheet...", hasNode && sheetFile);
    Append(menu, IDM_CTX_EDIT_NAVIGATOR, "Edit Navigator...", hasNode && navigatorFile);
    Append(menu, IDM_CTX_TEAR_OFF, "Tear Off...", hasEntity);
    Append(menu, IDM_CTX_RELOAD_ENTITY, "Reload", hasEntity);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    Append(menu, IDM_CTX_ANNOTATION, "Open Anchor Annotation...", hasAnchor);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    Append(menu, IDM_CTX_BEGIN_LINK, "Begin Link from Anchor", hasAnchor && currentWeb);
    Append(menu, IDM_CTX_REMOVE_ANCHOR, "Remove Anchor", hasAnchor && currentWeb);
    Append(menu, IDM_CTX_CONNECT_LINK, "Connect Link to Anchor", false);
  }
  POINT at = {x, y};
  ClientToScreen(view, &at);
  TrackPopupMenu(menu, TPM_CENTERALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, view, nullptr);
  DestroyMenu(menu);
}

QsHandle NodeAtContext() {
  return eng::QsNodeAtPoint(W(g_context.view), std::int32_t{g_context.x}, std::int32_t{g_context.y});
}
QsHandle AnchorAtContext() {
  return eng::QsAnchorAtPoint(W(g_context.view), std::int32_t{g_context.x},
                              std::int32_t{g_context.y});
}
QsHandle EntityAtContext() {
  return eng::QsEntityAtPoint(W(g_context.view), std::int32_t{g_context.x},
                              std::int32_t{g_context.y});
}

void ContextCommand(int id) {
  QsWindow view = W(g_context.view);
  std::int32_t x = g_context.x, y = g_context.y;
  switch (id) {
    case IDM_CTX_ATTRIBUTES:
      if (QsHandle node = NodeAtContext()) {
        eng::QsListAttributes(W(MainWindow()), node);
        Release(node);
      }
      break;
    case IDM_CTX_ADD_TO_PRINTOUT: {
      int state = eng::QsQueryBoxAtPoint(view, x, y);
      if (state == 1) eng::QsMarkBoxAtPoint(view, x, y, std::int32_t{2});
      if (state == 2) eng::QsMarkBoxAtPoint(view, x, y, std::int32_t{1});
      break;
    }
    case IDM_CTX_BEGIN_LINK_OLD:
    case IDM_CTX_BEGIN_LINK:
    case IDM_CTX_CONNECT_LINK:
      NotImplementedBox();
      break;
    case IDM_CTX_LOCATE_NAVIGATOR:
      if (QsHandle node = NodeAtContext()) {
        eng::QsShowNode(W(NavigatorView()), node, std::int32_t{0}, std::int32_t{1},
                        std::int32_t{1});
        Release(node);
      }
      break;
    case IDM_CTX_LOCATE_TREE:
      if (QsHandle node = NodeAtContext()) {
        SelectNavigator(-1, node);
        Release(node);
      }
      break;
    case IDM_CTX_LOCATE_MAIN:
      if (QsHandle node = NodeAtContext()) {
        std::int32_t start = 0, length = 0;
        if (eng::QsGetNodeRange(node, &start, &length)) {
          eng::QsShowHandleTarget(W(MainView()), node);
          eng::QsHighlightQueryResult(W(MainView()), start, length);
        }
        Release(node);
      }
      break;
    case IDM_CTX_TEAR_OFF:
      if (QsHandle entity = EntityAtContext()) {
        eng::QsShowHotArea(view, entity);
        Release(entity);
      }
      break;
    case IDM_CTX_REMOVE_ANCHOR:
      if (QsHandle anchor = AnchorAtContext()) {
        eng::QsDeleteAnchor(anchor);
        Release(anchor);
      }
      break;
    case IDM_CTX_ANCHOR_NOTIFY:
      if (QsHandle anchor = AnchorAtContext()) {
        eng::QsAnchorNotifyB(W(MainWindow()), anchor);
        Release(anchor);
      }
      break;
    case IDM_CTX_ANNOTATION:
      if (QsHandle anchor = AnchorAtContext()) {
        eng::QsAnchorNotifyA(W(MainWindow()), anchor);
        Release(anchor);
      }
      break;
    case IDM_CTX_ADD_TO_SELECTION:
      if (QsHandle node = NodeAtContext()) {
        // The navigator follows the reader to the ordered row.
        eng::QsShowNode(W(NavigatorView()), node, std::int32_t{0}, std::int32_t{1},
                        std::int32_t{1});
        AppendOrderLine(Instance(), g_context.view, node);
        Release(node);
      }
      break;
    case IDM_SEND_ORDER:
      SendOrder(Instance());
      break;
    case IDM_CTX_STRING_SEARCH:
      RunSearchDialog(false, true);
      break;
    case IDM_CTX_PARTS_SEARCH:
      RunSearchDialog(true, true);
      break;
    case IDM_CTX_RELOAD_ENTITY:
      if (QsHandle entity = EntityAtContext()) {
        eng::QsRefreshEntityObjects(entity);
        Release(entity);
      }
      break;
    case IDM_CTX_EDIT_NAVIGATOR:
      if (QsHandle node = NodeAtContext()) {
        QsHandle navigator = eng::QsGetViewNavigator(W(NavigatorView()));
        if (navigator) NavigatorEditDialog(MainWindow(), navigator, node);
        Release(navigator);
        Release(node);
      }
      break;
    case IDM_CTX_EDIT_STYLESHEET:
      if (QsHandle node = NodeAtContext()) {
        QsHandle sheet = eng::QsGetViewStyleSheet(W(MainView()));
        // A picture's own rule is keyed by its entity's notation.
        QsHandle entity = EntityAtContext();
        if (sheet) StyleSheetEditDialog(MainWindow(), sheet, node, entity);
        Release(entity);
        Release(sheet);
        Release(node);
      }
      break;
    default:
      break;
  }
}

}  // namespace

LRESULT CALLBACK DocWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_RBUTTONDOWN:
      ShowDocContextMenu(window, static_cast<short>(LOWORD(lParam)),
                         static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_COMMAND:
      ContextCommand(LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      if (window == MainView()) {
        QsHandle document = eng::QsGetViewDocument(W(window));
        if (document) {
          RecordHistories(0, document);
          Release(document);
        }
      }
      break;
    case WM_PAINT:
      if (window == SecondView()) SecondViewPainted();
      eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
      return 0;
    case WM_MOUSEMOVE:
      SetWheelTarget(window);
      break;
  }
  return eng::QsDefWindowProc(W(window), std::uint32_t{message}, QsWord(wParam), QsWord(lParam));
}

}  // namespace qs::viewer
