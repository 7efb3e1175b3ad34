// Notations and entities a host makes through the library, read back
// through the entity and notation exports; node exports on handles that
// name no node.
#include <string>
#include <vector>

#include "engine_dll.h"

namespace qs::test {
namespace {

class EntityExports : public EngineDll {
 protected:
  void SetUp() override {
    EngineDll::SetUp();
    if (HasFatalFailure()) return;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    ASSERT_NE(QS_BIND(QsInitialize)(reinterpret_cast<QsWord>(GetModuleHandleA(nullptr)),
                                    "Api Test", nullptr, nullptr, nullptr, temp, nullptr),
              0);
    started_ = true;
  }
  void TearDown() override {
    if (started_) QS_BIND(QsTerminate)();
    EngineDll::TearDown();
  }
  static std::string Text(const char* s) { return s ? s : "(null)"; }
  bool started_ = false;
};

TEST_F(EntityExports, NotationWithDeclaredValuesAndDefaults) {
  const char* names[] = {"WIDTH", "ALIGN", "SCALE", "FILE", "KIND", nullptr};
  std::int32_t codes[] = {2, 1, 13, 3, 99};
  QsWord defaults[] = {reinterpret_cast<QsWord>("100"), 0, 1, 2, 3};
  QsHandle gif = QS_BIND(QsCreateNotation)("GIF", "gifview.exe", "-//Test//NOTATION  gif//EN",
                                           names, codes, defaults);
  ASSERT_NE(gif, 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(gif), 9u);  // HNOT
  EXPECT_EQ(Text(QS_BIND(QsGetNotationName)(gif)), "GIF");
  ASSERT_EQ(QS_BIND(QsGetNotationAttrCount)(gif), 5);
  EXPECT_EQ(Text(QS_BIND(QsGetNotationAttrName)(gif, 1)), "ALIGN");
  EXPECT_EQ(QS_BIND(QsGetNotationAttrName)(gif, 5), nullptr);
  struct {
    const char* name;
    int code;
    const char* def;
  } cases[] = {{"WIDTH", 2, "100"},      {"ALIGN", 1, "IMPLIED"}, {"SCALE", 13, "REQUIRED"},
               {"FILE", 3, "CONREF"},    {"KIND", 0, "CURRENT"},  {"MISSING", 0, "(null)"}};
  for (const auto& c : cases) {
    EXPECT_EQ(QS_BIND(QsGetNotationAttrDeclaredValue)(gif, c.name), c.code) << c.name;
    EXPECT_EQ(Text(QS_BIND(QsGetNotationAttrDefaultText)(gif, c.name)), c.def) << c.name;
  }
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(gif), 0u);
  EXPECT_EQ(QS_BIND(QsGetNotationName)(gif), nullptr);
}

TEST_F(EntityExports, NotationKeepsAHundredAttributes) {
  std::vector<std::string> names;
  for (int i = 0; i < 120; ++i) names.push_back("A" + std::to_string(i));
  names.push_back(std::string(150, 'L'));  // past the hundred: never read
  std::vector<const char*> pointers;
  for (const std::string& n : names) pointers.push_back(n.c_str());
  pointers.push_back(nullptr);
  std::vector<std::int32_t> codes(121, 2);
  std::vector<QsWord> defaults(121, 0);
  QsHandle n = QS_BIND(QsCreateNotation)("MANY", nullptr, nullptr, pointers.data(), codes.data(),
                                         defaults.data());
  ASSERT_NE(n, 0u);
  EXPECT_EQ(QS_BIND(QsGetNotationAttrCount)(n), 100);
  EXPECT_EQ(Text(QS_BIND(QsGetNotationAttrName)(n, 99)), "A99");
  EXPECT_EQ(QS_BIND(QsGetNotationAttrDeclaredValue)(n, "A100"), 0);

  // A name past 99 characters is cut.
  std::string longName(150, 'N');
  const char* one[] = {longName.c_str(), nullptr};
  QsHandle cut = QS_BIND(QsCreateNotation)("CUT", nullptr, nullptr, one, nullptr, nullptr);
  EXPECT_EQ(Text(QS_BIND(QsGetNotationAttrName)(cut, 0)), std::string(99, 'N'));
  QS_BIND(QsReleaseHandle)(n);
  QS_BIND(QsReleaseHandle)(cut);
}

TEST_F(EntityExports, CreatedEntityWithDataAttributes) {
  const char* names[] = {"WIDTH", "HEIGHT", nullptr};
  std::int32_t codes[] = {13, 13};
  QsWord defaults[] = {reinterpret_cast<QsWord>("10"), reinterpret_cast<QsWord>("20")};
  QsHandle gif = QS_BIND(QsCreateNotation)("GIF", nullptr, nullptr, names, codes, defaults);

  const char* given[] = {"width", nullptr};
  const char* values[] = {"640"};
  QsHandle fig = QS_BIND(QsCreateEntity)("fig1", "fig1.gif", nullptr, gif, given, values);
  ASSERT_NE(fig, 0u);
  // The entity lives on in its handle after the notation's handle went.
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(gif), 0u);
  EXPECT_EQ(QS_BIND(QsGetHandleType)(fig), 8u);  // HENT
  EXPECT_EQ(Text(QS_BIND(QsGetEntityValueA)(fig)), "fig1");
  EXPECT_EQ(QS_BIND(QsGetEntityValueB)(fig), 13);
  EXPECT_EQ(QS_BIND(QsGetEntityValueC)(fig), nullptr);
  EXPECT_EQ(QS_BIND(QsGetEntityAttrCount)(fig), 2);
  EXPECT_EQ(Text(QS_BIND(QsGetEntityAttrName)(fig, 1)), "HEIGHT");
  EXPECT_EQ(QS_BIND(QsGetEntityAttrDeclaredValue)(fig, "HEIGHT"), 13);
  EXPECT_EQ(Text(QS_BIND(QsGetEntityAttrDefaultText)(fig, "HEIGHT")), "20");
  EXPECT_EQ(Text(QS_BIND(QsGetEntityAttrValue)(fig, "WIDTH")), "640");
  EXPECT_EQ(Text(QS_BIND(QsGetEntityAttrValue)(fig, "Height")), "20");
  EXPECT_EQ(QS_BIND(QsGetEntityAttrValue)(fig, "DEPTH"), nullptr);
  QsHandle again = QS_BIND(QsGetEntityNotation)(fig);
  EXPECT_EQ(Text(QS_BIND(QsGetNotationName)(again)), "GIF");
  EXPECT_EQ(Text(QS_BIND(QsGetSystemId)(fig)), "fig1.gif");
  QS_BIND(QsReleaseHandle)(again);
  EXPECT_EQ(QS_BIND(QsReleaseHandle)(fig), 0u);

  // Without a notation: an external entity without a data kind.
  QsHandle plain = QS_BIND(QsCreateEntity)("chap", "chap.sgm", nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(QS_BIND(QsGetEntityValueB)(plain), 9);
  EXPECT_EQ(QS_BIND(QsGetEntityNotation)(plain), 0u);
  EXPECT_EQ(QS_BIND(QsGetEntityAttrCount)(plain), 0);
  QS_BIND(QsReleaseHandle)(plain);
}

TEST_F(EntityExports, CreateEntityRefusals) {
  const char* names[] = {"WIDTH", nullptr};
  QsHandle gif = QS_BIND(QsCreateNotation)("GIF", nullptr, nullptr, names, nullptr, nullptr);
  const char* undeclared[] = {"DEPTH", nullptr};
  const char* values[] = {"1"};
  EXPECT_EQ(QS_BIND(QsCreateEntity)("fig", "f.gif", nullptr, gif, undeclared, values), 0u);
  EXPECT_EQ(QS_BIND(QsCreateEntity)("fig", "f.gif", nullptr, gif + 1000, nullptr, nullptr), 0u);
  EXPECT_EQ(QS_BIND(QsCreateEntity)(nullptr, "f.gif", nullptr, 0, nullptr, nullptr), 0u);
  QS_BIND(QsReleaseHandle)(gif);
}

TEST_F(EntityExports, HandlesThatNameNoObject) {
  for (QsHandle bad : {0u, 1u, 12345u}) {
    EXPECT_EQ(QS_BIND(QsGetDocEntity)(bad, "x"), 0u);
    EXPECT_EQ(QS_BIND(QsGetDtdEntity)(bad, "x"), 0u);
    EXPECT_EQ(QS_BIND(QsGetDtdEntity2)(bad, "x"), 0u);
    EXPECT_EQ(QS_BIND(QsGetDtdNotation)(bad, "x"), 0u);
    EXPECT_EQ(QS_BIND(QsGetEntityValueA)(bad), nullptr);
    EXPECT_EQ(QS_BIND(QsEnumDocEntityHandles)(bad, nullptr, 0), 0);
    EXPECT_EQ(QS_BIND(QsGetDocumentRoot)(bad), 0u);
    EXPECT_EQ(QS_BIND(QsGetElementName)(bad), nullptr);
    EXPECT_EQ(QS_BIND(QsCompareNodes)(bad, bad), 7);
    char buffer[4] = "abc";
    EXPECT_EQ(QS_BIND(QsGetText)(bad, 0, buffer, 4), 0);
    EXPECT_STREQ(buffer, "abc");
  }
}

}  // namespace
}  // namespace qs::test
