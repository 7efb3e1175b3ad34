#include "api/text_sources.h"

#include <cstring>
#include <new>

#include "api/interface.h"
#include "foundation/stream.h"
#include "foundation/strings.h"

namespace qs {

namespace {

// One counter for every kind: names made in one run never repeat.
std::uint32_t g_nextSourceNumber = 0;

const char* KindTag(SourceKind kind) {
  switch (kind) {
    case SourceKind::kDtd: return "DTD";
    case SourceKind::kDocument: return "DOC";
    case SourceKind::kStyleSheet: return "SSH";
    case SourceKind::kNavigator: return "NAV";
    case SourceKind::kWeb: return "WEB";
  }
  return "DOC";
}

}  // namespace

char* MakeSourceName(char* out, SourceKind kind, bool procedure) {
  FormatString(out, kSourceNameSize, "%s:\\%s%lu.RAM", procedure ? "QV-PROC" : "QV-TEXT",
               KindTag(kind), static_cast<unsigned long>(g_nextSourceNumber++));
  return out;
}

struct TextSources::Source : EngineObject {
  Source* next = nullptr;
  char* name = nullptr;
  bool procedure = false;
  const char* text = nullptr;  // memory text: the caller's, read during the call
  char* data = nullptr;        // procedure text: delivered blocks, copied
  std::size_t length = 0;
  ~Source() {
    MemFree(name);
    MemFree(data);
  }
};

TextSources::~TextSources() {
  while (Source* s = first_) {
    first_ = s->next;
    delete s;
  }
}

TextSources::Source* TextSources::Find(const char* name, bool procedure) const {
  for (Source* s = first_; s; s = s->next) {
    if (s->procedure == procedure && std::strcmp(s->name, name) == 0) return s;
  }
  return nullptr;
}

TextSources::Source* TextSources::Enter(const char* name, bool procedure) {
  if (!name || Find(name, procedure)) return nullptr;
  Source* s;
  try {
    s = new Source;
    s->name = DuplicateString(name);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  s->procedure = procedure;
  s->next = first_;
  first_ = s;
  return s;
}

TextSources::Source* TextSources::AddMemoryText(const char* name, const char* text) {
  if (!text) return nullptr;
  Source* s = Enter(name, false);
  if (s) s->text = text;
  return s;
}

TextSources::Source* TextSources::AddProcedureText(const char* name, QsTextProc procedure,
                                                   QsWord data) {
  if (!procedure || !name || Find(name, true)) return nullptr;
  // The blocks stay valid only until the next call: they are copied as
  // they come.
  char* text = nullptr;
  std::size_t length = 0, capacity = 0;
  bool ok = true;
  int empty = 0;
  for (;;) {
    std::int32_t blockLength = 0, more = 1;
    const char* block = procedure(data, &blockLength, &more);
    if (!block) break;
    // An empty block is not the end; a host that answers nothing else is
    // stuck, and the text is refused.
    if (blockLength == 0 && more != 0) {
      if (++empty < kMaxEmptyHostBlocks) continue;
      ReportStuckHost(name);
      ok = false;
      break;
    }
    empty = 0;
    if (blockLength < 0 || static_cast<std::size_t>(blockLength) > kMaxProcedureText - length) {
      ok = false;
      break;
    }
    if (length + blockLength > capacity) {
      std::size_t grown = capacity ? capacity : 4096;
      while (grown < length + blockLength) grown *= 2;
      char* bigger = static_cast<char*>(MemAlloc(grown));
      if (!bigger) {
        ok = false;
        break;
      }
      if (length) std::memcpy(bigger, text, length);
      MemFree(text);
      text = bigger;
      capacity = grown;
    }
    if (blockLength) std::memcpy(text + length, block, static_cast<std::size_t>(blockLength));
    length += static_cast<std::size_t>(blockLength);
    if (more == 0) break;
  }
  Source* s = ok ? Enter(name, true) : nullptr;
  if (!s) {
    MemFree(text);
    return nullptr;
  }
  s->data = text;
  s->length = length;
  return s;
}

void TextSources::Remove(Source* source) {
  if (!source) return;
  for (Source** link = &first_; *link; link = &(*link)->next) {
    if (*link != source) continue;
    *link = source->next;
    delete source;
    return;
  }
}

const char* TextSources::FindMemoryText(const char* name) const {
  Source* s = name ? Find(name, false) : nullptr;
  return s ? s->text : nullptr;
}

bool TextSources::FindProcedureText(const char* name, const void** data,
                                    std::size_t* length) const {
  Source* s = name ? Find(name, true) : nullptr;
  if (!s) return false;
  *data = s->data ? s->data : "";
  *length = s->length;
  return true;
}

std::size_t TextSources::Count() const {
  std::size_t n = 0;
  for (Source* s = first_; s; s = s->next) ++n;
  return n;
}

// ---- The engine answers entity storage from its sources ---------------------

const char* HostedEngine::FindMemoryText(const char* path) {
  return textSources ? textSources->FindMemoryText(path) : nullptr;
}

bool HostedEngine::FindCallbackText(const char* path, const void** data, std::size_t* length) {
  return textSources && textSources->FindProcedureText(path, data, length);
}

// ---- Sources for one call ------------------------------------------------------

namespace {
TextSources* EngineSources() {
  EngineBase* engine = GetEngine();
  HostedEngine* hosted = engine ? engine->AsHosted() : nullptr;
  if (!hosted) return nullptr;
  if (!hosted->textSources) {
    try {
      hosted->textSources.Set(new TextSources);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return hosted->textSources.get();
}
}  // namespace

const char* ScopedTextSource::Name(SourceKind kind, const char* name, bool procedure) {
  if (name) return name;
  return MakeSourceName(generated_, kind, procedure);
}

ScopedTextSource::ScopedTextSource(SourceKind kind, const char* name, const char* text)
    : table_(EngineSources()) {
  if (!table_) return;
  name_ = Name(kind, name, false);
  entered_ = table_->AddMemoryText(name_, text);
}

ScopedTextSource::ScopedTextSource(SourceKind kind, const char* name, QsTextProc procedure,
                                   QsWord data)
    : table_(EngineSources()) {
  if (!table_) return;
  name_ = Name(kind, name, true);
  entered_ = table_->AddProcedureText(name_, procedure, data);
}

ScopedTextSource::~ScopedTextSource() {
  // By identity: a source another call entered under the same name stays.
  if (table_ && entered_) table_->Remove(entered_);
}

}  // namespace qs
