// Rulers, link markers and element icons: the small items the formatter's
// emitting operations make. Rulers are lines across the available width;
// markers draw the engine's stock icons, element icons the picture of the
// icon the sheet names (else the stock one), and all react to the pointer.
#pragma once
#include <cstdint>

#include "layout/display_box.h"
#include "layout/layout_item.h"

namespace qs {

class DocumentNode;
class FrameTreeNode;
class GraphicObject;
class GraphicRenderer;

// A ruler's box: it asks for a minimum width of 1, so a ruler never widens
// the cell or column it stands in.
class RuleBox : public DisplayBox {
 public:
  explicit RuleBox(LayoutItem* item) : DisplayBox(item) {}
  int GetMinWidth() override { return 1; }
};

// A line two units thick from the baseline down; `ruler` sets the room it
// takes above (before) or below (after) the baseline.
class RulerItem : public LayoutItem {
 public:
  RulerItem(std::int32_t position, int ruler, TextFormat* format)
      : LayoutItem(position, format), ruler_(static_cast<std::uint8_t>(ruler)) {}
  int GetAscent() override { return 1; }
  int GetDescent() override { return 1; }
  int GetWidth() override { return width_; }
  void MakeBoxes(ListHead& boxes) override;
  void Draw(int x, int y) override;
  void SplitAt(int width) override { width_ = static_cast<std::int16_t>(width < 0 ? 0 : (width > 30000 ? 30000 : width)); }
  int Ruler() const { return ruler_; }

 private:
  std::uint8_t ruler_;
  std::int16_t width_ = 31000;
};

class RulerBeforeItem : public RulerItem {
 public:
  using RulerItem::RulerItem;
  int GetAscent() override { return Ruler() + 1; }
};

class RulerAfterItem : public RulerItem {
 public:
  using RulerItem::RulerItem;
  int GetDescent() override { return Ruler() + 1; }
  int SkipForPosition() override { return 1; }
};

// A stock icon in the text: 0 link target, 1 empty link source, 2 the end
// of a link source.
class MarkerIconItem : public LayoutItem {
 public:
  MarkerIconItem(std::int32_t position, int icon, TextFormat* format)
      : LayoutItem(position, format), icon_(icon) {}
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void Draw(int x, int y) override;
  void HighlightRanges(MarkRecord& record) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override;
  void PressFeedbackOff(HitContext& context) override;
  int Icon() const { return icon_; }

 protected:
  void ShowIcon(HitContext& context, int look);

 private:
  std::int32_t icon_;
};

class LinkTargetMarkerItem : public MarkerIconItem {
 public:
  LinkTargetMarkerItem(DocumentNode* element, TextFormat* format);
  DocumentNode* GetElement() override { return element_; }
  int GetPointerKind() override { return 12; }
  int PressRange(int x, int y, HitContext& context) override;
  void Activate(DocumentView* view, HitContext* context) override;

 private:
  DocumentNode* element_;
};

class EmptyLinkSourceItem : public MarkerIconItem {
 public:
  EmptyLinkSourceItem(DocumentNode* element, TextFormat* format);
  DocumentNode* GetElement() override { return element_; }
  int GetPointerKind() override { return 1; }
  int PressRange(int x, int y, HitContext& context) override;
  void Activate(DocumentView* view, HitContext* context) override;

 private:
  DocumentNode* element_;
};

// Link following is not part of the layout: the engine installs it when
// it has one. Markers and link text do nothing on activation until then.
// `how`: kFollowOwnLinks, kFollowLinkSources or kFollowWithAncestors.
enum : int { kFollowOwnLinks = 0, kFollowLinkSources = 1, kFollowWithAncestors = 2 };
using FollowLinkHook = void (*)(DocumentView* view, DocumentNode* element, int how);
void SetFollowLinkHook(FollowLinkHook hook);
// Hands the element to the installed hook, if any.
void FollowLinkFromLayout(DocumentView* view, DocumentNode* element, int how);

// An element whose content is laid out in a frame of its own, shown in the
// text as an icon that opens that frame.
class ElementIconItem : public LayoutItem {
 public:
  // Makes the frame under `view` at once (the frame tree owns it).
  ElementIconItem(DocumentNode* element, TextFormat* format, FrameTreeNode* view, const char* icon);
  ~ElementIconItem() override;
  std::int32_t GetLength() override { return end_ - Position(); }
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  FrameTreeNode* GetOwnFrame() override { return frame_; }
  DocumentNode* GetElement() override;
  void MakeBoxes(ListHead& boxes) override;
  void Draw(int x, int y) override;
  void HighlightRanges(MarkRecord& record) override;
  std::int32_t GetTextLength(std::int32_t from, std::int32_t to) override;
  std::int32_t CopyText(std::int32_t from, std::int32_t to, char* output, std::size_t room) override;
  int GetPointerKind() override { return 11; }
  int PressRange(int x, int y, HitContext& context) override;
  void Activate(DocumentView* view, HitContext* context) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;
  // The sheet's icon of that name (one use held), or none: stock icon 12
  // shows then.
  GraphicObject* IconImage() const { return image_; }

 private:
  GraphicObject* image_ = nullptr;
  FrameTreeNode* frame_ = nullptr;
  std::int32_t end_;
};

// An element icon drawn as the picture the view made of the sheet's icon;
// the box hands the picture back when it goes.
class ElementIconBox : public DisplayBox {
 public:
  ElementIconBox(ElementIconItem* item, GraphicRenderer* picture)
      : DisplayBox(item), picture_(picture) {}
  ~ElementIconBox() override;
  int GetAscent() override;
  int GetDescent() override;
  int GetWidth() override;
  void HighlightRanges(MarkRecord& record) override;
  void Draw(int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override;
  void PressFeedbackOff(HitContext& context) override;
  GraphicRenderer* Picture() const { return picture_; }

 private:
  void Show(HitContext& context, int pressed);
  GraphicRenderer* picture_;
};

// Stock icon 12, the element icon.
inline constexpr int kElementIcon = 12;

}  // namespace qs
