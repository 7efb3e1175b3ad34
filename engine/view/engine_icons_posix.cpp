#include "view/engine_icons.h"

namespace qs {

// Natively there are no resources: icons keep their zero sizes.
void LoadEngineIcons(Engine&) {}
void FreeEngineIcons(Engine&) {}

}  // namespace qs
