// External entities and widgets in the text flow. A reference to an
// external entity becomes an EntityRefItem; its box is chosen when it is
// made: an icon that runs the entity's LAUNCH program or hands the entity
// to the host (ExternalEntityBox), the picture itself (GraphicBox), or a
// two-line label naming the notation and the entity (NotationBox). An
// element styled as a widget becomes a WidgetItem, shown as the host's
// picture or a "Widget: NAME" label. Pictures come from the view through
// the graphic services (view/graphic_services.h).
#pragma once
#include <cstdint>

#include "layout/display_box.h"
#include "layout/layout_item.h"
#include "view/graphic_services.h"

namespace qs {

class EntityDecl;
class EntityRefMark;
class GraphicObject;
class GraphicRenderer;
class InternedName;
class NotationDecl;
class SetupEntry;

// The LAUNCH entry of the setup file for the entity's notation: by its
// public identifier, else by its name; null without one.
SetupEntry* FindLaunchEntry(const EntityDecl* entity);

// The command line a LAUNCH command makes for an entity: the program part
// (up to the first blank, else tab) followed by the rest expanded as a
// template, where \system and \file name the entity's path and its local
// file ("?" when there is none). A command without blank or tab is used
// unchanged. Returns an owned text (MemFree), null when memory runs out.
char* MakeLaunchCommand(const char* command, EntityDecl* entity, DocumentNode* context);

// Picture fitting: the size a picture of `current` takes when asked to fit
// `asked`: at least 16, at least 4 % of the current size, never larger.
int FittedPictureSize(int current, int asked);

class EntityRefItem : public LayoutItem {
 public:
  // Takes a use of `icon` (may be null).
  EntityRefItem(DocumentNode* context, EntityRefMark* mark, TextFormat* format,
                GraphicObject* icon, bool inLink);
  ~EntityRefItem() override;
  std::int32_t GetLength() override { return 1; }
  LayoutItem* FindKeyItem(const void* key) override;
  void MakeBoxes(ListHead& boxes) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;

  EntityDecl* Entity() const;
  EntityRefMark* Reference() const { return mark_; }
  DocumentNode* Context() const { return context_; }
  GraphicObject* Icon() const { return icon_; }
  bool InLink() const { return inLink_; }

 private:
  DocumentNode* context_;
  EntityRefMark* mark_;
  GraphicObject* icon_;
  bool inLink_;
};

// The argument of message 15: an object held by an item or box is
// replaced.
struct ObjectReplacement {
  void* oldObject;
  void* newObject;
};
inline constexpr int kMsgReplaceObject = 15;

class ExternalEntityBox : public DisplayBox {
 public:
  // What a press does: nothing, run the LAUNCH program, or the view's
  // default for the entity.
  enum Action : std::int32_t { kInert = 0, kLaunch = 2, kShowEntity = 3 };

  ExternalEntityBox(EntityRefItem* item, SetupEntry* launch);
  ~ExternalEntityBox() override;
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  int GetPointerKind() override { return action_ == kInert ? 0 : 13; }
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override;
  void PressFeedbackOff(HitContext& context) override;
  void Activate(DocumentView* view, HitContext* context) override;

  std::int32_t ActionKind() const { return action_; }
  GraphicRenderer* Picture() const { return picture_; }

 private:
  EntityRefItem* Ref() const { return static_cast<EntityRefItem*>(Item()); }
  void ShowState(HitContext& context, bool pressed);
  SetupEntry* launch_;
  std::int32_t action_;
  GraphicRenderer* picture_ = nullptr;
};

// A framed two-line label: "NOTATION ..." and "ENTITY ...".
class NotationBox : public DisplayBox {
 public:
  explicit NotationBox(EntityRefItem* item);
  ~NotationBox() override;
  int GetAscent() override { return height_; }
  int GetDescent() override { return 2; }
  int GetWidth() override { return width_ + 4; }
  void Draw(int x, int y) override;
  const char* NotationLine() const { return notationLine_ ? notationLine_ : ""; }
  const char* EntityLine() const { return entityLine_ ? entityLine_ : ""; }

 private:
  char* notationLine_ = nullptr;
  char* entityLine_ = nullptr;
  std::int16_t width_ = 0;
  std::int16_t height_ = 0;
};

// A picture in the text flow; it stands for one document position.
class GraphicBox : public DisplayBox {
 public:
  // Takes over the picture the view gave.
  GraphicBox(EntityRefItem* item, GraphicRenderer* picture);
  ~GraphicBox() override;
  std::int32_t GetLength() override { return 1; }
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override;
  int GetMinWidth() override;
  void SplitAt(int width) override;
  void AppendTo(int firstLimit, int nextLimit, ListHead& list) override;
  int GetPointerKindAt(int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override;
  void PressTrack(HitContext& context) override;
  int PressContinue(HitContext& context) override;
  void PressFeedbackIfInside(HitContext& context) override;
  int PressRelease(HitContext& context) override;
  void PressFeedbackOff(HitContext& context) override;
  void Activate(DocumentView* view, HitContext* context) override;
  // The information value of the hot area at (x, y), or 0.
  std::intptr_t HotAreaInfoAt(int x, int y);

  GraphicRenderer* Picture() const { return picture_; }

 private:
  EntityRefItem* Ref() const { return static_cast<EntityRefItem*>(Item()); }
  bool HotAreaAt(int x, int y, PictureHotArea* area);
  void InvertPicture(HitContext& context);
  void FocusTo(HitContext& context, int x, int y);
  void HideSelection(HitContext& context);
  void DrawMarkedRegion(DocumentView* view, int x, int top);
  GraphicRenderer* picture_;
  // The hot area the press is on (selection kind -2).
  PictureHotArea* pressedArea_ = nullptr;
};

class WidgetItem : public LayoutItem {
 public:
  // `widget` names the widget (a WIDGET style's name, or the notation whose
  // handler shows the element); the item takes over the caller's use.
  WidgetItem(DocumentNode* element, InternedName* widget, TextFormat* format);
  ~WidgetItem() override;
  std::int32_t GetLength() override;
  DocumentNode* GetElement() override { return element_; }
  void MakeBoxes(ListHead& boxes) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;

  const char* WidgetName() const;
  // Null before the first layout, kNoGraphic when there is none.
  GraphicObject* Graphic() const { return graphic_; }
  static GraphicObject* const kNoGraphic;

 private:
  DocumentNode* element_;
  InternedName* widget_;
  GraphicObject* graphic_ = nullptr;
};

class WidgetBox : public DisplayBox {
 public:
  explicit WidgetBox(WidgetItem* item);
  ~WidgetBox() override;
  int GetAscent() override { return ascent_; }
  int GetDescent() override { return descent_; }
  int GetWidth() override { return width_; }
  void Draw(int x, int y) override;
  int GetMinWidth() override;
  void SplitAt(int width) override;
  void AppendTo(int firstLimit, int nextLimit, ListHead& list) override;
  GraphicRenderer* Picture() const { return picture_; }

 private:
  void TakeGeometry();
  GraphicRenderer* picture_ = nullptr;
  std::int16_t width_ = 0, ascent_ = 0, descent_ = 0;
};

}  // namespace qs
