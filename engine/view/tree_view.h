// The element structure of a document drawn as a tree of equal boxes, one
// per element and labelled with its type name: the root at the top left,
// each level one column to the right, siblings downward. A box's left
// square collapses or expands its children (the collapsed state is the
// node's own flag, shared by every tree view of the document); a click on
// the label selects the element and shows it in a document view.
//
// Every walk is iterative, so documents nested thousands of levels deep
// draw and hit-test without deep recursion.
#pragma once
#include <cstdint>
#include <vector>

#include "foundation/callbacks.h"
#include "view/output_device.h"

namespace qs {

class Document;
class DocumentNode;

class TreeView : public ViewWindow {
 public:
  // Takes a use of the document; the view has one reference, which the
  // device's closing drops.
  TreeView(Document* document, OutputDevice* device);

  // Expands the node and its collapsed ancestors, selects it and scrolls
  // it to the middle when it is not wholly in view. A node of another
  // document changes nothing.
  void ShowNode(DocumentNode* node);
  // Shows the node's element in a document view.
  virtual void ActivateNode(DocumentNode* node);
  // The node whose box holds the window point (edges included), or null;
  // with `relX`/`relY` the point relative to the box.
  DocumentNode* HitTest(int x, int y, int* relX = nullptr, int* relY = nullptr);
  // Lays the tree out again (after collapsing or expanding).
  void Layout();

  Document* GetDocument() const { return document_; }
  DocumentNode* Selected() const { return selected_; }
  int BoxWidth() const { return boxWidth_; }
  int BoxHeight() const { return boxHeight_; }
  int ContentWidth() const { return contentWidth_; }
  int ContentHeight() const { return contentHeight_; }
  int ScrollX() const { return scrollX_; }
  int ScrollY() const { return scrollY_; }

  void OnPaint() override;
  void OnMouseMove(int x, int y) override;
  void OnLButtonDown(int x, int y, int shift) override;
  void OnLButtonUp(int x, int y) override;
  void OnKeyDown(int virtualKey) override;
  void OnScroll(int horizontal, int code, int position) override;
  void OnMouseWheel(int lines, int control, int x, int y) override;
  void OnPan(int dx, int dy) override;
  void OnDeviceClosed() override;
  int GetKind() const override { return 3; }

 protected:
  ~TreeView() override;
  void Repaint();

 private:
  template <class Visit>
  bool Walk(int originX, int originY, bool stopBelowView, Visit&& visit);
  void DrawNode(DocumentNode* node, int x, int y);
  // Whether a view of the document shows the node as current (a second
  // frame around its box).
  bool IsCurrent(const DocumentNode* node) const;
  void ScrollBy(int dx, int dy);

  Document* document_;
  Font* font_ = nullptr;
  DocumentNode* selected_ = nullptr;
  std::vector<DocumentNode*> current_;
  std::uint8_t barsShown_ = 0;
  std::int64_t contentHeight_ = 0, contentWidth_ = 0;
  int viewWidth_ = 0, viewHeight_ = 0;
  int boxWidth_ = 0, boxHeight_ = 0;
  std::int64_t scrollX_ = 0, scrollY_ = 0;
  bool dragging_ = false, dragMoved_ = false;
  int dragX_ = 0, dragY_ = 0;
};

// The tree view of a host window: the host's value kept, a clicked element
// shown through the engine's search for a covering view.
class HostTreeView : public TreeView {
 public:
  // Attaches the window's device (mode 0x1A); with a node, shows it.
  HostTreeView(WindowHandle window, Document* document, DocumentNode* node, std::intptr_t value,
               std::uint32_t options);
  void ActivateNode(DocumentNode* node) override;
  std::intptr_t Value() const { return value_; }
  std::uint32_t Options() const { return options_; }

 private:
  std::intptr_t value_;
  std::uint32_t options_;
};

}  // namespace qs
