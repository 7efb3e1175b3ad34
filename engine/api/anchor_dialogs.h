// The engine's two dialogs of a web anchor: its annotation ("DlgNote":
// name, note, bookmark flag, a picture area's zoom) and the links that
// start at it ("DlgLink": follow, unlink, remove). Each ends with 3 when the
// reader asks for the other one.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "api/dialogs.h"

namespace qs {

class Anchor;
class Document;
class EntityDecl;
class Web;

// Control ids of "DlgNote".
enum NoteControl {
  kNoteWebState = 101, kNoteWebName = 102, kNoteName = 103, kNoteZoom = 104,
  kNoteBookmark = 105, kNoteLinks = 106, kNoteLocate = 107, kNoteText = 108, kNoteRemove = 109,
};
// Control ids of "DlgLink".
enum LinkControl {
  kLinkWebState = 101, kLinkWebName = 102, kLinkSourceName = 103, kLinkRemove = 104,
  kLinkNotes = 105, kLinkLocate = 106, kLinkTargets = 107, kLinkFollow = 108, kLinkUnlink = 109,
};

// The end code with which each dialog asks for the other.
inline constexpr int kOpenOtherDialog = 3;

// A new anchor's head from the document's text at its place: its first
// words, cut to a whole character within the head's length.
std::string AnchorTitle(Document* document, std::uint32_t start, std::uint32_t length);

// A zoom as the note dialog shows it (in percent, from 1/256 units; 0 for
// none) and reads it back: 128 shows as 50, 50 and 33 read as 128 and 84.
int ZoomPercent(int zoom);
int ZoomFromPercent(int percent);

class NoteDialog : public Dialog {
 public:
  // The note of an existing anchor; `name`, when given, is offered in place
  // of the anchor's own and is taken on OK.
  NoteDialog(Anchor* anchor, const char* name);
  // A new note, its anchor made on OK: on [start, start + length) of
  // `document`, or on a region of a graphic (in 2048ths); `bookmark` sets
  // the check box at first. Each holds a use of the document or graphic.
  NoteDialog(Web* web, Document* document, std::uint32_t start, std::uint32_t length,
             const char* name, bool bookmark);
  NoteDialog(Web* web, EntityDecl* graphic, int x, int y, int width, int height, bool bookmark);
  ~NoteDialog() override;

  int GetKind() const override { return kNote; }
  bool Shows(const Web* web, const Anchor* anchor) const override;
  void Forget() override;
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

  // The largest note and name the dialog takes, in characters.
  static constexpr std::size_t kNoteCharacters = 2048;
  static constexpr std::size_t kNameCharacters = 30;
  static constexpr std::size_t kZoomCharacters = 15;

 private:
  bool WebOpen() const;
  void Save();
  // The new note's anchor, or null when it cannot be made.
  Anchor* MakeAnchor();
  Anchor* anchor_;
  Web* web_;
  std::string name_;
  bool nameGiven_;
  bool bookmark_ = false;
  std::string note_;  // as the edit shows it: line ends CR LF
  // A new note's place.
  Document* document_ = nullptr;
  std::uint32_t start_ = 0, length_ = 0;
  EntityDecl* graphic_ = nullptr;
  int region_[4] = {0, 0, 0, 0};
};

class LinkDialog : public Dialog {
 public:
  // The anchor as a link source, and the anchors its links lead to.
  explicit LinkDialog(Anchor* source);

  int GetKind() const override { return kLink; }
  bool Shows(const Web* web, const Anchor* anchor) const override;
  void Forget() override;
  void Initialize() override;
  int Command(int id, int code, int* endCode) override;

 private:
  bool WebOpen() const;
  void UpdateButtons();
  Anchor* source_;
  std::vector<Anchor*> targets_;
};

}  // namespace qs
