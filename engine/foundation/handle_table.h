// The table of handles the engine gives its host: small 32-bit numbers that
// name engine objects across the library boundary, each with its type and
// the host's use count. The engine object makes it; at shut-down it asks
// whether the host still holds any, and the table lists what is left in
// the leak log as it goes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"

namespace qs {

using Handle = std::uint32_t;

// Handle types; the leak log and QsGetHandleType (type + 1) show them.
enum class HandleType : std::uint32_t {
  kDtd = 0,       // HDTD: shared, counted
  kDocument = 1,  // HDOC: shared, counted
  kStyleSheet = 2,
  kNavigator = 3,
  kWeb = 4,       // HWEB: owned by the open webs; the handle neither keeps nor frees it
  kAnchor = 5,    // HANCHOR: likewise
  kNode = 6,      // HTAG: a NodeRef that belongs to the record
  kEntity = 7,    // HENT: an EntityRef that belongs to the record
  kNotation = 8,  // HNOT: shared, counted
  kTagSet = 9,    // HTAGSET: belongs to the record
  kSelSet = 10,   // HSELSET: belongs to the record
};
inline constexpr int kHandleTypeCount = 11;
// "HDTD" ... "HSELSET"; null outside the table.
const char* HandleTypeName(HandleType type);

// The identity of an object behind a handle, for the leak log.
struct HandleIdentity {
  const char* publicId = nullptr;  // null when there is none
  bool hasPath = false;
  char path[260] = {};             // the resolved file, when hasPath
};

// What a record does to its object, by type; an empty entry does nothing.
struct HandleTypeOps {
  // When the record is made: take the use the handle holds.
  void (*acquire)(void* object);
  // When the record goes: give that use back, or delete a wrapper.
  void (*dispose)(void* object);
  // The object's external identifier: false when it has none.
  bool (*identify)(void* object, HandleIdentity* out);
};
// The engine's entries, indexed by type (the interface layer, which knows
// every kind of object, defines them).
const HandleTypeOps* EngineHandleTypeOps();

class HandleTable : public EngineObject {
 public:
  static constexpr unsigned kBuckets = 32;
  static constexpr std::uint32_t kFirstHandle = 2;
  // The result of Release for a handle that is not there.
  static constexpr std::uint32_t kNoHandle = 65535;

  // `ops`: kHandleTypeCount entries (the engine's by default).
  explicit HandleTable(const HandleTypeOps* ops = EngineHandleTypeOps());
  // Writes the leak log when records remain (see WriteLeakLog), then
  // deletes them, so shared objects lose the handles' uses and wrappers go.
  virtual ~HandleTable();
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // Handles still held by the host.
  virtual std::size_t Count() const { return count_; }

  // The handle of `object`: the one it already has, with one more use (a
  // type other than its record's is reported as internal error 16 and the
  // record keeps its type), else a new number with use count 1. 0 for a
  // null object or when memory is exhausted.
  Handle Register(void* object, HandleType type);
  Handle RegisterDocument(void* object) { return Register(object, HandleType::kDocument); }
  Handle RegisterStyleSheet(void* object) { return Register(object, HandleType::kStyleSheet); }
  Handle RegisterNavigator(void* object) { return Register(object, HandleType::kNavigator); }
  Handle RegisterWeb(void* object) { return Register(object, HandleType::kWeb); }
  Handle RegisterAnchor(void* object) { return Register(object, HandleType::kAnchor); }
  Handle RegisterNode(void* object) { return Register(object, HandleType::kNode); }
  Handle RegisterEntity(void* object) { return Register(object, HandleType::kEntity); }
  Handle RegisterNotation(void* object) { return Register(object, HandleType::kNotation); }
  Handle RegisterTagSet(void* object) { return Register(object, HandleType::kTagSet); }
  Handle RegisterSelSet(void* object) { return Register(object, HandleType::kSelSet); }

  // The object of a handle of exactly that type, else null.
  void* Lookup(Handle handle, HandleType type) const;
  void* LookupDtd(Handle h) const { return Lookup(h, HandleType::kDtd); }
  void* LookupDocument(Handle h) const { return Lookup(h, HandleType::kDocument); }
  void* LookupStyleSheet(Handle h) const { return Lookup(h, HandleType::kStyleSheet); }
  void* LookupNavigator(Handle h) const { return Lookup(h, HandleType::kNavigator); }
  void* LookupWeb(Handle h) const { return Lookup(h, HandleType::kWeb); }
  void* LookupAnchor(Handle h) const { return Lookup(h, HandleType::kAnchor); }
  void* LookupNode(Handle h) const { return Lookup(h, HandleType::kNode); }
  void* LookupEntity(Handle h) const { return Lookup(h, HandleType::kEntity); }
  void* LookupNotation(Handle h) const { return Lookup(h, HandleType::kNotation); }
  void* LookupTagSet(Handle h) const { return Lookup(h, HandleType::kTagSet); }
  void* LookupSelSet(Handle h) const { return Lookup(h, HandleType::kSelSet); }

  // A handle of any type: true with its type and object, else false.
  bool Find(Handle handle, HandleType* type, void** object) const;
  // The handle that holds `object`, 0 when none.
  Handle FindByObject(const void* object) const;

  // One use less: the new count; at 0 the record goes (0). kNoHandle for
  // handle 0 or a handle that is not there.
  std::uint32_t Release(Handle handle);
  // One use more: the new count; 0 for a handle that is not there. The
  // count stays at 65535 rather than wrapping to 0.
  std::uint32_t AddRef(Handle handle);
  // The use count, 0 for a handle that is not there.
  std::uint32_t UseCount(Handle handle) const;

  // Removes every record that holds `object` without raising anything (an
  // owned web or anchor going away): a later lookup finds nothing.
  // Returns the number of records removed.
  int Forget(const void* object);
  // Removes, as Forget does, every record whose type and object `match`
  // accepts, whatever its use count. The walk starts over after each
  // removal, since letting go of one object may end others. Returns the
  // number of records removed.
  using RecordMatch = bool (*)(HandleType type, void* object, const void* context);
  int ForgetMatching(RecordMatch match, const void* context);

  // Writes "Unlocked Objects" and one entry per remaining record to `path`
  // (lines end in CR LF). False when the file could not be written whole.
  bool WriteLeakLog(const char* path) const;

 private:
  struct Record;
  static unsigned Bucket(Handle handle) { return handle % kBuckets; }
  Record* FindRecord(Handle handle) const;
  void Dispose(Record* record);

  const HandleTypeOps* ops_;
  Record* buckets_[kBuckets] = {};
  std::uint32_t next_ = kFirstHandle;
  std::size_t count_ = 0;
};

}  // namespace qs
