// Compiled documents through the exports, in-process: saving to a file
// (whole or not at all), saving into the host's procedure with the section
// positions and rewritten entity identifiers, and loading from a file or a
// read procedure into the engine's open documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "foundation/engine.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/document_cache.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace qs {
namespace {

const char kDocument[] =
    "<!DOCTYPE manual [<!ELEMENT manual - - (para+)><!ELEMENT para - - (#PCDATA)>"
    "<!ATTLIST para id ID #IMPLIED>"
    "<!ENTITY ext SYSTEM \"chapter1.sgm\"><!ENTITY logo SYSTEM \"logo.gif\">]>"
    "<manual><para id=p1>First</para><para id=p2>Second</para></manual>";

// The host side of the byte procedures: a string written and read by offset.
struct HostBytes {
  std::string bytes;
  int writes = 0;
  static std::intptr_t Write(std::intptr_t context, std::intptr_t offset, std::intptr_t data,
                             std::intptr_t length) {
    auto* self = reinterpret_cast<HostBytes*>(context);
    ++self->writes;
    if (std::size_t(offset) != self->bytes.size()) return 0;  // always in order
    self->bytes.append(reinterpret_cast<const char*>(data), std::size_t(length));
    return length;
  }
  static std::intptr_t Read(std::intptr_t context, std::intptr_t offset, std::intptr_t buffer,
                            std::intptr_t length) {
    auto* self = reinterpret_cast<HostBytes*>(context);
    if (offset < 0 || std::size_t(offset) >= self->bytes.size()) return 0;
    std::size_t n = std::min(std::size_t(length), self->bytes.size() - std::size_t(offset));
    std::memcpy(reinterpret_cast<void*>(buffer), self->bytes.data() + offset, n);
    return std::intptr_t(n);
  }
};

class CompiledExports : public testing::Test {
 protected:
  void SetUp() override {
    // Tests run as parallel processes: a folder of the test's own.
    dir_ = std::filesystem::temp_directory_path() /
           ("qs-qsb-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
            "-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    doc_ = QsOpenDocumentText(kDocument, Path("manual.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
  }
  void TearDown() override {
    QsTerminate();
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  int FilesIn() const {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir_)) ++n;
    return n;
  }
  Document* DocumentOf(QsHandle h) {
    return static_cast<Document*>(Handles()->LookupDocument(h));
  }
  std::filesystem::path dir_;
  QsHandle doc_ = 0;
  test::RecordingSink sink_;
};

TEST_F(CompiledExports, SavedFileLoadsAsTheSameDocument) {
  std::string file = Path("manual.qsb");
  EXPECT_EQ(QsSaveDocumentBinary(doc_, file.c_str()), 1);
  EXPECT_EQ(ReadAll(file).substr(0, 6), std::string("QSB01\0", 6));
  EXPECT_EQ(FilesIn(), 1) << "no scratch file left";

  QsHandle loaded = QsOpenBinaryDocument(file.c_str(), 0, Path("other.sgm").c_str(), nullptr);
  ASSERT_NE(loaded, 0u);
  EXPECT_NE(loaded, doc_);
  Document* d = DocumentOf(loaded);
  EXPECT_EQ(d->TextLength(), DocumentOf(doc_)->TextLength());
  QsHandle p2 = QsGetElementById(loaded, "P2");
  ASSERT_NE(p2, 0u);
  EXPECT_EQ(QsReleaseHandle(p2), 0u);

  // Opened twice under one name: the same document, one more use.
  QsHandle again = QsOpenBinaryDocument(file.c_str(), 0, Path("other.sgm").c_str(), nullptr);
  EXPECT_EQ(again, loaded);
  EXPECT_EQ(QsReleaseHandle(loaded), 1u);
  EXPECT_EQ(QsReleaseHandle(loaded), 0u);
  EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(CompiledExports, FailedSavesLeaveNoFileAndKeepTheOldOne) {
  std::string missing = (dir_ / "no-such-folder" / "manual.qsb").string();
  EXPECT_EQ(QsSaveDocumentBinary(doc_, missing.c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no-such-folder"));
  EXPECT_EQ(QsSaveDocumentBinary(0, Path("x.qsb").c_str()), 0);
  EXPECT_EQ(QsSaveDocumentBinary(doc_ + 1000, Path("x.qsb").c_str()), 0);
  EXPECT_EQ(FilesIn(), 0);

  // A write that fails half-way (an object the writer's tables lack) leaves
  // the old file as it was and no scratch file.
  std::string kept = Path("kept.qsb");
  std::ofstream(kept, std::ios::binary) << "old";
  Document* d = DocumentOf(doc_);
  d->AppendMark(new (d->Pool()) NotationMark(1, 2, 0));
  EXPECT_EQ(QsSaveDocumentBinary(doc_, kept.c_str()), 0);
  EXPECT_EQ(ReadAll(kept), "old");
  EXPECT_EQ(FilesIn(), 1);
  ASSERT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(sink_.messages()[0].text, "Internal Error 8");
  std::filesystem::remove(kept);

#ifndef _WIN32
  // A disk that fills up: writes fall short; the old file stays whole.
  std::string file = Path("full.qsb");
  std::ofstream(file, std::ios::binary) << "old";
  // A document larger than the limit.
  std::string big = "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>" + std::string(40000, 'x') + "</d>";
  QsHandle large = QsOpenDocumentText(big.c_str(), Path("big.sgm").c_str(), nullptr, 0, nullptr, 0);
  ASSERT_NE(large, 0u);
  struct rlimit was;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = was;
  small.rlim_cur = 10000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::int32_t result = QsSaveDocumentBinary(large, file.c_str());
  setrlimit(RLIMIT_FSIZE, &was);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadAll(file), "old");
  EXPECT_EQ(FilesIn(), 1) << "no scratch file left";
#endif
}

// The entity procedure sees every external entity by handle and name and
// may rewrite its identifiers.
struct Rewrites {
  std::vector<std::string> seen;
  static std::intptr_t Proc(QsHandle entity, const char* name, char* systemId, char* publicId,
                            QsWord user) {
    auto* self = reinterpret_cast<Rewrites*>(user);
    const char* byHandle = QsGetEntityValueA(entity);
    self->seen.push_back(std::string(name) + "=" + (byHandle ? byHandle : "?") + ":" + systemId +
                         ":" + publicId);
    if (std::strcmp(name, "ext") != 0) return 0;
    std::strcpy(systemId, "http#//server/chapter1.sgm");
    std::strcpy(publicId, "-//Corvina//TEXT Chapter 1//EN");
    return 1;
  }
};

TEST_F(CompiledExports, MemorySaveGivesPositionsAndRewritesIdentifiers) {
  // One user value serves both procedures: the write procedure's context
  // and the entity procedure's last argument.
  struct Host {
    HostBytes out;
    Rewrites rewrites;
    static std::intptr_t Write(std::intptr_t context, std::intptr_t offset, std::intptr_t data,
                               std::intptr_t length) {
      auto* host = reinterpret_cast<Host*>(context);
      return HostBytes::Write(reinterpret_cast<std::intptr_t>(&host->out), offset, data, length);
    }
    static std::intptr_t Entity(QsHandle entity, const char* name, char* systemId,
                                char* publicId, QsWord user) {
      auto* host = reinterpret_cast<Host*>(user);
      return Rewrites::Proc(entity, name, systemId, publicId,
                            reinterpret_cast<QsWord>(&host->rewrites));
    }
  } host;
  HostBytes& out = host.out;
  Rewrites& rewrites = host.rewrites;
  std::int32_t positions[9] = {};
  ASSERT_EQ(QsSaveDocumentBinaryMem(doc_, reinterpret_cast<QsWord>(&host), positions,
                                    reinterpret_cast<void*>(&Host::Write),
                                    reinterpret_cast<void*>(&Host::Entity)),
            1);
  EXPECT_GT(out.writes, 0);
  // Nine rising positions, the first just after the header strings.
  std::size_t headers = 6;
  for (int i = 0; i < 3; ++i) headers = out.bytes.find('\0', headers) + 1;
  EXPECT_EQ(std::size_t(positions[0]), headers);
  for (int i = 1; i < 9; ++i) EXPECT_GT(positions[i], positions[i - 1]) << i;
  EXPECT_LE(std::size_t(positions[8]), out.bytes.size());
  std::sort(rewrites.seen.begin(), rewrites.seen.end());
  EXPECT_EQ(rewrites.seen,
            (std::vector<std::string>{"ext=ext:chapter1.sgm:", "logo=logo:logo.gif:"}));

  // Loaded through the read procedure: the rewritten identifiers.
  QsHandle loaded = QsOpenBinaryDocumentMem(reinterpret_cast<void*>(&HostBytes::Read),
                                            reinterpret_cast<QsWord>(&out), 0, nullptr, nullptr);
  ASSERT_NE(loaded, 0u);
  EntityDecl* ext = DocumentOf(loaded)->FindEntity("ext");
  ASSERT_NE(ext, nullptr);
  EXPECT_STREQ(ext->GetExternalId()->SystemId(), "http#//server/chapter1.sgm");
  EXPECT_STREQ(ext->GetExternalId()->PublicId(), "-//CORVINA//TEXT CHAPTER 1//EN");
  EntityDecl* logo = DocumentOf(loaded)->FindEntity("logo");
  ASSERT_NE(logo, nullptr);
  EXPECT_STREQ(logo->GetExternalId()->SystemId(), "logo.gif");
  QsReleaseHandle(loaded);
}

TEST_F(CompiledExports, LoadsWithoutANameAreNewDocuments) {
  HostBytes bytes;
  ASSERT_EQ(QsSaveDocumentBinaryMem(doc_, reinterpret_cast<QsWord>(&bytes), nullptr,
                                    reinterpret_cast<void*>(&HostBytes::Write), nullptr),
            1);
  QsHandle a = QsOpenBinaryDocumentMem(reinterpret_cast<void*>(&HostBytes::Read),
                                       reinterpret_cast<QsWord>(&bytes), 0, nullptr, nullptr);
  QsHandle b = QsOpenBinaryDocumentMem(reinterpret_cast<void*>(&HostBytes::Read),
                                       reinterpret_cast<QsWord>(&bytes), 0, nullptr, nullptr);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  std::string na = DocumentOf(a)->Source()->SystemId();
  std::string nb = DocumentOf(b)->Source()->SystemId();
  ASSERT_EQ(na.rfind("QV-BIN:\\BIN", 0), 0u) << na;
  ASSERT_EQ(nb.rfind("QV-BIN:\\BIN", 0), 0u) << nb;
  long ia = std::stol(na.substr(11)), ib = std::stol(nb.substr(11));
  EXPECT_EQ(ib, ia + 1);
  EXPECT_EQ(nb.substr(nb.size() - 4), ".QSB");

  // A start position: the compiled data behind a prefix of the host's.
  HostBytes prefixed;
  prefixed.bytes = std::string(100, '#') + bytes.bytes;
  QsHandle c = QsOpenBinaryDocumentMem(reinterpret_cast<void*>(&HostBytes::Read),
                                       reinterpret_cast<QsWord>(&prefixed), 100, nullptr, nullptr);
  EXPECT_NE(c, 0u);
  EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(CompiledExports, NotACompiledFileIsRefusedAndNotCached) {
  DocumentCache* open = OpenDocuments();
  std::size_t before = open->Count();
  std::string text = Path("plain.qsb");
  std::ofstream(text, std::ios::binary) << "<!DOCTYPE d><d>not compiled</d>";
  EXPECT_EQ(QsOpenBinaryDocument(text.c_str(), 0, nullptr, nullptr), 0u);
  ASSERT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(sink_.messages()[0].text, "Not an QSB file");
  EXPECT_EQ(open->Count(), before);
  // A missing file: no document and nothing said.
  EXPECT_EQ(QsOpenBinaryDocument(Path("missing.qsb").c_str(), 0, nullptr, nullptr), 0u);
  EXPECT_EQ(sink_.messages().size(), 1u);
  EXPECT_EQ(open->Count(), before);
}

}  // namespace
}  // namespace qs
