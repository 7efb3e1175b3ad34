#include "view/notation_rules.h"

#include <cstring>
#include <initializer_list>

#include "foundation/engine.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/entities.h"

namespace qs {

namespace {
const char kAnyMarker[] = "*any*";
}  // namespace

const char* const NotationNameSet::kAny = kAnyMarker;

struct NotationNameSet::Key {
  Key* next;
  char* name;
};

struct NotationNameSet::Rule {
  Rule* next;
  const char* key;
  char* ids[3];  // name, system, public: null absent, kAny any, else a copy
  int Specificity() const {
    return (ids[0] && ids[0] != kAny ? 1 : 0) + (ids[1] && ids[1] != kAny ? 2 : 0) +
           (ids[2] && ids[2] != kAny ? 4 : 0);
  }
};

namespace {

char* CopyId(const char* id) {
  if (!id || id == NotationNameSet::kAny) return const_cast<char*>(id);
  return DuplicateString(id);
}
void FreeId(char* id) {
  if (id && id != NotationNameSet::kAny) MemFree(id);
}
bool SameId(const char* a, const char* b) {
  if (a == NotationNameSet::kAny || b == NotationNameSet::kAny) return a == b;
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}
bool Matches(const char* rule, const char* given) {
  if (rule == NotationNameSet::kAny) return true;
  if (!rule) return !given;
  return given && std::strcmp(rule, given) == 0;
}

constexpr const char* kIsbn = "+//ISBN 0-7923-9432-1::GRAPHIC NOTATION//NOTATION ";

}  // namespace

NotationNameSet::NotationNameSet() {
  for (const char* key : {"BMP", "XPM", "XBM", "WMF", "CGM"}) AddRule(key, key, kAny, nullptr);
  for (const char* name : {"GIF", "PBM", "JPG", "JPEG", "PNG", "TIF", "TIFF", "FAX", "CALS",
                           "GROUP4", "CCITT4", "CCITTG4", "GROUP3", "CCITT3", "CCITTG3", "EPS",
                           "RGR"})
    AddRule("RGR", name, kAny, nullptr);
  struct {
    const char* key;
    const char* isbnName;  // after kIsbn, with "//EN"
    const char* publicId;  // else the whole identifier
  } const publicRules[] = {
      {"BMP", "MICROSOFT WINDOWS BITMAP", nullptr},
      {"XBM", "MIT X CONSORTIUM BITMAP", nullptr},
      {"XPM", "MIT X CONSORTIUM COLOR BITMAP", nullptr},
      {"WMF", "MICROSOFT WINDOWS METAFILE", nullptr},
      {"CGM", "ANSI/ISO COMPUTER GRAPHICS METAFILE", nullptr},
      {"RGR", "COMPUSERVE GRAPHIC INTERCHANGE FORMAT", nullptr},
      {"RGR", "JEF POSKANZER PORTABLE BIT MAP", nullptr},
      {"RGR", "JOINT PHOTOGRAPHIC EXPERTS GROUP RASTER", nullptr},
      {"RGR", "ALDUS/MICROSOFT TAGGED INTERCHANGE FILE FORMAT", nullptr},
      {"RGR", nullptr, "-//ALDUS//NOTATION TAGGED IMAGE FILE FORMAT//EN"},
      {"RGR", nullptr, "ISO 12083:1993//NOTATION TIFF-1//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FASCIMILE//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FASCIMILE TYPE 1 UNTILED RASTER//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FASCIMILE TYPE 2 TILED RASTER//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FACSIMILE//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FACSIMILE TYPE 1 UNTILED RASTER//EN"},
      {"RGR", nullptr, "-//USA-DOD//NOTATION CCITT GROUP 4 FACSIMILE TYPE 2 TILED RASTER//EN"},
      {"RGR", "ADOBE SYSTEMS ENCAPSULATED POSTSCRIPT", nullptr},
      {"RGR", nullptr, "-//ADOBE//NOTATION ENCAPSULATED POSTSCRIPT//EN"},
      {"RGR", nullptr, "+//ISBN 0-201-18127-4::ADOBE//NOTATION POSTSCRIPT LANGUAGE REFERENCE MANUAL//EN"},
      {"RGR", nullptr, "-//QUENDA//NOTATION SCRIVOX RASTER GRAPHICS//EN"},
  };
  for (const auto& r : publicRules) {
    char text[160];
    const char* id = r.publicId;
    if (!id) {
      std::strcpy(text, kIsbn);
      std::strcat(text, r.isbnName);
      std::strcat(text, "//EN");
      id = text;
    }
    AddRule(r.key, kAny, kAny, id);
  }
}

NotationNameSet::~NotationNameSet() {
  while (Rule* r = rules_) {
    rules_ = r->next;
    for (char* id : r->ids) FreeId(id);
    MemFree(r);
  }
  for (Key*& head : keys_) {
    while (Key* k = head) {
      head = k->next;
      MemFree(k->name);
      MemFree(k);
    }
  }
}

const char* NotationNameSet::Intern(const char* key) {
  if (!key) return nullptr;
  unsigned hash = 0;
  for (const char* p = key; *p; ++p) hash = hash * 31 + static_cast<unsigned char>(*p);
  Key*& head = keys_[hash % 16];
  for (Key* k = head; k; k = k->next)
    if (std::strcmp(k->name, key) == 0) return k->name;
  auto* k = static_cast<Key*>(MemAlloc(sizeof(Key)));
  if (!k) return nullptr;
  k->name = DuplicateString(key);
  if (!k->name) {
    MemFree(k);
    return nullptr;
  }
  k->next = head;
  head = k;
  return k->name;
}

void NotationNameSet::AddRule(const char* key, const char* name, const char* systemId,
                              const char* publicId) {
  const char* ids[3] = {name, systemId, publicId};
  for (Rule** link = &rules_; *link; link = &(*link)->next) {
    Rule* r = *link;
    if (SameId(r->ids[0], ids[0]) && SameId(r->ids[1], ids[1]) && SameId(r->ids[2], ids[2])) {
      if (key) {
        r->key = Intern(key);
      } else {
        *link = r->next;
        for (char* id : r->ids) FreeId(id);
        MemFree(r);
      }
      return;
    }
  }
  if (!key) return;
  auto* rule = static_cast<Rule*>(MemAlloc(sizeof(Rule)));
  if (!rule) return;
  rule->key = Intern(key);
  for (int i = 0; i < 3; ++i) rule->ids[i] = CopyId(ids[i]);
  const int specificity = rule->Specificity();
  Rule** link = &rules_;
  if (specificity != 7)
    while (*link && (*link)->Specificity() >= specificity) link = &(*link)->next;
  rule->next = *link;
  *link = rule;
}

const char* NotationNameSet::FindKey(const char* name, const char* systemId,
                                     const char* publicId) const {
  for (Rule* r = rules_; r; r = r->next)
    if (Matches(r->ids[0], name) && Matches(r->ids[1], systemId) && Matches(r->ids[2], publicId))
      return r->key;
  return nullptr;
}

const char* NotationNameSet::FindKey(const EntityDecl* entity) const {
  const NotationDecl* notation = entity ? entity->GetNotation() : nullptr;
  if (!notation) return nullptr;
  return FindKey(notation->Name(), notation->SystemId(), notation->PublicId());
}

const char* NotationNameSet::FindElementKey(const EntityDecl* entity) const {
  const char* key = FindKey(entity);
  return LoadsFromElement(key) ? key : nullptr;
}

std::size_t NotationNameSet::RuleCount() const {
  std::size_t n = 0;
  for (Rule* r = rules_; r; r = r->next) ++n;
  return n;
}

bool LoadsFromElement(const char* key) {
  return key && (CompareStringNoCase(key, "XPM") == 0 || CompareStringNoCase(key, "XBM") == 0);
}

NotationNameSet& GetNotationNames(EngineBase& engine) {
  if (!engine.notationNames) engine.notationNames.Set(new NotationNameSet);
  return *engine.notationNames;
}

}  // namespace qs
