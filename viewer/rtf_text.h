// The selection of a document view as rich text (RTF), free of the
// platform: the walk over the element tree under the selection, the style
// each element gets from the view's style sheet, and the RTF written from
// them into a list of 8,192-byte chunks. The engine is reached through a
// small interface so that the walk runs over recorded answers too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qs::viewer {

// ---- Chunk list ----------------------------------------------------------------
// Output gathered in chunks, never moved while it grows: it is copied once,
// into the block that receives it.
class ChunkList {
 public:
  static constexpr std::size_t kChunkSize = 8192;
  ChunkList();
  ~ChunkList();
  ChunkList(const ChunkList&) = delete;
  ChunkList& operator=(const ChunkList&) = delete;

  void Append(const char* data, std::size_t length);
  void Append(const std::string& text) { Append(text.data(), text.size()); }
  // printf-style through the scratch area; a longer piece goes in whole.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Hangs the other list's chunks behind this one's; the other is empty after.
  void Join(ChunkList& other);
  std::size_t Length() const { return length_; }
  std::size_t ChunkCount() const;
  // Every chunk into `out` (Length() + 1 bytes) and a zero byte.
  void CopyTo(char* out) const;
  std::string ToString() const;

 private:
  struct Chunk {
    std::size_t used = 0;
    Chunk* next = nullptr;
    char data[kChunkSize];
  };
  void Clear();
  Chunk* first_ = nullptr;
  Chunk* last_ = nullptr;
  std::size_t length_ = 0;
  std::unique_ptr<char[]> scratch_;
};

// ---- Fonts ------------------------------------------------------------------------
// Font families numbered from 0 in order of first use; names differing only
// in case are one family.
class FontTable {
 public:
  static constexpr int kBuckets = 32;
  FontTable();
  ~FontTable();
  FontTable(const FontTable&) = delete;
  FontTable& operator=(const FontTable&) = delete;
  int Number(const std::string& family);
  int Count() const { return count_; }
  // "{\fonttbl\n", "\f%d %s;\n" for each entry by bucket and chain, "}".
  void Write(ChunkList& out) const;
  static unsigned Bucket(const std::string& family);

 private:
  struct Entry {
    std::string name;
    int number;
    Entry* next;
  };
  Entry* buckets_[kBuckets] = {};
  int count_ = 0;
};

// ---- Styles -----------------------------------------------------------------------
struct FontRecord {
  std::optional<std::string> text;  // generated text
  std::optional<std::string> family;
  int size = 10;
  bool bold = false;
  bool italic = false;
  double scale = 1.0;
};

// Row 0 the text before an element, row 1 the element, row 2 the text after.
struct StyleContext {
  bool hide = false;
  bool breakBefore = true;
  bool breakAfter = true;
  int alignment = 1;  // 1 left, 2 centre, 3 right
  FontRecord font[3];
};

// The texts of a style rule that the RTF reads: rows 0-2, attributes 0-11
// (0 hide, 2 text, 4 alignment, 5 breaks, 6 family, 7 size, 8 slant,
// 9 weight, 11 scale); empty where the rule has none.
inline constexpr int kStyleRows = 3;
inline constexpr int kStyleAttributes = 12;
struct StyleRule {
  std::optional<std::string> value[kStyleRows][kStyleAttributes];
};
void ApplyStyleRule(const StyleRule& rule, StyleContext* context);

// ---- The engine as the walk sees it --------------------------------------------------
using NodeHandle = std::uint32_t;

class SelectionEngine {
 public:
  virtual ~SelectionEngine() = default;
  // The first item of the view's selection; false when there is none.
  virtual bool FirstSelectionItem(std::int32_t* start, std::int32_t* length) = 0;
  // Node handles the caller releases; 0 for none.
  virtual NodeHandle ElementAt(std::int32_t position) = 0;
  virtual NodeHandle Root() = 0;
  virtual NodeHandle Dup(NodeHandle node) = 0;
  virtual bool GotoParent(NodeHandle node) = 0;
  virtual bool GotoFirstChild(NodeHandle node) = 0;
  virtual bool GotoNextSibling(NodeHandle node) = 0;
  virtual bool Same(NodeHandle a, NodeHandle b) = 0;
  virtual std::string ElementName(NodeHandle node) = 0;
  virtual bool Range(NodeHandle node, std::int32_t* start, std::int32_t* length) = 0;
  // The node's whole text as the engine gives it.
  virtual std::string Text(NodeHandle node) = 0;
  // The engine's text (UTF-8) as the viewer's.
  virtual std::string ToViewerText(const std::string& text) = 0;
  // The rule the view's style sheet gives the node; false when none applies.
  virtual bool Style(NodeHandle node, StyleRule* rule) = 0;
  virtual void Release(NodeHandle node) = 0;
};

// ---- Writers ------------------------------------------------------------------------
class SelectionWriter {
 public:
  explicit SelectionWriter(SelectionEngine& engine) : engine_(engine) {}
  virtual ~SelectionWriter() = default;
  SelectionWriter(const SelectionWriter&) = delete;
  SelectionWriter& operator=(const SelectionWriter&) = delete;
  // 1 when something was written.
  int Write();

 protected:
  virtual void BeginElement(NodeHandle, const StyleContext&) {}
  virtual void Text(NodeHandle, const std::string&) {}
  virtual void EndElement(NodeHandle, const StyleContext&) {}

 private:
  void ApplyNodeStyle(NodeHandle node, StyleContext* context);
  void WriteNode(NodeHandle node, const StyleContext& context);
  NodeHandle CommonAncestor(NodeHandle a, NodeHandle b);

  SelectionEngine& engine_;
  std::int32_t first_ = 0;
  std::int32_t last_ = -1;
};

class RtfWriter : public SelectionWriter {
 public:
  RtfWriter(SelectionEngine& engine, ChunkList& out) : SelectionWriter(engine), out_(out) {}
  const FontTable& Fonts() const { return fonts_; }

 protected:
  void BeginElement(NodeHandle, const StyleContext& context) override;
  void Text(NodeHandle, const std::string& text) override;
  void EndElement(NodeHandle, const StyleContext& context) override;

 private:
  void Paragraph(int alignment);
  void Font(const FontRecord& font);
  void Escaped(const std::string& text);

  ChunkList& out_;
  bool paragraphOpen_ = false;
  int alignment_ = 1;
  FontTable fonts_;
  // Bold and italic of each open group: a group that turns them off says so.
  struct Shape {
    bool bold, italic;
  };
  std::vector<Shape> shapes_{{false, false}};
};

// The selection's whole RTF document ("{\rtf1\ansi", the font table, the
// body, "}") in `out`; false, and `out` untouched, when nothing was written.
bool WriteSelectionRtf(SelectionEngine& engine, ChunkList* out);

}  // namespace qs::viewer
