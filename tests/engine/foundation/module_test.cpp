#include "foundation/module.h"

#include <gtest/gtest.h>

#include <string>

namespace qs {
namespace {

TEST(AboutCaption, FromTheVersionResource) {
  const struct {
    bool hasResource;
    const char* product;
    const char* version;
    const char* caption;
  } cases[] = {
      {true, "Corvina Document Engine", "3.0", "Corvina Document Engine ver 3.0"},
      {true, nullptr, "3.0", " ver 3.0"},  // no ProductName: the caption begins with " ver "
      {true, "Corvina Document Engine", nullptr, "Corvina Document Engine"},
      {true, nullptr, nullptr, ""},
      {false, "ignored", "ignored", "Quenda Scrivox"},
  };
  for (const auto& c : cases) {
    char caption[132];
    ComposeAboutCaption(caption, sizeof caption, c.hasResource, c.product, c.version);
    EXPECT_STREQ(caption, c.caption);
  }
}

TEST(AboutCaption, IsCutToItsBuffer) {
  std::string product(200, 'p');
  char caption[132];
  EXPECT_LE(ComposeAboutCaption(caption, sizeof caption, true, product.c_str(), "1.0"), 131u);
  EXPECT_EQ(std::string(caption), product.substr(0, 131));
}

}  // namespace
}  // namespace qs
