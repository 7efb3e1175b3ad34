#include "view/graphic_services.h"

namespace qs {

namespace {
GraphicServices g_none;
GraphicServices* g_installed = nullptr;
}  // namespace

GraphicServices& GetGraphicServices() { return g_installed ? *g_installed : g_none; }

GraphicServices* SetGraphicServices(GraphicServices* services) {
  GraphicServices* previous = g_installed;
  g_installed = services;
  return previous;
}

}  // namespace qs
