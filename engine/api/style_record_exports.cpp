// A sheet editor's exports: style records cleared, filled, checked and
// freed, rules read and stored through them, the rule an element gets, the
// tags and qualifiers of a sheet, and its margins, label and icons.
#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/node_ref.h"
#include "api/wrappers.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "addressing/qualifier.h"
#include "style/style_record.h"
#include "style/style_sheet.h"

using namespace qs;

namespace {

constexpr int kOccurrences = 7;
const char* const kOccurrenceLetters[kOccurrences] = {"A", "F", "M", "L", "f", "m", "l"};

StyleSheet* SheetOf(QsHandle sheet) {
  HandleTable* table = Handles();
  return table ? static_cast<StyleSheet*>(table->LookupStyleSheet(sheet)) : nullptr;
}

NodeRef* NodeOf(QsHandle node) {
  HandleTable* table = Handles();
  return table ? static_cast<NodeRef*>(table->LookupNode(node)) : nullptr;
}

EntityDecl* EntityOf(QsHandle entity) {
  HandleTable* table = Handles();
  auto* ref = table ? static_cast<EntityRef*>(table->LookupEntity(entity)) : nullptr;
  return ref ? ref->Entity() : nullptr;
}

// The node's element; in a data gap the element around it.
DocumentNode* ElementOf(const NodeRef* node) {
  return node ? (node->Current() ? node->Current() : node->Parent()) : nullptr;
}

bool InRecord(std::int32_t row, std::int32_t column) {
  return row >= 0 && row < kStyleRecordRows && column >= 0 && column < kStyleRecordColumns;
}

// The text into the caller's buffer, at most size - 1 bytes; a buffer
// without room gets nothing (and null comes back).
char* CopyOut(const char* text, char* buffer, std::int32_t size) {
  if (!buffer || size <= 0) return nullptr;
  CopyStringMax(buffer, text ? text : "", static_cast<std::size_t>(size));
  return buffer;
}

// The rule's tag list as a sheet file writes it, outermost first.
char* CopyTagList(const StyleRule* rule, char* buffer, std::int32_t size) {
  char* tags = JoinTagList(rule->Tag(), rule->Context());
  if (!tags) return nullptr;
  char* result = CopyOut(tags, buffer, size);
  MemFree(tags);
  return result;
}

// The entity an element refers to as its own graphic, or null.
EntityDecl* OwnGraphicEntity(Document* document, DocumentNode* element) {
  if (EntityDecl* entity = element->GetEntity()) return entity;
  if (!element->IsGraphic() || !document) return nullptr;
  for (Document::GraphicEntry* e = document->FirstGraphic(); e; e = e->next)
    for (GraphicElementNode* g = e->first; g; g = g->nextOfEntity)
      if (g == element) return e->entity;
  return nullptr;
}

QsHandle RegisterEntity(EntityDecl* entity) {
  HandleTable* table = Handles();
  EntityRef* ref = table && entity ? EntityRef::OfEntity(entity) : nullptr;
  if (!ref) return 0;
  QsHandle handle = table->RegisterEntity(ref);
  if (!handle) delete ref;
  return handle;
}

}  // namespace

extern "C" {

void QsClearStyleRecord(char** record) {
  if (!record) return;
  for (int i = 0; i < kStyleRecordSlots; ++i) record[i] = nullptr;
}

void QsFreeStyleRecord(char** record) {
  if (GetEngine()) FreeStyleRecord(record);
}

std::int32_t QsIsStyleRecordEmpty(char** record) {
  if (!record) return 0;
  for (int i = 0; i < kStyleRecordSlots; ++i)
    if (record[i]) return 0;
  return 1;
}

const char* QsGetStyleDefaultText(std::int32_t row, std::int32_t column) {
  if (!GetEngine() || !InRecord(row, column)) return nullptr;
  return GetPropertyDescriptor(column)->emptyText;
}

const char* QsGetStyleRecordText(char** record, std::int32_t row, std::int32_t column) {
  if (!record || !InRecord(row, column)) return nullptr;
  const char* text = record[row * kStyleRecordColumns + column];
  return text ? text : QsGetStyleDefaultText(row, column);
}

std::int32_t QsSetStyleRecordText(char** record, std::int32_t row, std::int32_t column,
                                  const char* text) {
  if (!GetEngine() || !record || !InRecord(row, column)) return 0;
  const char* checked = text && *text ? text : nullptr;
  if (!IsValidPropertyText(column, &checked)) return 0;
  return SetStyleRecordSlot(record, row, column, checked) ? 1 : 0;
}

char* QsGetNodeStyle(QsHandle sheet, QsHandle node, char* buffer, std::int32_t size,
                     std::int32_t* occurrence) {
  return QsGetRuleTagList(sheet, node, 0, buffer, size, occurrence);
}

char* QsGetRuleTagList(QsHandle sheet, QsHandle node, QsHandle entity, char* buffer,
                       std::int32_t size, std::int32_t* occurrence) {
  StyleSheet* s = SheetOf(sheet);
  NodeRef* ref = NodeOf(node);
  DocumentNode* element = ElementOf(ref);
  EntityDecl* e = entity ? EntityOf(entity) : nullptr;
  if (!s || !element || (entity && !e)) return nullptr;
  StyleRule* rule = nullptr;
  NotationDecl* notation = nullptr;
  if (!e || e == OwnGraphicEntity(ref->GetDocument(), element)) {
    rule = s->FindElementRule(element);
  } else {
    notation = e->GetNotation();
    if (notation && notation->Name()) rule = s->FindRule(element, notation->Name());
  }
  if (occurrence) *occurrence = rule ? rule->Occurrence() : 0;
  if (rule) return CopyTagList(rule, buffer, size);
  if (notation && notation->Name()) {
    std::string key = std::string("#") + notation->Name();
    return CopyOut(key.c_str(), buffer, size);
  }
  return CopyOut(element->GetNameText(), buffer, size);
}

std::int32_t QsFillNodeStyleRecord(QsHandle sheet, QsHandle node, QsHandle entity,
                                   char** record) {
  StyleSheet* s = SheetOf(sheet);
  NodeRef* ref = NodeOf(node);
  DocumentNode* element = ElementOf(ref);
  if (!s || !element || !record) return 0;
  if (entity) {
    EntityDecl* e = EntityOf(entity);
    if (!e || !e->GetNotation()) return 0;
  }
  FreeStyleRecord(record);
  StyleTagEntry* entry = s->FindTag(element->GetNameText());
  StyleRule* rule = entry ? entry->FindForElement(element) : nullptr;
  if (!rule) return 1;
  // Each qualified style that holds is merged over the style so far, in a
  // fresh style each time: the rule itself stays as it is.
  const ElementStyle* soFar = rule;
  ElementStyle* made = nullptr;
  for (QualStyle* q = rule->FirstQual(); q; q = StyleRule::NextQual(q)) {
    QualifierNode* qualifier = q->Qualifier();
    if (!qualifier || !qualifier->Match(ref->GetDocument(), element, nullptr)) continue;
    auto* merged = new ElementStyle;
    if (!merged) break;
    merged->MergeFrom(*soFar);
    merged->MergeFrom(*q);
    delete made;
    soFar = made = merged;
  }
  StyleProps::ToText(*soFar, record);
  delete made;
  return 1;
}

std::int32_t QsGetStyleRule(QsHandle sheet, const char* tag, std::int32_t occurrence,
                            const char* qualifier, char** record) {
  StyleSheet* s = SheetOf(sheet);
  if (!s || !tag || !record) return 0;
  FreeStyleRecord(record);
  StyleRule* rule = s->FindRuleByTag(tag, occurrence);
  if (!rule) return 0;
  const ElementStyle* style = rule;
  if (qualifier) {
    style = rule->FindQualStyle(qualifier);
    if (!style) return 0;
  }
  StyleProps::ToText(*style, record);
  return 1;
}

std::int32_t QsSetStyleRule(QsHandle sheet, const char* tag, std::int32_t occurrence,
                            const char* qualifier, char** record) {
  StyleSheet* s = SheetOf(sheet);
  if (!s || !tag || !*tag || !record || occurrence < 0 || occurrence >= kOccurrences) return 0;
  StyleRule* rule = s->FindRuleByTag(tag, occurrence);
  if (QsIsStyleRecordEmpty(record)) {
    if (!rule) return 0;
    if (qualifier) rule->RemoveQualStyle(qualifier);
    else if (!rule->FirstQual()) StyleSheet::DeleteRecord(rule);
    else rule->FromText(record);
    return 1;
  }
  bool made = false;
  if (!rule) {
    // The sheet may hold a rule of this context and occurrence already and
    // then keeps that one, deleting the new one: the one it returns is
    // the one to fill.
    rule = s->AddRule(new StyleRule(tag, static_cast<std::uint8_t>(occurrence)));
    if (!rule) return 0;
    made = true;
  }
  ElementStyle* target = rule;
  if (qualifier) {
    target = rule->AddQualStyle(qualifier);
    if (!target) {
      // A qualifier that does not compile stores nothing, not even the
      // rule it would have gone into.
      if (made && !rule->FirstQual()) StyleSheet::DeleteRecord(rule);
      return 0;
    }
  }
  target->FromText(record);
  return 1;
}

std::int32_t QsGetSheetMargins(QsHandle sheet, std::int32_t* left, std::int32_t* top,
                               std::int32_t* right, std::int32_t* bottom) {
  StyleSheet* s = SheetOf(sheet);
  if (!s) return 0;
  if (left) *left = s->margins[StyleSheet::kLeft];
  if (top) *top = s->margins[StyleSheet::kTop];
  if (right) *right = s->margins[StyleSheet::kRight];
  if (bottom) *bottom = s->margins[StyleSheet::kBottom];
  return 1;
}

std::int32_t QsSetSheetMargins(QsHandle sheet, std::int32_t left, std::int32_t top,
                               std::int32_t right, std::int32_t bottom) {
  StyleSheet* s = SheetOf(sheet);
  if (!s) return 0;
  s->margins[StyleSheet::kLeft] = left;
  s->margins[StyleSheet::kTop] = top;
  s->margins[StyleSheet::kRight] = right;
  s->margins[StyleSheet::kBottom] = bottom;
  return 1;
}

char* QsGetSheetBgLabel(QsHandle sheet, char* buffer, std::int32_t size) {
  StyleSheet* s = SheetOf(sheet);
  if (!s || !s->BackgroundLabel()) return nullptr;
  return CopyOut(s->BackgroundLabel(), buffer, size);
}

std::int32_t QsSetSheetBgLabel(QsHandle sheet, const char* text) {
  StyleSheet* s = SheetOf(sheet);
  if (!s) return 0;
  s->SetBackgroundLabel(text);
  return 1;
}

QsHandle QsGetSheetIcon(QsHandle sheet, const char* name) {
  StyleSheet* s = SheetOf(sheet);
  StyleIcon* icon = s && name ? s->FindIcon(name) : nullptr;
  return icon ? RegisterEntity(icon->IconDecl()) : 0;
}

QsHandle QsGetSheetWidget(QsHandle sheet, const char* name) {
  StyleSheet* s = SheetOf(sheet);
  StyleIcon* icon = s && name ? s->FindIcon(name) : nullptr;
  return icon ? RegisterEntity(icon->MaskDecl()) : 0;
}

QsHandle QsGetSheetNotation(QsHandle sheet, const char* notation) {
  StyleSheet* s = SheetOf(sheet);
  HandleTable* table = Handles();
  if (!s || !notation || !table) return 0;
  for (StyleIcon* i = s->FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next())) {
    for (EntityDecl* e : {i->IconDecl(), i->MaskDecl()}) {
      NotationDecl* n = e ? e->GetNotation() : nullptr;
      if (n && n->Name() && CompareStringNoCase(n->Name(), notation) == 0)
        return table->RegisterNotation(n);
    }
  }
  return 0;
}

// The walks copy what they hand out first: a callback may edit the sheet
// or walk it again.
std::intptr_t QsEnumStyleTags(QsHandle sheet, QsTextItemProc procedure, QsWord data) {
  StyleSheet* s = SheetOf(sheet);
  if (!s || !procedure) return 0;
  std::vector<std::string> texts;
  for (StyleTagEntry* e = s->FirstTag(); e; e = s->NextTag()) {
    for (StyleRule* r = e->First(); r; r = StyleTagEntry::Next(r)) {
      char* tags = JoinTagList(r->Tag(), r->Context());
      if (!tags) continue;
      int occurrence = r->Occurrence() < kOccurrences ? r->Occurrence() : 0;
      texts.push_back(std::string(kOccurrenceLetters[occurrence]) + ":" + tags);
      MemFree(tags);
    }
  }
  for (const std::string& text : texts)
    if (std::intptr_t result = procedure(text.c_str(), data)) return result;
  return 0;
}

std::intptr_t QsEnumQualifiers(QsHandle sheet, const char* tag, std::int32_t occurrence,
                               QsTextItemProc procedure, QsWord data) {
  StyleSheet* s = SheetOf(sheet);
  StyleRule* rule = s && tag && procedure ? s->FindRuleByTag(tag, occurrence) : nullptr;
  if (!rule) return 0;
  std::vector<std::string> texts;
  for (QualStyle* q = rule->FirstQual(); q; q = StyleRule::NextQual(q))
    texts.emplace_back(q->Text() ? q->Text() : "");
  for (const std::string& text : texts)
    if (std::intptr_t result = procedure(text.c_str(), data)) return result;
  return 0;
}

std::intptr_t QsGetSheetEntity(QsHandle sheet, QsHandleProc procedure, QsWord data) {
  StyleSheet* s = SheetOf(sheet);
  HandleTable* table = Handles();
  if (!s || !procedure || !table) return 0;
  std::vector<EntityDecl*> entities;
  for (StyleIcon* i = s->FirstIcon(); i; i = static_cast<StyleIcon*>(i->Next()))
    if (EntityDecl* e = i->IconDecl()) entities.push_back(e->AddRef());
  std::intptr_t result = 0;
  for (EntityDecl* e : entities) {
    if (!result) {
      if (QsHandle handle = RegisterEntity(e)) {
        result = procedure(handle, data);
        table->Release(handle);
      }
    }
  }
  for (EntityDecl* e : entities) e->Release();
  return result;
}

}  // extern "C"
