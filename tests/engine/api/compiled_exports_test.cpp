// Compiled documents through the library as a host uses them: saving to a
// file and into the host's procedure, loading from a file and through a
// read procedure, and a file that is not compiled.
#include <cstring>
#include <string>
#include <vector>

#include "engine_dll.h"

namespace qs::test {
namespace {

// Engine errors the host is told about (event 16), answered so that no box
// comes up.
struct Errors {
  std::vector<QsWord> codes;
  static std::intptr_t Proc(QsWindow, std::int32_t, QsWord a, QsWord, QsWord data) {
    reinterpret_cast<Errors*>(data)->codes.push_back(a);
    return 1;
  }
};

struct HostBytes {
  std::string bytes;
  static std::intptr_t Write(std::intptr_t context, std::intptr_t offset, std::intptr_t data,
                             std::intptr_t length) {
    auto* self = reinterpret_cast<HostBytes*>(context);
    if (std::size_t(offset) != self->bytes.size()) return 0;
    self->bytes.append(reinterpret_cast<const char*>(data), std::size_t(length));
    return length;
  }
  static std::intptr_t Read(std::intptr_t context, std::intptr_t offset, std::intptr_t buffer,
                            std::intptr_t length) {
    auto* self = reinterpret_cast<HostBytes*>(context);
    if (offset < 0 || std::size_t(offset) >= self->bytes.size()) return 0;
    std::size_t n = self->bytes.size() - std::size_t(offset);
    if (n > std::size_t(length)) n = std::size_t(length);
    std::memcpy(reinterpret_cast<void*>(buffer), self->bytes.data() + offset, n);
    return std::intptr_t(n);
  }
};

// Rewrites the system identifier of the entity "ext".
std::intptr_t RewriteExt(QsHandle, const char* name, char* systemId, char*, QsWord) {
  if (std::strcmp(name, "ext") != 0) return 0;
  std::strcpy(systemId, "moved\\chapter1.sgm");
  return 1;
}

class CompiledThroughDll : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    dir_ = MakeTempFolder("qsqsb");
    QS_BIND(QsSetCallback)(0, 16, &Errors::Proc, reinterpret_cast<QsWord>(&errors_));
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)), "Qsb",
                                    nullptr, nullptr, nullptr, dir_.c_str(), nullptr),
              0);
    doc_ = QS_BIND(QsOpenDocumentText)(
        "<!DOCTYPE m [<!ELEMENT m - - (p+)><!ELEMENT p - - (#PCDATA)>"
        "<!ATTLIST p id ID #IMPLIED><!ENTITY ext SYSTEM \"chapter1.sgm\">]>"
        "<m><p id=a>One</p><p id=b>Two</p></m>",
        (dir_ + "\\m.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
  }
  void TearDown() override {
    QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  Errors errors_;
  QsHandle doc_ = 0;
};

TEST_F(CompiledThroughDll, FilesSaveWholeAndOpenOncePerName) {
  std::string missing = dir_ + "\\no-such-folder\\m.qsb";
  EXPECT_EQ(QS_BIND(QsSaveDocumentBinary)(doc_, missing.c_str()), 0);
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);

  std::string file = Path("m.qsb");
  ASSERT_EQ(QS_BIND(QsSaveDocumentBinary)(doc_, file.c_str()), 1);
  std::string source = dir_ + "\\m2.sgm";
  QsHandle a = QS_BIND(QsOpenBinaryDocument)(file.c_str(), 0, source.c_str(), nullptr);
  QsHandle b = QS_BIND(QsOpenBinaryDocument)(file.c_str(), 0, source.c_str(), nullptr);
  ASSERT_NE(a, 0u);
  EXPECT_EQ(a, b);
  QsHandle p = QS_BIND(QsGetElementById)(a, "B");
  EXPECT_NE(p, 0u);
  QS_BIND(QsReleaseHandle)(p);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(a), 1u);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(a), 0u);

  // Not a compiled file: error 24, no document.
  std::string plain = Path("plain.qsb");
  FILE* f = std::fopen(plain.c_str(), "wb");
  std::fputs("<m><p>not compiled</p></m>", f);
  std::fclose(f);
  EXPECT_EQ(QS_BIND(QsOpenBinaryDocument)(plain.c_str(), 0, nullptr, nullptr), 0u);
  EXPECT_EQ(errors_.codes, (std::vector<QsWord>{24}));
}

TEST_F(CompiledThroughDll, MemorySaveAndLoadThroughProcedures) {
  HostBytes out;
  std::int32_t positions[9] = {};
  ASSERT_EQ(QS_BIND(QsSaveDocumentBinaryMem)(doc_, reinterpret_cast<QsWord>(&out), positions,
                                             reinterpret_cast<void*>(&HostBytes::Write),
                                             reinterpret_cast<void*>(&RewriteExt)),
            1);
  std::size_t headers = 6;
  for (int i = 0; i < 3; ++i) headers = out.bytes.find('\0', headers) + 1;
  EXPECT_EQ(std::size_t(positions[0]), headers);
  for (int i = 1; i < 9; ++i) EXPECT_GT(positions[i], positions[i - 1]) << i;
  EXPECT_NE(out.bytes.find("moved\\chapter1.sgm"), std::string::npos);

  QsHandle a = QS_BIND(QsOpenBinaryDocumentMem)(reinterpret_cast<void*>(&HostBytes::Read),
                                                reinterpret_cast<QsWord>(&out), 0, nullptr,
                                                nullptr);
  QsHandle b = QS_BIND(QsOpenBinaryDocumentMem)(reinterpret_cast<void*>(&HostBytes::Read),
                                                reinterpret_cast<QsWord>(&out), 0, nullptr,
                                                nullptr);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  // Consecutive generated names.
  std::string nameA = QS_BIND(QsGetSystemId)(a), nameB = QS_BIND(QsGetSystemId)(b);
  ASSERT_EQ(nameA.rfind("QV-BIN:\\BIN", 0), 0u) << nameA;
  ASSERT_EQ(nameB.rfind("QV-BIN:\\BIN", 0), 0u) << nameB;
  EXPECT_EQ(std::stol(nameB.substr(11)), std::stol(nameA.substr(11)) + 1);
  QsHandle ext = QS_BIND(QsGetDocEntity)(a, "ext");
  ASSERT_NE(ext, 0u);
  const char* system = QS_BIND(QsGetSystemId)(ext);
  EXPECT_STREQ(system ? system : "", "moved\\chapter1.sgm");
  QS_BIND(QsReleaseHandle)(ext);
  EXPECT_TRUE(errors_.codes.empty());
}

}  // namespace
}  // namespace qs::test
