// The entries of a navigator (the collapsible table of contents beside a
// document): one NavigatorNode per entry, a layout item that stands for a
// body element, owns the formatted items of its title and knows its child
// entries. A navigator view's item list holds only the visible nodes: the
// top-level ones and, right after each expanded node, its children. A
// visible node shows itself as one NavigatorNodeBox: the marker icon, an
// optional hit count to its left and the title broken into lines to its
// right. Views and exports talk to nodes through numbered messages.
#pragma once
#include <cstdint>

#include "foundation/containers.h"
#include "layout/layout_item.h"
#include "layout/paragraph_box.h"

namespace qs {

class DocumentNode;
class PairList;

// The messages of navigator nodes (the argument and answer of each are
// pointer-sized).
enum NavigatorMessage : int {
  kNavCurrentRepaint = 0,   // position: current-position test, markers repainted
  kNavCurrent = 1,          // position: the same without repainting
  kNavCurrentElement = 2,   // -> the element when the node is current
  kNavIdentify = 3,         // -> 2 marked, 1 not
  kNavMark = 4,             // marks the subtree
  kNavUnmark = 5,           // unmarks the subtree
  kNavCollect = 6,          // ListHead*: appends a NavigatorRangeRecord
  kNavCountHits = 17,       // const PairList* (or 0): recounts the hits
  kNavReveal = 18,          // position: expands collapsed nodes holding it
  kNavExpandedElement = 19, // -> the element when expanded
  kNavRestore = 20,         // SavedExpansion* cursor -> the new cursor
  kNavQuerySelf = 21,       // NodeQuery*: the node asked about
  kNavQueryParent = 22,
  kNavQueryFirstChild = 23,
  kNavQueryPrevious = 24,
  kNavQueryNext = 25,
  kNavClose = 26,           // element: collapse it (2) or 1 when not expanded
  kNavOpen = 27,            // element: expand it (2) or 1 when not collapsed
};

// The record of the node queries (messages 21 to 25).
struct NodeQuery {
  // In: 0. A node forwarding the query to a child puts itself here, so
  // the answering node sees its parent.
  void* node = nullptr;
  // In: the element asked about, or 0 for the first node asked; out: the
  // answer's element.
  DocumentNode* element = nullptr;
  DocumentNode* titleElement = nullptr;
  std::int16_t hitCount = 0;
  std::uint8_t flags = 0;
  std::uint8_t level = 0;
};

// A node of a view's expanded set, kept across a re-format: the body
// element of a node that was expanded.
class SavedExpansion : public ListNode {
 public:
  explicit SavedExpansion(DocumentNode* element) : element(element) {}
  SavedExpansion* NextRecord() const { return static_cast<SavedExpansion*>(Next()); }
  DocumentNode* element;
};

// What message 6 collects of a node: its title element, its element and
// whether it is marked. The extent is the element's end, so pruning a
// collected list keeps an unmarked node only for the marked ones inside it.
class NavigatorRangeRecord : public MarkedNodeEntry {
 public:
  NavigatorRangeRecord(DocumentNode* title, DocumentNode* element, bool marked)
      : title(title), element(element), marked(marked) {}
  bool IsMarked() const override { return marked; }
  std::intptr_t Extent() const override;
  DocumentNode* title;
  DocumentNode* element;
  bool marked;
};

// The measures all navigators share, taken from the engine's icons and
// the device's default font the first time a node makes its boxes.
struct NavigatorMetrics {
  std::int16_t iconWidth = 0;      // the widest of icons 3 to 7
  std::int16_t lineHeight = 0;     // the tallest of them, or the text height
  std::int16_t countColumnWidth = 0;
  std::int16_t fontAscent = 0;
  std::int16_t fontDescent = 0;
  std::int16_t textHeight = 0;
};
const NavigatorMetrics& GetNavigatorMetrics();
// Forgets the measures: the next node to make its boxes takes them anew.
void ResetNavigatorMetrics();

// While an engine point query runs, node boxes let point searches into
// their title lines; otherwise the pointer always lands on the node.
int PointQueryDepth();
class PointQueryScope {
 public:
  PointQueryScope();
  ~PointQueryScope();
  PointQueryScope(const PointQueryScope&) = delete;
  PointQueryScope& operator=(const PointQueryScope&) = delete;
};

class NavigatorNode : public LayoutItem {
 public:
  enum : std::uint8_t { kExpanded = 1, kCurrent = 2, kLocateBody = 4, kMarked = 8 };
  // Icons of the engine's table.
  enum : int {
    kIconCollapsed = 3, kIconExpanded = 4, kIconLeaf = 5, kIconCollapsedCurrent = 6,
    kIconExpandedCurrent = 7, kIconLeafCurrent = 8, kIconMarked = 9,
  };

  // The item stands at the title element's start. `list` is the view's
  // item list, where the node and its visible descendants live.
  NavigatorNode(DocumentNode* element, DocumentNode* titleElement, TextFormat* format,
                std::int8_t level, std::uint8_t flags, ListHead* list);
  ~NavigatorNode() override;

  std::int32_t GetLength() override;
  int BreaksBefore() override { return 1; }
  int GetAscent() override { return 0; }
  int GetDescent() override;
  int GetWidth() override { return MarkerRight(); }
  int LeftIndent() override { return 3; }
  int RightIndent() override { return 3; }
  int BaselineOffset() override { return 0; }
  int Justify() override { return 0; }
  int LineStyle() override { return 0; }
  int ChangeBar() override { return 0; }
  void MakeBoxes(ListHead& boxes) override;
  // The marker: what a change of the current node redraws.
  void Draw(int x, int y) override { DrawMarker(x, y); }
  void SplitAt(int) override {}
  void Activate(DocumentView* view, HitContext* context) override;
  std::intptr_t HandleMessage(int x, int y, int message, std::intptr_t argument) override;
  DocumentNode* GetElement() override { return element_; }

  // (x, y): the box origin (its top left: node boxes have no ascent).
  void DrawMarker(int x, int y, int look = 1);
  // The hit count left of the marker, when the view shows counts.
  void DrawHitCount(int x, int y);

  // Splices the children into the view's list right after the node.
  void Expand();
  // Collapses the children first, then takes them out of the list.
  void Collapse();
  // Links a child after the others (the builder).
  void AppendChild(NavigatorNode* child);

  // indent = count column (when the view shows counts) + 12 x level.
  int Indent() const;
  int MarkerRight() const;
  // The icon the marker shows now.
  int MarkerIcon() const;
  // Text of the hit count as drawn ("%d", ">999" from 1000 on), or empty.
  static void HitCountText(int count, char out[8]);

  ListHead titleItems;
  DocumentNode* TitleElement() const { return titleElement_; }
  DocumentNode* Element() const { return element_; }
  std::int32_t markerTop = 0;
  std::int16_t hitCount = 0;
  std::uint8_t flags;
  std::int8_t level;
  NavigatorNode* FirstChild() const { return firstChild_; }
  NavigatorNode* LastChild() const { return lastChild_; }
  NavigatorNode* NextSibling() const { return nextSibling_; }
  NavigatorNode* PrevSibling() const { return prevSibling_; }
  NavigatorNode* ParentNode() const { return parent_; }
  bool IsExpanded() const { return flags & kExpanded; }
  bool HasChildren() const { return firstChild_ != nullptr; }

 private:
  bool Holds(std::uint32_t position) const;
  void CurrentTest(int x, int y, std::uint32_t position, bool repaint);
  std::intptr_t Query(int message, NodeQuery* query);
  void Fill(NodeQuery* query);
  // The node whose answer a query wants (after forwarding), or null.
  NavigatorNode* QueryTarget(int message, NavigatorNode* parent);

  DocumentNode* titleElement_;
  DocumentNode* element_;
  ListHead* list_;
  NavigatorNode* firstChild_ = nullptr;
  NavigatorNode* lastChild_ = nullptr;
  NavigatorNode* nextSibling_ = nullptr;
  NavigatorNode* prevSibling_ = nullptr;
  NavigatorNode* parent_ = nullptr;
};

// A visible node as a box: the marker left, the title as a paragraph right.
class NavigatorNodeBox : public ParagraphBox {
 public:
  // Breaks the title at the device width less (markerRight + 10).
  NavigatorNodeBox(NavigatorNode* node, int deviceWidth, int markerRight);

  std::int32_t GetStart() override { return Node()->Position(); }
  std::int32_t GetLength() override { return Node()->GetLength(); }
  int GetAscent() override { return 0; }
  int GetDescent() override;
  int GetWidth() override { return titleOffset + ParagraphBox::GetWidth(); }
  int LeftIndent() override { return 3; }
  int RightIndent() override { return 3; }
  int Justify() override { return 0; }
  int LineStyle() override { return 0; }
  void Draw(int x, int y) override;
  void SplitAt(int) override {}
  int GetPointerKindAt(int x, int y) override;
  std::intptr_t Visit(BoxQuery& query, int x, int y) override;
  int PressRange(int x, int y, HitContext& context) override;
  void PressFeedbackOn(HitContext& context) override { PressFeedbackIfInside(context); }
  void PressFeedbackIfInside(HitContext& context) override;
  void PressFeedbackOff(HitContext& context) override;
  DisplayBox* ChildAt(int x, int y, int* outX, int* outY) override;

  NavigatorNode* Node() const { return static_cast<NavigatorNode*>(Item()); }
  // The paragraph's own height (all title lines).
  int TitleHeight() { return ParagraphBox::GetAscent(); }
  std::int32_t titleOffset;

 private:
  // Where the current icon sits: left, top, width, height.
  void IconRect(int* left, int* top, int* width, int* height);
  void DrawFeedback(HitContext& context, int look);
};

// A plain box for a node with an empty title: it still takes a line.
class NavigatorEmptyBox : public DisplayBox {
 public:
  explicit NavigatorEmptyBox(NavigatorNode* node) : DisplayBox(node) {}
  void Draw(int x, int y) override;
};

}  // namespace qs
