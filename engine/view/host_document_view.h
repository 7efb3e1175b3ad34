// The document view the engine interface puts into a host's window: the
// host's option word sets the view's modes and scroll bars, and what
// belongs to the host is asked of it (host events) before the engine's
// default runs.
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"
#include "view/document_view.h"

namespace qs {

class HostDocumentView : public DocumentView {
 public:
  // Host option bits.
  enum : std::uint32_t {
    kOptOverviewStrip = 0x0001, kOptSecondFormat = 0x0002, kOptHorzBar = 0x0004,
    kOptVertBar = 0x0008, kOptDisplay = 0x0010, kOptHistory = 0x0080,
    kOptMouseSelection = 0x0100, kOptClickClears = 0x0200, kOptHostVertBar = 0x0400,
    kOptHostHorzBar = 0x0800, kOptShareMarks = 0x2000, kOptReportExtent = 0x4000,
    kOptNoHostHook = 0x8000,
  };

  // Attaches (or reuses) the window's device; the view shows `frame`.
  HostDocumentView(WindowHandle window, std::uint32_t options, FrameTreeNode* frame = nullptr);

  // Stores the option word and applies it to the view's flags; the bar
  // bits only while a document is shown.
  void SetMode(std::uint32_t options);
  std::uint32_t GetOptions() const { return hostOptions_; }
  // The document-view flags an option word asks for (bars excluded).
  static std::uint32_t FlagsForOptions(std::uint32_t options);

  // The window's device lets go of the view (the window goes, or another
  // view takes it): the view empties and goes with it.
  void OnDeviceClosed() override;

  // Linked views follow each other before the paint; after it the host
  // hears (event 0) when the shown place moved.
  void OnPaint() override;
  // The bar follows a released thumb before the view scrolls.
  void OnScroll(int horizontal, int code, int position) override;
  // Event 0 when the shown place differs from the one last reported.
  void ReportPlace();
  // Event 24 when the selection word changes: 0 none, 1 a selection of
  // the host's, 2 the hits of a search.
  void OnHighlightChanged() override;

  // ---- Host requests (each asks the host first) ---------------------------------
  // Event 27 with the new extent, only with option 0x4000.
  void OnExtentChanged(int width, int height) override;
  // Whether the host hooks run at all (not with option 0x8000).
  bool HostHooksAllowed() const { return !(hostOptions_ & kOptNoHostHook); }
  // Event 30 with the element: 0 show, 1 hide, 2 hide and skip.
  int AskHostForLocation(Document* document, DocumentNode* element) override;
  // Events 28 and 29 with a request record; the answer copied (MemAlloc)
  // and, when the host asks, handed back with event 48.
  char* GetHostTextForElement(DocumentNode* element, std::intptr_t argument) override;
  char* GetHostTextForObject(void* object, std::intptr_t argument) override;
  // Event 47 with the entity: 1 when the host took it.
  int OfferEntity(EntityDecl* entity) override;
  // Event 38 with the element and the key.
  std::intptr_t AskHostAboutElement(DocumentNode* element, std::intptr_t key) override;
  // Event 6 with both elements; else the linked window's view, when it
  // shows the same document, scrolls to the position.
  int GotoDocumentPosition(DocumentNode* a, DocumentNode* b, std::int32_t position) override;

  // Event 11 with the element and, when given, the rule's texts; the
  // document view's own following when the host leaves the link.
  int FollowLink(DocumentNode* context, const LinkRule* rule) override;
  // Event 39 with the context element and the range; else the engine's
  // search for a view that covers the range (mode 4).
  int GotoRange(Document* fromDocument, DocumentNode* context, Document* document,
                std::int32_t start, std::int32_t length) override;

  // Queries 28 (the window) and 29 (the linked window); 0 for others.
  WindowHandle HostQuery(int what) const;

  WindowHandle window() const;
  // Shows the leader's top unless this view already followed it there.
  void Follow(std::int32_t top);
  WindowHandle linkedWindow = 0;
  std::int32_t lastTop = -1;
  std::int32_t lastSecond = 0;
  // The leader's top this view last followed (-1: none yet).
  std::int32_t syncPosition = -1;
  std::uint8_t selectionState = 0;

 protected:
  ~HostDocumentView() override = default;

 private:
  std::uint32_t hostOptions_ = 0;
};

inline constexpr int kEventViewExtent = 27;
inline constexpr int kEventGotoDocumentPosition = 6;
inline constexpr int kEventElementText = 28;
inline constexpr int kEventObjectText = 29;
inline constexpr int kEventElementLocation = 30;
inline constexpr int kEventElementQuestion = 38;
inline constexpr int kEventOfferEntity = 47;
inline constexpr int kEventFollowLink = 11;
inline constexpr int kEventGotoRange = 39;
// The covering-view search's mode for ranges that links lead to.
inline constexpr std::intptr_t kGotoRangeMode = 4;

// The host's text for a field of an element (event 28) or of a mark
// (event 29) shown in `window` (0 on paper): an owned copy, or null.
char* AskHostElementText(WindowHandle window, Document* document, DocumentNode* element,
                         std::intptr_t argument);
char* AskHostObjectText(WindowHandle window, std::intptr_t argument);

// Empties every document view that shows the document; host event 0 for
// each one's window. Returns how many there were.
int DetachDocumentViews(Document* document);
// The window the view exports work for during a call, else 0.
WindowHandle CurrentDisplayWindow();
class NavigatorDef;
// Shows the document in a new host view of the window, from `place`: with
// the sheet (else the first the document names), the navigator (or the
// first it names), from the start element (else the root), with the
// host's view flags; event 27 first with flag 0x4000, then event 0. The
// view, or null when the window went meanwhile.
HostDocumentView* ShowDocumentInWindow(WindowHandle window, Document* document, StyleSheet* sheet,
                                       bool firstNavigator, NavigatorDef* navigator,
                                       DocumentNode* start, std::int32_t place,
                                       std::int32_t flags, WindowHandle linkedWindow);

}  // namespace qs
