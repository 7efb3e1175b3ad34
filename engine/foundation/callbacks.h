// The callback registry: how the engine's numbered events reach the
// procedures its host registered, per window or for every window, and the
// request records that some events carry.
#pragma once
#include <cstdint>
#include "api/records.h"

namespace qs {

// Windows cross platform-free code as pointer-sized words.
using WindowHandle = std::intptr_t;

// The engine's connection to its host: (window or 0, event, a, b) -> answer;
// 0 means "not handled" and leaves the engine to its own default.
using HostCallback = std::intptr_t (*)(WindowHandle window, int event, std::intptr_t a,
                                       std::intptr_t b);
// A procedure the host registers: the same, plus the data word it gave.
using EventProcedure = std::intptr_t (*)(WindowHandle window, int event, std::intptr_t a,
                                         std::intptr_t b, std::intptr_t data);

// Event numbers the engine raises (0-49); 50 and above only removes a
// destroyed window's registrations.
enum : int {
  kEventDocViewChanged = 0,
  kEventPictureViewChanged = 1,
  kEventHostFontInfo = 2,
  kEventResolveSystemId = 3,
  kEventResolvePublicId = 4,
  kEventLoadDocument = 5,
  kEventShowInView = 7,
  kEventPictureWindow = 8,
  kEventShowWindow = 9,
  kEventGraphicUnavailable = 10,
  kEventWebEditingOpened = 12,
  kEventWebEditingClosed = 13,
  kEventWebClosing = 14,
  kEventAnchorsChanged = 15,
  kEventError = 16,
  kEventNodeList = 17,
  kEventTextList = 18,
  kEventNoteDialog = 19,
  kEventLinkDialog = 20,
  kEventAnchorDeleted = 21,
  kEventLinkDeleted = 22,
  kEventRecentListChanged = 23,
  kEventSelectionChanged = 24,
  kEventHistoryChanged = 26,
  kEventGotoAnchor = 40,
  kEventRunDialog = 41,
  kEventColorName = 45,
  kEventFreeHostBlock = 48,
  kEventLockedObjects = 49,
  kEventCount = 50,
  kEventWindowDestroyed = 50,
};

// Registers `procedure` with `data` for (window, event); a second
// registration for the same pair replaces the first. Window 0 is the
// default for every window without its own entry. Returns false (and
// registers nothing) for an event outside 0-49 or a null procedure.
bool RegisterCallback(WindowHandle window, int event, EventProcedure procedure,
                      std::intptr_t data);

// The host callback of the hosted engine: calls the procedure of the
// window's entry, else of the window-0 entry (with the real window), else
// answers 0. An event of 50 or more removes the window's entries instead.
std::intptr_t DispatchEvent(WindowHandle window, int event, std::intptr_t a, std::intptr_t b);

// Deletes every entry (at engine shut-down and when the library unloads).
void FreeAllCallbacks();

// ---- Request records handed to the host -----------------------------------

// Event 16: the arguments of the reported error.
struct ErrorEventRecord {
  std::intptr_t args[4];
};

// Event 2: the host fills the two texts (NUL-terminated within their 80
// bytes), the value, the style bits and the number (preset 100).
struct HostFontRecord {
  char text1[80];
  char text2[80];
  std::intptr_t value;
  std::intptr_t styleBits;
  std::intptr_t number;
};

// Event 7: where and how to show a place in a new document view.
using ViewRequestRecord = QsViewRequest;
enum : std::intptr_t { kViewFlagFromHost = 16384 };

// Event 8: a window for a picture.
struct PictureRequestRecord {
  std::intptr_t extent2;
  std::intptr_t extent1;
  std::intptr_t pictureFlags;   // host
  std::intptr_t zoom;
  std::intptr_t viewValue1;     // host
  std::intptr_t viewValue2;     // host
  std::intptr_t overviewWindow; // host
};

// Fills the extents and zoom of a picture request. `zoom` is in 1/256
// (0: no area, the extents go unscaled). A zoom that would make an extent
// smaller than 8 or larger than 16384 is raised or lowered to fit; an
// extent of 0 gives no limit (it cannot be scaled).
void FillPictureRequest(PictureRequestRecord* record, std::intptr_t extent1,
                        std::intptr_t extent2, std::intptr_t zoom);

}  // namespace qs
