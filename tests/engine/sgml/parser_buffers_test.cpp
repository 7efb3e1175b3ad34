// The scanner takes names, data, literals and blanks in runs out of its
// input's buffer: wherever the buffers end, a document must give the same
// tree, text and reports as when it comes in one piece.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "instance_support.h"

namespace qs::test {
namespace {

// Hands out the first `head` bytes, then `chunk` bytes a refill.
class TrickleStream : public Stream {
 public:
  TrickleStream(std::string bytes, std::size_t head, std::size_t chunk)
      : data_(std::move(bytes)), head_(head), chunk_(chunk) {}
  bool IsReadable() override { return true; }
  void Refill() override {
    std::size_t n = std::min(next_ == 0 ? head_ : chunk_, data_.size() - next_);
    std::memcpy(buffer_, data_.data() + next_, n);
    next_ += n;
    start_ = buffer_;
    end_ = buffer_ + n;
  }

 private:
  std::string data_;
  std::size_t head_, chunk_;
  std::size_t next_ = 0;
  std::uint8_t buffer_[8192];
};

struct Result {
  std::string tree, text, messages;
  bool stopped;
};

Result Parse(Stream* stream) {
  RecordingParser parser;
  parser.ParseDocumentInput(stream, false, 0);
  Document& doc = *parser.GetDocument();
  return {Tree(doc), DocumentText(doc), Describe(parser.messages), parser.Stopped()};
}

const char kSgmlProlog[] =
    "<!DOCTYPE d [<!ELEMENT d - - ANY><!ELEMENT e - O ANY><!ELEMENT pre - - CDATA>"
    "<!ATTLIST e a CDATA #IMPLIED b NAME #IMPLIED id ID #IMPLIED>"
    "<!ENTITY ent \"X&amp;Y\"><!ENTITY #DEFAULT \"dflt\">"
    "<!ENTITY % p \"e\">]>\n";
const char kXmlProlog[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE d [<!ELEMENT d ANY><!ELEMENT e ANY>"
    "<!ATTLIST e a CDATA #IMPLIED b NMTOKEN #IMPLIED id ID #IMPLIED>"
    "<!ENTITY ent \"X&amp;Y\">]>\n";

TEST(ParserBuffers, EveryBufferSizeGivesTheSameDocument) {
  const std::string longName(5000, 'n');
  const std::string longValue(4100, 'v');
  const std::string bodies[] = {
      // Data runs, blanks, record ends (CR LF, lone CR), tabs and references.
      "<d>plain words  and\tmore\r\nlines\rx &ent; y &#65;&#x42; &undef; end</d>",
      // Start and end tags, attributes with and without quotes and blanks.
      "<d><e a=\"one two\" b=tok>x</e><e\n a = 'q&ent;r'\n>y</e><E A=v ID=i1>z</E></d>",
      // UTF-8 whole and broken, NUL, a stray continuation byte, controls
      // and the noncharacters in data.
      "<d>caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xC3x \xE6\x97 \x80 a\x00" "b \xF8\x88"
      " c\x01" "d\x1F" "e \xEF\xBF\xBE \xEF\xBF\xBF</d>",
      // Comments, processing instructions, marked sections, brackets, slashes.
      "<d>a<!-- c -- -- d -->b<?pi data?>c<![ CDATA [ <x> ]]>d]e]]f/g</d>",
      // A name and a literal past the token buffer; hyphens and percents.
      "<d><" + longName + ">t</" + longName + "><e a=\"" + longValue + "\">u</e>a-b--c%p;</d>",
      // Attribute values that keep entity and character references.
      "<d><e a=\"&#1234567;&#0;&ent;&nope;\" b=\"x y\">w</e><e a=\"\xC3\xA9\xC3\">v</e>"
      "<e a=\"t\tu\nv\x02w\">x</e></d>",
  };
  for (const char* prolog : {kSgmlProlog, kXmlProlog}) {
    for (const std::string& body : bodies) {
      EngineScope scope;
      const std::string source = prolog + body + "\n";
      const Result whole = Parse(new MemoryInStream(source.data(), source.size(), "doc"));
      ASSERT_FALSE(whole.tree.empty()) << source;
      for (std::size_t chunk : {1, 2, 3, 7, 61, 4096}) {
        // The prolog comes whole, so that the encoding is found as always.
        Result part = Parse(new TrickleStream(source, std::strlen(prolog), chunk));
        EXPECT_EQ(part.tree, whole.tree) << chunk << " " << body;
        EXPECT_EQ(part.text, whole.text) << chunk << " " << body;
        EXPECT_EQ(part.messages, whole.messages) << chunk << " " << body;
        EXPECT_EQ(part.stopped, whole.stopped) << chunk << " " << body;
      }
    }
  }
}

}  // namespace
}  // namespace qs::test
