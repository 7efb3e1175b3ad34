// The engine's icons and hit cursors: the host's own resources of those
// names first, else the library's shared ones.
#pragma once

namespace qs {

class Engine;

inline constexpr const char* kHitCursorNames[5] = {"cursHand", "cursLink", "cursPopup",
                                                   "cursToggle", "cursZoom"};

// Fills the engine's icons with their sizes (width of one state, height of
// one layer, and an eighth of the bitmap's height below the baseline) and
// its hit cursors.
void LoadEngineIcons(Engine& engine);
// Gives back what LoadEngineIcons took from the host's module.
void FreeEngineIcons(Engine& engine);

}  // namespace qs
