// Opening DTDs and documents through the exports, in-process: by file, from
// memory and through a text procedure, with the reports the caller's
// message procedure receives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/parse_report.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/dtd.h"
#include "sgml/text_store.h"

namespace qs {
namespace {

struct Report {
  std::int32_t kind, severity, line, number;
  std::string entity, argument;
};

std::int32_t Record(const void* record, QsWord data) {
  auto* log = reinterpret_cast<std::vector<Report>*>(data);
  const auto* r = static_cast<const QsParseReport*>(record);
  const char* a = reinterpret_cast<const char*>(r->argument1);
  log->push_back({r->kind, r->severity, r->line, r->number, r->entity ? r->entity : "",
                  a ? a : ""});
  return 1;
}

class OpenExports : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-open-" + std::to_string(::getpid()) + "-" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override {
    QsTerminate();
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const char* name, const std::string& text) {
    std::filesystem::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  Document* DocumentOf(QsHandle h) {
    return static_cast<Document*>(Handles()->LookupDocument(h));
  }
  std::string Text(QsHandle h) {
    Document* d = DocumentOf(h);
    if (!d || !d->Root()) return "";
    std::string out(d->Root()->end - d->Root()->start + 1, '\0');
    out.resize(d->Text()->CopyRange(out.data(), d->Root()->start, d->Root()->end, false));
    return out;
  }
  std::filesystem::path dir_;
  std::vector<Report> log_;
  test::RecordingSink sink_;
};

TEST_F(OpenExports, AFileOpensOnceAndReportsItsFiles) {
  Write("doc.dtd", "<!ELEMENT doc - - (#PCDATA)>");
  std::string doc = Write("doc.sgm", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc>Hello\n world</doc>\n");
  QsHandle h = QsParseDocument(doc.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(Text(h), "Hello world");
  std::vector<std::string> opened;
  for (const Report& r : log_) {
    EXPECT_EQ(r.kind & QS_REPORT_MESSAGE, 0) << r.number << " " << r.argument;
    if ((r.kind & QS_REPORT_ENTERED) && r.number == QS_REPORT_PROGRESS_NUMBER) {
      opened.push_back(std::filesystem::path(r.argument).filename().string());
    }
  }
  ASSERT_GE(opened.size(), 2u);
  EXPECT_EQ(opened[0], "doc.sgm");
  EXPECT_EQ(opened[1], "doc.dtd");
  // The same path again: the open document, not a new parse.
  log_.clear();
  EXPECT_EQ(QsParseDocument(doc.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_)), h);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(QsGetHandleRefCount(h), 2u);
  EXPECT_EQ(QsReleaseHandle(h), 1u);
  EXPECT_EQ(QsReleaseHandle(h), 0u);
}

TEST_F(OpenExports, ABrokenFileGivesZeroAndTheErrorWithItsLine) {
  std::string doc =
      Write("bad.sgm", "<!DOCTYPE d [<!ELEMENT d - - ANY>]>\n<d>\n<x a=1 !>\n</d>\n");
  EXPECT_EQ(QsParseDocument(doc.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_)),
            0u);
  const Report* error = nullptr;
  for (const Report& r : log_) {
    if (r.severity == 1) error = &r;
  }
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->number, 27);
  EXPECT_EQ(error->line, 3);
  EXPECT_EQ(error->kind, QS_REPORT_MESSAGE);
  // A file that is not there is an error too.
  log_.clear();
  std::string missing = (dir_ / "missing.sgm").string();
  EXPECT_EQ(QsParseDocument(missing.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_)),
            0u);
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_.back().number, 0);
  EXPECT_EQ(log_.back().severity, 1);
}

TEST_F(OpenExports, MemoryDocumentsGetGeneratedNamesInSequence) {
  const char kDoc[] = "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>text</d>";
  QsHandle a = QsOpenDocumentText(kDoc, nullptr, nullptr, 0, nullptr, 0);
  QsHandle b = QsOpenDocumentText(kDoc, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  std::string first = QsGetSystemId(a), second = QsGetSystemId(b);
  ASSERT_EQ(first.rfind("QV-TEXT:\\DOC", 0), 0u) << first;
  long n = std::stol(first.substr(12));
  EXPECT_EQ(second, "QV-TEXT:\\DOC" + std::to_string(n + 1) + ".RAM");
  EXPECT_EQ(Text(a), "text");
  // A name given by the caller is used as it is.
  QsHandle named = QsOpenDocumentText(kDoc, "mine.sgm", "-//X//DOC Mine//EN", 0, nullptr, 0);
  ASSERT_NE(named, 0u);
  EXPECT_STREQ(QsGetSystemId(named), "mine.sgm");
}

struct Blocks {
  std::vector<std::string> parts;
  std::size_t next = 0;
  int calls = 0;
  bool clearMoreOnLast = true;
};
const char* NextBlock(QsWord data, std::int32_t* length, std::int32_t* more) {
  auto* blocks = reinterpret_cast<Blocks*>(data);
  ++blocks->calls;
  if (blocks->next >= blocks->parts.size()) return nullptr;
  const std::string& part = blocks->parts[blocks->next++];
  *length = static_cast<std::int32_t>(part.size());
  if (blocks->clearMoreOnLast && blocks->next == blocks->parts.size()) *more = 0;
  return part.data();
}

TEST_F(OpenExports, ProcedureTextAndAGivenDtd) {
  Blocks dtd{{"<!ELEMENT d - - (#PCDATA|e)*>", "<!ELEMENT e - O EMPTY>",
              "<!ENTITY who \"world\">"}};
  QsHandle hdtd = QsOpenDtdProc(NextBlock, reinterpret_cast<QsWord>(&dtd), nullptr, nullptr, 0,
                                Record, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(hdtd, 0u);
  EXPECT_EQ(dtd.calls, 3);
  EXPECT_EQ(QsGetHandleType(hdtd), 1u);  // HDTD
  EXPECT_EQ(std::string(QsGetSystemId(hdtd)).rfind("QV-PROC:\\DTD", 0), 0u);

  Blocks doc{{"<d>hello <e>", "&who;</d>"}, 0, 0, false};
  QsHandle h = QsOpenDocumentProc(NextBlock, reinterpret_cast<QsWord>(&doc), nullptr, nullptr,
                                  hdtd, Record, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(doc.calls, 3);  // two blocks and the null that ends them
  EXPECT_EQ(Text(h), "hello  world");
  for (const Report& r : log_) EXPECT_EQ(r.kind & QS_REPORT_MESSAGE, 0) << r.number;
  // An empty procedure text is an empty document: no instance, an error.
  Blocks none;
  EXPECT_EQ(QsOpenDocumentProc(NextBlock, reinterpret_cast<QsWord>(&none), nullptr, nullptr, 0,
                               nullptr, 0),
            0u);
  EXPECT_EQ(none.calls, 1);
}

TEST_F(OpenExports, ADtdFromADocumentAndAStoppingMessageProcedure) {
  const char kDoc[] = "<!DOCTYPE d [<!ELEMENT d - - ANY>]><d>&undefined;</d>";
  QsHandle hdtd = QsOpenDtdText(kDoc, nullptr, nullptr, 1, nullptr, 0);
  ASSERT_NE(hdtd, 0u);
  auto* type = static_cast<DocumentType*>(Handles()->LookupDtd(hdtd));
  ASSERT_NE(type, nullptr);
  EXPECT_NE(type->Elements().Find("D"), nullptr);
  // A procedure that answers 0 to the warning stops the parse: no document.
  auto stop = [](const void* record, QsWord) -> std::int32_t {
    return (static_cast<const QsParseReport*>(record)->kind & QS_REPORT_MESSAGE) ? 0 : 1;
  };
  EXPECT_EQ(QsOpenDocumentText(kDoc, nullptr, nullptr, 0, stop, 0), 0u);
  EXPECT_NE(QsOpenDocumentText(kDoc, nullptr, nullptr, 0, nullptr, 0), 0u);
}

// A name the DTD does not declare is not found, whatever #DEFAULT rule the
// DTD has, and the lookup leaves the DTD as it was.
TEST_F(OpenExports, DtdEntitiesAreFoundOnlyWhenDeclared) {
  const char kDoc[] =
      "<!DOCTYPE d [<!ELEMENT d - - ANY><!ENTITY ver \"3.0\"><!ENTITY #DEFAULT \"dflt\">]>"
      "<d>&ver;</d>";
  QsHandle hdtd = QsOpenDtdText(kDoc, nullptr, nullptr, 1, nullptr, 0);
  ASSERT_NE(hdtd, 0u);
  auto* type = static_cast<DocumentType*>(Handles()->LookupDtd(hdtd));
  ASSERT_NE(type, nullptr);
  // The declaring document's general entities are the second table.
  QsHandle ver = QsGetDtdEntity2(hdtd, "ver");
  ASSERT_NE(ver, 0u);
  EXPECT_STREQ(QsGetEntityValueC(ver), "3.0");
  QsReleaseHandle(ver);
  EXPECT_EQ(QsGetDtdEntity(hdtd, "undeclared"), 0u);
  EXPECT_EQ(QsGetDtdEntity2(hdtd, "undeclared"), 0u);
  EXPECT_EQ(type->FindEntity("undeclared"), nullptr);
  EXPECT_EQ(type->FindEntity2("undeclared"), nullptr);
  QsReleaseHandle(hdtd);
}

// Paths reach the engine in UTF-8: a catalog pushed from a folder whose name
// is not ASCII is read, and resolves the document's DTD while pushed.
TEST_F(OpenExports, PushedCatalogInAFolderWithANonAsciiName) {
  const std::string folder = "K\xC3\xA4fer";  // "Käfer"
  std::filesystem::create_directories(dir_ / folder);
  Write((folder + "/catalog").c_str(), "PUBLIC \"-//K//DTD K//EN\" k.dtd\n");
  Write((folder + "/k.dtd").c_str(), "<!ELEMENT k - - (#PCDATA)>\n");
  std::string doc = Write("k.sgm", "<!DOCTYPE k PUBLIC \"-//K//DTD K//EN\">\n<k>text</k>\n");
  std::string catalog = (dir_ / folder / "catalog").string();
  QsPushCatalog(catalog.c_str(), 0);
  QsHandle h = QsParseDocument(doc.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_));
  QsPopCatalog();
  ASSERT_NE(h, 0u);
  for (const Report& r : log_) EXPECT_EQ(r.kind & QS_REPORT_MESSAGE, 0) << r.number << " " << r.argument;
  EXPECT_EQ(Text(h), "text");
  QsReleaseHandle(h);
}

}  // namespace
}  // namespace qs
