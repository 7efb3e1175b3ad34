#include <cstring>

#include "foundation/module.h"
#include "foundation/strings.h"

namespace qs {

const char* const kSharedBitmapNames[kSharedBitmapCount] = {
    "iconID",     "iconIDRef",  "iconBadIDRef", "iconNavC", "iconNavO", "iconNavE",   "iconAtNavC",
    "iconAtNavO", "iconAtNavE", "iconNavLw",    "iconNote", "iconLink", "iconDefault",
};
const char* const kOriginBitmapName = "iconOrig";
const char* const kWheelCursorNames[kWheelCursorCount] = {
    "cursWheelNW", "cursWheelN",  "cursWheelNE", "cursWheelW",  "cursWheel0",
    "cursWheelE",  "cursWheelSW", "cursWheelS",  "cursWheelSE",
};

std::size_t ComposeAboutCaption(char* out, std::size_t capacity, bool hasVersionResource,
                                const char* productName, const char* fileVersion) {
  if (!out || capacity == 0) return 0;
  if (!hasVersionResource) return FormatString(out, capacity, "%s", "Quenda Scrivox");
  if (!fileVersion) return FormatString(out, capacity, "%s", productName ? productName : "");
  return FormatString(out, capacity, "%s ver %s", productName ? productName : "", fileVersion);
}

}  // namespace qs
