// Style sheets and navigators the host holds: read again from their files,
// written back, and a navigator's scale and entries edited and listed.
#include <algorithm>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/records.h"
#include "sgml/document.h"
#include "style/navigator.h"
#include "style/style_sheet.h"

using namespace qs;

namespace {

StyleSheet* SheetOf(QsHandle sheet) {
  HandleTable* table = Handles();
  return table ? static_cast<StyleSheet*>(table->LookupStyleSheet(sheet)) : nullptr;
}

NavigatorDef* NavigatorOf(QsHandle navigator) {
  HandleTable* table = Handles();
  return table ? static_cast<NavigatorDef*>(table->LookupNavigator(navigator)) : nullptr;
}

// Reads the object's file again. A file that no longer parses leaves the
// object as it was (and gives 0), rather than emptying what the views show.
template <class T>
std::int32_t Reload(T* object) {
  if (!object || !object->Id()) return 0;
  Document* document = ParseLoadedSource(object->Id());
  if (!document) return 0;
  object->Read(document);
  document->Release();
  return 1;
}

// The navigator's bounds of its font scale: a MIN that is set is at least
// 6, MAX at most 128 and never below 0, and two set bounds in order.
void BoundScale(std::int32_t* min, std::int32_t* max) {
  if (*min != 0 && *min < 6) *min = 6;
  if (*max > 128) *max = 128;
  if (*max < 0) *max = 0;
  if (*min != 0 && *max != 0 && *max < *min) {
    std::int32_t swap = *min;
    *min = *max;
    *max = swap;
  }
}

struct EntryCopy {
  std::string body, qualifier, title;
  bool hasQualifier, hasTitle;
  std::int32_t flags;
};

}  // namespace

extern "C" {

std::int32_t QsReloadStyleSheet(QsHandle sheet) { return Reload(SheetOf(sheet)); }

std::int32_t QsSaveStyleSheet(QsHandle sheet) {
  StyleSheet* s = SheetOf(sheet);
  return s && s->Write() ? 1 : 0;
}

std::int32_t QsSaveStyleSheetAs(QsHandle sheet, const char* path) {
  StyleSheet* s = SheetOf(sheet);
  // Without a path the sheet's own file would be overwritten: not "as".
  return s && path && *path && s->Write(path) ? 1 : 0;
}

std::int32_t QsReloadNavigator(QsHandle navigator) { return Reload(NavigatorOf(navigator)); }

std::int32_t QsSaveNavigator(QsHandle navigator) {
  NavigatorDef* n = NavigatorOf(navigator);
  return n && n->Write() ? 1 : 0;
}

std::int32_t QsSaveNavigatorAs(QsHandle navigator, const char* path) {
  NavigatorDef* n = NavigatorOf(navigator);
  return n && path && *path && n->Write(path) ? 1 : 0;
}

std::int32_t QsGetNavigatorScale(QsHandle navigator, std::int32_t* scale, std::int32_t* min,
                                 std::int32_t* max) {
  NavigatorDef* n = NavigatorOf(navigator);
  if (!n) return 0;
  if (scale) *scale = n->scale;
  if (min) *min = n->min;
  if (max) *max = n->max;
  return 1;
}

std::int32_t QsSetNavigatorScale(QsHandle navigator, std::int32_t scale, std::int32_t min,
                                 std::int32_t max) {
  NavigatorDef* n = NavigatorOf(navigator);
  if (!n) return 0;
  BoundScale(&min, &max);
  n->SetScale(scale, min, max);
  return 1;
}

std::int32_t QsSetNavigatorEntry(QsHandle navigator, const char* body, const char* qualifier,
                                 const char* title, std::int32_t flags) {
  NavigatorDef* n = NavigatorOf(navigator);
  return n && body ? n->AddEntry(body, qualifier, title, flags) : 0;
}

std::int32_t QsRemoveNavigatorEntry(QsHandle navigator, const char* body, const char* qualifier,
                                    const char* title) {
  NavigatorDef* n = NavigatorOf(navigator);
  return n && body ? n->RemoveEntry(body, qualifier, title) : 0;
}

std::intptr_t QsEnumNavigatorEntries(QsHandle navigator, QsRecordProc procedure, QsWord data) {
  NavigatorDef* n = NavigatorOf(navigator);
  if (!n || !procedure) return 0;
  // A copy first: the procedure may edit the navigator, or list it again,
  // while the walk is on.
  std::vector<EntryCopy> entries;
  for (NavigatorTag* tag = n->FirstTag(); tag; tag = n->NextTag()) {
    const char* body = tag->GetKey();
    std::size_t bodyLength = tag->GetKeyLength();
    for (NavigatorToc* toc = tag->FirstToc(); toc; toc = static_cast<NavigatorToc*>(toc->Next())) {
      for (NavigatorTitle* t = toc->FirstTitle(); t; t = static_cast<NavigatorTitle*>(t->Next())) {
        const char* q = toc->QualifierText();
        entries.push_back({std::string(body, bodyLength), q ? q : "", t->Path() ? t->Path() : "",
                           q != nullptr, t->Path() != nullptr, t->locate ? 1 : 0});
      }
    }
  }
  // Body elements by name, as the navigator's file lists them.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const EntryCopy& a, const EntryCopy& b) { return a.body < b.body; });
  for (const EntryCopy& e : entries) {
    QsNavigatorEntryRecord record{e.body.c_str(), e.hasQualifier ? e.qualifier.c_str() : nullptr,
                                  e.hasTitle ? e.title.c_str() : nullptr, e.flags};
    if (std::intptr_t result = procedure(&record, data)) return result;
  }
  return 0;
}

}  // extern "C"
