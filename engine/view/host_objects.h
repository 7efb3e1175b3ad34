// Pictures in notations the host teaches the engine: the host registers an
// object type for a notation key (a record of its value and callbacks), and
// the graphic cache asks the registered types before its own loaders. A
// picture made this way draws, fits and prints through the host's callbacks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "view/graphic_object.h"

namespace qs {

// The words of a host object type record.
enum HostTypeWord : int {
  kTypeKey = 0, kTypeValue, kTypeCreateForEntity, kTypeCreateForElement, kTypeDestroyPicture,
  kTypeScreenView, kTypePrintView, kTypeSecondView, kTypeDestroyView, kTypeDraw, kTypeMove,
  kTypeDrawStretched, kTypePrint, kTypeAfterMove, kTypeSetWidth, kTypeSetHeight,
  kTypeResetSize, kTypeUsePalette, kTypeGetPalette, kTypeCall2, kTypeCall1, kTypeWordCount
};

// The events of a host's own objects for elements nothing else can show.
inline constexpr int kEventHostObject = 31, kEventHostView = 32, kEventHostViewSize = 33,
                     kEventHostViewDraw = 34, kEventHostViewMove = 35, kEventHostViewGone = 36,
                     kEventHostObjectGone = 37;

class HostObjectType {
 public:
  // Copies the record; the key is upper-cased and interned.
  explicit HostObjectType(const std::intptr_t* record);
  void AddRef() { ++uses_; }
  void Release() {
    if (--uses_ == 0) delete this;
  }
  const char* Key() const { return key_; }
  std::intptr_t Word(int index) const { return words_[index]; }
  HostObjectType* next = nullptr;

 private:
  ~HostObjectType() = default;
  const char* key_;
  std::intptr_t words_[kTypeWordCount] = {};
  std::uint32_t uses_ = 1;
};

// A picture a host type made; its renderers call the type's view words.
class HostGraphicObject : public GraphicObject {
 public:
  HostGraphicObject(HostObjectType* type, std::intptr_t picture, Document* context,
                    DocumentNode* element, EntityDecl* entity, EntityDecl* maskEntity,
                    const char* key, int width, int height, int descent);
  ~HostGraphicObject() override;
  // A screen view (word 5) on a window device, a print view (word 6) with
  // the sizes scaled to the device elsewhere.
  ImageRenderer* MakeRenderer(OutputDevice* owner) override;
  // The second screen form (word 7), which overview panes use.
  ImageRenderer* MakeOverviewRenderer(OutputDevice* owner) override;
  HostObjectType* type;
  std::intptr_t picture;
};

// Registers a type (appended; types are asked in registration order).
void RegisterHostObjectType(const std::intptr_t* record);
// The registered types (teardown drops the registry's uses).
HostObjectType* FirstHostObjectType();
void ClearHostObjectTypes();

// The engine's notation handler: the host's types, then the built-in
// loaders, and for elements then the host's own objects (event 31).
NotationHandler& EngineNotationHandler();

// Reloads one cached graphic (a host changed its picture): an unused one is
// deleted; one in use is orphaned, loaded again, its hot areas moved to the
// replacement and the picture views that show it given the replacement.
// False when `graphic` is not in the cache.
bool RefreshGraphic(GraphicObject* graphic);
// Every cached graphic of the entity (same identifier) refreshed; how many.
int RefreshEntityGraphics(EntityDecl* entity);

}  // namespace qs
