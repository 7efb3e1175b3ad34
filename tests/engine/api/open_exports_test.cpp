// Opening documents and DTDs through the library as a host does: from a
// file (once, however often asked), from memory and through a procedure,
// with the records the message procedure receives.
#include <cstring>
#include <string>
#include <vector>

#include "api/parse_report.h"
#include "engine_dll.h"

namespace qs::test {
namespace {

struct Report {
  std::int32_t kind, severity, line, number;
  std::string argument;
};

std::int32_t Record(const void* record, QsWord data) {
  auto* log = reinterpret_cast<std::vector<Report>*>(data);
  const auto* r = static_cast<const QsParseReport*>(record);
  const char* a = reinterpret_cast<const char*>(r->argument1);
  log->push_back({r->kind, r->severity, r->line, r->number, a ? a : ""});
  return 1;
}

class OpenThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qsopen");
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Open",
                                    nullptr, nullptr, nullptr, dir_.c_str(), nullptr),
              0);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  std::vector<Report> log_;
};

TEST_F(OpenThroughDll, FileOpenedOnceWithProgressForDocumentAndDtd) {
  Write("doc.dtd", "<!ELEMENT doc - - (#PCDATA)>");
  std::string doc = Write("doc.sgm", "<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc>Hello</doc>\n");
  auto parse = QS_BIND(QsParseDocument);
  QsHandle h = parse(doc.c_str(), nullptr, 0, Record, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(h, 0u);
  int opened = 0;
  bool sawDtd = false;
  for (const Report& r : log_) {
    EXPECT_EQ(r.kind & QS_REPORT_MESSAGE, 0) << r.number << " " << r.argument;
    if ((r.kind & QS_REPORT_ENTERED) && r.number == QS_REPORT_PROGRESS_NUMBER) {
      ++opened;
      if (r.argument.find("doc.dtd") != std::string::npos) sawDtd = true;
    }
  }
  EXPECT_GE(opened, 2);
  EXPECT_TRUE(sawDtd);
  EXPECT_EQ(parse(doc.c_str(), nullptr, 0, nullptr, 0), h);
  EXPECT_EQ(QS_BIND(QsGetHandleRefCount)(h), 2u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(h), 2u);
  QS_BIND(QsReleaseHandle)(h);
  QS_BIND(QsReleaseHandle)(h);
}

TEST_F(OpenThroughDll, BrokenFileGivesZeroAndItsErrorRecord) {
  std::string doc = Write("bad.sgm", "<!DOCTYPE d [<!ELEMENT d - - ANY>]>\n<d>\n</d junk>\n");
  EXPECT_EQ(QS_BIND(QsParseDocument)(doc.c_str(), nullptr, 0, Record,
                                     reinterpret_cast<QsWord>(&log_)),
            0u);
  const Report* error = nullptr;
  for (const Report& r : log_) {
    if (r.severity == 1) error = &r;
  }
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->number, 28);
  EXPECT_EQ(error->line, 3);
  EXPECT_EQ(error->kind, QS_REPORT_MESSAGE);
}

TEST_F(OpenThroughDll, MemoryDocumentsAreNamedInSequence) {
  const char kDoc[] = "<?xml version=\"1.0\"?><Doc>a &lt;b&gt; &amp; c</Doc>";
  auto open = QS_BIND(QsOpenDocumentText);
  QsHandle a = open(kDoc, nullptr, nullptr, 0, nullptr, 0);
  QsHandle b = open(kDoc, nullptr, nullptr, 0, nullptr, 0);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  std::string first = QS_BIND(QsGetSystemId)(a);
  std::string second = QS_BIND(QsGetSystemId)(b);
  ASSERT_EQ(first.rfind("QV-TEXT:\\DOC", 0), 0u) << first;
  long n = std::stol(first.substr(12));
  EXPECT_EQ(second, "QV-TEXT:\\DOC" + std::to_string(n + 1) + ".RAM");
}

// Documents that once lost or changed text, read as a host reads them.
TEST_F(OpenThroughDll, DocumentsAreReadWholeOrReportedWithTheirLine) {
  auto open = QS_BIND(QsOpenDocumentText);
  auto text = [&](QsHandle document) {
    QsHandle root = QS_BIND(QsGetDocumentRoot)(document);
    std::int32_t length = QS_BIND(QsGetTextLength)(root, 0);
    std::string out(static_cast<std::size_t>(length) + 1, '\0');
    QS_BIND(QsGetText)(root, 0, out.data(), length + 1);
    out.resize(std::strlen(out.c_str()));
    std::string value = QS_BIND(QsGetAttribute)(root, "x") ? QS_BIND(QsGetAttribute)(root, "x")
                                                           : "(none)";
    QS_BIND(QsReleaseHandle)(root);
    return out + "|" + value;
  };
  std::string longValue(6000, 'v');
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY big \"" + longValue +
                    "\">]>\n<a x=\"&big;\">x\x01<![CDATA[y]]]></a>";
  QsHandle h = open(doc.c_str(), nullptr, nullptr, 0, Record, reinterpret_cast<QsWord>(&log_));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(text(h), "x\xEF\xBF\xBDy]|" + longValue);
  QS_BIND(QsReleaseHandle)(h);

  // Content after the document element: an error on its line, not a loss.
  log_.clear();
  EXPECT_EQ(open("<?xml version=\"1.0\"?>\n<a>one</a>\n<b>two</b>", nullptr, nullptr, 0, Record,
                 reinterpret_cast<QsWord>(&log_)),
            0u);
  const Report* error = nullptr;
  for (const Report& r : log_) {
    if (r.severity == 1) error = &r;
  }
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->number, 8);
  EXPECT_EQ(error->line, 3);
}

}  // namespace
}  // namespace qs::test
