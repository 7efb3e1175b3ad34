#include "foundation/platform.h"

namespace qs::platform {

int DefaultMessageSink(void* context, std::intptr_t owner, const char* text,
                       const char* caption, unsigned flags);

namespace {
MessageSinkEntry g_sink{nullptr, nullptr};
}

MessageSinkEntry SetMessageSink(MessageSink sink, void* context) {
  MessageSinkEntry previous = g_sink;
  g_sink = MessageSinkEntry{sink, context};
  return previous;
}

int ShowMessage(std::intptr_t owner, const char* text, const char* caption, unsigned flags) {
  if (!text) text = "";
  if (!caption) caption = "";
  if (g_sink.sink) return g_sink.sink(g_sink.context, owner, text, caption, flags);
  return DefaultMessageSink(nullptr, owner, text, caption, flags);
}

}  // namespace qs::platform
