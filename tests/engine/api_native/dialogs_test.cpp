// The engine's dialog models on a window of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../foundation/temp_folder.h"
#include "api/dialogs.h"
#include "api/exports.h"
#include "api/interface.h"
#include "error_recorder.h"
#include "fake_dialog_window.h"
#include "foundation/engine.h"
#include "layout/print_state.h"
#include "recording_sink.h"
#include "sgml/document.h"
#include "style/style_sheet.h"

namespace qs {
namespace {

using test::FakeDialogWindow;

std::string Repeat(const char* piece, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += piece;
  return s;
}

TEST(DialogText, WholeCharactersWithinTheBytesAndTheCount) {
  const struct {
    std::string text;
    std::size_t capacity, characters;
    std::string expected;
    std::size_t count;
  } cases[] = {
      {Repeat("\xC3\xA9", 150), 101, 100, Repeat("\xC3\xA9", 50), 50},
      {"a" + Repeat("\xC3\xA9", 150), 101, 100, "a" + Repeat("\xC3\xA9", 49), 50},
      {std::string(150, 'x'), 101, 100, std::string(100, 'x'), 100},
      {std::string(150, 'x'), 301, 100, std::string(100, 'x'), 100},
      {Repeat("\xE4\xB8\xAD", 10), 8, 100, Repeat("\xE4\xB8\xAD", 2), 2},
      {"\xF0\x9F\x98\x80z", 4, 100, "", 0},
      {"", 101, 100, "", 0},
      {"abc", 1, 100, "", 0},
  };
  for (const auto& c : cases) {
    std::vector<char> out(c.capacity + 8, '#');
    EXPECT_EQ(CopyWholeCharacters(out.data(), c.capacity, c.text.c_str(), c.characters), c.count);
    EXPECT_EQ(std::string(out.data()), c.expected);
    for (std::size_t i = c.capacity; i < out.size(); ++i) ASSERT_EQ(out[i], '#');
  }
}

TEST(DialogText, TemplateNamesByKind) {
  const char* names[] = {"DlgInput", "DlgList", "DlgNote", "DlgLink", "DlgPrint", "DlgPrnSetup"};
  for (int kind = 0; kind < 6; ++kind) EXPECT_STREQ(DialogTemplateName(kind), names[kind]);
  EXPECT_EQ(DialogTemplateName(6), nullptr);
  EXPECT_EQ(DialogTemplateName(-1), nullptr);
}

TEST(InputDialogModel, FillsItsControlsAndAnswersOk) {
  char buffer[256];
  std::memset(buffer, '#', sizeof buffer);
  std::strcpy(buffer, "start");
  auto* dialog = new InputDialog("Title", "Label:", buffer);
  EXPECT_EQ(dialog->GetKind(), Dialog::kInput);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[101].text, "Label:");
    EXPECT_EQ(window.controls[102].text, "start");
    EXPECT_EQ(window.focus, 102);
    EXPECT_EQ(window.caption, "Title");
    // Other commands leave it open.
    EXPECT_FALSE(window.Send(102, 0x300));
    window.controls[102].text = Repeat("\xC3\xA9", 150);
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
  }
  EXPECT_EQ(std::string(buffer), Repeat("\xC3\xA9", 50));
  for (std::size_t i = 101; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#');
  dialog->Release();
}

TEST(InputDialogModel, CancelKeepsTheBuffer) {
  char buffer[32] = "kept";
  auto* dialog = new InputDialog(nullptr, nullptr, buffer);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_EQ(window.controls[101].text, "");
    EXPECT_EQ(window.caption, "");
    window.controls[102].text = "typed";
    EXPECT_TRUE(window.Send(kIdCancel));
    EXPECT_EQ(window.endCode, 0);
  }
  EXPECT_STREQ(buffer, "kept");
  dialog->Release();
}

struct Items : ListDialogItems {
  std::vector<std::string> texts;
  std::vector<int> chosen;
  int Count() const override { return int(texts.size()); }
  const char* Text(int i) const override { return texts[i].c_str(); }
  void Choose(int i) override { chosen.push_back(i); }
};

TEST(ListDialogModel, OkStaysGreyUntilALineIsSelected) {
  Items items;
  items.texts = {"short", "the longest line", "mid line"};
  auto* dialog = new ListDialog(&items);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    auto& list = window.controls[101];
    EXPECT_EQ(list.lines, items.texts);
    // The widest line and one "X" more (eight pixels a byte here).
    EXPECT_EQ(list.extent, 8 * 16 + 8);
    EXPECT_FALSE(window.controls[kIdOk].enabled);
    EXPECT_EQ(window.focus, 101);
    // A selection change without a selection keeps it grey.
    EXPECT_FALSE(window.Send(101, kNotifySelectionChange));
    EXPECT_FALSE(window.controls[kIdOk].enabled);
    window.Select(101, 2);
    EXPECT_FALSE(window.Send(101, kNotifySelectionChange));
    EXPECT_TRUE(window.controls[kIdOk].enabled);
    // A double click chooses the line and keeps the dialog open, on top.
    EXPECT_FALSE(window.Send(101, kNotifyDoubleClick));
    EXPECT_EQ(items.chosen, std::vector<int>{2});
    EXPECT_EQ(window.broughtToTop, 1);
    window.Select(101, 0);
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
    EXPECT_EQ(items.chosen, (std::vector<int>{2, 0}));
  }
  dialog->Release();
}

TEST(ListDialogModel, CancelAndOkWithoutASelectionChooseNothing) {
  Items items;
  items.texts = {"one"};
  for (int button : {kIdCancel, kIdOk}) {
    auto* dialog = new ListDialog(&items);
    {
      FakeDialogWindow window(dialog);
      window.Open();
      EXPECT_FALSE(window.Send(101, kNotifyDoubleClick));
      EXPECT_TRUE(window.Send(button));
      EXPECT_EQ(window.endCode, button == kIdOk ? 1 : 0);
    }
    dialog->Release();
  }
  EXPECT_TRUE(items.chosen.empty());
}

// Without windows the engine loads no template: -1, and the dialog's use
// is given back (the sanitizer sees a leak otherwise).
TEST(ModalDialog, NativelyNoTemplateLoads) {
  test::RecordingSink sink;
  ASSERT_NE(QsInitialize(0, "test", nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  char buffer[101] = "kept";
  EXPECT_EQ(QsInputDialog(0, "T", "P", buffer), -1);
  EXPECT_STREQ(buffer, "kept");
  EXPECT_EQ(QsInputDialog(0, "T", "P", nullptr), 0);
  Items items;
  EXPECT_EQ(GetEngine()->ShowListDialog(0, &items), -1);
  QsTerminate();
  EXPECT_EQ(QsInputDialog(0, "T", "P", buffer), 0);
}

}  // namespace
}  // namespace qs

namespace qs {
namespace {

// "Print Document" over the sample manual, which names one sheet and one
// navigator; natively there is no printer, so Print ends in error 41.
class PrintDialogModel : public testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("QS_SOURCE_DIR");
    const std::string root = source ? source : ".";
    const std::string home = root + "/samples/home/";
    ASSERT_NE(QsInitialize(0, "test", (home + "catalog/catalog").c_str(), nullptr, nullptr,
                           (folder_.dir() + "/").c_str(), home.c_str()),
              0u);
    doc_ = QsParseDocument((root + "/samples/manual/manuale.sgm").c_str(), nullptr, 0, nullptr, 0);
    ASSERT_NE(doc_, 0u);
    sheetHandle_ = QsLoadStyleSheet(doc_, 0, nullptr, 0);
    ASSERT_NE(sheetHandle_, 0u);
    document_ = static_cast<Document*>(Handles()->LookupDocument(doc_));
    sheet_ = static_cast<StyleSheet*>(Handles()->LookupStyleSheet(sheetHandle_));
  }
  void TearDown() override {
    QsReleaseHandle(sheetHandle_);
    QsReleaseHandle(doc_);
    QsTerminate();
    GetPrintState().options = 0;
  }
  test::TempFolder folder_;
  test::RecordingSink sink_;
  QsHandle doc_ = 0, sheetHandle_ = 0;
  Document* document_ = nullptr;
  StyleSheet* sheet_ = nullptr;
};

TEST_F(PrintDialogModel, FillsItsControlsFromTheDocumentAndTheSettings) {
  GetPrintState().options = 3 | 4 << 3 | 0x80 | 0x1000;
  auto* dialog = new PrintDialog(document_, sheet_, {}, 0);
  EXPECT_EQ(dialog->GetKind(), Dialog::kPrint);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    // The document has no title of its own here: the host's.
    EXPECT_EQ(window.controls[102].text, "test");
    EXPECT_EQ(window.controls[103].lines, std::vector<std::string>{"Service Manual"});
    EXPECT_EQ(window.controls[103].selected, std::vector<int>{0});
    EXPECT_EQ(window.controls[104].lines, std::vector<std::string>{"Contents"});
    const std::vector<std::string> positions = {"None", "Left Header", "Middle Header", "Right Header",
                                                "Left Footer", "Middle Footer", "Right Footer"};
    EXPECT_EQ(window.controls[109].lines, positions);
    EXPECT_EQ(window.controls[110].lines, positions);
    EXPECT_EQ(window.controls[109].selected, std::vector<int>{3});
    EXPECT_EQ(window.controls[110].selected, std::vector<int>{4});
    EXPECT_FALSE(window.controls[106].checked);
    EXPECT_TRUE(window.controls[107].checked);
    EXPECT_FALSE(window.controls[108].checked);
    // The whole document: nothing to print alone.
    EXPECT_FALSE(window.controls[105].enabled);
    EXPECT_FALSE(window.controls[105].checked);
    // The reader's choices become the settings; the bits without a control
    // stay.
    window.Select(109, 6);
    window.Select(110, 0);
    window.controls[106].checked = true;
    window.controls[107].checked = false;
    window.controls[108].checked = true;
    EXPECT_EQ(dialog->ReadOptions(GetPrintState().options), 6u | 0x40 | 0x100 | 0x1000);
    EXPECT_FALSE(window.Send(111));  // Setup stays open
    EXPECT_TRUE(window.Send(kIdCancel));
    EXPECT_EQ(window.endCode, 0);
    EXPECT_EQ(GetPrintState().options, 3u | 4 << 3 | 0x80 | 0x1000);  // Cancel changes nothing
  }
  dialog->Release();
}

TEST_F(PrintDialogModel, APartOfTheDocumentMayPrintAloneAndPrintStoresTheSettings) {
  test::ErrorRecorder recorder;
  DocumentNode* root = document_->Root();
  ASSERT_NE(root, nullptr);
  DocumentNode* part = root->First();
  ASSERT_NE(part, nullptr);
  auto* dialog = new PrintDialog(document_, sheet_, {PrintRange{part, part, 1}}, 0);
  {
    FakeDialogWindow window(dialog);
    window.Open();
    EXPECT_TRUE(window.controls[105].enabled);
    EXPECT_TRUE(window.controls[105].checked);
    window.Select(109, 2);
    window.Select(110, 5);
    window.controls[104].selected = {0};
    EXPECT_TRUE(window.Send(kIdOk));
    EXPECT_EQ(window.endCode, 1);
    EXPECT_EQ(GetPrintState().options, 2u | 5 << 3);
    EXPECT_EQ(std::strlen(GetPrintState().date), 10u);
    EXPECT_EQ(recorder.errors, std::vector<int>{41});
  }
  dialog->Release();
}

TEST_F(PrintDialogModel, MarkingATagSetNeedsAViewThatShowsADocument) {
  EXPECT_EQ(QsMarkTagSetInView(0, 0, 0), 0);
  EXPECT_EQ(QsMarkTagSetInView(0, 0x1234, 0), 0);
}

}  // namespace
}  // namespace qs
