#include "foundation/callbacks.h"

#include <initializer_list>

#include "foundation/memory.h"

namespace qs {

namespace {

struct CallbackEntry : EngineObject {
  WindowHandle window;
  EventProcedure procedure;
  std::intptr_t data;
  CallbackEntry* next;
};

// One list per event number; built empty when the library loads.
CallbackEntry* g_buckets[kEventCount];

CallbackEntry* FindEntry(int event, WindowHandle window) {
  for (CallbackEntry* e = g_buckets[event]; e; e = e->next)
    if (e->window == window) return e;
  return nullptr;
}

}  // namespace

bool RegisterCallback(WindowHandle window, int event, EventProcedure procedure,
                      std::intptr_t data) {
  // The registry is indexed by the event number: anything outside it would
  // write past the buckets.
  if (event < 0 || event >= kEventCount || !procedure) return false;
  if (CallbackEntry* e = FindEntry(event, window)) {
    e->procedure = procedure;
    e->data = data;
    return true;
  }
  auto* e = new CallbackEntry;
  if (!e) return false;
  e->window = window;
  e->procedure = procedure;
  e->data = data;
  e->next = g_buckets[event];
  g_buckets[event] = e;
  return true;
}

std::intptr_t DispatchEvent(WindowHandle window, int event, std::intptr_t a, std::intptr_t b) {
  if (event < 0) return 0;
  if (event >= kEventCount) {
    // A destroyed window takes its registrations with it; there is at most
    // one per bucket.
    for (CallbackEntry*& head : g_buckets) {
      for (CallbackEntry** link = &head; *link; link = &(*link)->next) {
        if ((*link)->window == window) {
          CallbackEntry* gone = *link;
          *link = gone->next;
          delete gone;
          break;
        }
      }
    }
    return 0;
  }
  CallbackEntry* e = FindEntry(event, window);
  if (!e && window != 0) e = FindEntry(event, 0);
  if (!e) return 0;
  return e->procedure(window, event, a, b, e->data);
}

void FreeAllCallbacks() {
  for (CallbackEntry*& head : g_buckets) {
    while (CallbackEntry* e = head) {
      head = e->next;
      delete e;
    }
  }
}

void FillPictureRequest(PictureRequestRecord* record, std::intptr_t extent1,
                        std::intptr_t extent2, std::intptr_t zoom) {
  if (zoom != 0) {
    // Keep each shown extent within 8..16384 pixels. An extent of 0 (or
    // less) says nothing about the scale and would divide by zero.
    for (std::intptr_t extent : {extent1, extent2}) {
      if (extent <= 0) continue;
      if (extent * zoom / 256 < 8) {
        zoom = 2048 / extent;
        if (zoom < 1) zoom = 1;
      } else if (extent * zoom / 256 > 16384) {
        zoom = 4194304 / extent;
        if (zoom < 1) zoom = 1;
      }
    }
    extent1 = extent1 * zoom / 256;
    extent2 = extent2 * zoom / 256;
  }
  record->extent2 = extent2;
  record->extent1 = extent1;
  record->zoom = zoom;
}

}  // namespace qs
