// Outside the Windows library there is no module, no resources and no
// screen to measure: the defaults stand.
#include "foundation/module.h"
#include "foundation/platform.h"

namespace qs {

namespace {
ModuleState g_module;
}

const ModuleState& Module() { return g_module; }
std::intptr_t GetResourceInstance() { return g_module.engineModule; }
void ModuleAttached(std::intptr_t instance) { g_module.engineModule = instance; }
void LoadModuleResources() { g_module.resourcesLoaded = true; }
void ModuleDetached(bool) { g_module = ModuleState(); }

std::size_t AboutCaptionForFile(const char*, char* out, std::size_t capacity) {
  return ComposeAboutCaption(out, capacity, false, nullptr, nullptr);
}

void ShowAboutBox(std::intptr_t owner) {
  char caption[132];
  AboutCaptionForFile(nullptr, caption, sizeof caption);
  platform::ShowMessage(owner, "QSENGINE", caption, platform::kMbOk);
}

}  // namespace qs
