// Helpers for the parser tests: a parser that records its messages, parsing
// declarations from a string, an engine for file access, and a report
// procedure that keeps copies of the records.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "api/parse_report.h"
#include "foundation/engine.h"
#include "foundation/entity_storage.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/parser.h"
#include "sgml/parser_report.h"

namespace qs::test {

struct Message {
  int number;
  bool error;
  std::string argument;
  bool operator==(const Message& o) const {
    return number == o.number && error == o.error && argument == o.argument;
  }
};

inline std::string Describe(const std::vector<Message>& messages) {
  std::string out;
  for (const Message& m : messages) {
    out += (m.error ? "E" : "W") + std::to_string(m.number) + "(" + m.argument + ") ";
  }
  return out;
}

// A parser that keeps every message (errors still stop it) and lets tests
// reach the scanner.
class RecordingParser : public Parser {
 public:
  explicit RecordingParser(Dtd* dtd = nullptr, Document* document = nullptr,
                           EntityResolver* resolver = nullptr)
      : Parser(resolver, nullptr, dtd, document) {}
  void Warning(int number, const char* a, const char*, const char*) override {
    messages.push_back({number, false, a ? a : ""});
  }
  void Error(int number, const char* a, const char* b, const char* c) override {
    messages.push_back({number, true, a ? a : ""});
    Parser::Error(number, a, b, c);
  }
  // The bytes the scanner gives for `text`, up to the end of input.
  std::string Scan(const std::string& text) {
    text_ = text;
    PushInput(new MemoryInStream(text_.data(), text_.size(), "scan"), 0, true, nullptr,
              nullptr);
    endExpected_ = true;
    std::string out;
    for (;;) {
      int c = NextChar();
      if (endOfInput_ || Stopped()) break;
      out += static_cast<char>(c);
    }
    return out;
  }
  void SetComments(bool on) { SetCommentsEnabled(on); }
  // Reads a document type declaration from `text` (what follows "<!").
  void Doctype(const std::string& text) {
    text_ = text;
    PushInput(new MemoryInStream(text_.data(), text_.size(), "doctype"), 0, true, nullptr,
              nullptr);
    ParseDoctype();
  }
  std::vector<Message> messages;

 private:
  std::string text_;
};

// Parses `text` as a file of declarations.
inline void ParseText(Parser& parser, const std::string& text) {
  // The stream only borrows the bytes: keep them for the parse.
  static thread_local std::string kept;
  kept = text;
  parser.ParseDeclarationInput(new MemoryInStream(kept.data(), kept.size(), "text"), 1);
}

// An engine current for the test's lifetime, so that identifiers open files.
class EngineScope {
 public:
  EngineScope() : engine_(0, "C:\\Home\\", "Corvina", nullptr), previous_(SetEngine(&engine_)) {}
  ~EngineScope() { SetEngine(previous_); }
  HostedEngine& engine() { return engine_; }

 private:
  HostedEngine engine_;
  EngineBase* previous_;
};

// A report as the procedure saw it, texts copied.
struct ReportCopy {
  std::int32_t kind, severity, line, number, offset;
  std::string entity, argument1;
};

struct ReportLog {
  std::vector<ReportCopy> reports;
  std::int32_t answer = 1;
  int stopAfter = -1;  // answer 0 to this report (0-based)
  static std::int32_t Proc(const void* record, std::intptr_t data) {
    auto* log = reinterpret_cast<ReportLog*>(data);
    const auto* r = static_cast<const QsParseReport*>(record);
    const char* a1 = reinterpret_cast<const char*>(r->argument1);
    log->reports.push_back({r->kind, r->severity, r->line, r->number, r->offset,
                            r->entity ? r->entity : "", a1 ? a1 : ""});
    if (log->stopAfter >= 0 && static_cast<int>(log->reports.size()) > log->stopAfter) return 0;
    return log->answer;
  }
  std::vector<ReportCopy> Messages() const {
    std::vector<ReportCopy> out;
    for (const ReportCopy& r : reports) {
      if (r.kind & QS_REPORT_MESSAGE) out.push_back(r);
    }
    return out;
  }
};

}  // namespace qs::test
