// The navigation history: places (document, position) the reader has been,
// newest last, with a cursor while the reader is going back and forth. The
// hosted history also keeps the host told whether Back and Forward can be
// taken (event 26).
#pragma once
#include <cstdint>

#include "foundation/callbacks.h"
#include "foundation/memory.h"

namespace qs {

class Document;
class EngineBase;
class ExternalId;
class HostedEngine;

class History : public EngineObject {
 public:
  // At most this many entries are kept before the oldest goes.
  static constexpr std::int32_t kMaxCount = 51;

  explicit History(EngineBase* engine);
  virtual ~History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Records a place (nothing while the history itself is showing one). After
  // going back, the entries from the cursor's on are dropped first.
  virtual void Add(ExternalId* externalId, std::int32_t position);
  // Moves one entry older, recording the given place first when the reader
  // was not going back already (`externalId` may be null). 1 when it moved.
  virtual int Back(ExternalId* externalId, std::int32_t position);
  // Moves one entry newer, from the newest back to the present (no
  // cursor); 1 when the reader was going back and forth.
  virtual int Forward();
  // Shows an entry's place.
  virtual void Show(Document* document, std::int32_t position);

  bool CanGoBack() const;
  bool CanGoForward() const;
  std::int32_t count() const { return count_; }
  bool busy() const { return busy_; }
  // The place the cursor stands on (none outside going back and forth).
  bool CursorPlace(ExternalId** externalId, std::int32_t* position) const;

 protected:
  // The loaded document of an entry's identifier, or null.
  virtual Document* FindDocument(ExternalId* externalId);
  EngineBase* engine() const { return engine_; }

 private:
  struct Entry;
  void ShowEntry(Entry* entry);
  void Unlink(Entry* entry);
  static bool SamePlace(const Entry* entry, ExternalId* externalId, std::int32_t position);

  EngineBase* engine_;
  Entry* oldest_ = nullptr;
  Entry* newest_ = nullptr;
  std::int32_t count_ = 0;
  bool busy_ = false;
  Entry* cursor_ = nullptr;
  Entry* last_ = nullptr;
};

class HostedHistory : public History {
 public:
  explicit HostedHistory(HostedEngine* engine);

  void Add(ExternalId* externalId, std::int32_t position) override;
  int Back(ExternalId* externalId, std::int32_t position) override;
  int Forward() override;
  // Shows the place in the window a Back or Forward started from.
  void Show(Document* document, std::int32_t position) override;
  // The open document of the identifier (defined with the engine
  // interface, which keeps the open documents).
  Document* FindDocument(ExternalId* externalId) override;

  // Back and Forward started from a view's window, recording the view's
  // current place first (the views pass their window, document identifier
  // and first shown position; `externalId` null records nothing).
  int BackFrom(WindowHandle window, ExternalId* externalId, std::int32_t position);
  int ForwardFrom(WindowHandle window);

 private:
  void UpdateState();
  HostedEngine* hosted_;
  WindowHandle window_ = 0;
};

}  // namespace qs
