// The base of the views that show a formatted document: what layout
// objects ask of the view they are shown in. The window, host, paged and
// print views build on it; the base answers none, 0 or nothing wherever
// the host or a window must take part.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/containers.h"
#include "view/hit_context.h"
#include "style/frame.h"
#include "view/output_device.h"
#include "view/ranges.h"

namespace qs {

class BoxQuery;
class Document;
class DisplayBox;
class DocumentNode;
class EntityDecl;
class FrameTreeNode;
class GraphicObject;
class LayoutItem;
class LinkRule;
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

  // Takes over the caller's use of `frame` (may be null) and joins the
  // engine's view list.
  DocumentView(FrameTreeNode* frame, OutputDevice* device, std::uint32_t flags);

  int GetKind() const override { return 1; }

  // ---- Showing a frame ------------------------------------------------------------
  // Shows another frame (taking over the caller's use) from `position`.
  void SetFrame(FrameTreeNode* frame, std::int32_t position, bool redraw);
  // 0 nothing to do, 1 repainted, 2 laid out again.
  int SetFlags(std::uint32_t flags);
  // Empties the view, leaves the view list, lets go of the device and
  // gives up the caller's use.
  virtual void Close();
  // The frame's element range (0, 0 without a frame).
  std::int32_t RangeStart() const { return rangeStart_; }
  std::int32_t RangeEnd() const { return rangeEnd_; }

  // ---- Layout ----------------------------------------------------------------------
  // Returns the height covered from the window top.
  int LayoutFrom(std::int32_t position, bool exact);
  // 0 upwards, 1 downwards; returns the height covered.
  int FillWindow(int direction);
  void UpdateExtents(ViewLine* lastLine);
  // 1 when the content from `position` fits `height`: then the size it
  // takes is in the out-values.
  int LocatePosition(std::int32_t position, int* width, int* height);
  std::int32_t GetFirstShownPosition() const { return firstShownPosition_; }
  std::int32_t GetLastShownPosition() const;
  std::int32_t GetLastLaidPosition() const;
  ViewLine* LastLineInWindow() const;
  int LeftExtent() const { return leftExtent_; }
  int RightExtent() const { return rightExtent_; }
  int ContentWidth() const;
  // Lines held now (only the paragraphs that touch the window).
  std::size_t LineCount() const;

  // ---- Scrolling ------------------------------------------------------------------
  void PageUp();
  void PageDown();
  void LineUp();
  void LineDown();
  void ShowPosition(std::int32_t position);
  void PageLeft();
  void PageRight();
  void LineLeft();
  void LineRight();
  void SetHorizontalOffset(int x, bool redraw);
  void UpdateWindow();

  // ---- Window events ---------------------------------------------------------------
  void OnSize() override;
  void OnPaint() override;
  void OnKeyDown(int virtualKey) override;
  void OnScroll(int horizontal, int code, int position) override;
  void OnMouseWheel(int lines, int control, int x, int y) override;
  void OnPan(int dx, int dy) override;
  // The thumb, page and range the vertical bar shows now.
  void VerticalBarValues(int* thumb, int* page, int* range) const;

  // ---- Pointer, selection and hits ------------------------------------------------------
  // The box of the line that holds y, the point relative to its top-left
  // corner (its child box with `child`); null when no line holds y.
  DisplayBox* BoxAtPoint(int x, int y, int* bx, int* by, bool child);
  // As BoxAtPoint, but above the window the first line and below it the
  // last line in the window is taken.
  DisplayBox* BoxAtPointClamped(int x, int y, int* bx, int* by, bool child);
  // The document position under the point, -1 when no line is there.
  std::int32_t PositionAtPoint(int x, int y);
  // The ranges list is the hit list: a selection replaces it (one range).
  void SelectRange(std::int32_t start, std::int32_t end);
  void ClearMarks();
  // Inverts the hit list's ranges on the visible lines and draws the
  // overview strip.
  void DrawMarks();
  // Each returns whether there was a hit to show (ShowNextHit: whether the
  // view moved).
  bool ShowFirstHit();
  bool ShowPreviousHit();
  bool ShowNextHit();
  bool ShowLastHit();
  // The start of the hit nearest the position (the earlier one at the
  // half-way point); the position itself without hits.
  std::int32_t NearestHitStart(std::int32_t position) const;
  // The strip row of a position: (position - start) * height / length
  // in 64 bits; -1 when the frame's length is 0.
  int StripRow(std::int32_t position) const;
  void OnLButtonDown(int x, int y, int modifiers) override;
  void OnMouseMove(int x, int y) override;
  void OnLButtonUp(int x, int y) override;
  void OnLButtonDblClk(int x, int y) override;
  void OnTimer() override;
  // The engine's one pointer press: 0 up, 1 pressed, 2 dragging.
  static int PointerButtonState();
  // The selection's anchor and moving end while the button is down.
  static std::int32_t PointerAnchor();
  static std::int32_t PointerCurrent();

  // ---- Hooks of the derived views ----------------------------------------------------
  virtual void OnExtentChanged(int width, int height) { (void)width, (void)height; }
  virtual void OnFrameChanged() {}
  virtual void OnHighlightChanged() {}

  // ---- Binding to frames -------------------------------------------------------------
  // Drops the lines while the frame is rebuilt; Rebind lays out again.
  void Unbind();
  void Rebind();
  bool Unbound() const { return unbound_; }
  // Whether the frame uses the object (a sheet, navigator, document type
  // definition, document or the frame itself); null matches any frame.
  bool FrameUses(const void* object);

  // ---- Background -------------------------------------------------------------------
  // Applies the frame's background text: a colour or "\pattern(name)".
  void ApplyBackground(const char* text);
  // The name of a "\\pattern(name)" text (blanks skipped, ")" optional);
  // false for any other text.
  static bool PatternName(const char* text, char (&name)[256]);
  // The sheet's icon image tiled as the background (a graphic object with
  // the view's use), or none.
  GraphicObject* BackgroundPattern() const { return backgroundPattern_; }

  // What layout objects ask of the view they are in. The document and the
  // sheet are those of the shown frame, none without one.
  virtual Document* GetDocument();
  virtual StyleSheet* GetStyleSheet();
  // The first item of the shown frame, or none.
  LayoutItem* FirstFrameItem() const;
  std::uint32_t GetFlags() const { return flags_; }
  // Lays out again from the first shown position and repaints.
  virtual void Refresh();
  // Inverts the text of [start, end) on the visible lines; twice restores.
  virtual void InvertRange(std::int32_t start, std::int32_t end);
  // Both fill with the view's background colour, else the device's.
  virtual void FillBackground(int x1, int y1, int x2, int y2);
  void EraseRect(int left, int top, int right, int bottom) { FillBackground(left, top, right, bottom); }
  // Marks a region of a placed picture: `object` is the picture's entity,
  // `region` a PictureHotArea in 2048ths of the picture. The view keeps one
  // such region; every placement of the entity's picture outlines it. A
  // null entity or region drops it.
  virtual void SetHighlight(void* object, void* region);
  void ClearRegionHighlight();
  // The entity whose picture holds the marked region, or none.
  EntityDecl* RegionEntity() const { return regionEntity_; }
  // The marked region: x, y, width, height in 2048ths of the picture.
  const int* RegionBounds() const { return region_; }
  // A text for a page position (ids 9 to 14 on printed pages), drawn as it
  // is laid out; screen views keep none.
  virtual void SetHeaderText(int id, const char* text) { (void)id, (void)text; }
  virtual void Reformat() {}
  // A picture of the graphic for the format (a renderer on the view's
  // device), or none; ReturnPicture deletes it.
  virtual void* TakePicture(void* graphic, TextFormat* format);
  virtual void ReturnPicture(void* picture, TextFormat* format);
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
  // A chosen navigator entry or contents icon: shown where the view's Goto
  // hook puts it (a host view's linked view, unless the host takes it).
  virtual void ShowElement(DocumentNode* element, DocumentNode* title, std::int32_t position) {
    GotoDocumentPosition(element, title, position);
  }
  // A question about an element for the host (its answer), none here.
  virtual std::intptr_t AskHostAboutElement(DocumentNode* element, std::intptr_t key) {
    (void)element, (void)key;
    return 0;
  }
  // Shows (a, b)'s place: the view's linked one when the host leaves it.
  virtual int GotoDocumentPosition(DocumentNode* a, DocumentNode* b, std::int32_t position) {
    (void)a, (void)b, (void)position;
    return 0;
  }
  // Shows [start, start + length) of `document` for a link followed from
  // `context` (of `fromDocument`; either may be null): here through the
  // engine's search for a view that covers the range.
  virtual int GotoRange(Document* fromDocument, DocumentNode* context, Document* document,
                        std::int32_t start, std::int32_t length);
  // The view's own way with a link: with the link rule of `context`, a
  // "TEI-P3" link is shown from its DOC, FROM and TO attributes and any
  // other form is engine error 23; without a rule the view leaves the
  // link to the engine. 1 when the view took it.
  virtual int FollowLink(DocumentNode* context, const LinkRule* rule);
  // An item message to every item of the frame; the first non-zero answer.
  std::intptr_t SendToItems(int message, std::intptr_t argument);
  // A graphic object was reloaded: every item of the frame and every box
  // laid out is told (message 15) to take `newObject` where it held
  // `oldObject`; the view then lays out again.
  void ReplaceObject(void* oldObject, void* newObject);
  // A message to the boxes of the lines from the first shown one, placed
  // as drawn; the first non-zero answer.
  std::intptr_t AskBoxes(int message, std::intptr_t argument);
  // The query to the boxes of the lines from the first shown one, placed
  // as drawn (nested boxes included); the first non-zero answer.
  std::intptr_t VisitLines(BoxQuery& query);
  // The start of the first placed picture of the entity on the laid-out
  // lines, -1 when none is there.
  std::int32_t FindPlacedPicture(const EntityDecl* entity);
  // Brings the entity's picture into the window so that the part from y
  // to y + height (in 2048ths of the picture's height) shows, its bottom
  // first but never past its top. The picture is looked for on the lines
  // laid out, else at the entity's references in the frame; false (the
  // view unmoved) when the view does not place it.
  bool ShowPictureArea(const EntityDecl* entity, int y, int height);
  // The bytes a copy of [start, end) of the frame's text takes, and the
  // copy itself into `out` (at most `room` bytes; returns how many).
  std::int32_t TextLength(std::int32_t start, std::int32_t end);
  std::int32_t CopyText(std::int32_t start, std::int32_t end, char* out, std::size_t room);
  // The message to the boxes of every line, placed from the first shown line.
  virtual void Broadcast(int message, std::intptr_t argument);

  FrameTreeNode* GetFrame() const { return frame_; }
  // Points the view at a frame without the use counting or layout of
  // SetFrame (frames a test or a formatting run owns).
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
  // The view's range list: the hits of its last search, or the ranges the
  // host added as its selection (`rangesAreHits` tells which).
  RangeList ranges;
  bool rangesAreHits = false;
  // Ranges the host highlighted.
  RangeList highlights;
  // The position the host selected, -1 for none.
  std::int32_t selectedPosition = -1;
  std::uint8_t options = 0;
  std::uint8_t viewFlags = 0;
  DeviceColor* background = nullptr;

 protected:
  ~DocumentView() override;
  // Takes the frame's range and background.
  void TakeFrameRange();
  // Lays out the paragraphs from `item` behind the lines (those that give
  // no line are passed over); false when none gave one.
  bool LayOutBehind(LayoutItem* item) { return BuildBehind(item); }
  void SetFirstShownPosition(std::int32_t position) { firstShownPosition_ = position; }
  std::uint32_t flags_;

 private:
  // The view's entry in the engine's view list.
  class Link : public FrameView {
   public:
    explicit Link(DocumentView* view) : view_(view) {}
    FrameTreeNode* ShownFrame() const override;
    void Refresh() override;
    void Rebind(const void* object, bool after) override;
    void DetachFrame() override;
    DocumentView* view() const { return view_; }

   private:
    DocumentView* view_;
  };
  struct Entry : OwnedNode {
    explicit Entry(DocumentView* view) : view(view) {}
    DocumentView* view;
  };
  friend class Link;
  friend class ViewList;

  void DeleteLines();
  // A document no other view shows yet becomes the newest recent one.
  void NoteRecentDocument(Document* document);
  // The pointer's part of a move (from the timer: auto-scrolled).
  void MouseTrack(int x, int y, bool fromTimer);
  // The window x of a line's origin (before its alignment) and the width
  // its boxes have.
  int LineX(ViewLine* line) const;
  int LineAvailable(ViewLine* line) const;
  // Whether x lies in the overview strip shown now.
  bool InOverviewStrip(int x) const;
  // The frame's first position and its length from the first and last item.
  void FrameExtent(std::int32_t* start, std::int32_t* length) const;
  // Inverts the selection being made (between anchor and current).
  void DrawPressSelection();
  // Inverts the list's ranges on the visible lines (no strip).
  void InvertRanges();
  void DrawOverviewStrip();
  // The end of a paint: the marks and a press's selection or feedback.
  void DrawPaintMarks();
  // Forgets a press this view holds.
  void DropPointer();
  // Builds the paragraph that starts at `item` behind (or in front of) the
  // lines; paragraphs that give no line are passed over. False when none.
  bool BuildBehind(LayoutItem* item);
  bool BuildInFront(LayoutItem* before);
  // The line has a line or a shown item before it.
  bool HasContentBefore(ViewLine* line) const;
  // The frame holds only the item(s) of this line's boxes.
  bool SingleItemLine(ViewLine* line) const;
  // Makes the first line whose bottom shows the first line.
  void SkipHiddenFirstLines();
  void ClampHorizontal(bool right);
  void ReportScrollBars();
  void PinTallLine();

  FrameTreeNode* frame_;
  Link link_{this};
  Entry entry_{this};
  std::int32_t rangeStart_ = 0, rangeEnd_ = 0;
  std::int32_t firstShownPosition_ = 0;
  // The pointer's last point, for the auto-scroll timer.
  int pointX_ = 0, pointY_ = 0;
  int leftExtent_ = 0, rightExtent_ = 0;
  GraphicObject* backgroundPattern_ = nullptr;
  EntityDecl* regionEntity_ = nullptr;
  int region_[4] = {0, 0, 0, 0};
  // Pictures the boxes gave back while a resize lays the view out again,
  // for the boxes rebuilt for them (renderers with the format they had).
  struct KeptPicture {
    void* picture;
    TextFormat* format;
  };
  std::vector<KeptPicture> resizeKept_;
  void DropKeptPictures();
  bool resizing_ = false;
  bool unbound_ = false;
};

// The engine's document views, most recently set first.
class ViewList {
 public:
  static OwnedList& Entries();
  static DocumentView* First();
  static DocumentView* Next(DocumentView* view);
  // The first view of the frame whose shown range holds the position (any
  // with -1).
  static DocumentView* FindViewShowing(FrameTreeNode* frame, std::int32_t position);
  static DocumentView* FindViewOfDocument(Document* document, std::int32_t position);
  // Views of print frames take no part. Null matches every view.
  static void UnbindViewsForObject(const void* object);
  static void RebindViewsForObject(const void* object);
  static void UnbindViewsOfDocument(Document* document);
  static void RebindViewsOfDocument(Document* document);
};

// Points to pixels of a device: value * dots per inch / 72.
int ScaleByDpi(const OutputDevice* device, int value);

}  // namespace qs
