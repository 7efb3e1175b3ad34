// The Copy command: the main view's selection on the clipboard as text and
// as "Rich Text Format", the RTF written over the engine's element tree.
#include <cstring>
#include <memory>
#include <vector>

#include "api/records.h"
#include "engine.h"
#include "rtf_text.h"
#include "viewer.h"

namespace qs::viewer {
namespace {

namespace eng = engine;

// A style record of the engine: 3 rows of 33 texts.
constexpr int kStyleRecordTexts = 3 * 33;

class EngineSelection : public SelectionEngine {
 public:
  EngineSelection(HWND view, QsHandle document, QsHandle sheet)
      : view_(view), document_(document), sheet_(sheet) {}

  bool FirstSelectionItem(std::int32_t* start, std::int32_t* length) override {
    QsRangeRecord first{0, 0};
    if (!eng::QsEnumViewItems(W(view_), &TakeFirst, reinterpret_cast<QsWord>(&first))) return false;
    *start = first.start;
    *length = first.length;
    return true;
  }
  NodeHandle ElementAt(std::int32_t position) override {
    return eng::QsGetElementAtPosition(document_, position);
  }
  NodeHandle Root() override { return eng::QsGetDocumentRoot(document_); }
  NodeHandle Dup(NodeHandle node) override { return eng::QsDupNode(node); }
  bool GotoParent(NodeHandle node) override { return eng::QsGotoParent(node) > 0; }
  bool GotoFirstChild(NodeHandle node) override { return eng::QsGotoFirstChild(node) > 0; }
  bool GotoNextSibling(NodeHandle node) override { return eng::QsGotoNextSibling(node) > 0; }
  bool Same(NodeHandle a, NodeHandle b) override { return eng::QsIsSameObject(a, b) != 0; }
  std::string ElementName(NodeHandle node) override {
    const char* name = eng::QsGetElementName(node);
    return name ? name : "";
  }
  bool Range(NodeHandle node, std::int32_t* start, std::int32_t* length) override {
    return eng::QsGetNodeRange(node, start, length) != 0;
  }
  std::string Text(NodeHandle node) override {
    // Sized by the text itself: an element's text may be longer than its
    // range (entity references are written out).
    std::int32_t length = eng::QsGetTextLength(node, std::int32_t{0});
    if (length <= 0) return "";
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    if (!eng::QsGetText(node, std::int32_t{0}, buffer.data(), length + 1)) return "";
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }
  std::string ToViewerText(const std::string& text) override {
    EngineText local = FromEngine(text.c_str());
    return local.get() ? local.get() : "";
  }
  bool Style(NodeHandle node, StyleRule* rule) override {
    if (!sheet_) return false;
    char tags[256] = "";
    std::int32_t occurrence = 0;
    if (!eng::QsGetNodeStyle(sheet_, node, tags, std::int32_t{255}, &occurrence)) return false;
    char* record[kStyleRecordTexts] = {};
    eng::QsClearStyleRecord(record);
    bool found = eng::QsGetStyleRule(sheet_, static_cast<const char*>(tags), occurrence,
                                     static_cast<const char*>(nullptr), record) != 0;
    if (found) {
      for (int row = 0; row < kStyleRows; ++row) {
        for (int a = 0; a < kStyleAttributes; ++a) {
          const char* text = eng::QsGetStyleRecordText(record, row, a);
          if (text) rule->value[row][a] = ToViewerText(text);
        }
      }
    }
    eng::QsFreeStyleRecord(record);
    return found;
  }
  void Release(NodeHandle node) override {
    if (node) eng::QsReleaseHandle(node);
  }

 private:
  static std::intptr_t TakeFirst(const void* record, QsWord data) {
    *reinterpret_cast<QsRangeRecord*>(data) = *static_cast<const QsRangeRecord*>(record);
    return 1;
  }
  HWND view_;
  QsHandle document_;
  QsHandle sheet_;
};

// A zero-filled movable block holding `length` bytes and a terminator
// written by `fill`; null when memory ran out.
template <typename Fill>
HGLOBAL MakeBlock(std::size_t length, Fill fill) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 1);
  if (!block) return nullptr;
  void* memory = GlobalLock(block);
  if (!memory) {
    GlobalFree(block);
    return nullptr;
  }
  fill(static_cast<char*>(memory));
  GlobalUnlock(block);
  return block;
}

}  // namespace

void CopySelectionAsRtf(HWND view) {
  QsHandle document = eng::QsGetViewDocument(W(view));
  if (!document) return;
  QsHandle sheet = eng::QsGetViewStyleSheet(W(view));
  auto rtf = std::make_unique<ChunkList>();
  bool written;
  {
    EngineSelection selection(view, document, sheet);
    written = WriteSelectionRtf(selection, rtf.get());
  }
  if (sheet) eng::QsReleaseHandle(sheet);
  eng::QsReleaseHandle(document);
  UINT rtfFormat = RegisterClipboardFormatA("Rich Text Format");
  std::int32_t length = eng::QsGetSelectionLength(W(view));
  if (!written || length <= 0) return;
  // A whole manual copied holds each form of its text only as long as it
  // must: the rich text's chunks go once they are in their block, and the
  // engine's text once it is converted.
  HGLOBAL rtfBlock = MakeBlock(rtf->Length(), [&](char* out) { rtf->CopyTo(out); });
  rtf.reset();
  if (!rtfBlock) return;
  // The text must have been written whole: a failed copy leaves the
  // clipboard as it was rather than put unwritten bytes on it.
  HGLOBAL textBlock = nullptr;
  {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 4, '\0');
    if (eng::QsGetSelectionText(W(view), buffer.data(), length + 4) > 0) {
      EngineText text = FromEngine(buffer.data());
      if (text.get() && text.get() != buffer.data()) std::vector<char>().swap(buffer);
      const char* plain = text.get() ? text.get() : "";
      const std::size_t plainLength = std::strlen(plain);
      textBlock = MakeBlock(plainLength, [&](char* out) { std::memcpy(out, plain, plainLength); });
    }
  }
  if (textBlock && OpenClipboard(view)) {
    EmptyClipboard();
    SetClipboardData(CF_TEXT, textBlock);
    textBlock = nullptr;
    if (rtfFormat) {
      SetClipboardData(rtfFormat, rtfBlock);
      rtfBlock = nullptr;
    }
    CloseClipboard();
  }
  if (textBlock) GlobalFree(textBlock);
  if (rtfBlock) GlobalFree(rtfBlock);
}

}  // namespace qs::viewer
