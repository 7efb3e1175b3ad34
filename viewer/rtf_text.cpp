#include "rtf_text.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qs::viewer {

// ---- Chunk list ----------------------------------------------------------------

ChunkList::ChunkList() : scratch_(new char[kChunkSize]) {}

ChunkList::~ChunkList() { Clear(); }

void ChunkList::Clear() {
  while (Chunk* c = first_) {
    first_ = c->next;
    delete c;
  }
  last_ = nullptr;
  length_ = 0;
}

void ChunkList::Append(const char* data, std::size_t length) {
  while (length) {
    if (!last_ || last_->used == kChunkSize) {
      auto* chunk = new Chunk;
      if (last_)
        last_->next = chunk;
      else
        first_ = chunk;
      last_ = chunk;
    }
    std::size_t n = kChunkSize - last_->used;
    if (n > length) n = length;
    std::memcpy(last_->data + last_->used, data, n);
    last_->used += n;
    length_ += n;
    data += n;
    length -= n;
  }
}

void ChunkList::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(scratch_.get(), kChunkSize, format, args);
  va_end(args);
  if (n >= 0 && static_cast<std::size_t>(n) < kChunkSize) {
    Append(scratch_.get(), static_cast<std::size_t>(n));
  } else if (n > 0) {
    std::string whole(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(whole.data(), whole.size(), format, again);
    Append(whole.data(), static_cast<std::size_t>(n));
  }
  va_end(again);
}

void ChunkList::Join(ChunkList& other) {
  if (!other.first_) return;
  if (last_)
    last_->next = other.first_;
  else
    first_ = other.first_;
  last_ = other.last_;
  length_ += other.length_;
  other.first_ = other.last_ = nullptr;
  other.length_ = 0;
}

std::size_t ChunkList::ChunkCount() const {
  std::size_t n = 0;
  for (Chunk* c = first_; c; c = c->next) ++n;
  return n;
}

void ChunkList::CopyTo(char* out) const {
  for (Chunk* c = first_; c; c = c->next) {
    std::memcpy(out, c->data, c->used);
    out += c->used;
  }
  *out = 0;
}

std::string ChunkList::ToString() const {
  std::string text(length_ + 1, '\0');
  CopyTo(text.data());
  text.resize(length_);
  return text;
}

// ---- Fonts ------------------------------------------------------------------------

FontTable::FontTable() = default;

FontTable::~FontTable() {
  for (Entry*& head : buckets_) {
    while (Entry* e = head) {
      head = e->next;
      delete e;
    }
  }
}

// The hash runs over the folded name: names that compare equal without
// regard to case must meet in one bucket.
unsigned FontTable::Bucket(const std::string& family) {
  unsigned hash = 17, multiplier = 3;
  for (std::size_t i = 0; i < family.size(); ++i) {
    auto c = static_cast<signed char>(std::tolower(static_cast<unsigned char>(family[i])));
    hash += static_cast<unsigned>(c + 17) * multiplier;
    multiplier += i + 1 < family.size()
                      ? static_cast<unsigned>(static_cast<signed char>(
                            std::tolower(static_cast<unsigned char>(family[i + 1]))))
                      : 0u;
  }
  return hash & (kBuckets - 1);
}

namespace {
bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void AppendEscaped(ChunkList& out, const std::string& text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' || c == '{' || c == '}') {
      out.Append(text.data() + from, i - from);
      out.Append("\\", 1);
      from = i;
    }
  }
  out.Append(text.data() + from, text.size() - from);
}
}  // namespace

int FontTable::Number(const std::string& family) {
  Entry*& head = buckets_[Bucket(family)];
  for (Entry* e = head; e; e = e->next)
    if (SameNoCase(e->name, family)) return e->number;
  head = new Entry{family, count_, head};
  return count_++;
}

void FontTable::Write(ChunkList& out) const {
  out.Append("{\\fonttbl\n");
  for (Entry* head : buckets_) {
    for (Entry* e = head; e; e = e->next) {
      out.Format("\\f%d ", e->number);
      AppendEscaped(out, e->name);
      out.Append(";\n");
    }
  }
  out.Append("}");
}

// ---- Styles -----------------------------------------------------------------------

namespace {
bool Is(const std::optional<std::string>& value, const char* word) {
  if (!value) return false;
  const std::string& v = *value;
  std::size_t n = std::strlen(word);
  if (v.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(v[i])) != word[i]) return false;
  return true;
}
bool Present(const std::optional<std::string>& value) { return value && !value->empty(); }
}  // namespace

void ApplyStyleRule(const StyleRule& rule, StyleContext* context) {
  const auto& row1 = rule.value[1];
  if (Is(row1[0], "hide")) context->hide = true;
  if (Is(row1[0], "show")) context->hide = false;
  if (Is(row1[5], "block")) context->breakBefore = context->breakAfter = true;
  if (Is(row1[5], "before")) context->breakBefore = true, context->breakAfter = false;
  if (Is(row1[5], "after")) context->breakBefore = false, context->breakAfter = true;
  if (Is(row1[5], "inline")) context->breakBefore = context->breakAfter = false;
  if (Is(row1[4], "left")) context->alignment = 1;
  if (Is(row1[4], "center")) context->alignment = 2;
  if (Is(row1[4], "right")) context->alignment = 3;
  for (int r = 0; r < kStyleRows; ++r) {
    const auto& v = rule.value[r];
    FontRecord& f = context->font[r];
    if (Present(v[6]) && !Is(v[6], "inherit")) f.family = *v[6];
    if (Is(v[9], "bold")) f.bold = true;
    if (Is(v[9], "medium")) f.bold = false;
    if (Is(v[8], "italic")) f.italic = true;
    if (Is(v[8], "emphas")) f.italic = !f.italic;
    if (Is(v[8], "roman")) f.italic = false;
    if (Present(v[7]) && !Is(v[7], "inherit")) {
      // A size must be a number of points above 0 to replace the one held.
      char* end = nullptr;
      long size = std::strtol(v[7]->c_str(), &end, 10);
      if (end != v[7]->c_str() && size > 0 && size <= 1638) f.size = static_cast<int>(size);
    }
    if (Present(v[11]) && !Is(v[11], "inherit")) {
      double percent = std::atof(v[11]->c_str());
      if (percent > 0 && std::isfinite(percent)) f.scale *= percent / 100.0;
    }
    if (Present(v[2])) {
      if (Is(v[2], "none"))
        f.text.reset();
      else
        f.text = *v[2];
    }
  }
}

// ---- The walk ------------------------------------------------------------------------

void SelectionWriter::ApplyNodeStyle(NodeHandle node, StyleContext* context) {
  StyleRule rule;
  if (engine_.Style(node, &rule)) ApplyStyleRule(rule, context);
}

NodeHandle SelectionWriter::CommonAncestor(NodeHandle a, NodeHandle b) {
  if (!a || !b) return 0;
  std::vector<NodeHandle> up;  // b and its ancestors
  for (NodeHandle y = engine_.Dup(b); y;) {
    up.push_back(y);
    NodeHandle next = engine_.Dup(y);
    if (!next || !engine_.GotoParent(next)) {
      if (next) engine_.Release(next);
      break;
    }
    y = next;
  }
  NodeHandle found = 0;
  NodeHandle x = engine_.Dup(a);
  while (x && !found) {
    for (NodeHandle y : up) {
      if (engine_.Same(x, y)) {
        found = engine_.Dup(x);
        break;
      }
    }
    if (!found && !engine_.GotoParent(x)) break;
  }
  if (x) engine_.Release(x);
  for (NodeHandle y : up) engine_.Release(y);
  return found;
}

int SelectionWriter::Write() {
  std::int32_t start = 0, length = 0;
  if (!engine_.FirstSelectionItem(&start, &length)) return 0;
  first_ = start;
  last_ = start + length - 1;
  NodeHandle a = engine_.ElementAt(first_);
  NodeHandle b = engine_.ElementAt(last_ < first_ ? first_ : last_);
  NodeHandle top = CommonAncestor(a, b);
  if (a) engine_.Release(a);
  if (b) engine_.Release(b);
  if (!top) top = engine_.Root();
  if (!top) return 0;
  // The styles of the root down to the top node, in that order.
  std::vector<NodeHandle> path;
  for (NodeHandle n = engine_.Dup(top); n;) {
    path.push_back(n);
    NodeHandle next = engine_.Dup(n);
    if (!next || !engine_.GotoParent(next)) {
      if (next) engine_.Release(next);
      break;
    }
    n = next;
  }
  StyleContext context;
  // A hidden ancestor hides the top node whatever it says itself, as the
  // walk below never enters a hidden element.
  bool hidden = false;
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    ApplyNodeStyle(*it, &context);
    hidden = hidden || context.hide;
  }
  context.hide = hidden;
  for (NodeHandle n : path) engine_.Release(n);
  WriteNode(top, context);
  engine_.Release(top);
  return 1;
}

void SelectionWriter::WriteNode(NodeHandle node, const StyleContext& context) {
  if (context.hide) return;
  std::int32_t start = 0, length = 0;
  if (!engine_.Range(node, &start, &length)) return;
  std::int64_t end = static_cast<std::int64_t>(start) + length;
  bool before = length > 0 ? end <= first_ : start < first_;
  if (before || start > last_) return;
  bool group = engine_.ElementName(node).rfind("#PNODE", 0) != 0;
  if (group) BeginElement(node, context);
  NodeHandle child = engine_.Dup(node);
  if (child && engine_.GotoFirstChild(child)) {
    do {
      StyleContext inner = context;
      inner.breakBefore = inner.breakAfter = true;
      // Generated text belongs to the element that asks for it.
      for (FontRecord& f : inner.font) f.text.reset();
      ApplyNodeStyle(child, &inner);
      WriteNode(child, inner);
    } while (engine_.GotoNextSibling(child));
  } else {
    std::string text = engine_.Text(node);
    std::size_t from = first_ > start ? static_cast<std::size_t>(first_ - start) : 0;
    std::size_t to = text.size();
    if (last_ < end - 1) {
      std::int64_t keep = static_cast<std::int64_t>(last_) - start + 1;
      if (keep < 0) keep = 0;
      if (static_cast<std::size_t>(keep) < to) to = static_cast<std::size_t>(keep);
    }
    if (from > to) from = to;
    Text(node, engine_.ToViewerText(text.substr(from, to - from)));
  }
  if (child) engine_.Release(child);
  if (group) EndElement(node, context);
}

// ---- RTF ------------------------------------------------------------------------------

void RtfWriter::Escaped(const std::string& text) { AppendEscaped(out_, text); }

void RtfWriter::Paragraph(int alignment) {
  if (alignment != 0 && alignment != alignment_) {
    alignment_ = alignment;
    paragraphOpen_ = false;
  }
  if (paragraphOpen_) return;
  out_.Append(alignment_ == 2 ? "\\par\\qc\n" : alignment_ == 3 ? "\\par\\qr\n" : "\\par\\ql\n");
  paragraphOpen_ = true;
}

void RtfWriter::Font(const FontRecord& font) {
  const Shape& around = shapes_.back();
  if (font.family) out_.Format("\\f%d", fonts_.Number(*font.family));
  double points = font.size * font.scale;
  if (!(points < 16383)) points = 16383;
  if (points < 0) points = 0;
  out_.Format("\\fs%d", 2 * static_cast<int>(points));
  if (font.bold) out_.Append("\\b");
  if (!font.bold && around.bold) out_.Append("\\b0");
  if (font.italic) out_.Append("\\i");
  if (!font.italic && around.italic) out_.Append("\\i0");
  if (font.text) {
    out_.Append(" ");
    Escaped(*font.text);
  }
}

void RtfWriter::BeginElement(NodeHandle, const StyleContext& context) {
  if (context.breakBefore) Paragraph(context.alignment);
  out_.Append("{");
  Font(context.font[1]);
  out_.Append(" ");
  shapes_.push_back({context.font[1].bold, context.font[1].italic});
  if (context.font[0].text) {
    out_.Append("{");
    Font(context.font[0]);
    out_.Append("}");
  }
}

void RtfWriter::Text(NodeHandle, const std::string& text) {
  Escaped(text);
  paragraphOpen_ = false;
}

void RtfWriter::EndElement(NodeHandle, const StyleContext& context) {
  if (context.font[2].text) {
    out_.Append("{");
    Font(context.font[2]);
    out_.Append("}");
  }
  out_.Append("}");
  if (shapes_.size() > 1) shapes_.pop_back();
  if (context.breakAfter) Paragraph(0);
}

bool WriteSelectionRtf(SelectionEngine& engine, ChunkList* out) {
  ChunkList header, body;
  RtfWriter writer(engine, body);
  if (!writer.Write()) return false;
  header.Append("{\\rtf1\\ansi");
  writer.Fonts().Write(header);
  header.Join(body);
  header.Append("}");
  out->Join(header);
  return true;
}

}  // namespace qs::viewer
