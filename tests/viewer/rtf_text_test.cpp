// The rich-text copy free of the platform: the chunk list, the font table,
// the styles and the RTF written over a recorded element tree that answers
// as the engine does (node handles that move and must be released).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "rtf_text.h"

namespace qs::viewer {
namespace {

// ---- A recorded engine ---------------------------------------------------------------

struct Spec {
  std::string name;  // "#PNODE" for text
  std::string text;
  std::vector<Spec> children;
  StyleRule style;
  bool styled = false;
};

Spec Leaf(const std::string& text) { return {"#PNODE", text, {}, {}, false}; }
Spec El(const std::string& name, std::vector<Spec> children) {
  return {name, "", std::move(children), {}, false};
}
Spec Styled(Spec spec, std::initializer_list<std::tuple<int, int, const char*>> values) {
  for (auto& [row, attribute, text] : values) spec.style.value[row][attribute] = text;
  spec.styled = true;
  return spec;
}

class RecordedEngine : public SelectionEngine {
 public:
  struct Node {
    Spec spec;
    std::int32_t start = 0, length = 0;
    int parent = -1;
    std::vector<int> children;
  };

  explicit RecordedEngine(const Spec& root) { Add(root, -1); }
  ~RecordedEngine() override { EXPECT_TRUE(handles_.empty()) << handles_.size() << " handles kept"; }

  void Select(std::int32_t start, std::int32_t length) {
    hasItem_ = true;
    itemStart_ = start;
    itemLength_ = length;
  }
  std::int32_t TextLength() const { return nodes_[0].length; }

  bool FirstSelectionItem(std::int32_t* start, std::int32_t* length) override {
    *start = itemStart_;
    *length = itemLength_;
    return hasItem_;
  }
  NodeHandle ElementAt(std::int32_t position) override {
    int at = 0;
    for (bool deeper = true; deeper;) {
      deeper = false;
      for (int c : nodes_[at].children) {
        const Node& n = nodes_[c];
        if (n.spec.name != "#PNODE" && position >= n.start && position < n.start + n.length) {
          at = c;
          deeper = true;
          break;
        }
      }
    }
    return Issue(at);
  }
  NodeHandle Root() override { return Issue(0); }
  NodeHandle Dup(NodeHandle node) override { return handles_.count(node) ? Issue(handles_[node]) : 0; }
  bool GotoParent(NodeHandle node) override {
    int& at = handles_.at(node);
    if (nodes_[at].parent < 0) return false;
    at = nodes_[at].parent;
    return true;
  }
  bool GotoFirstChild(NodeHandle node) override {
    int& at = handles_.at(node);
    if (nodes_[at].children.empty()) return false;
    at = nodes_[at].children.front();
    return true;
  }
  bool GotoNextSibling(NodeHandle node) override {
    int& at = handles_.at(node);
    int parent = nodes_[at].parent;
    if (parent < 0) return false;
    const auto& siblings = nodes_[parent].children;
    for (std::size_t i = 0; i + 1 < siblings.size(); ++i) {
      if (siblings[i] == at) {
        at = siblings[i + 1];
        return true;
      }
    }
    return false;
  }
  bool Same(NodeHandle a, NodeHandle b) override { return handles_.at(a) == handles_.at(b); }
  std::string ElementName(NodeHandle node) override { return nodes_[handles_.at(node)].spec.name; }
  bool Range(NodeHandle node, std::int32_t* start, std::int32_t* length) override {
    const Node& n = nodes_[handles_.at(node)];
    *start = n.start;
    *length = n.length;
    return true;
  }
  std::string Text(NodeHandle node) override { return nodes_[handles_.at(node)].spec.text; }
  std::string ToViewerText(const std::string& text) override { return text; }
  bool Style(NodeHandle node, StyleRule* rule) override {
    const Node& n = nodes_[handles_.at(node)];
    if (!n.spec.styled) return false;
    *rule = n.spec.style;
    return true;
  }
  void Release(NodeHandle node) override { EXPECT_EQ(handles_.erase(node), 1u) << node; }

 private:
  int Add(const Spec& spec, int parent) {
    int index = static_cast<int>(nodes_.size());
    nodes_.push_back({spec, position_, 0, parent, {}});
    nodes_[index].spec.children.clear();
    position_ += static_cast<std::int32_t>(spec.text.size());
    for (const Spec& c : spec.children) {
      int child = Add(c, index);
      nodes_[index].children.push_back(child);
    }
    nodes_[index].length = position_ - nodes_[index].start;
    return index;
  }
  NodeHandle Issue(int index) {
    handles_[next_] = index;
    return next_++;
  }

  std::vector<Node> nodes_;
  std::int32_t position_ = 0;
  std::map<NodeHandle, int> handles_;
  NodeHandle next_ = 100;
  bool hasItem_ = false;
  std::int32_t itemStart_ = 0, itemLength_ = 0;
};

std::string Rtf(RecordedEngine& engine) {
  ChunkList out;
  if (!WriteSelectionRtf(engine, &out)) return "(nothing)";
  return out.ToString();
}

std::string RtfOfAll(const Spec& root) {
  RecordedEngine engine(root);
  engine.Select(0, engine.TextLength());
  return Rtf(engine);
}

// The body between the font table and the closing brace.
std::string Body(const std::string& rtf) {
  std::size_t open = rtf.find("{\\fonttbl");
  std::size_t close = rtf.find('}', open);
  return rtf.substr(close + 1, rtf.size() - close - 2);
}

int Count(const std::string& text, const std::string& word) {
  int n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

// ---- Cases ---------------------------------------------------------------------------

TEST(RtfCopy, WholeDocumentOfTwoBlocks) {
  std::string rtf = RtfOfAll(El("DOC", {El("P", {Leaf("one")}), El("P", {Leaf("two")})}));
  EXPECT_EQ(rtf,
            "{\\rtf1\\ansi{\\fonttbl\n}\\par\\ql\n{\\fs20 {\\fs20 one}\\par\\ql\n{\\fs20 two}"
            "\\par\\ql\n}}");
}

TEST(RtfCopy, ConsecutiveBlocksOneParUnlessTheAlignmentChanges) {
  struct Case {
    const char* second;  // alignment of the second block
    int pars;            // "\par" between the two texts
    const char* control;
  } cases[] = {{"left", 1, "\\ql"}, {"center", 2, "\\qc"}, {"right", 2, "\\qr"}};
  for (const Case& c : cases) {
    std::string body = Body(RtfOfAll(El(
        "DOC", {El("P", {Leaf("one")}), Styled(El("P", {Leaf("two")}), {{1, 4, c.second}})})));
    std::string between = body.substr(body.find("one"), body.find("two") - body.find("one"));
    EXPECT_EQ(Count(between, "\\par"), c.pars) << c.second;
    EXPECT_NE(between.find(std::string("\\par") + c.control + "\n"), std::string::npos) << between;
  }
  // Inline elements break nothing.
  std::string body = Body(RtfOfAll(El(
      "P", {Leaf("a "), Styled(El("B", {Leaf("bold")}), {{1, 5, "inline"}, {1, 9, "bold"}}),
            Leaf(" c")})));
  EXPECT_EQ(body, "\\par\\ql\n{\\fs20 a {\\fs20\\b bold} c}\\par\\ql\n");
}

TEST(RtfCopy, SizeTimesScale) {
  struct Case {
    const char* size;
    const char* scale;
    const char* control;
  } cases[] = {{"10", "150", "\\fs30"}, {"12", nullptr, "\\fs24"}, {"inherit", "200", "\\fs40"},
               {"9", "inherit", "\\fs18"}, {"11", "0", "\\fs22"},  {"x", "50", "\\fs10"}};
  for (const Case& c : cases) {
    Spec p = Styled(El("P", {Leaf("t")}), {{1, 7, c.size}});
    if (c.scale) p.style.value[1][11] = c.scale;
    std::string body = Body(RtfOfAll(El("DOC", {p})));
    EXPECT_NE(body.find(std::string(c.control) + " t}"), std::string::npos) << body;
  }
  // Scales multiply down the tree.
  std::string body = Body(RtfOfAll(Styled(
      El("DOC", {Styled(El("P", {Leaf("t")}), {{1, 11, "150"}})}), {{1, 7, "10"}, {1, 11, "200"}})));
  EXPECT_NE(body.find("\\fs60 t}"), std::string::npos) << body;
}

TEST(RtfCopy, HiddenElementsAndTheirContentAreLeftOut) {
  std::string rtf = RtfOfAll(
      El("DOC", {El("P", {Leaf("keep")}),
                 Styled(El("NOTE", {El("P", {Leaf("secret")}), Leaf("more")}), {{1, 0, "hide"}}),
                 El("P", {Leaf("end")})}));
  EXPECT_EQ(rtf.find("secret"), std::string::npos);
  EXPECT_EQ(rtf.find("more"), std::string::npos);
  EXPECT_NE(rtf.find("keep"), std::string::npos);
  EXPECT_NE(rtf.find("end"), std::string::npos);
  EXPECT_EQ(Count(rtf, "{"), Count(rtf, "}"));
  EXPECT_EQ(Count(Body(rtf), "{"), 3);  // DOC and the two shown paragraphs
  // "show" inside a hidden element does not bring it back; a selection
  // wholly inside a hidden element copies nothing of it.
  Spec hidden = Styled(El("NOTE", {Styled(El("P", {Leaf("inner")}), {{1, 0, "show"}})}),
                       {{1, 0, "hide"}});
  RecordedEngine engine(El("DOC", {El("P", {Leaf("a")}), hidden}));
  engine.Select(2, 3);
  std::string inside = Rtf(engine);
  EXPECT_EQ(inside.find("inner"), std::string::npos) << inside;
}

TEST(RtfCopy, FamiliesDifferingInCaseShareOneNumber) {
  std::string rtf = RtfOfAll(El(
      "DOC", {Styled(El("P", {Leaf("a")}), {{1, 6, "Arial"}}), Styled(El("P", {Leaf("b")}), {{1, 6, "arial"}}),
              Styled(El("P", {Leaf("c")}), {{1, 6, "Courier"}}), Styled(El("P", {Leaf("d")}), {{1, 6, "inherit"}}),
              Styled(El("P", {Leaf("e")}), {{1, 6, "ARIAL"}})}));
  EXPECT_EQ(Count(rtf, "\\f0 Arial;"), 1) << rtf;
  EXPECT_EQ(Count(rtf, "\\f1 Courier;"), 1) << rtf;
  EXPECT_EQ(Count(rtf, ";\n"), 2) << rtf;
  EXPECT_EQ(Count(Body(rtf), "\\f0\\fs20 "), 3) << rtf;
  EXPECT_EQ(Count(Body(rtf), "\\f1\\fs20 "), 1) << rtf;
  EXPECT_EQ(FontTable::Bucket("Arial"), FontTable::Bucket("aRIAL"));
}

TEST(RtfCopy, FontTableListsBucketsInOrder) {
  FontTable table;
  std::vector<std::string> names = {"Times", "Arial", "Courier", "Helvetica", "Symbol"};
  for (const auto& n : names) table.Number(n);
  EXPECT_EQ(table.Number("times"), 0);
  EXPECT_EQ(table.Count(), 5);
  ChunkList out;
  table.Write(out);
  std::string text = out.ToString();
  unsigned previous = 0;
  for (std::size_t at = text.find("\\f"); at != std::string::npos; at = text.find("\\f", at + 1)) {
    if (text.compare(at, 8, "\\fonttbl") == 0) continue;
    int number = std::stoi(text.substr(at + 2));
    unsigned bucket = FontTable::Bucket(names[static_cast<std::size_t>(number)]);
    EXPECT_LE(previous, bucket) << text;
    previous = bucket;
  }
  EXPECT_EQ(text.substr(0, 10), "{\\fonttbl\n");
  EXPECT_EQ(text.back(), '}');
}

TEST(RtfCopy, SpecialCharactersEscaped) {
  std::string rtf = RtfOfAll(
      El("DOC", {Styled(El("P", {Leaf("a\\b{c}d")}), {{0, 2, "{x}"}, {2, 2, "\\y"}, {0, 6, "F{1}"}})}));
  EXPECT_NE(rtf.find("a\\\\b\\{c\\}d"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find(" \\{x\\}}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find(" \\\\y}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\f0 F\\{1\\};"), std::string::npos) << rtf;
}

TEST(RtfCopy, GeneratedTextAroundTheElementOnlyOnce) {
  std::string body = Body(RtfOfAll(El(
      "DOC", {Styled(El("NOTE", {El("P", {Leaf("x")}), El("P", {Leaf("y")})}),
                     {{0, 2, "Note:"}, {0, 9, "bold"}, {2, 2, "End"}, {2, 2, "none"}, {2, 8, "italic"}})})));
  EXPECT_EQ(Count(body, "Note:"), 1) << body;
  EXPECT_NE(body.find("{\\fs20\\b Note:}"), std::string::npos) << body;
  EXPECT_EQ(body.find("End"), std::string::npos) << body;
}

TEST(RtfCopy, WeightAndSlantFollowTheTree) {
  std::string body = Body(RtfOfAll(Styled(
      El("DOC", {Styled(El("P", {Leaf("plain")}), {{1, 9, "medium"}, {1, 8, "emphas"}}),
                 El("P", {Leaf("bold")})}),
      {{1, 9, "bold"}, {1, 8, "italic"}})));
  EXPECT_NE(body.find("{\\fs20\\b0\\i0 plain}"), std::string::npos) << body;
  EXPECT_NE(body.find("{\\fs20\\b\\i bold}"), std::string::npos) << body;
}

TEST(RtfCopy, SelectionCutsItsFirstAndLastLeaf) {
  // DOC: P "abcdef" (0-5), P "ghij" (6-9), P "klm" (10-12)
  Spec doc = El("DOC", {El("P", {Leaf("abcdef")}), El("P", {Leaf("ghij")}), El("P", {Leaf("klm")})});
  struct Case {
    std::int32_t start, length;
    const char* texts;  // the leaves' texts in order, joined by '|'
  } cases[] = {
      {2, 4, "cdef"},         // from the middle of a leaf to its end
      {2, 2, "cd"},           // inside one leaf
      {3, 5, "def|gh"},       // across a boundary
      {5, 6, "f|ghij|k"},     // three paragraphs
      {6, 4, "ghij"},         // one paragraph exactly
      {0, 13, "abcdef|ghij|klm"},
  };
  for (const Case& c : cases) {
    RecordedEngine engine(doc);
    engine.Select(c.start, c.length);
    std::string body = Body(Rtf(engine));
    std::string texts;
    for (std::size_t at = body.find("\\fs20 "); at != std::string::npos;
         at = body.find("\\fs20 ", at + 1)) {
      std::size_t from = at + 6, to = body.find_first_of("{}", from);
      std::string piece = body.substr(from, to - from);
      if (!piece.empty()) texts += (texts.empty() ? "" : "|") + piece;
    }
    EXPECT_EQ(texts, c.texts) << c.start << "+" << c.length << ": " << body;
  }
}

TEST(RtfCopy, LeafLongerThanTheScratchAreaWhole) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += static_cast<char>('a' + i % 26);
  text[9000] = '{';
  std::string rtf = RtfOfAll(El("DOC", {El("P", {Leaf(text)})}));
  std::string escaped = text.substr(0, 9000) + "\\{" + text.substr(9001);
  EXPECT_NE(rtf.find(escaped), std::string::npos);
  ChunkList out;
  RecordedEngine engine(El("DOC", {El("P", {Leaf(text)})}));
  engine.Select(0, 20000);
  ASSERT_TRUE(WriteSelectionRtf(engine, &out));
  EXPECT_EQ(out.Length(), rtf.size());
  // The header's chunk, then the body's three: joined, not copied.
  EXPECT_EQ(out.ChunkCount(), 4u);
}

TEST(RtfCopy, NoSelectionItemWritesNothing) {
  RecordedEngine engine(El("DOC", {El("P", {Leaf("x")})}));
  EXPECT_EQ(Rtf(engine), "(nothing)");
}

TEST(ChunkList, AppendsJoinsAndCopiesAcrossChunks) {
  ChunkList a, b;
  std::string big(ChunkList::kChunkSize - 3, 'a');
  a.Append(big);
  a.Append("12345");
  EXPECT_EQ(a.ChunkCount(), 2u);
  b.Format("%s-%d", "x", 42);
  std::string wide(ChunkList::kChunkSize + 10, 'w');
  b.Format("[%s]", wide.c_str());  // longer than the scratch area: whole
  a.Join(b);
  EXPECT_EQ(b.Length(), 0u);
  EXPECT_EQ(b.ChunkCount(), 0u);
  std::string expected = big + "12345" + "x-42" + "[" + wide + "]";
  EXPECT_EQ(a.Length(), expected.size());
  std::vector<char> block(a.Length() + 1, '\x7f');
  a.CopyTo(block.data());
  EXPECT_EQ(std::string(block.data()), expected);
  a.Append("!");  // the joined chain goes on growing at its end
  EXPECT_EQ(a.ToString(), expected + "!");
  ChunkList empty;
  a.Join(empty);
  EXPECT_EQ(a.Length(), expected.size() + 1);
}

}  // namespace
}  // namespace qs::viewer
