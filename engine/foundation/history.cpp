#include "foundation/history.h"

#include "foundation/engine.h"
#include "sgml/external_id.h"

namespace qs {

struct History::Entry : EngineObject {
  ExternalId* externalId;  // one use, or null
  std::int32_t position;
  Entry* older;
  Entry* newer;
};

History::History(EngineBase* engine) : engine_(engine) {}

History::~History() {
  while (oldest_) Unlink(oldest_);
}

void History::Unlink(Entry* entry) {
  (entry->older ? entry->older->newer : oldest_) = entry->newer;
  (entry->newer ? entry->newer->older : newest_) = entry->older;
  if (cursor_ == entry) cursor_ = nullptr;
  if (last_ == entry) last_ = newest_;
  --count_;
  if (entry->externalId) entry->externalId->Release();
  delete entry;
}

bool History::SamePlace(const Entry* entry, ExternalId* externalId, std::int32_t position) {
  // The same document is often named by a new identifier object: equal
  // identifiers are the same place.
  return entry && entry->position == position && ExternalId::Equals(entry->externalId, externalId);
}

void History::Add(ExternalId* externalId, std::int32_t position) {
  if (busy_) return;
  if (cursor_) {
    // A new place after going back: the way forward is given up, together
    // with the place the cursor stood on (the caller records it anew).
    Entry* stop = cursor_;
    cursor_ = nullptr;
    while (newest_) {
      Entry* gone = newest_;
      Unlink(gone);
      if (gone == stop) break;
    }
    last_ = newest_;
  }
  if (SamePlace(last_, externalId, position)) return;
  if (count_ >= kMaxCount) Unlink(oldest_);
  auto* entry = new Entry;
  if (!entry) return;
  // The entry outlives the caller's identifier: it holds a use of its own.
  entry->externalId = externalId ? externalId->AddRef() : nullptr;
  entry->position = position;
  entry->older = newest_;
  entry->newer = nullptr;
  (newest_ ? newest_->newer : oldest_) = entry;
  newest_ = entry;
  last_ = entry;
  ++count_;
}

int History::Back(ExternalId* externalId, std::int32_t position) {
  if (!last_) return 0;
  if (!cursor_) {
    if (externalId) Add(externalId, position);
    cursor_ = newest_;
  }
  if (!cursor_ || !cursor_->older) return 0;
  cursor_ = cursor_->older;
  ShowEntry(cursor_);
  return 1;
}

int History::Forward() {
  if (!cursor_) return 0;
  // Past the newest entry the reader is back in the present: the cursor
  // goes and nothing more is shown.
  cursor_ = cursor_->newer;
  if (cursor_) ShowEntry(cursor_);
  return 1;
}

void History::ShowEntry(Entry* entry) {
  Document* document = FindDocument(entry->externalId);
  if (!document) return;
  // Showing a place moves the views, which record places of their own:
  // none of them belongs in the history.
  busy_ = true;
  Show(document, entry->position);
  busy_ = false;
}

void History::Show(Document* document, std::int32_t position) {
  engine_->GotoPosition(0, nullptr, document, position, 0, 1);
}

Document* History::FindDocument(ExternalId*) {
  // The document cache answers once documents are loaded through it.
  return nullptr;
}

bool History::CanGoBack() const { return cursor_ ? cursor_->older != nullptr : last_ != nullptr; }

bool History::CanGoForward() const { return cursor_ && cursor_->newer; }

bool History::CursorPlace(ExternalId** externalId, std::int32_t* position) const {
  if (!cursor_) return false;
  if (externalId) *externalId = cursor_->externalId;
  if (position) *position = cursor_->position;
  return true;
}

// ============================================================================

HostedHistory::HostedHistory(HostedEngine* engine) : History(engine), hosted_(engine) {}

void HostedHistory::UpdateState() {
  std::uint32_t bits = (CanGoBack() ? 2u : 0u) | (CanGoForward() ? 1u : 0u);
  if ((hosted_->historyButtons & 3u) == bits) return;
  hosted_->historyButtons = (hosted_->historyButtons & ~3u) | bits;
  hosted_->RaiseEvent(0, kEventHistoryChanged, hosted_->historyButtons, 0);
}

void HostedHistory::Add(ExternalId* externalId, std::int32_t position) {
  History::Add(externalId, position);
  UpdateState();
}

int HostedHistory::Back(ExternalId* externalId, std::int32_t position) {
  int moved = History::Back(externalId, position);
  UpdateState();
  return moved;
}

int HostedHistory::Forward() {
  int moved = History::Forward();
  UpdateState();
  return moved;
}

void HostedHistory::Show(Document* document, std::int32_t position) {
  hosted_->FindCoveringObject(window_, nullptr, nullptr, document, position, 0, 1, 3);
}

int HostedHistory::BackFrom(WindowHandle window, ExternalId* externalId, std::int32_t position) {
  window_ = window;
  int moved = Back(externalId, position);
  window_ = 0;
  return moved;
}

int HostedHistory::ForwardFrom(WindowHandle window) {
  window_ = window;
  int moved = Forward();
  window_ = 0;
  return moved;
}

}  // namespace qs
