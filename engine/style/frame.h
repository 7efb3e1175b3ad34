// The frame tree: each frame holds the layout items of one element range
// and owns the pool they come from. A top-level frame (FrameNode) shows a
// document with a style sheet; nested frames (FrameTreeNode) are built
// inside a formatting run and ask their top-level frame for the rest.
// Also the reference-counted base object, the item pool and the hooks
// through which views learn of frames (the view list is empty until views
// exist).
#pragma once
#include <cstddef>
#include <cstdint>

#include "addressing/qualifier.h"
#include "foundation/arena.h"
#include "foundation/containers.h"

namespace qs {

class Document;
class DocumentNode;
class FrameNode;
class FrameTreeNode;
class InternedName;
class NavigatorDef;
class StyleSheet;

// ---- Shared objects --------------------------------------------------------------

// The base of reference-counted engine objects, deleted through their
// virtual destructor when the count falls to 0. The count is 32-bit: one
// cached text format is shared by every item of every table cell of a
// large document, far more than 65,535 holders.
class RefObject : public EngineObject {
 public:
  RefObject() = default;
  RefObject(const RefObject&) = delete;
  RefObject& operator=(const RefObject&) = delete;
  virtual ~RefObject() = default;
  RefObject* AddRef() {
    ++count_;
    return this;
  }
  // The object is gone when this returns with a count of 0.
  void Release() {
    if (--count_ == 0) delete this;
  }
  std::uint32_t UseCount() const { return count_; }

 private:
  std::uint32_t count_ = 1;
};

// Interned texts are the engine's reference-counted strings.
using RefString = InternedName;

// The bump pool of a frame's items and boxes: nothing is freed singly.
class Pool {
 public:
  Pool() = default;
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  // `size` raised to a multiple of 4; null when the arena refuses.
  void* AllocAligned(std::size_t size);
  void FreeAll();
  // Items are made in the arena itself (layout items' own operator new).
  GlobalArena& Arena() { return arena_; }
  // Bytes handed out since the pool was last emptied.
  std::size_t Taken() const { return taken_; }
  static std::size_t RoundedSize(std::size_t size) { return (size + 3) & ~std::size_t{3}; }

 private:
  GlobalArena arena_;
  std::size_t taken_ = 0;
};
inline void* PoolAlloc(std::size_t size, Pool& pool) { return pool.AllocAligned(size); }
inline void PoolDelete(void*) {}

// A palette: a count followed by that many RGB triples.
struct Palette {
  std::uint32_t count;
  std::uint8_t rgb[1][3];
};

// ---- Formatting seam ----------------------------------------------------------------

// What a frame's formatter is to the frame: made by MakeFormatter, run, and
// deleted. This base emits nothing.
class Formatter : public EngineObject {
 public:
  Formatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
            const void* baseFormat, DocumentNode* root)
      : view(view), items(items), document(document), baseFormat(baseFormat), root(root) {}
  Formatter(const Formatter&) = delete;
  Formatter& operator=(const Formatter&) = delete;
  virtual ~Formatter() = default;
  virtual void Run(bool withBreaks) { (void)withBreaks; }

  FrameTreeNode* view;
  FrameTreeNode* items;
  Document* document;
  const void* baseFormat;
  DocumentNode* root;
};

// The process-wide caches a formatting run uses, saved around nested runs.
void AcquireFormatterGlobals();
// Hands the run's palette to the frame.
void ReleaseFormatterGlobals(FrameNode* frame);

// ---- Views ----------------------------------------------------------------------------

// A view that shows a frame, as the frames see it.
class FrameView : public OwnedNode {
 public:
  virtual FrameTreeNode* ShownFrame() const = 0;
  virtual void Refresh() {}
  // Before (false) and after (true) the frames of an object are rebuilt.
  virtual void Rebind(const void* object, bool after) { (void)object, (void)after; }
  // The frame goes away while shown.
  virtual void DetachFrame() = 0;
  // Its window comes to the front (an element icon asks for its frame).
  virtual void BringToFront() {}
};
// The engine's views (not owning).
OwnedList& FrameViews();

// ---- Frames -------------------------------------------------------------------------------

class FrameTreeNode : public TreeNode, public QualifierContext {
 public:
  // Without a parent only the root is stored; with one, the node is linked
  // at the frame-building position and formatted at once.
  FrameTreeNode(FrameTreeNode* parent, DocumentNode* root, std::intptr_t argument);
  ~FrameTreeNode() override;

  int GetKind() const override { return 1; }
  virtual void AddRef();
  virtual void Release();
  virtual Document* GetDocument(std::intptr_t argument, DocumentNode* root);
  virtual StyleSheet* GetStyleSheet();
  virtual NavigatorDef* GetNavigator();
  virtual Palette* GetPalette();
  virtual FrameNode* GetFrame();
  virtual FrameTreeNode* FindByPosition(const DocumentNode* element);
  virtual DocumentNode* GetCurrentElement() { return nullptr; }
  virtual std::uint32_t GetFlags();
  virtual void SetFlags(std::uint32_t flags);
  virtual void Rebuild() {}
  virtual void Clear(bool) {}
  virtual Formatter* MakeFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                                   const void* baseFormat, DocumentNode* root);

  // Child frames, as frames.
  FrameTreeNode* Parent() const { return static_cast<FrameTreeNode*>(GetParent()); }
  FrameTreeNode* FirstChildFrame() const { return static_cast<FrameTreeNode*>(FirstChild()); }
  FrameTreeNode* NextFrame() const { return static_cast<FrameTreeNode*>(NextSibling()); }

  // The deepest frame whose root covers [start, end) (see the file).
  FrameTreeNode* FindByRange(std::int32_t start, std::int32_t end);
  void RefreshViews();

  ListHead items;
  DocumentNode* root;
  InternedName* pageColor = nullptr;

 protected:
  void DeleteChildFrames();
  // Views still showing the frame: engine error 19 each, and they let go.
  void DropViews();
};

class FrameNode : public FrameTreeNode {
 public:
  // Appended as the last frame of the engine; the document and the sheet
  // (may be null) each get one use.
  FrameNode(Document* document, StyleSheet* sheet, std::uint32_t flags, DocumentNode* root);
  ~FrameNode() override;

  int GetKind() const override { return 2; }
  void AddRef() override { ++count_; }
  void Release() override;
  Document* GetDocument(std::intptr_t, DocumentNode*) override { return document_; }
  Document* GetDocument() const { return document_; }
  StyleSheet* GetStyleSheet() override { return sheet_; }
  NavigatorDef* GetNavigator() override { return nullptr; }
  Palette* GetPalette() override { return palette_; }
  FrameNode* GetFrame() override { return this; }
  std::uint32_t GetFlags() override { return flags_; }
  void SetFlags(std::uint32_t flags) override;
  void Rebuild() override;
  void Clear(bool) override;
  Formatter* MakeFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                           const void* baseFormat, DocumentNode* root) override;
  // Runs the formatter over the frame with the sheet's entries cached on
  // the document's element types.
  void Format(Formatter* formatter);
  void SetPalette(Palette* palette);
  Pool& ItemPool() { return pool_; }
  std::uint16_t UseCount() const { return count_; }

  // The top-level frames of the engine (the children of its frame root).
  static FrameNode* FirstFrame();
  // Clears and rebuilds every top-level frame but print frames (kind 4)
  // that uses the sheet (every one when null), views told before and after.
  static void ReapplyStyleSheet(StyleSheet* sheet);
  static void ReapplyNavigator(NavigatorDef* navigator);
  // The same for the frames whose document was parsed with the definition.
  static void ReapplyDocumentType(const void* definition);
  // Refreshes the views of every frame showing the document (all when null).
  static void CloseDocumentViews(Document* document);
  // The first frame that shows the document, then its FindByRange.
  static FrameTreeNode* FindDocumentRange(Document* document, std::int32_t start,
                                          std::int32_t length);

 private:
  template <class Test>
  static void Reapply(const void* object, Test test);
  std::uint16_t count_ = 1;
  Document* document_;
  StyleSheet* sheet_;
  std::uint32_t flags_;
  Palette* palette_ = nullptr;
  Pool pool_;
};

// "Unclosed page": a frame went while a view still showed it.
inline constexpr int kErrUnclosedPage = 19;

// ---- The frame-building context -----------------------------------------------------------

inline constexpr int kFrameContextDepth = 8;
// Saves the context and makes the frame current; past 8 levels reports
// internal error 18, changes nothing and counts the push, whose pop then
// does nothing.
void PushFrameContext(FrameTreeNode* frame);
void PopFrameContext();
FrameTreeNode* CurrentBuildFrame();
FrameTreeNode* LastBuiltFrame();
int FrameContextDepth();

}  // namespace qs
