#include "api/anchor_dialogs.h"

#include <cstdlib>
#include <cstring>

#include "addressing/web.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "foundation/engine.h"

namespace qs {

namespace {

// The web's title for the dialogs: its name, else the application's.
std::string WebTitle(Web* web) {
  if (web && web->Name() && *web->Name()) return web->Name();
  auto* engine = dynamic_cast<Engine*>(GetEngine());
  return engine && engine->applicationName() ? engine->applicationName() : "";
}

// "Web [Open]:" or "Web [Closed]:", the host's text when it gives one.
std::string WebState(bool open) {
  EngineBase* engine = GetEngine();
  char buffer[512];
  const char* text = engine ? engine->GetString(open ? 12 : 13, buffer) : nullptr;
  return text ? text : (open ? "Web [Open]:" : "Web [Closed]:");
}

std::string AnchorName(const Anchor* anchor) {
  char name[kAnchorHeadLength + 1] = "";
  anchor->GetName(name);
  return name;
}

// An edit control shows line ends as CR LF; the anchor keeps LF alone.
std::string ToEditLines(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n') out += '\r';
    out += *p;
  }
  return out;
}
std::string FromEditLines(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

}  // namespace

std::string AnchorTitle(Document* document, std::uint32_t start, std::uint32_t length) {
  if (!document) return "";
  const std::uint32_t take = length < 4 * kLinkTitleLength ? length : 4 * kLinkTitleLength;
  char text[4 * kLinkTitleLength + 1];
  const std::size_t n = document->ExtractText(text, start, start + take);
  char title[kLinkTitleLength + 1];
  CopyLinkTitle(title, text, n);
  return title;
}

int ZoomPercent(int zoom) { return zoom > 0 ? (zoom * 100 + 128) / 256 : 0; }

int ZoomFromPercent(int percent) {
  if (percent <= 0) return 0;
  const long long zoom = (static_cast<long long>(percent) * 256 + 50) / 100;
  return zoom > 32767 ? 32767 : static_cast<int>(zoom);
}

// ---- NoteDialog -----------------------------------------------------------------------------

NoteDialog::NoteDialog(Anchor* anchor, const char* name)
    : anchor_(anchor), web_(anchor ? anchor->GetWeb() : nullptr), name_(name ? name : ""),
      nameGiven_(name != nullptr) {
  if (!anchor_) return;
  bookmark_ = anchor_->IsBookmark();
  char note[kAnchorNoteLength + 1] = "";
  anchor_->GetNote(note);
  note_ = ToEditLines(note);
  // The edit takes 2,048 characters; CR LF pairs count as two.
  std::size_t characters = 0, i = 0;
  while (i < note_.size() && characters < kNoteCharacters) {
    const auto c = static_cast<unsigned char>(note_[i]);
    std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    i += length;
    ++characters;
  }
  note_.resize(std::min(i, note_.size()));
  if (!nameGiven_) name_ = AnchorName(anchor_);
}

NoteDialog::NoteDialog(Web* web, Document* document, std::uint32_t start, std::uint32_t length,
                       const char* name, bool bookmark)
    : anchor_(nullptr), web_(web), name_(name ? name : ""), nameGiven_(true), bookmark_(bookmark),
      document_(document), start_(start), length_(length) {
  if (document_) document_->AddRef();
}

NoteDialog::NoteDialog(Web* web, EntityDecl* graphic, int x, int y, int width, int height,
                       bool bookmark)
    : anchor_(nullptr), web_(web), nameGiven_(true), bookmark_(bookmark), graphic_(graphic),
      region_{x, y, width, height} {
  if (graphic_) graphic_->AddRef();
  // New hotspots take the engine's default head.
  EngineBase* engine = GetEngine();
  char buffer[512];
  const char* text = engine ? engine->GetString(16, buffer) : nullptr;
  name_ = text ? text : "HOTSPOT";
}

NoteDialog::~NoteDialog() {
  if (document_) document_->Release();
  if (graphic_) graphic_->Release();
}

bool NoteDialog::WebOpen() const { return web_ && web_->IsEditable(); }

// A new note's dialog has no anchor yet but goes with its web.
bool NoteDialog::Shows(const Web* web, const Anchor* anchor) const {
  return (anchor && anchor_ == anchor) || (web && web_ == web);
}

void NoteDialog::Forget() {
  anchor_ = nullptr;
  web_ = nullptr;
}

Anchor* NoteDialog::MakeAnchor() {
  if (!WebOpen()) return nullptr;
  if (document_) return web_->AddDocumentAnchor(document_, start_, length_);
  if (graphic_) return web_->AddHotspotAnchor(graphic_, region_[0], region_[1], region_[2], region_[3], 0);
  return nullptr;
}

void NoteDialog::Initialize() {
  const bool open = WebOpen();
  SetText(kNoteName, name_.c_str());
  SetText(kNoteWebState, WebState(open).c_str());
  SetReadOnly(kNoteText, !open);
  SetReadOnly(kNoteName, !open);
  Enable(kNoteBookmark, open);
  Enable(kNoteRemove, open);
  Enable(kNoteZoom, open);
  SetText(kNoteWebName, WebTitle(web_).c_str());
  SetText(kNoteText, note_.c_str());
  SetCheck(kNoteBookmark, bookmark_);
  if (!anchor_) {
    // A new note has no links, no place of its own yet and nothing to
    // remove; only a hotspot takes a zoom.
    Show(kNoteLocate, false);
    Show(kNoteRemove, false);
    Show(kNoteLinks, false);
    Enable(kNoteZoom, open && graphic_ != nullptr);
  } else {
    Show(kNoteLinks, anchor_->GetLinkCount() != 0);
    HotspotArea area;
    Location* location = anchor_->GetLocation();
    if (!location || !location->GetArea(&area)) {
      Enable(kNoteZoom, false);
    } else if (area.zoom != 0) {
      SetText(kNoteZoom, std::to_string(ZoomPercent(area.zoom)).c_str());
    }
  }
  SetFocus(kNoteText);
}

void NoteDialog::Save() {
  Web* web = web_;
  char text[kNoteCharacters * 4 + 1];
  GetText(kNoteText, text, sizeof text, kNoteCharacters);
  const std::string note = FromEditLines(text);
  char stored[kAnchorNoteLength + 1] = "";
  anchor_->GetNote(stored);
  if (note != stored) anchor_->SetNote(note.c_str());
  char name[kNameCharacters * 4 + 1];
  GetText(kNoteName, name, sizeof name, kNameCharacters);
  if (nameGiven_ || name != AnchorName(anchor_)) {
    anchor_->SetHead(name);
    // The Bookmarks menus list bookmarks by name.
    if (anchor_->IsBookmark() && GetCheck(kNoteBookmark))
      if (EngineBase* engine = GetEngine()) engine->AnchorsChanged();
  }
  HotspotArea area;
  Location* location = anchor_->GetLocation();
  if (location && location->GetArea(&area)) {
    char zoom[kZoomCharacters * 4 + 1];
    GetText(kNoteZoom, zoom, sizeof zoom, kZoomCharacters);
    // A text that is no number reads as 0: no zoom.
    const int value = ZoomFromPercent(static_cast<int>(std::strtol(zoom, nullptr, 10)));
    if (value != area.zoom) {
      location->SetZoom(value);
      web->SetChanged();
    }
  }
  anchor_->SetBookmark(GetCheck(kNoteBookmark));
}

int NoteDialog::Command(int id, int, int* endCode) {
  switch (id) {
    case kIdOk:
      // A closed web keeps everything as it was; a new note's anchor is made
      // first.
      if (!anchor_) anchor_ = MakeAnchor();
      if (anchor_ && WebOpen()) Save();
      *endCode = 1;
      return 0;
    case kIdCancel:
      *endCode = 0;
      return 0;
    case kNoteLinks:
      if (anchor_ && anchor_->GetLinkCount() == 1) {
        if (EngineBase* engine = GetEngine()) engine->FollowFirstLink(nullptr, anchor_);
        return 1;
      }
      *endCode = kOpenOtherDialog;
      return 0;
    case kNoteLocate:
      if (anchor_) anchor_->Show(nullptr);
      return 1;
    case kNoteRemove:
      // The anchor goes with its web entry; nothing is left to show.
      if (anchor_ && WebOpen() && anchor_->Delete()) {
        anchor_ = nullptr;
        *endCode = 1;
        return 0;
      }
      return 1;
    default:
      return 1;
  }
}

// ---- LinkDialog -----------------------------------------------------------------------------

LinkDialog::LinkDialog(Anchor* source) : source_(source) {
  Web* web = source_ ? source_->GetWeb() : nullptr;
  if (!web) return;
  AnchorList linked;
  web->ListLinkedAnchors(source_, linked);
  for (AnchorRef* r = linked.FirstRef(); r; r = static_cast<AnchorRef*>(r->Next()))
    if (r->anchor) targets_.push_back(r->anchor);
  linked.DeleteAll();
}

bool LinkDialog::WebOpen() const { return source_ && source_->GetWeb() && source_->GetWeb()->IsEditable(); }

// The targets are not asked about: a target that goes takes its link with
// it, and the link's going closes the dialog through its source.
bool LinkDialog::Shows(const Web* web, const Anchor* anchor) const {
  return source_ && ((anchor && source_ == anchor) || (web && source_->GetWeb() == web));
}

void LinkDialog::Forget() {
  source_ = nullptr;
  targets_.clear();
}

void LinkDialog::Initialize() {
  SetText(kLinkSourceName, source_ ? AnchorName(source_).c_str() : "");
  SetText(kLinkWebName, WebTitle(source_ ? source_->GetWeb() : nullptr).c_str());
  if (DialogWindow* w = window())
    for (Anchor* target : targets_) w->ListAddString(kLinkTargets, AnchorName(target).c_str());
  SetText(kLinkWebState, WebState(WebOpen()).c_str());
  Enable(kLinkRemove, WebOpen());
  UpdateButtons();
  SetFocus(kLinkTargets);
}

void LinkDialog::UpdateButtons() {
  const bool selected = ListCurrentSelection(kLinkTargets) >= 0;
  Enable(kLinkUnlink, selected && WebOpen());
  Enable(kLinkFollow, selected);
}

int LinkDialog::Command(int id, int code, int* endCode) {
  const int selected = ListCurrentSelection(kLinkTargets);
  Anchor* target = selected >= 0 && selected < static_cast<int>(targets_.size())
                       ? targets_[static_cast<std::size_t>(selected)]
                       : nullptr;
  switch (id) {
    case kLinkTargets:
      if (code == kNotifySelectionChange) UpdateButtons();
      if (code != kNotifyDoubleClick || !target) return 1;
      [[fallthrough]];
    case kLinkFollow:
      if (target && source_)
        if (EngineBase* engine = GetEngine())
          if (!engine->GotoAnchor(nullptr, source_, target)) target->Show(nullptr);
      return 1;
    case kLinkUnlink:
      if (target && source_ && WebOpen()) {
        source_->GetWeb()->RemoveLinks(source_, target);
        source_->GetWeb()->SetChanged();
        targets_.erase(targets_.begin() + selected);
        if (DialogWindow* w = window()) w->ListDeleteString(kLinkTargets, selected);
        UpdateButtons();
      }
      return 1;
    case kLinkRemove:
      if (source_ && WebOpen() && source_->Delete()) {
        source_ = nullptr;
        *endCode = 1;
        return 0;
      }
      return 1;
    case kLinkNotes:
      *endCode = kOpenOtherDialog;
      return 0;
    case kLinkLocate:
      if (source_) source_->Show(nullptr);
      return 1;
    case kIdOk:
      *endCode = 1;
      return 0;
    case kIdCancel:
      *endCode = 0;
      return 0;
    default:
      return 1;
  }
}

// ---- The engine's note and link operations --------------------------------------------------

Dialog* EngineBase::NewNoteDialog(Anchor* anchor, const char* name) { return new NoteDialog(anchor, name); }
Dialog* EngineBase::NewLinkDialog(Anchor* anchor) { return new LinkDialog(anchor); }

// Each dialog may ask for the other; the reader goes back and forth until
// one ends otherwise.
void EngineBase::ShowNoteDialog(WindowHandle window, Anchor* anchor, int) {
  RunAnchorDialogs(window, anchor, true);
}

void EngineBase::ShowLinkDialog(WindowHandle window, Anchor* anchor) {
  RunAnchorDialogs(window, anchor, false);
}

void EngineBase::CloseDialogsFor(Web* web, Anchor* anchor) {
  if (web || anchor) CancelDialogsShowing(web, anchor);
}

void EngineBase::RunAnchorDialogs(WindowHandle window, Anchor* anchor, bool note) {
  if (!anchor) return;
  const WindowHandle parent = GetParentWindow(window);
  for (;;) {
    Dialog* dialog = note ? NewNoteDialog(anchor, nullptr) : NewLinkDialog(anchor);
    if (!dialog || DoModalDialog(parent, dialog) != kOpenOtherDialog) return;
    note = !note;
  }
}

}  // namespace qs
