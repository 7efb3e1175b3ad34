#include "foundation/host_texts.h"

#include <cstring>

#include "foundation/memory.h"
#include "foundation/strings.h"

namespace qs {

namespace {

struct HostText {
  HostText* next;
  char* path;
  const char* data;
  std::size_t length;
};

// Few texts are entered at once (one per opening call in progress).
HostText* g_texts = nullptr;

}  // namespace

bool RegisterHostText(const char* path, const char* data, std::size_t length) {
  if (!path) return false;
  const char* unused;
  std::size_t n;
  if (FindHostText(path, &unused, &n)) return false;
  auto* text = static_cast<HostText*>(MemAlloc(sizeof(HostText)));
  if (!text) return false;
  text->path = DuplicateString(path);
  if (!text->path) {
    MemFree(text);
    return false;
  }
  text->data = data;
  text->length = length;
  text->next = g_texts;
  g_texts = text;
  return true;
}

void UnregisterHostText(const char* path) {
  if (!path) return;
  for (HostText** link = &g_texts; *link; link = &(*link)->next) {
    if (std::strcmp((*link)->path, path) == 0) {
      HostText* text = *link;
      *link = text->next;
      MemFree(text->path);
      MemFree(text);
      return;
    }
  }
}

bool FindHostText(const char* path, const char** data, std::size_t* length) {
  if (!path) return false;
  for (HostText* t = g_texts; t; t = t->next) {
    if (std::strcmp(t->path, path) == 0) {
      *data = t->data;
      *length = t->length;
      return true;
    }
  }
  return false;
}

}  // namespace qs
