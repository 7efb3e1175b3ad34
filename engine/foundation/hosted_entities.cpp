// Where the hosted engine finds the data of an entity.
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "sgml/external_id.h"

namespace qs {

namespace {
// The path an identifier names: its system identifier as given.
const char* PathOf(ExternalId* externalId) {
  return externalId ? externalId->SystemId() : nullptr;
}
}  // namespace

Stream* HostedEngine::OpenEntity(ExternalId* externalId, const char* systemPath,
                                 std::int32_t* outNumber) {
  const char* path = systemPath ? systemPath : PathOf(externalId);
  const char* name = externalId && externalId->Name() ? externalId->Name() : path;
  return OpenEntityAt(path, name, outNumber);
}

int HostedEngine::GetLocalFile(ExternalId* externalId, char* out, std::int32_t* outNumber) {
  return GetLocalFileAt(PathOf(externalId), out, outNumber);
}

}  // namespace qs
