// Link following: the targets of an element that refers to others by ID
// (directly, or through the locators of a contextual link), the elements
// that refer to an element, and the display list of an element's
// attributes. Each target writes its location string and can show itself.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/memory.h"

namespace qs {

class Document;
class DocumentNode;
class EntityDecl;
class LinkRule;
class View;
struct HotspotArea;

// The place a followed target names: the followed-from view, document and
// element, the target's document (a use held) and element, and the range.
// The element is null when the place is a data gap.
struct DataRange : EngineObject {
  DataRange(View* view, Document* fromDocument, DocumentNode* fromElement, Document* document,
            DocumentNode* element);
  ~DataRange();
  DataRange(const DataRange&) = delete;
  DataRange& operator=(const DataRange&) = delete;
  // Points the record at another element (of another document, perhaps),
  // its range the element's own.
  void Repoint(Document* document, DocumentNode* element);

  View* view;
  Document* fromDocument;
  DocumentNode* fromElement;
  Document* document = nullptr;
  DocumentNode* element = nullptr;
  std::uint32_t start = 0, end = 0;
};

// What the views do for link following; none is installed until the
// document views take their part. A view may take a link (or, given the
// element's link rule, follow it by that rule) itself: non-zero when it
// did. It shows ranges and graphic areas for targets followed in it.
class LinkViewHooks {
 public:
  virtual ~LinkViewHooks() = default;
  virtual int FollowLink(View* view, Document* document, DocumentNode* element,
                         const LinkRule* rule) = 0;
  virtual int ShowRange(View* view, Document* document, std::uint32_t start,
                        std::uint32_t length) = 0;
  virtual int ShowHotArea(View* view, Document* document, DocumentNode* element,
                          EntityDecl* graphic, const HotspotArea& area) = 0;
};
// Installs the hooks (null removes them); returns the previous ones.
LinkViewHooks* SetLinkViewHooks(LinkViewHooks* hooks);

// The base of every item of a target or attribute list.
class LinkTarget : public SListNode {
 public:
  // Holds a use of the document (may be null).
  LinkTarget(View* view, Document* document, DocumentNode* element);
  ~LinkTarget() override;
  // The location string (or list text) into `buffer` of `size` bytes, cut
  // to fit and terminated; returns the buffer.
  virtual char* WriteLocation(char* buffer, std::size_t size) const;
  // Shows the target.
  virtual void Follow();
  // The range of the target: `range` re-pointed or refined, or a new
  // record when null; null (with `range` deleted) when there is none.
  virtual DataRange* MakeRange(DataRange* range);
  LinkTarget* NextTarget() const { return static_cast<LinkTarget*>(Next()); }

 protected:
  DataRange* NewRange(Document* document, DocumentNode* element) const;
  View* view_;
  Document* document_;
  DocumentNode* element_;
};

// The size location strings of targets are built in.
inline constexpr std::size_t kTargetTextSize = 2048;

// Follows the element's links (and, with `includeAncestors`, those of its
// ancestors): one target is followed at once, several are offered as a
// list (HostedEngine::ShowTextList), none gives engine error 25 "Can't
// resolve link".
void FollowLink(View* view, Document* document, DocumentNode* element, bool includeAncestors);
// The same for the elements whose ID references name the element's ID;
// none gives engine error 26 "Can't find link source(s)". Nothing happens
// for an element without an ID.
void FollowLinkSources(View* view, Document* document, DocumentNode* element);
// The sources FollowLinkSources would collect, each writing "TEI " and its
// element's extended pointer; an empty list for an element without an ID.
// The caller owns it.
LinkTargetList* CollectLinkSources(View* view, Document* document, DocumentNode* element);
// The targets FollowLink would collect, in a list titled "Select Target"
// (or the host's text for it); the caller owns it.
LinkTargetList* CollectLinkTargets(View* view, Document* document, DocumentNode* element,
                                   bool includeAncestors);
// The display list of the element's attributes: the specified ones in
// their order, then the declared ones not specified; titled by the
// engine's attribute-list text with the element's name.
LinkTargetList* ListElementAttributes(View* view, Document* document, DocumentNode* element);

// Follows a tree path of place numbers from the walker's element, as the
// location strings' TREE term does: false when it runs out of places.
class TreeWalker;
bool FollowTreePath(TreeWalker* walker, const std::uint16_t* numbers, std::size_t count);

// The ranges between processing instructions whose text equals the start
// marker and the next whose text equals the end marker (a start marker
// while a range is open is passed over): each from the start mark's end to
// the end mark's start is handed to `add`. The number of ranges.
std::size_t FindMarkedRanges(const Document* document, const char* startMarker,
                             const char* endMarker,
                             void (*add)(void* context, std::uint32_t start, std::uint32_t end),
                             void* context);

// Shows a range for a target followed in `view`: through the views' hooks
// when a view is given, else through the engine.
void ShowTargetRange(View* view, Document* document, std::uint32_t start, std::uint32_t length);

}  // namespace qs
