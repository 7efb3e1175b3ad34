// Notations and object types the host teaches the engine, and reloading the
// pictures a host changed.
#include <cstring>

#include "api/exports.h"
#include "api/interface.h"
#include "api/wrappers.h"
#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/external_id.h"
#include "view/host_objects.h"
#include "view/notation_rules.h"

using namespace qs;

namespace {

// 0 absent, 1 any, else an upper-cased copy (MemFree).
const char* RuleId(const char* value, bool publicId) {
  const auto word = reinterpret_cast<std::uintptr_t>(value);
  if (word == 0) return nullptr;
  if (word == 1) return NotationNameSet::kAny;
  char* copy = DuplicateString(value);
  if (!copy) return nullptr;
  if (publicId) NormalizePublicId(copy);
  for (char* p = copy; *p; ++p) *p = ToUpperAscii(*p);
  return copy;
}

void FreeRuleId(const char* id) {
  if (id && id != NotationNameSet::kAny) MemFree(const_cast<char*>(id));
}

}  // namespace

extern "C" {

void QsRegisterNotation(const char* key, const char* name, const char* systemId,
                        const char* publicId) {
  EngineBase* engine = GetEngine();
  if (!engine) return;
  const char* ids[4] = {RuleId(key, false), RuleId(name, false), RuleId(systemId, false),
                        RuleId(publicId, true)};
  // The key "any" is no key: the rule goes.
  const char* k = ids[0] == NotationNameSet::kAny ? nullptr : ids[0];
  GetNotationNames(*engine).AddRule(k, ids[1], ids[2], ids[3]);
  for (const char* id : ids) FreeRuleId(id);
}

void QsRegisterObjectType(const QsWord* record) { RegisterHostObjectType(record); }

std::int32_t QsRefreshDocumentObjects(QsWord graphic) {
  if (!GetEngine() || !graphic) return 0;
  return RefreshGraphic(reinterpret_cast<GraphicObject*>(graphic)) ? 1 : 0;
}

std::int32_t QsRefreshEntityObjects(QsHandle entity) {
  HandleTable* handles = GetEngine() ? Handles() : nullptr;
  auto* ref = handles ? static_cast<EntityRef*>(handles->LookupEntity(entity)) : nullptr;
  if (!ref || !ref->Entity() || !ref->Identity()) return 0;
  return RefreshEntityGraphics(ref->Entity()) ? 1 : 0;
}

}  // extern "C"
