#include "style/frame.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "api/exports.h"
#include "doc_builder.h"
#include "error_recorder.h"
#include "recording_sink.h"
#include "sgml/dtd.h"
#include "style/style_sheet.h"

namespace qs {
namespace {

TEST(ItemPool, SizesRoundUpToFour) {
  Pool pool;
  ASSERT_NE(pool.AllocAligned(5), nullptr);
  EXPECT_EQ(pool.Taken(), 8u);
  ASSERT_NE(pool.AllocAligned(8), nullptr);
  EXPECT_EQ(pool.Taken(), 16u);
  pool.FreeAll();
  EXPECT_EQ(pool.Taken(), 0u);
}

TEST(RefObjects, ReleaseAtOneDeletes) {
  static int destroyed = 0;
  struct Counted : RefObject {
    ~Counted() override { ++destroyed; }
  };
  auto* object = new Counted;
  object->AddRef();
  object->Release();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(object->UseCount(), 1);
  object->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(FrameContexts, ANinthPushIsRefusedAndItsPopDoesNothing) {
  test::ErrorRecorder errors;
  FrameTreeNode frames[9] = {{nullptr, nullptr, 0}, {nullptr, nullptr, 0}, {nullptr, nullptr, 0},
                             {nullptr, nullptr, 0}, {nullptr, nullptr, 0}, {nullptr, nullptr, 0},
                             {nullptr, nullptr, 0}, {nullptr, nullptr, 0}, {nullptr, nullptr, 0}};
  FrameTreeNode* before = CurrentBuildFrame();
  for (int i = 0; i < 8; ++i) PushFrameContext(&frames[i]);
  EXPECT_TRUE(errors.errors.empty());
  PushFrameContext(&frames[8]);
  EXPECT_EQ(errors.errors, std::vector<int>{0});
  EXPECT_EQ(errors.arguments, std::vector<std::intptr_t>{18});
  EXPECT_EQ(CurrentBuildFrame(), &frames[7]);
  EXPECT_EQ(FrameContextDepth(), 8);
  PopFrameContext();  // the refused one's
  EXPECT_EQ(CurrentBuildFrame(), &frames[7]);
  for (int i = 7; i >= 0; --i) {
    EXPECT_EQ(CurrentBuildFrame(), &frames[i]);
    PopFrameContext();
  }
  EXPECT_EQ(CurrentBuildFrame(), before);
  EXPECT_EQ(FrameContextDepth(), 0);
}

class Frames : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  }
  void TearDown() override { QsTerminate(); }
  test::RecordingSink sink_;
};

class CountingFrame : public FrameNode {
 public:
  CountingFrame(Document* d, StyleSheet* s, int kind) : FrameNode(d, s, 0, nullptr), kind_(kind) {}
  int GetKind() const override { return kind_; }
  void Clear(bool flag) override {
    ++clears;
    FrameNode::Clear(flag);
  }
  void Rebuild() override {
    ++rebuilds;
    FrameNode::Rebuild();
  }
  int clears = 0, rebuilds = 0;

 private:
  int kind_;
};

TEST_F(Frames, FindByRange) {
  test::DocBuilder b;
  b.Build("<R>abc<S>defg</S>hi</R>");
  auto* frame = new FrameNode(b.Doc(), nullptr, 0, nullptr);
  DocumentNode* s = b.Doc()->Root()->First();
  PushFrameContext(frame);
  auto* inner = new FrameTreeNode(frame, s, 0);
  PopFrameContext();
  EXPECT_EQ(frame->FirstChildFrame(), inner);
  EXPECT_EQ(inner->GetFrame(), frame);
  EXPECT_EQ(frame->FindByRange(-5, 9), frame);
  EXPECT_EQ(frame->FindByRange(0, 9), frame);
  EXPECT_EQ(frame->FindByRange(3, 7), inner);
  EXPECT_EQ(frame->FindByRange(4, 6), inner);
  EXPECT_EQ(frame->FindByRange(3, 100), frame);  // the end is cut to the root's
  EXPECT_EQ(frame->FindByRange(9, 9), nullptr);
  EXPECT_EQ(frame->FindByPosition(s), inner);
  EXPECT_EQ(FrameNode::FindDocumentRange(b.Doc(), 3, 4), inner);
  frame->Release();
}

TEST_F(Frames, ReapplyingASheetSkipsPrintFrames) {
  test::DocBuilder b;
  b.Build("<R><TITLE>t</TITLE></R>");
  StyleSheet sheetA(static_cast<ExternalId*>(nullptr)), sheetB(static_cast<ExternalId*>(nullptr));
  sheetA.AddUse();  // held elsewhere: the frames' uses must not free it
  sheetB.AddUse();
  StyleRule* title = sheetA.AddRule(new StyleRule("TITLE", 0));
  auto* screenA = new CountingFrame(b.Doc(), &sheetA, 2);
  auto* printA = new CountingFrame(b.Doc(), &sheetA, 4);
  auto* screenB = new CountingFrame(b.Doc(), &sheetB, 3);
  EXPECT_EQ(sheetA.UseCount(), 3);
  FrameNode::ReapplyStyleSheet(&sheetA);
  EXPECT_EQ(screenA->rebuilds, 1);
  EXPECT_EQ(printA->rebuilds, 0);
  EXPECT_EQ(screenB->rebuilds, 0);
  // The sheet's entry is cached on the document's element type.
  ElementTypeDecl* decl = b.Doc()->Root()->First()->Decl();
  EXPECT_EQ(decl->styleEntry, reinterpret_cast<std::intptr_t>(sheetA.FindTag("TITLE")));
  title->counter = 5;
  FrameNode::ReapplyStyleSheet(nullptr);
  EXPECT_EQ(title->counter, 0);  // counters start again
  EXPECT_EQ(screenA->rebuilds, 2);
  EXPECT_EQ(screenB->rebuilds, 1);
  EXPECT_EQ(printA->rebuilds, 0);
  EXPECT_EQ(printA->clears, 0);
  test::DocBuilder other;
  other.Build("<X>y</X>");
  auto* elsewhere = new CountingFrame(other.Doc(), &sheetB, 2);
  FrameNode::ReapplyDocumentType(&b.GetDtd());
  EXPECT_EQ(screenA->rebuilds, 3);
  EXPECT_EQ(screenB->rebuilds, 2);
  EXPECT_EQ(elsewhere->rebuilds, 0);
  for (FrameNode* f : {static_cast<FrameNode*>(screenA), static_cast<FrameNode*>(printA),
                       static_cast<FrameNode*>(screenB), static_cast<FrameNode*>(elsewhere)})
    f->Release();
  EXPECT_EQ(sheetA.UseCount(), 1);
  EXPECT_EQ(sheetB.UseCount(), 1);
  sheetA.ClearRules();
}

TEST_F(Frames, AFrameGoingWhileShownLetsItsViewGo) {
  struct View : FrameView {
    FrameTreeNode* shown = nullptr;
    bool detached = false;
    FrameTreeNode* ShownFrame() const override { return shown; }
    void DetachFrame() override {
      detached = true;
      shown = nullptr;
    }
  } view, other;
  test::DocBuilder b;
  b.Build("<R>x</R>");
  auto* frame = new FrameNode(b.Doc(), nullptr, 0, nullptr);
  view.shown = frame;
  FrameViews().Append(&view);
  FrameViews().Append(&other);
  test::ErrorRecorder errors;
  frame->Release();
  EXPECT_EQ(errors.errors, std::vector<int>{kErrUnclosedPage});
  EXPECT_TRUE(view.detached);
  EXPECT_EQ(view.Owner(), nullptr);
  EXPECT_FALSE(other.detached);
  other.Remove();
}

}  // namespace
}  // namespace qs
