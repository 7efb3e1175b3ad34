// The identifier exports and the handle exports over objects of the
// document model, called in-process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/exports.h"
#include "api/interface.h"
#include "api/wrappers.h"
#include "foundation/callbacks.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "sgml/entities.h"
#include "sgml/external_id.h"

namespace qs {
namespace {

class Exports : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    table_ = Handles();
    ASSERT_NE(table_, nullptr);
  }
  void TearDown() override { QsTerminate(); }

  // A document whose only use the handle holds.
  QsHandle OpenDocument(const char* systemId, const char* publicId) {
    auto* id = new ExternalId(nullptr, nullptr, nullptr, systemId, publicId,
                              ExternalId::kDoctype);
    auto* document = new Document(id);
    id->Release();
    QsHandle h = table_->RegisterDocument(document);
    document->Release();
    return h;
  }
  // A new entity handle on `entity` of the document behind `document`.
  QsHandle EntityHandle(QsHandle document, EntityDecl* entity) {
    auto* doc = static_cast<Document*>(table_->LookupDocument(document));
    return table_->RegisterEntity(EntityRef::OfDocument(doc, entity));
  }

  test::RecordingSink sink_;
  HandleTable* table_ = nullptr;
};

TEST_F(Exports, IdentifiersOfADocument) {
  QsHandle doc = OpenDocument("manual.sgm", "-//Test//DOC  Manual//EN");
  EXPECT_STREQ(QsGetPublicId(doc), "-//TEST//DOC MANUAL//EN");
  EXPECT_STREQ(QsGetSystemId(doc), "manual.sgm");
  EXPECT_EQ(QsGetHandleType(doc), 2u);  // HDOC
  QsHandle bare = OpenDocument(nullptr, nullptr);
  EXPECT_EQ(QsGetPublicId(bare), nullptr);
  EXPECT_EQ(QsGetSystemId(bare), nullptr);
  for (QsHandle bad : {0u, 1u, bare + 1}) {
    EXPECT_EQ(QsGetPublicId(bad), nullptr);
    EXPECT_EQ(QsGetSystemId(bad), nullptr);
  }
  EXPECT_EQ(QsReleaseHandle(doc), 0u);
  EXPECT_EQ(QsGetPublicId(doc), nullptr);  // released: found no more
  EXPECT_EQ(QsReleaseHandle(bare), 0u);
}

TEST_F(Exports, EntitiesAndNotations) {
  QsHandle doc = OpenDocument("manual.sgm", nullptr);
  auto* graphicId = new ExternalId(nullptr, nullptr, "fig1", "fig1.gif", "-//Test//NOTATION GIF//EN",
                                   ExternalId::kGeneralEntity);
  auto* notation = new NotationDecl("GIF");
  notation->SetPublicId("-//Test//NOTATION gif//EN");
  auto* graphic = new ExternalEntityDecl("fig1", graphicId, 0, notation);
  auto* text = new TextEntityDecl("version", 0, "3.0");

  // Every request gives a new entity handle, also for the same entity.
  QsHandle e1 = EntityHandle(doc, graphic);
  QsHandle e2 = EntityHandle(doc, graphic);
  QsHandle t = EntityHandle(doc, text);
  EXPECT_NE(e1, e2);
  EXPECT_EQ(QsGetHandleType(e1), 8u);  // HENT
  EXPECT_STREQ(QsGetSystemId(e1), "fig1.gif");
  EXPECT_EQ(QsGetSystemId(t), nullptr);  // an internal entity gives no identifier

  QsHandle n = table_->RegisterNotation(notation);
  EXPECT_EQ(QsGetHandleType(n), 9u);  // HNOT
  EXPECT_STREQ(QsGetPublicId(n), "-//TEST//NOTATION GIF//EN");
  EXPECT_EQ(QsGetSystemId(n), nullptr);  // never given

  const struct {
    QsHandle a, b;
    std::int32_t same;
  } cases[] = {
      {doc, doc, 1}, {e1, e1, 1}, {e1, e2, 1}, {e1, t, 0},
      {doc, e1, 0},  // different types
      {n, n, 1},     {doc, 0, 0}, {0, doc, 0}, {12345, 12345, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QsIsSameObject(c.a, c.b), c.same) << c.a << " " << c.b;
  }

  // The wrappers keep what they point into: the document lives on while an
  // entity handle holds it, and the entity while its handle does.
  graphic->Release();
  text->Release();
  notation->Release();
  EXPECT_EQ(QsReleaseHandle(doc), 0u);
  EXPECT_STREQ(QsGetSystemId(e2), "fig1.gif");
  for (QsHandle h : {e1, e2, t, n}) EXPECT_EQ(QsReleaseHandle(h), 0u);
}

TEST_F(Exports, FileNameOfAHandle) {
  QsHandle doc = OpenDocument("manual.sgm", nullptr);
  QsHandle bare = OpenDocument(nullptr, nullptr);
  char buffer[300];
  ASSERT_EQ(QsGetFileName(doc, buffer, sizeof buffer), buffer);
  std::string path(buffer);
  ASSERT_GE(path.size(), 10u);
  EXPECT_EQ(path.substr(path.size() - 10), "manual.sgm");  // resolved in the base folder
  // The buffer rule: size - 1 bytes and a terminator; size 1 only the terminator.
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(QsGetFileName(doc, buffer, 5), buffer);
  EXPECT_EQ(std::string(buffer), path.substr(0, 4));
  std::memset(buffer, 'x', sizeof buffer);
  ASSERT_EQ(QsGetFileName(doc, buffer, 1), buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');
  EXPECT_EQ(QsGetFileName(doc, buffer, 0), nullptr);
  EXPECT_EQ(QsGetFileName(doc, nullptr, 10), nullptr);
  EXPECT_EQ(QsGetFileName(bare, buffer, sizeof buffer), nullptr);  // no identifier
  EXPECT_EQ(QsGetFileName(0, buffer, sizeof buffer), nullptr);
  QsReleaseHandle(doc);
  QsReleaseHandle(bare);
}

TEST_F(Exports, UseCountsThroughTheInterface) {
  QsHandle doc = OpenDocument("a.sgm", nullptr);
  EXPECT_EQ(QsAddRefHandle(doc), 2u);
  EXPECT_EQ(QsGetHandleRefCount(doc), 2u);
  EXPECT_EQ(QsReleaseHandle(doc), 1u);
  EXPECT_EQ(QsReleaseHandle(doc), 0u);
  EXPECT_EQ(QsReleaseHandle(doc), 65535u);
  EXPECT_EQ(QsGetHandleRefCount(doc), 0u);
  EXPECT_EQ(QsGetHandleType(doc), 0u);
}

// The engine's error report reaches the host as event 16.
std::intptr_t RecordError(WindowHandle, int, std::intptr_t code, std::intptr_t record,
                          std::intptr_t data) {
  auto* seen = reinterpret_cast<std::vector<std::intptr_t>*>(data);
  seen->push_back(code);
  seen->push_back(reinterpret_cast<const ErrorEventRecord*>(record)->args[0]);
  return 1;  // reported by the host: no box
}

TEST_F(Exports, TypeClashRaisesEvent16WithInternalError16) {
  std::vector<std::intptr_t> seen;
  QsSetCallback(0, kEventError, &RecordError, reinterpret_cast<QsWord>(&seen));
  QsHandle doc = OpenDocument("a.sgm", nullptr);
  void* document = table_->LookupDocument(doc);
  EXPECT_EQ(table_->RegisterStyleSheet(document), doc);  // the old record, one more use
  EXPECT_EQ(seen, (std::vector<std::intptr_t>{0, 16}));  // "Internal Error %d" with 16
  EXPECT_EQ(QsGetHandleType(doc), 2u);
  EXPECT_EQ(QsGetHandleRefCount(doc), 2u);
  EXPECT_TRUE(sink_.messages().empty());
  QsReleaseHandle(doc);
  QsReleaseHandle(doc);
}

TEST(ExportsWithoutEngine, GiveTheirFailureResults) {
  EXPECT_EQ(QsReleaseHandle(2), 65535u);
  EXPECT_EQ(QsGetPublicId(2), nullptr);
  EXPECT_EQ(QsIsSameObject(2, 2), 0);
  EXPECT_EQ(QsSetCharset(3), 0);
  QsDeleteTempFiles(nullptr);
  QsTerminate();
}

}  // namespace
}  // namespace qs
