// The parser that parses on behalf of a caller of the engine: every
// warning, error and progress event becomes a report record for the
// caller's report procedure, whose answer decides whether the parse goes on.
#pragma once
#include <cstdint>

#include "api/parse_report.h"
#include "foundation/entity_storage.h"
#include "foundation/stream.h"
#include "sgml/parser.h"

namespace qs {

class ReportingParser : public Parser {
 public:
  // Resolves through the engine's catalog and ENTITYRC file.
  ReportingParser(QsParseReportProc report, std::intptr_t data, Dtd* dtd, Document* document);
  // The same with the resolver and ENTITYRC file given.
  ReportingParser(QsParseReportProc report, std::intptr_t data, EntityResolver* resolver,
                  EntityrcFile* entityrc, Dtd* dtd, Document* document);

  bool EnterEntity(EntityDecl* entity) override;
  void LeaveEntity() override;
  Stream* OpenEntity(ExternalId* id, bool required, std::int32_t* encoding) override;
  void DtdOpened() override;
  void BeginInstance(bool nameKnown) override;
  void DocumentSystemIdChanged(const char* text) override;
  void DocumentPublicIdChanged(const char* text) override;
  void Warning(int number, const char* text1 = nullptr, const char* text2 = nullptr,
               const char* text3 = nullptr) override;
  void Error(int number, const char* text1 = nullptr, const char* text2 = nullptr,
             const char* text3 = nullptr) override;
  // Once the document instance begins, reports lose the prolog bit and
  // carry real offsets.
  void SetInInstance();

  // Builds the record and calls the procedure; a 0 answer stops the parse.
  void Report(int kind, int severity, int number, const char* text1, const char* text2,
              const char* text3);

  // Entity texts longer than this are cut, "..." written from index 95 on.
  static constexpr std::size_t kEntityTextLimit = 100;
  static constexpr std::size_t kEntityTextCut = 95;

 private:
  bool InnermostResolved() const;
  QsParseReportProc report_;
  std::intptr_t data_;
  std::int32_t flags_ = QS_REPORT_PROLOG;
};

// A block of memory the host lent for one parse: given back to the host
// (engine event 48 with its start) when the stream goes.
class MemorySource : public MemoryInStream {
 public:
  MemorySource(const char* block, std::size_t length)
      : MemoryInStream(block, length, nullptr, true) {}
};

// The host's procedure that hands out a source block by block: the next
// block (null at the end) with its length; `more` set to 0 marks the last.
using HostBlockProc = const char* (*)(std::intptr_t data, std::intptr_t* length,
                                      std::int32_t* more);

class HostBlockStream : public Stream {
 public:
  HostBlockStream(HostBlockProc proc, std::intptr_t data, const char* sourceName = nullptr)
      : Stream(sourceName), proc_(proc), data_(data) {}
  bool IsReadable() override { return true; }
  void Refill() override;

 private:
  HostBlockProc proc_;
  std::intptr_t data_;
};

// The text a report shows for a file path: the path itself, or, past 100
// characters, its first 95 and "...". On the engine heap (MemFree).
char* CutReportPath(const char* path);

}  // namespace qs
