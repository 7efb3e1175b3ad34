// Text the host hands the engine for one opening export: a NUL-terminated
// text in its memory, or a procedure that delivers the text piece by piece.
// Each is entered under a name (the caller's, or one made here) for the
// span of the call; the parser then finds the entity's data by that name
// before it looks anywhere else.
#pragma once
#include <cstddef>
#include <cstdint>

#include "api/exports.h"
#include "foundation/memory.h"

namespace qs {

// What is being opened; it names generated sources.
enum class SourceKind { kDtd, kDocument, kStyleSheet, kNavigator, kWeb };

// A new name for a source of the caller, from the one process-wide counter:
// "QV-TEXT:\DOC0.RAM" for memory text, "QV-PROC:\DTD1.RAM" for a procedure.
// `out` has at least kSourceNameSize bytes.
inline constexpr std::size_t kSourceNameSize = 40;
char* MakeSourceName(char* out, SourceKind kind, bool procedure);

class TextSources : public EngineObject {
 public:
  // The most a procedure may deliver for one source.
  static constexpr std::size_t kMaxProcedureText = std::size_t{1} << 28;

  TextSources() = default;
  ~TextSources();
  TextSources(const TextSources&) = delete;
  TextSources& operator=(const TextSources&) = delete;

  struct Source;
  // Enters `text` under `name`: the entry, or null when the name is taken
  // (the entity then reads the source entered first) or an argument is null.
  Source* AddMemoryText(const char* name, const char* text);
  // Enters the text `procedure` delivers. The procedure is called now, as
  // procedure(data, &length, &more) with length preset 0 and more preset
  // 1, until it returns null or sets more to 0. Null when the name is
  // taken, the procedure is null, or it delivers more than the limit or a
  // negative length.
  Source* AddProcedureText(const char* name, QsTextProc procedure, QsWord data);
  // Removes exactly that entry (null: nothing).
  void Remove(Source* source);

  // The text entered under `name`: memory text (NUL-terminated) ...
  const char* FindMemoryText(const char* name) const;
  // ... or what a procedure delivered. False when there is none.
  bool FindProcedureText(const char* name, const void** data, std::size_t* length) const;
  std::size_t Count() const;

 private:
  Source* Find(const char* name, bool procedure) const;
  Source* Enter(const char* name, bool procedure);
  Source* first_ = nullptr;
};

// A source entered for the span of one call, removed with the object.
class ScopedTextSource {
 public:
  ScopedTextSource(const ScopedTextSource&) = delete;
  ScopedTextSource& operator=(const ScopedTextSource&) = delete;
  // Memory text. `name` null: a generated one. Needs the current engine.
  ScopedTextSource(SourceKind kind, const char* name, const char* text);
  // A procedure's text.
  ScopedTextSource(SourceKind kind, const char* name, QsTextProc procedure, QsWord data);
  ~ScopedTextSource();
  // The name the entity reads the source by (also when another source
  // already held it: the entity then reads that one); null without an engine.
  const char* name() const { return name_; }
  bool entered() const { return entered_ != nullptr; }

 private:
  const char* Name(SourceKind kind, const char* name, bool procedure);
  TextSources* table_ = nullptr;
  TextSources::Source* entered_ = nullptr;
  char generated_[kSourceNameSize];
  const char* name_ = nullptr;
};

}  // namespace qs
