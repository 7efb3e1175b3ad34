// Documents parsed against a registered document type, and merging a
// separately parsed part into a parsed document.
#include <gtest/gtest.h>

#include <string>

#include "instance_support.h"
#include "sgml/document_cache.h"

namespace qs::test {
namespace {

TEST(DerivedDocument, EntitiesFallBackToTheDocumentType) {
  EngineScope scope;
  DerivedParse p(
      "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)><!ENTITY shared \"from type\">]><d>x</d>",
      "<d>&shared;</d>");
  ASSERT_FALSE(p.declaring.parser->Stopped());
  EXPECT_EQ(p.messages, "");
  EXPECT_EQ(DocumentText(*p.derived), "from type");
  EXPECT_EQ(p.derived->DoctypeId(), p.type->DoctypeId());
  int seen = 0;
  for (EntityDecl* e = p.derived->FirstEntity(); e; e = p.derived->NextEntity()) ++seen;
  EXPECT_EQ(seen, 1);
}

TEST(MergePart, ParsedPartSplicesIntoTheTree) {
  EngineScope scope;
  const char kDtd[] = "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA|s)*><!ELEMENT s - - (#PCDATA)>]>";
  ParsedText target(std::string(kDtd) + "<d>ab<s>cd</s>ef<?pi x></d>");
  ParsedText part(std::string(kDtd) + "<s>XY</s>");
  ASSERT_FALSE(target.parser->Stopped());
  ASSERT_FALSE(part.parser->Stopped());
  DocumentNode* s = target.document->Root()->First();
  ASSERT_TRUE(target.document->MergePart(s, *part.document));
  EXPECT_EQ(Tree(*target.document), "D[0,12](S[2,6](S[4,6]))");
  EXPECT_EQ(DocumentText(*target.document).substr(0, 12), "abcdXYefpi x");
}

}  // namespace
}  // namespace qs::test
