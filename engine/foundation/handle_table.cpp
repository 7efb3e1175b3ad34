#include "foundation/handle_table.h"

#include <cstring>
#include <new>

#include "foundation/engine_services.h"
#include "foundation/strings.h"
#include "foundation/text_writer.h"

namespace qs {

namespace {

const char* const kTypeNames[kHandleTypeCount] = {
    "HDTD", "HDOC", "HSSH", "HNAV", "HWEB", "HANCHOR", "HTAG", "HENT", "HNOT", "HTAGSET", "HSELSET",
};

// Types whose objects carry an external identifier the log names.
bool LogsIdentity(HandleType type) {
  switch (type) {
    case HandleType::kDtd:
    case HandleType::kDocument:
    case HandleType::kStyleSheet:
    case HandleType::kNavigator:
    case HandleType::kWeb:
    case HandleType::kEntity:
      return true;
    default:
      return false;
  }
}

// A table made without entries maps numbers to pointers and nothing more.
const HandleTypeOps kNoOps[kHandleTypeCount] = {};

// Engine error 0, "Internal Error %d", with the number of the fault.
constexpr int kErrInternal = 0;
constexpr int kTypeClashFault = 16;

}  // namespace

const char* HandleTypeName(HandleType type) {
  auto index = static_cast<std::uint32_t>(type);
  return index < kHandleTypeCount ? kTypeNames[index] : nullptr;
}

struct HandleTable::Record : EngineObject {
  Record* next;
  Handle handle;
  HandleType type;
  void* object;
  std::uint16_t uses;
};

HandleTable::HandleTable(const HandleTypeOps* ops) : ops_(ops ? ops : kNoOps) {}

HandleTable::~HandleTable() {
  // The log goes beside the engine's home; a table of no engine has nobody
  // to tell.
  const char* home = GetEngineServices().GetHomeDir();
  if (count_ != 0 && home && *home) {
    std::size_t length = std::strlen(home);
    bool separated = length != 0 && (home[length - 1] == '\\' || home[length - 1] == '/');
    char path[256];
    FormatString(path, sizeof path, separated ? "%sqvres.log" : "%s\\qvres.log", home);
    WriteLeakLog(path);
  }
  for (Record*& head : buckets_) {
    while (Record* record = head) {
      head = record->next;
      Dispose(record);
    }
  }
  count_ = 0;
}

HandleTable::Record* HandleTable::FindRecord(Handle handle) const {
  for (Record* r = buckets_[Bucket(handle)]; r; r = r->next) {
    if (r->handle == handle) return r;
  }
  return nullptr;
}

void HandleTable::Dispose(Record* record) {
  const HandleTypeOps& ops = ops_[static_cast<std::uint32_t>(record->type)];
  void* object = record->object;
  delete record;
  if (ops.dispose) ops.dispose(object);
}

Handle HandleTable::Register(void* object, HandleType type) {
  if (!object || static_cast<std::uint32_t>(type) >= kHandleTypeCount) return 0;
  for (Record* head : buckets_) {
    for (Record* r = head; r; r = r->next) {
      if (r->object != object) continue;
      if (r->type != type) ReportEngineError(kErrInternal, kTypeClashFault);
      if (r->uses != 0xFFFF) ++r->uses;
      return r->handle;
    }
  }
  // Numbers are never reused; a table that has issued every 32-bit number
  // issues no more rather than wrap onto 0, 1 and live handles.
  if (next_ == 0) return 0;
  Record* record;
  try {
    record = new Record;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  record->handle = next_++;
  record->type = type;
  record->object = object;
  record->uses = 1;
  Record*& head = buckets_[Bucket(record->handle)];
  record->next = head;
  head = record;
  ++count_;
  const HandleTypeOps& ops = ops_[static_cast<std::uint32_t>(type)];
  if (ops.acquire) ops.acquire(object);
  return record->handle;
}

void* HandleTable::Lookup(Handle handle, HandleType type) const {
  Record* record = FindRecord(handle);
  return record && record->type == type ? record->object : nullptr;
}

bool HandleTable::Find(Handle handle, HandleType* type, void** object) const {
  Record* record = FindRecord(handle);
  if (!record) return false;
  if (type) *type = record->type;
  if (object) *object = record->object;
  return true;
}

Handle HandleTable::FindByObject(const void* object) const {
  if (!object) return 0;
  for (Record* head : buckets_) {
    for (Record* r = head; r; r = r->next) {
      if (r->object == object) return r->handle;
    }
  }
  return 0;
}

std::uint32_t HandleTable::Release(Handle handle) {
  if (handle == 0) return kNoHandle;
  for (Record** link = &buckets_[Bucket(handle)]; *link; link = &(*link)->next) {
    Record* record = *link;
    if (record->handle != handle) continue;
    if (--record->uses != 0) return record->uses;
    *link = record->next;
    --count_;
    Dispose(record);
    return 0;
  }
  return kNoHandle;
}

std::uint32_t HandleTable::AddRef(Handle handle) {
  Record* record = FindRecord(handle);
  if (!record) return 0;
  if (record->uses != 0xFFFF) ++record->uses;
  return record->uses;
}

std::uint32_t HandleTable::UseCount(Handle handle) const {
  Record* record = FindRecord(handle);
  return record ? record->uses : 0;
}

int HandleTable::Forget(const void* object) {
  if (!object) return 0;
  int removed = 0;
  for (Record*& head : buckets_) {
    for (Record** link = &head; *link;) {
      Record* record = *link;
      if (record->object != object) {
        link = &record->next;
        continue;
      }
      *link = record->next;
      --count_;
      ++removed;
      Dispose(record);
    }
  }
  return removed;
}

int HandleTable::ForgetMatching(RecordMatch match, const void* context) {
  if (!match) return 0;
  int removed = 0;
  for (;;) {
    Record** found = nullptr;
    for (Record*& head : buckets_) {
      for (Record** link = &head; *link && !found; link = &(*link)->next)
        if (match((*link)->type, (*link)->object, context)) found = link;
      if (found) break;
    }
    if (!found) return removed;
    Record* record = *found;
    *found = record->next;
    --count_;
    ++removed;
    Dispose(record);
  }
}

bool HandleTable::WriteLeakLog(const char* path) const {
  TextWriter log(path, true);
  log.PutString("Unlocked Objects\n\n");
  for (Record* head : buckets_) {
    for (Record* r = head; r; r = r->next) {
      log.PutString(HandleTypeName(r->type));
      const HandleTypeOps& ops = ops_[static_cast<std::uint32_t>(r->type)];
      HandleIdentity identity;
      if (!LogsIdentity(r->type) || !ops.identify || !ops.identify(r->object, &identity)) {
        // Without an identifier the entry is the name alone, on its line.
        log.PutString("\n");
        continue;
      }
      if (identity.publicId) {
        log.PutString("\n\tPUBLIC ");
        log.PutString(identity.publicId);
      }
      if (identity.hasPath) {
        log.PutString("\n\tSYSTEM ");
        log.PutString(identity.path);
      }
      log.PutString("\n\n");
    }
  }
  return log.Close();
}

}  // namespace qs
