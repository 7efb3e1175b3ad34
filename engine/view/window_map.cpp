#include "view/window_map.h"

#include <unordered_map>

#include "view/document_view.h"
#include "view/window_device.h"

namespace qs {

namespace {

std::unordered_map<WindowHandle, WindowDevice*>& Registry() {
  static auto* map = new std::unordered_map<WindowHandle, WindowDevice*>();
  return *map;
}

}  // namespace

WindowDevice* WindowMap::Find(WindowHandle window) {
  auto& map = Registry();
  auto it = map.find(window);
  return it == map.end() ? nullptr : it->second;
}

bool WindowMap::Add(WindowDevice* device) {
  if (!device || !device->window()) return false;
  return Registry().emplace(device->window(), device).second;
}

void WindowMap::Remove(WindowDevice* device) {
  auto& map = Registry();
  auto it = map.find(device->window());
  if (it != map.end() && it->second == device) map.erase(it);
}

std::size_t WindowMap::Count() { return Registry().size(); }

void WindowMap::DestroyAll() {
  auto& map = Registry();
  while (!map.empty()) {
    WindowDevice* device = map.begin()->second;
    map.erase(map.begin());
    device->OnDestroy();
  }
}

WindowDevice* AttachWindowDevice(WindowHandle window, std::uint8_t mode, int paletteMode) {
  WindowDevice* device = WindowMap::Find(window);
  if (!device) {
    device = CreateHostWindowDevice(window, paletteMode);
    if (!device) return nullptr;
    WindowMap::Add(device);
  }
  device->DetachView();
  device->mode = mode;
  device->scrollState = 0;
  return device;
}

ViewWindow* FindView(WindowHandle window, int kind) {
  if (!window) return nullptr;
  WindowDevice* device = WindowMap::Find(window);
  if (!device || !device->view || device->view->GetKind() != kind) return nullptr;
  return device->view;
}

DocumentView* FindDocumentView(WindowHandle window) {
  return static_cast<DocumentView*>(FindView(window, 1));
}
ViewWindow* FindPictureView(WindowHandle window) { return FindView(window, 2); }
ViewWindow* FindTreeView(WindowHandle window) { return FindView(window, 3); }

int DispatchWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::intptr_t* result) {
  WindowDevice* device = WindowMap::Find(window);
  if (!device) return 1;
  return device->HandleMessage(message, wParam, lParam, result);
}

}  // namespace qs
