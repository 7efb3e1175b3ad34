// Parse reports: the record handed to the caller's report procedure.
#include "sgml/parser_report.h"

#include <cstring>

#include "foundation/engine.h"
#include "foundation/strings.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"

namespace qs {

namespace {

EntityResolver* EngineResolver() {
  EngineBase* engine = GetEngine();
  return engine ? engine->GetCatalog() : nullptr;
}

EntityrcFile* EngineEntityrc() {
  EngineBase* engine = GetEngine();
  return engine ? engine->GetEntityRc() : nullptr;
}

}  // namespace

char* CutReportPath(const char* path) {
  if (!path) return nullptr;
  std::size_t n = std::strlen(path);
  if (n <= ReportingParser::kEntityTextLimit) return DuplicateString(path);
  char* text = static_cast<char*>(MemAlloc(ReportingParser::kEntityTextCut + 4));
  if (!text) return nullptr;
  std::memcpy(text, path, ReportingParser::kEntityTextCut);
  std::memcpy(text + ReportingParser::kEntityTextCut, "...", 4);
  return text;
}

void HostBlockStream::Refill() {
  int empty = 0;
  while (proc_) {
    std::intptr_t length = 0;
    std::int32_t more = 1;
    const char* block = proc_(data_, &length, &more);
    if (!block || length < 0) break;
    if (length > 0) {
      // The host's block is only read; the stream never writes through it.
      start_ = cur_ = reinterpret_cast<std::uint8_t*>(const_cast<char*>(block));
      end_ = start_ + length;
      if (more == 0) state_ = kLastBuffer;
      return;
    }
    if (more == 0) break;  // an empty last block
    if (++empty == kMaxEmptyHostBlocks) {
      ReportStuckHost(sourceName_);
      break;
    }
  }
  // Nothing more: the stream ends here.
  start_ = end_ = cur_;
  state_ = kAtEnd;
}

ReportingParser::ReportingParser(QsParseReportProc report, std::intptr_t data, Dtd* dtd,
                                 Document* document)
    : ReportingParser(report, data, EngineResolver(), EngineEntityrc(), dtd, document) {}

ReportingParser::ReportingParser(QsParseReportProc report, std::intptr_t data,
                                 EntityResolver* resolver, EntityrcFile* entityrc, Dtd* dtd,
                                 Document* document)
    : Parser(resolver, entityrc, dtd, document), report_(report), data_(data) {}

bool ReportingParser::InnermostResolved() const {
  ExternalId* id = InnermostId();
  return id && id->Location();
}

bool ReportingParser::EnterEntity(EntityDecl* entity) {
  bool pushed = Parser::EnterEntity(entity);
  if (pushed && report_ && InnermostResolved()) {
    Report(QS_REPORT_ENTERED, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr, nullptr);
  }
  return pushed;
}

void ReportingParser::LeaveEntity() {
  if (report_ && InnermostResolved()) {
    Parser::LeaveEntity();
    Report(QS_REPORT_LEFT, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr, nullptr);
  } else {
    Parser::LeaveEntity();
  }
}

Stream* ReportingParser::OpenEntity(ExternalId* id, bool required, std::int32_t* encoding) {
  Stream* stream = Parser::OpenEntity(id, required, encoding);
  if (stream && report_ && id && id->Location()) {
    char* path = id->GetFilePath();
    char* text = CutReportPath(path);
    QsParseReport record;
    record.kind = flags_ | QS_REPORT_ENTERED;
    record.entity = text ? text : "";
    record.severity = 0;
    record.line = -1;
    record.number = QS_REPORT_PROGRESS_NUMBER;
    record.argument1 = reinterpret_cast<std::intptr_t>(path ? path : "");
    record.argument2 = 0;
    record.argument3 = 0;
    record.offset = -1;
    if (report_(&record, data_) == 0) Stop();
    MemFree(text);
    MemFree(path);
  }
  return stream;
}

void ReportingParser::DtdOpened() {
  if (report_ && InnermostResolved()) {
    Report(QS_REPORT_ENTERED, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr, nullptr);
  }
}

void ReportingParser::DocumentSystemIdChanged(const char*) {
  if (report_ && InnermostResolved()) {
    Report(QS_REPORT_SYSTEM_ID_CHANGED, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr, nullptr);
  }
}

void ReportingParser::DocumentPublicIdChanged(const char*) {
  if (report_ && InnermostResolved()) {
    Report(QS_REPORT_PUBLIC_ID_CHANGED, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr, nullptr);
  }
}

void ReportingParser::Warning(int number, const char* text1, const char* text2,
                              const char* text3) {
  if (report_) Report(QS_REPORT_MESSAGE, 0, number, text1, text2, text3);
}

void ReportingParser::Error(int number, const char* text1, const char* text2, const char* text3) {
  Parser::Error(number, text1, text2, text3);
  if (report_) Report(QS_REPORT_MESSAGE, 1, number, text1, text2, text3);
}

void ReportingParser::BeginInstance(bool nameKnown) {
  SetInInstance();
  if (!Stopped()) Parser::BeginInstance(nameKnown);
}

void ReportingParser::SetInInstance() {
  flags_ = 0;
  if (report_) Report(QS_REPORT_INSTANCE_BEGINS, 0, QS_REPORT_PROGRESS_NUMBER, nullptr, nullptr,
                      nullptr);
}

void ReportingParser::Report(int kind, int severity, int number, const char* text1,
                             const char* text2, const char* text3) {
  if (!report_) return;
  std::int32_t line = 0;
  char* text = nullptr;
  ExternalId* id = CurrentLocation(&line);
  char* path = id ? id->GetFilePath() : nullptr;
  if (path) {
    text = CutReportPath(path);
    MemFree(path);
  } else if (HasLocation()) {
    text = DuplicateString("#TEXTENTITY");
    line = CurrentLine();
  } else {
    text = DuplicateString("#UNKNOWN");
    line = 0;
  }
  QsParseReport record;
  record.kind = flags_ | kind;
  record.entity = text ? text : "";
  record.severity = severity;
  record.line = line;
  record.number = number;
  if (kind & QS_REPORT_MESSAGE) {
    record.argument1 = reinterpret_cast<std::intptr_t>(text1);
    record.argument2 = reinterpret_cast<std::intptr_t>(text2);
    record.argument3 = reinterpret_cast<std::intptr_t>(text3);
  } else {
    record.argument1 = reinterpret_cast<std::intptr_t>(record.entity);
    record.argument2 = 0;
    record.argument3 = 0;
  }
  record.offset = flags_ ? -1 : CurrentOffset();
  if (report_(&record, data_) == 0) Stop();
  MemFree(text);
}

}  // namespace qs
