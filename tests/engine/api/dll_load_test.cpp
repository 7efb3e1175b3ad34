// Loads QSENGINE.DLL the way a host does and binds exports by name.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

class EngineDll : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("QSENGINE.DLL");
    ASSERT_NE(module_, nullptr) << "LoadLibraryA failed: " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(EngineDll, CompatibilityTextAndVersion) {
  using TextFn = const char* (*)();
  auto cmptl = reinterpret_cast<TextFn>(GetProcAddress(module_, "_QsGetCmptlNo@0"));
  ASSERT_NE(cmptl, nullptr);
  EXPECT_STREQ(cmptl(), "980701");
  auto version = reinterpret_cast<TextFn>(GetProcAddress(module_, "_QsGetTextVersion@0"));
  ASSERT_NE(version, nullptr);
  EXPECT_NE(std::strstr(version(), "QSENGINE"), nullptr);
  // Exported only under the decorated names.
  EXPECT_EQ(GetProcAddress(module_, "QsGetCmptlNo"), nullptr);
}

}  // namespace
