// The base of the views that show a formatted document: what layout
// objects ask of the view they are shown in. The window, host, paged and
// print views build on it; the base answers none, 0 or nothing wherever
// the host or a window must take part.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "view/hit_context.h"
#include "view/output_device.h"

namespace qs {

class Document;
class DocumentNode;
class EntityDecl;
class FrameTreeNode;
class LayoutItem;
class StyleSheet;
class TextFormat;
class ViewLine;

class DocumentView : public ViewWindow {
 public:
  enum : std::uint32_t {
    kHorzBar = 0x0001, kVertBar = 0x0002, kRecordHistory = 0x0004, kMouseSelection = 0x0008,
    kClickClearsHighlight = 0x0010, kOverviewStrip = 0x0020, kDisplayOption = 0x0040,
    kSecondFormat = 0x0080, kShareMarks = 0x0100, kMarksShared = 0x0200,
  };
  // Option byte: region selection in pictures, drawing flag for graphics,
  // graphics fitted to the window width.
  enum : std::uint8_t { kRegionSelection = 0x10, kGraphicsDrawFlag = 0x40, kFitGraphics = 0x80 };
  // Flag byte: navigator nodes reserve a count column.
  enum : std::uint8_t { kShowHitCounts = 0x02 };

  DocumentView(FrameTreeNode* frame, OutputDevice* device, std::uint32_t flags);

  int GetKind() const override { return 1; }

  // What layout objects ask of the view they are in. The document and the
  // sheet are those of the shown frame, none without one.
  virtual Document* GetDocument();
  virtual StyleSheet* GetStyleSheet();
  // The first item of the shown frame, or none.
  LayoutItem* FirstFrameItem() const;
  std::uint32_t GetFlags() const { return flags_; }
  virtual void Refresh() {}
  // Inverts the text of [start, end) on the visible lines; twice restores.
  virtual void InvertRange(std::int32_t start, std::int32_t end);
  // Both fill with the view's background colour, else the device's.
  virtual void FillBackground(int x1, int y1, int x2, int y2);
  void EraseRect(int left, int top, int right, int bottom) { FillBackground(left, top, right, bottom); }
  virtual void SetHighlight(void* object, void* region) { (void)object, (void)region; }
  virtual void Reformat() {}
  // A picture of the graphic for the format, or none.
  virtual void* TakePicture(void* graphic, TextFormat* format) { (void)graphic, (void)format; return nullptr; }
  virtual void ReturnPicture(void* picture, TextFormat* format) { (void)picture, (void)format; }
  // A text allocated with MemAlloc, or none.
  virtual char* GetHostTextForElement(DocumentNode* element, std::intptr_t argument) {
    (void)element, (void)argument;
    return nullptr;
  }
  virtual char* GetHostTextForObject(void* object, std::intptr_t argument) {
    (void)object, (void)argument;
    return nullptr;
  }
  virtual void RunProgram(const char* commandLine, EntityDecl* entity);
  virtual int ShowEntity(EntityDecl* entity, int flag) { (void)entity, (void)flag; return 0; }
  virtual int OfferEntity(EntityDecl* entity) { (void)entity; return 0; }
  // 0 show, 1 hide, 2 hide and skip.
  virtual int AskHostForLocation(Document* document, DocumentNode* element) {
    (void)document, (void)element;
    return 0;
  }
  virtual void ShowElement(DocumentNode* element, DocumentNode* title, std::int32_t position) {
    (void)element, (void)title, (void)position;
  }
  // The message to the boxes of every line, placed from the first shown line.
  virtual void Broadcast(int message, std::intptr_t argument);

  FrameTreeNode* GetFrame() const { return frame_; }
  void SetFrameNode(FrameTreeNode* frame) { frame_ = frame; }
  ViewLine* FirstLine() const;

  // The lines of the shown paragraphs, in document order (owned).
  ListHead lines;
  // The first line in the window and how far the window top lies above it.
  ViewLine* firstShown = nullptr;
  std::int32_t verticalOffset = 0;
  std::int32_t horizontalOffset = 0;
  // Highlighted ranges in document order (owned by whoever fills them).
  RangeEntry* hitList = nullptr;
  // Set while the button is down on PressedBox.
  HitContext* pressContext = nullptr;
  std::uint8_t options = 0;
  std::uint8_t viewFlags = 0;
  DeviceColor* background = nullptr;

 protected:
  ~DocumentView() override;
  std::uint32_t flags_;

 private:
  FrameTreeNode* frame_;
};

}  // namespace qs
