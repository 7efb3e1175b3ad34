#include "addressing/locators.h"

#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/entities.h"

namespace qs {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The first blank-separated name of `text` into `out` (capacity bytes,
// cut when longer); the position after it.
const char* NextName(const char* text, char* out, std::size_t capacity) {
  while (*text && IsBlank(*text)) ++text;
  std::size_t n = 0;
  while (*text && !IsBlank(*text)) {
    if (n + 1 < capacity) out[n++] = *text;
    ++text;
  }
  out[n] = '\0';
  return text;
}

EntityDecl* ExternalEntity(Document* document, const char* name) {
  EntityDecl* entity = document->FindEntity(name);
  return entity && entity->IsExternal() ? entity : nullptr;
}

}  // namespace

std::size_t ElementData(Document* document, const DocumentNode* element, char* out,
                        std::size_t capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!document || !element || element->end <= element->start) return 0;
  std::uint32_t to = element->end;
  if (to - element->start > capacity - 1) to = element->start + std::uint32_t(capacity - 1);
  return document->ExtractText(out, element->start, to);
}

EntityDecl* ReadNameLocator(Document* document, DocumentNode* nameloc, char* id) {
  if (id) id[0] = '\0';
  if (!document || !nameloc) return nullptr;
  for (DocumentNode* child = nameloc->First(); child; child = child->Next()) {
    const char* form = child->GetHytimeForm();
    if (!form || CompareStringNoCase(form, "NMLIST") != 0) continue;
    const char* nametype = child->GetAttributeValue("NAMETYPE");
    const char* docorsub = child->GetAttributeValue("DOCORSUB");
    // A list that names its document but not its name type names element
    // IDs: that is how element anchors are written.
    bool element = nametype ? CompareStringNoCase(nametype, "ELEMENT") == 0 : docorsub != nullptr;
    char text[kLocatorIdSize * 4];
    ElementData(document, child, text, sizeof text);
    char name[kLocatorIdSize];
    if (element) {
      EntityDecl* entity = docorsub ? ExternalEntity(document, docorsub) : nullptr;
      if (!entity) continue;
      NextName(text, name, sizeof name);
      if (id) CopyStringMax(id, name, kLocatorIdSize);
      return entity;
    }
    if (nametype && CompareStringNoCase(nametype, "ENTITY") != 0) continue;
    for (const char* p = NextName(text, name, sizeof name); name[0];
         p = NextName(p, name, sizeof name)) {
      if (EntityDecl* entity = ExternalEntity(document, name)) return entity;
    }
  }
  return nullptr;
}

std::size_t ReadNumberList(Document* document, DocumentNode* element, std::uint16_t* numbers) {
  char text[1024];
  ElementData(document, element, text, sizeof text);
  std::size_t count = 0;
  for (const char* p = text; *p && count < kMaxLocatorNumbers;) {
    if (*p < '0' || *p > '9') {
      ++p;
      continue;
    }
    std::uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      value = value * 10 + std::uint32_t(*p - '0');
      if (value > 0xFFFF) value = 0xFFFF;
    }
    numbers[count++] = static_cast<std::uint16_t>(value);
  }
  return count;
}

void ReadDimList(Document* document, DocumentNode* element, std::uint16_t* start,
                 std::uint16_t* length) {
  std::uint16_t numbers[kMaxLocatorNumbers];
  std::size_t count = ReadNumberList(document, element, numbers);
  *start = count > 0 ? numbers[0] : 0;
  *length = count > 1 ? numbers[1] : 0;
}

}  // namespace qs
