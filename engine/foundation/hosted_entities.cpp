// Where the hosted engine finds the data of an entity.
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "foundation/memory.h"
#include "sgml/external_id.h"

namespace qs {

Stream* HostedEngine::OpenEntity(ExternalId* externalId, const char* systemPath,
                                 std::int32_t* outNumber) {
  char* resolved = !systemPath && externalId ? externalId->GetFilePath() : nullptr;
  const char* path = systemPath ? systemPath : resolved;
  const char* name = externalId && externalId->Name() ? externalId->Name() : path;
  Stream* stream = OpenEntityAt(path, name, outNumber);
  MemFree(resolved);
  return stream;
}

int HostedEngine::GetLocalFile(ExternalId* externalId, char* out, std::int32_t* outNumber) {
  char* path = externalId ? externalId->GetFilePath() : nullptr;
  int result = GetLocalFileAt(path, out, outNumber);
  MemFree(path);
  return result;
}

}  // namespace qs
