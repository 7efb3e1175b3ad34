#include "style/text_export.h"

#include <cstring>

#include "foundation/names.h"
#include "foundation/text_writer.h"
#include "sgml/document.h"
#include "sgml/dtd.h"
#include "sgml/entities.h"
#include "sgml/mark_kinds.h"
#include "sgml/text_store.h"
#include "style/formatter.h"
#include "style/style_rules.h"
#include "style/style_sheet.h"
#include "style/text_template.h"

namespace qs {

namespace {

class TextExporter : public TreeVisitor {
 public:
  static constexpr int kStyleDepth = 96;
  static constexpr int kShowDepth = 48;
  static constexpr int kNumberCells = 97;

  TextExporter(Document* document, StyleSheet* sheet, TextWriter& out)
      : document_(document), sheet_(sheet), out_(out) {}

  void Run(DocumentNode* start) {
    mark_ = document_->FirstMark();
    markPosition_ = mark_ ? mark_->Start() : kNoMark;
    for (std::size_t i = 0; i < document_->UsedTypeCount(); ++i) {
      ElementTypeDecl* decl = document_->UsedType(i);
      decl->styleEntry = reinterpret_cast<std::intptr_t>(sheet_->FindTag(decl->NameText()));
    }
    for (StyleTagEntry* e = sheet_->FirstTag(); e; e = sheet_->NextTag()) e->ResetCounters();
    TreeVisitor::Run(start);
  }

  int VisitElement(DocumentNode* element) override {
    if (overflow_ || depth_ == kStyleDepth) {
      // Past the style stack an element has no style of its own.
      ++overflow_;
      return 0;
    }
    StyleRule* rule = RuleFor(element);
    if (element == document_->Root()) {
      Push(rule, 0);
    } else {
      PushStyle(rule, element);
    }
    StartText(element);
    if ((element->flags & 0x08) && !element->First()) {
      // A data node's content is its text and marks, written at once.
      if (Shown() && element->start < element->end) VisitData(element, element->start, element->end);
      return 1;
    }
    return 0;
  }

  int VisitData(DocumentNode* element, std::uint32_t from, std::uint32_t to) override {
    while (mark_ && markPosition_ < from) NextMark();
    if (!Shown()) return 0;
    while (mark_ && markPosition_ < to) {
      if (from < markPosition_) PutText(from, markPosition_);
      std::uint32_t resume = WriteMark(element, mark_);
      if (resume > from) from = resume;
      NextMark();
    }
    if (from < to) PutText(from, to);
    return 0;
  }

  void LeaveElement(DocumentNode* element) override {
    if (overflow_) {
      --overflow_;
      return;
    }
    EndText(element);
    if (element == document_->Root()) {
      --depth_;
      return;
    }
    PopStyle();
  }

 private:
  static constexpr std::uint32_t kNoMark = 2147483647u;

  StyleRule* RuleFor(DocumentNode* element) {
    ElementTypeDecl* decl = element->Decl();
    if (!decl || !decl->styleEntry) return nullptr;
    return reinterpret_cast<StyleTagEntry*>(decl->styleEntry)->FindForElement(element);
  }

  ElementStyle* Current() const { return styles_[depth_]; }
  bool Shown() const { return show_[showDepth_] == 1; }

  void Push(ElementStyle* style, std::uint8_t numbering) {
    styles_[++depth_] = style;
    pushedLevel_[depth_] = numbering;
    pushedShow_[depth_] = 0;
  }

  // The rule with the qualified styles that hold merged in, pushed, and its
  // numbering applied. Past the capacities a level gets no numbers.
  void PushStyle(StyleRule* rule, DocumentNode* element) {
    if (!rule) {
      Push(nullptr, 0);
      return;
    }
    ElementStyle* merged = rule;
    for (QualStyle* q = rule->FirstQual(); q; q = StyleRule::NextQual(q)) {
      QualifierNode* qualifier = q->Qualifier();
      if (!qualifier || !qualifier->Match(document_, element, nullptr)) continue;
      if (ElementStyle* m = merged_.Get(merged, q)) merged = m;
    }
    Push(merged, 0);
    if (std::uint8_t pushed =
            DocumentFormatter::OpenNumbering(merged, cell_, cells_, levels_, levelDepth_))
      pushedLevel_[depth_] = pushed;
  }

  void PopStyle() {
    switch (pushedLevel_[depth_]) {
      case 2: cells_ = levels_[levelDepth_--] - 1; break;
      case 3: --cells_; break;
      case 4: cell_[cells_] = 0; break;
      default: break;
    }
    --depth_;
  }

  void PushShow(bool shown) {
    if (showDepth_ < kShowDepth) {
      show_[++showDepth_] = shown ? 1 : 0;
      pushedShow_[depth_] = 1;
    } else if (!shown) {
      // Past the stack hidden content stays hidden: this level is hidden
      // in place and shown again at its end.
      pushedShow_[depth_] = show_[showDepth_] ? 3 : 2;
      show_[showDepth_] = 0;
    }
  }

  void PopShow() {
    switch (pushedShow_[depth_]) {
      case 1: --showDepth_; break;
      case 3: show_[showDepth_] = 1; break;
      default: break;
    }
    pushedShow_[depth_] = 0;
  }

  void StartText(DocumentNode* element) {
    ElementStyle* style = Current();
    if (!style) {
      if (Shown()) pendingBreak_ = true;
      return;
    }
    if (style->Visible()) PushShow(style->Visible() == StyleProps::kVisibleShow);
    if (!Shown()) return;
    Before(style, element);
  }

  void EndText(DocumentNode* element) {
    ElementStyle* style = Current();
    if (!style) {
      if (Shown()) pendingBreak_ = true;
      return;
    }
    if (Shown()) After(style, element);
    if (style->Visible()) PopShow();
  }

  void Before(ElementStyle* style, DocumentNode* element) {
    if (style->fontByte & StyleProps::kBreakBefore) pendingBreak_ = true;
    if (style->before) PutLines(style->before, element);
    PutNumber(style);
  }

  void After(ElementStyle* style, DocumentNode* element) {
    if (style->after) PutLines(style->after, element);
    if (style->fontByte & StyleProps::kBreakAfter) pendingBreak_ = true;
  }

  void PutLines(const TextBlockStyle* block, DocumentNode* element) {
    for (TextLine* line = block->FirstLine(); line; line = static_cast<TextLine*>(line->Next())) {
      if (!line->text) {
        PutChar('\n');
      } else {
        char buffer[kTemplateBuffer];
        const int n = ExpandTemplate(line->text->Text(), element, element->Parent(),
                                     element->GetAttributeValues(),
                                     element->Decl() ? &element->Decl()->Attributes() : nullptr,
                                     buffer, nullptr);
        for (int i = 0; i < n; ++i) PutChar(static_cast<std::uint8_t>(buffer[i]));
      }
      if (line->Next()) pendingBreak_ = true;
    }
  }

  void PutNumber(ElementStyle* style) {
    char number[256];
    const int kind = style->numbering & 0x0F;
    if (kind == 1) {
      PutString(number, FormatNumber(style->counter, number));
      PutString(". ", nullptr);
    } else if (kind == 4 && cells_ != 0 && pushedLevel_[depth_] == 4) {
      for (int i = levelDepth_ ? levels_[levelDepth_] : 1; i < cells_; ++i) {
        PutString(number, FormatNumber(cell_[i], number));
        PutChar('.');
      }
      PutChar(' ');
    }
  }

  // The text between `text` and `end` (to its NUL when `end` is null).
  void PutString(const char* text, const char* end) {
    for (const char* p = text; end ? p < end : *p; ++p) PutChar(static_cast<std::uint8_t>(*p));
  }

  void PutText(std::uint32_t from, std::uint32_t to) {
    TextStore* text = document_->Text();
    if (!text) return;
    char piece[1025];
    while (from < to) {
      const std::uint32_t n = to - from < 1024 ? to - from : 1024;
      text->Stream().CopyRange(piece, from, from + n, true);
      for (std::uint32_t i = 0; i < n; ++i) PutChar(static_cast<std::uint8_t>(piece[i]));
      from += n;
    }
  }

  // Writes what the mark stands for; returns where the text goes on.
  // Positions from the document's file are kept within the element.
  std::uint32_t WriteMark(DocumentNode* element, Mark* mark) {
    const std::uint32_t at = mark->Start();
    auto clamp = [&](std::uint32_t value) {
      const std::uint32_t high = element->end > at ? element->end : at + 1;
      return value < at ? at : (value > high ? high : value);
    };
    switch (mark->Kind()) {
      case kMarkRecordEnd:
        PutChar('\n');
        return at + 1;
      case kMarkTab:
        PutChar('\t');
        return at + 1;
      case kMarkResume:
        return clamp(static_cast<std::uint32_t>(static_cast<NotationMark*>(mark)->object));
      case kMarkEntityRef:
        WriteEntity(element, mark->GetEntity());
        return at + 1;
      case kMarkStyledText: {
        // Styled text is text: it is written, its style has no say here.
        const std::uint32_t end = clamp(mark->GetEnd());
        PutText(at, end);
        return end;
      }
      case kMarkProcessingInstruction:
      case 7:
      case 8:
      case 9:
        // Instructions and kept markup are no text.
        return clamp(mark->GetEnd());
      default:
        return at + 1;
    }
  }

  void WriteEntity(DocumentNode* element, EntityDecl* entity) {
    if (!Shown() || !entity || element->GetEntity() == entity) return;
    if (!IsStyledEntity(sheet_, element, entity)) return;
    if (overflow_ || depth_ == kStyleDepth) return;
    NotationDecl* notation = entity->GetNotation();
    PushStyle(sheet_->FindRule(element, notation->Name()), element);
    ElementStyle* style = Current();
    if (style) {
      if (style->Visible()) PushShow(style->Visible() == StyleProps::kVisibleShow);
      if (Shown()) {
        Before(style, element);
        After(style, element);
      }
      if (style->Visible()) PopShow();
    }
    PopStyle();
  }

  void NextMark() {
    mark_ = mark_ ? mark_->next : nullptr;
    markPosition_ = mark_ ? mark_->Start() : kNoMark;
  }

  void PutChar(std::uint8_t c) {
    if (c == '\n') {
      out_.PutChar('\n');
      column_ = 0;
      pendingBreak_ = false;
      started_ = true;
      return;
    }
    // A break sets text off from text before it: before the first
    // character there is nothing to set off.
    if (pendingBreak_ && started_) {
      out_.PutChar('\n');
      out_.PutChar('\n');
      column_ = 0;
    }
    pendingBreak_ = false;
    started_ = true;
    if (column_ > kExportWrapColumn && (c == '\t' || c == ' ')) {
      out_.PutChar('\n');
      column_ = 0;
      return;
    }
    out_.PutChar(c == 1 ? ' ' : c);
    ++column_;
  }

  Document* document_;
  StyleSheet* sheet_;
  TextWriter& out_;
  MergedStyleCache merged_;
  ElementStyle* styles_[kStyleDepth + 1] = {};
  std::uint8_t pushedLevel_[kStyleDepth + 1] = {};
  std::uint8_t pushedShow_[kStyleDepth + 1] = {};
  int depth_ = 0;
  int overflow_ = 0;
  int column_ = 0;
  Mark* mark_ = nullptr;
  std::uint32_t markPosition_ = kNoMark;
  bool pendingBreak_ = false;
  bool started_ = false;
  std::uint8_t show_[kShowDepth + 1] = {1};
  int showDepth_ = 0;
  std::uint8_t levels_[kShowDepth + 1] = {0};
  int levelDepth_ = 0;
  std::uint16_t cell_[kNumberCells] = {};
  int cells_ = 0;
};

}  // namespace

int ExportPlainText(Document* document, DocumentNode* start, StyleSheet* sheet, const char* path) {
  if (!document || !sheet || !path) return 0;
  DocumentNode* root = start ? start : document->Root();
  TextWriter out(path, true);
  if (!out.ok()) return 0;
  if (root) {
    auto* exporter = new TextExporter(document, sheet, out);
    exporter->Run(root);
    delete exporter;
  }
  return out.Close() ? 1 : 0;
}

}  // namespace qs
