// The navigator frame and its builder. A NavigatorView is the frame that a
// navigator pane shows: a document, the sheet its titles are formatted
// with, and the navigator definition that says which elements are entries
// and where their titles are. Formatting it runs a NavigatorBuilder, which
// walks the whole document once, makes a NavigatorNode for every entry,
// nests them, and formats only their titles. The set of expanded entries
// survives re-formatting.
#pragma once
#include <cstdint>

#include "foundation/containers.h"
#include "style/formatter.h"
#include "style/frame.h"
#include "style/navigator_node.h"

namespace qs {

class NavigatorDef;

class NavigatorView : public FrameNode {
 public:
  // When the definition names a sheet of its own (its StyleSpec), that
  // sheet is used instead of `sheet`. The definition gets one use.
  NavigatorView(Document* document, StyleSheet* sheet, NavigatorDef* definition,
                DocumentNode* root);
  ~NavigatorView() override;

  int GetKind() const override { return 3; }
  NavigatorDef* GetNavigator() override { return navigator_; }
  // The element of the node that holds the current position, or none.
  DocumentNode* GetCurrentElement() override;
  // Saves the expanded entries (with `discard`), then clears the frame.
  void Clear(bool discard) override;
  // A NavigatorBuilder for a whole-document run of this view; a plain
  // formatter for anything else.
  Formatter* MakeFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                           const void* baseFormat, DocumentNode* root) override;

  // The names the navigator's callers know these by.
  void SaveExpanded(bool discard) { Clear(discard); }
  Formatter* CreateFormatter(FrameTreeNode* view, FrameTreeNode* items, Document* document,
                             const void* baseFormat, DocumentNode* root) {
    return MakeFormatter(view, items, document, baseFormat, root);
  }

  // Expanded entries saved for the next run, in document order.
  ListHead savedExpansion;

 private:
  NavigatorDef* navigator_;
  StyleSheet* ownSheet_ = nullptr;
};

class NavigatorBuilder : public DocumentFormatter {
 public:
  // Both stacks hold 49 entries: at most 48 nested open elements below the
  // formatting root are followed; deeper ones are not entries.
  static constexpr int kStackDepth = 49;

  NavigatorBuilder(NavigatorView* view, NavigatorDef* definition, DocumentNode* root);

  void Run(bool withBreaks) override;
  int StartElement(DocumentNode* element) override;
  int EndElement(DocumentNode* element) override;
  // Titles show no rulers, tag markers or link-target markers, and their
  // processing instructions always stay hidden.
  void AddRulerBefore(std::int32_t, int) override {}
  void AddRulerAfter(std::int32_t, int) override {}
  void AddStartMarker(DocumentNode*) override {}
  void AddLinkTargetMarker(DocumentNode*) override {}
  void AddEndMarker(DocumentNode*) override {}
  void AddProcInstrItem(Mark* mark, TextFormat* format, bool shown) override;

  NavigatorNode* RootNode() const { return rootNode_; }

 private:
  NavigatorView* navView_;
  NavigatorDef* definition_;
  DocumentNode* titleStack_[kStackDepth] = {};
  NavigatorNode* rootNode_ = nullptr;
  NavigatorNode* currentNode_ = nullptr;
  NavigatorNode* nodeStack_[kStackDepth] = {};
  int nodeDepth_ = 0;
  int elementDepth_ = 0;
  bool singleRoot_ = true;
  // Element starts past the stacks: their ends pop nothing.
  int overflow_ = 0;
};

}  // namespace qs
