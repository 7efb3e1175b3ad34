#include "api/exports.h"
#include "api/interface.h"

using namespace qs;

extern "C" {

std::uint32_t QsReleaseHandle(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? table->Release(handle) : HandleTable::kNoHandle;
}

std::uint32_t QsAddRefHandle(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? table->AddRef(handle) : 0;
}

std::uint32_t QsGetHandleRefCount(QsHandle handle) {
  HandleTable* table = Handles();
  return table ? table->UseCount(handle) : 0;
}

std::uint32_t QsGetHandleType(QsHandle handle) {
  HandleTable* table = Handles();
  HandleType type;
  if (!table || !table->Find(handle, &type, nullptr)) return 0;
  return static_cast<std::uint32_t>(type) + 1;
}

}  // extern "C"
