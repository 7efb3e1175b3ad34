// The formatter: walks the elements of a frame's range in document order,
// resolves each element's style from the sheet's rules and the qualified
// styles that hold, and appends layout items for text, marks, generated
// text and numbers to the frame's item list. Variants (tables, navigators,
// print pages) derive from it and replace the virtual operations.
#pragma once
#include <cstdint>

#include "foundation/arena.h"
#include "style/frame.h"

namespace qs {

class ElementStyle;
class EntityDecl;
class StyleSheet;
class EntityRefMark;
class LayoutItem;
class LayoutPartsItem;
class Mark;
class StyleRule;
class TextBlockStyle;
class TextFormat;
struct CalsRunCache;

// Merged styles of a (style, qualified style) pair, made once per run.
class MergedStyleCache : public EngineObject {
 public:
  static constexpr int kBuckets = 511;
  MergedStyleCache() = default;
  MergedStyleCache(const MergedStyleCache&) = delete;
  MergedStyleCache& operator=(const MergedStyleCache&) = delete;
  ~MergedStyleCache();
  // Null only when memory is exhausted.
  ElementStyle* Get(const ElementStyle* style, const ElementStyle* qualified);
  int Count() const { return count_; }

 private:
  struct Entry {
    const ElementStyle* style;
    const ElementStyle* qualified;
    ElementStyle* merged;
    Entry* next;
  };
  Entry* buckets_[kBuckets] = {};
  int count_ = 0;
};

// The merged-style cache of the running formatting run, or null.
MergedStyleCache* CurrentMergedStyleCache();
// How many cache pairs the nested runs have saved (at most 8).
int FormatterGlobalsDepth();
inline constexpr int kFormatterGlobalsDepth = 8;

class DocumentFormatter : public Formatter {
 public:
  static constexpr int kStyleDepth = 96;  // entries 1..96 of 97
  static constexpr int kShowDepth = 48;   // entries 1..48 of 49
  static constexpr int kNumberCells = 97;

  // Applies the numbering a merged style asks for to the list number
  // cells (a counter step, a list opening, a sublevel, a next item) and
  // gives what the matching close must undo: 2, 3, 4, or 0 for nothing.
  // Past the capacities a level gets no numbers.
  static std::uint8_t OpenNumbering(ElementStyle* merged, std::uint16_t (&cells)[kNumberCells],
                                    int& level, std::uint8_t (&levels)[kShowDepth + 1],
                                    int& levelDepth);

  // `baseFormat` may only be given while the formatter globals are held.
  DocumentFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                    TextFormat* baseFormat, DocumentNode* root);
  ~DocumentFormatter() override;

  void Run(bool withBreaks) override;

  virtual int EnterElement(DocumentNode* element);
  virtual int DataRange(DocumentNode* element, std::uint32_t from, std::uint32_t to);
  virtual void LeaveElement(DocumentNode* element);
  virtual int StartElement(DocumentNode* element);
  virtual int EndElement(DocumentNode* element);
  virtual void AppendItem(LayoutItem* item);
  // Emits what the mark stands for; returns where text resumes.
  virtual std::uint32_t Content(DocumentNode* element, Mark* mark);
  // Slots of the variants: here display objects format as text; tables,
  // rulers, link markers, element icons, tags and instructions make their
  // items.
  // A formula (formatter_items.cpp): 1 when the element became one.
  virtual int MakeDisplayObject(DocumentNode* element, ElementStyle* style);
  // CALS or grid table (formatter_items.cpp): 1 when the element became one.
  virtual int StartTable(DocumentNode* element, ElementStyle* style);
  virtual void AddRulerBefore(std::int32_t position, int ruler);
  virtual void AddRulerAfter(std::int32_t position, int ruler);
  virtual void AddStartMarker(DocumentNode* element);
  virtual void AddElementIcon(DocumentNode* element, FrameTreeNode* view, const char* icon);
  virtual void AddLinkTargetMarker(DocumentNode* element);
  virtual void AddEmptyLinkSourceMarker(DocumentNode* element);
  virtual void AddLinkSourceEndMarker(DocumentNode* element);
  virtual void AddEndMarker(DocumentNode* element);
  virtual void AddProcInstrItem(Mark* mark, TextFormat* format, bool shown);

  ElementStyle* GetCurrentStyle() const { return styles_[styleDepth_]; }
  TextFormat* GetCurrentFormat() const { return formats_[formatDepth_]; }
  bool IsContentShown() const { return target_ && show_[showDepth_] == 1; }
  void AddPendingBreak(int space);
  void ResetNumbers();
  // Whether the sheet styles references to the entity inside the element:
  // a "#NOTATION" rule for the entity's notation name holds there.
  bool IsStyledEntity(DocumentNode* element, EntityDecl* entity);

  // The ancestors' styles of a root below the document's root element.
  void ResolveStyleTo(DocumentNode* element);
  void UnwindStyleTo(DocumentNode* element);
  // The frame's page colour from the root's style.
  void ResolveStyle();

  int StyleDepth() const { return styleDepth_; }
  int FormatDepth() const { return formatDepth_; }
  int ShowDepth() const { return showDepth_; }
  int NumberingLevel() const { return level_; }

 protected:
  friend class CalsTableBuilder;
  friend void CalsTableNew(DocumentFormatter& formatter, DocumentNode* element);
  // The table builder's lookups kept for this run: the document's
  // declarations outlive it.
  CalsRunCache* calsCache_ = nullptr;
  // Items come from the frame's pool.
  GlobalArena& ItemPool() { return *pool_; }
  // Where AppendItem puts items: the item list's, or another list (a
  // variant's), or none, which keeps everything from making items.
  ListHead* OutputTarget() const { return target_; }
  void SetOutputTarget(ListHead* list) { target_ = list; }
  // The shown state of the current level, whatever the target.
  bool LevelShown() const { return show_[showDepth_] == 1; }
  bool PendingBreak() const { return pendingBreak_; }
  int PendingSpace() const { return pendingSpace_; }
  void ClearPendingBreak() {
    pendingBreak_ = false;
    pendingSpace_ = 0;
  }
  void ClearPendingSpace() { pendingSpace_ = 0; }
  bool PushStyle(ElementStyle* style);
  void PushFormat(const ElementStyle* style);
  void PopFormat(const ElementStyle* style);
  void PushBlockFormat(const TextBlockStyle* block);
  void PopBlockFormat(const TextBlockStyle* block);
  // The rule with the qualified styles that hold merged in; none for none.
  ElementStyle* MergeQualified(StyleRule* rule, DocumentNode* element);
  // 1 applied, 0 applied and the subtree is to be skipped, -1 past the stack.
  int ApplyElementStyle(StyleRule* rule, DocumentNode* element);
  void PopElementStyle();
  void PushShow(std::uint8_t shown);
  void PopBlockFormatScale(std::uint16_t scale);
  void NumberingItems(ElementStyle* style, std::int32_t position);
  void EmitBlockLines(const TextBlockStyle* block, std::int32_t position, DocumentNode* element);
  void AdvanceMarkTo(std::uint32_t position);
  // Back to the document's first mark, for another walk of the document.
  void RestartMarks();
  void NextMark();
  void OpenLinkLevel(DocumentNode* element);
  void CloseLinkLevel(DocumentNode* element);
  void NoteLinkContent();
  bool OwnMarkers(DocumentNode* element) const;
  // An entity reference item at the mark, holding the icon's image.
  void AddEntityRef(DocumentNode* element, EntityRefMark* mark, const char* icon);
  // The style of a reference whose entity the sheet styles: applied with
  // its generated text before (StartEntityStyle, which answers whether a
  // style level was pushed) and after (EndEntityStyle, which pops it).
  bool StartEntityStyle(DocumentNode* element, EntityRefMark* mark);
  void EndEntityStyle(DocumentNode* element, EntityRefMark* mark, bool pushed);
  void EmitPieceLines(const TextBlockStyle* block, std::int32_t position, Mark* mark,
                      DocumentNode* element);
  // The element's own start steps that make a single item of it (icon,
  // entity, widget); true when it did.
  bool StartSpecialElement(DocumentNode* element, ElementStyle* style);
  bool StartNotationWidget(DocumentNode* element);
  bool OwnText(DocumentNode* element) const;
  // Formats the element into the list by a nested run of the frame's
  // formatter; false past the nesting limit, when nothing was formatted.
  bool FormatPart(ListHead* list, DocumentNode* element);
  // The frame's formatter for a part of a formula, writing nowhere yet;
  // null past the nesting limit or when the frame makes none of this kind.
  DocumentFormatter* MakePartFormatter(DocumentNode* element);
  // Runs and deletes it with its output going to the list.
  static void RunPart(DocumentFormatter* nested, ListHead* list);
  // The last item of the formatter's own output, or null.
  LayoutItem* LastItem() const;
  // The script group this formatter made last: later parts join it while
  // it is still the last item.
  LayoutPartsItem* partsItem = nullptr;

 private:
  friend class FormatterWalk;
  GlobalArena* pool_;
  ListHead* target_;
  ElementStyle* styles_[kStyleDepth + 1] = {};
  // Pushes past the stack: counted, their pops do nothing.
  int styleDepth_ = 0;
  int styleOverflow_ = 0;
  TextFormat* formats_[kStyleDepth * 2 + 2] = {};
  int formatDepth_ = 0;
  int formatOverflow_ = 0;
  int linkDepth_ = 0;
  Mark* mark_ = nullptr;
  std::uint32_t markPosition_ = 2147483647u;
  std::int64_t lastRecordEnd_ = -2;
  bool pendingBreak_ = false;
  int pendingSpace_ = 0;
  std::uint8_t show_[kShowDepth + 1] = {1};
  int showDepth_ = 0;
  int showOverflow_ = 0;
  bool rootHasAncestors_ = false;
  std::uint8_t levels_[kShowDepth + 1] = {0};
  int levelDepth_ = 0;
  std::uint16_t cells_[kNumberCells] = {};
  int level_ = 0;
  std::uint8_t linkContent_[kShowDepth + 1] = {};
  bool showTags_ = false;
  bool showInstructions_ = false;
  // Whether each style level pushed a show flag, a format and a level.
  std::uint8_t pushedShow_[kStyleDepth + 1] = {};
  std::uint8_t pushedLevel_[kStyleDepth + 1] = {};
};

// Whether the sheet styles references to the entity inside the element: a
// "#NOTATION" rule for the entity's notation name holds there.
bool IsStyledEntity(StyleSheet* sheet, DocumentNode* element, EntityDecl* entity);

// The subtrees whose end is being skipped (hidden and left by the host).
int FormatterSkipCount();

}  // namespace qs
