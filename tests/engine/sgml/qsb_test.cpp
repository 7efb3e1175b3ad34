// Compiled documents: the bytes the writer lays down, documents that come
// back from a compiled file exactly as they were parsed, and files that are
// not what they claim to be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/stream.h"
#include "instance_support.h"
#include "recording_sink.h"
#include "sgml/catalog.h"
#include "sgml/entityrc.h"
#include "sgml/external_id.h"
#include "sgml/qsb.h"
#include "style/style_rules.h"

namespace qs::test {
namespace {

using namespace std::string_literals;

// The writer's output into a string.
class StringOut : public Stream {
 public:
  void PutChar(std::uint8_t c) override { bytes.push_back(char(c)); }
  std::int32_t Tell() override { return std::int32_t(bytes.size()); }
  std::string bytes;
};

struct Compiled {
  bool ok = false;
  std::string bytes;
  QsbIndexRecord index;
  // Section i as bytes (9 is the text).
  std::string Section(int i) const {
    std::size_t from = std::size_t(index.positions[i - 1]);
    std::size_t to = i < 9 ? std::size_t(index.positions[i]) : bytes.size();
    return bytes.substr(from, to - from);
  }
};

Compiled Compile(Document& document) {
  Compiled out;
  StringOut stream;
  out.ok = WriteQsb(document, stream, &out.index);
  out.bytes = stream.bytes;
  return out;
}

// A loaded document (null when refused); the bytes stay alive meanwhile.
Document* Load(const std::string& bytes, const char* name = "C:\\docs\\loaded.sgm") {
  auto* in = new MemoryInStream(bytes.data(), bytes.size(), "qsb");
  Document* document = ReadQsb(*in, name, nullptr);
  in->Release();
  return document;
}

// Hands the bytes out `piece` at a time through one buffer that each refill
// overwrites, as a file stream does: a reader that kept a pointer into an
// earlier block would see other bytes there.
class ChoppedIn : public Stream {
 public:
  ChoppedIn(const std::string& bytes, std::size_t piece)
      : bytes_(bytes), piece_(piece), buffer_(piece) {
    start_ = cur_ = end_ = buffer_.data();
  }
  void Refill() override {
    std::size_t n = std::min(piece_, bytes_.size() - at_);
    std::fill(buffer_.begin(), buffer_.end(), 0xEE);
    std::memcpy(buffer_.data(), bytes_.data() + at_, n);
    at_ += n;
    start_ = buffer_.data();
    end_ = start_ + n;
    if (at_ == bytes_.size()) state_ = kLastBuffer;
  }

 private:
  std::string bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
  std::vector<std::uint8_t> buffer_;
};

Document* LoadChopped(const std::string& bytes, std::size_t piece,
                      const char* name = "C:\\docs\\loaded.sgm") {
  auto* in = new ChoppedIn(bytes, piece);
  Document* document = ReadQsb(*in, name, nullptr);
  in->Release();
  return document;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Everything a reader of the document can see, one line per item.
std::string Dump(Document& d) {
  std::string out;
  auto line = [&](const std::string& s) { out += s + "\n"; };
  line(std::string("fold ") + (d.foldsNames ? "1" : "0"));
  line(std::string("title ") + (d.TitleExcerpt() ? d.TitleExcerpt() : "-"));
  line(std::string("doctype ") +
       (d.DoctypeId() && d.DoctypeId()->PublicId() ? d.DoctypeId()->PublicId() : "-"));
  line(std::string("text ") + DocumentText(d));
  if (d.Root()) {
    std::string all(d.Root()->end - d.Root()->start + 1, '\0');
    all.resize(d.ExtractText(all.data(), d.Root()->start, d.Root()->end));
    line("extract " + all);
  }
  // The tree, with each node's class, flags and ID.
  struct Walk {
    static void Node(DocumentNode* n, int depth, std::string& out) {
      for (; n; n = n->Next()) {
        out += std::string(std::size_t(depth), ' ') + n->GetNameText() + " [" +
               std::to_string(n->start) + "," + std::to_string(n->end) + ") f" +
               std::to_string(n->flags) + " t" + std::to_string(n->Decl()->flags);
        if (n->GetId()) out += std::string(" id=") + n->GetId();
        if (n->IsGraphic()) out += " graphic";
        if (n->GetEntity()) out += std::string(" entity=") + n->GetEntity()->GetName();
        if (Attribute* const* v = n->GetAttributeValues()) {
          for (; *v; ++v) out += std::string(" ") + (*v)->GetName() + "=" + (*v)->Value();
        }
        out += "\n";
        Node(n->First(), depth + 1, out);
      }
    }
  };
  Walk::Node(d.Root(), 0, out);
  for (Mark* m = d.FirstMark(); m; m = m->next) {
    line("mark " + std::to_string(m->Kind()) + " " + std::to_string(m->Start()) + " " +
         std::to_string(m->GetEnd()) + (m->GetEntity() ? m->GetEntity()->GetName() : "") +
         (m == d.firstKeptMarkup ? " first-kept" : ""));
  }
  // Entities in name order: a table's order is its hashing's business.
  std::vector<std::string> entities;
  for (EntityDecl* e = d.FirstEntity(); e; e = d.NextEntity()) {
    std::string s = std::string("entity ") + e->GetName() + " " + std::to_string(e->GetType());
    if (e->GetText()) s += std::string(" text=") + e->GetText();
    if (ExternalId* id = e->GetExternalId()) {
      s += std::string(" sys=") + (id->SystemId() ? id->SystemId() : "-") +
           " pub=" + (id->PublicId() ? id->PublicId() : "-");
    }
    if (e->GetNotation()) s += std::string(" ndata=") + e->GetNotation()->Name();
    if (Attribute* const* v = e->GetDataAttributes()) {
      for (; *v; ++v) s += std::string(" ") + (*v)->GetName() + "=" + (*v)->Value();
    }
    entities.push_back(s);
  }
  std::sort(entities.begin(), entities.end());
  for (const std::string& s : entities) line(s);
  for (ListNode* r = d.Resources().First(); r; r = r->Next()) {
    auto* ref = static_cast<ResourceRef*>(r);
    line("resource " + std::to_string(ref->Kind()) + " " + (ref->Title() ? ref->Title() : "") +
         " " + (ref->Id()->SystemId() ? ref->Id()->SystemId() : ""));
  }
  for (LinkRuleRecord* r = d.Links().FirstElement(); r; r = d.Links().NextElement()) {
    for (LinkRule* rule = r->FirstRule(); rule; rule = rule->Next()) {
      line(std::string("taglink ") + NameText(r->Name()) + " " +
           (rule->ConditionText() ? rule->ConditionText() : "-") + " " + rule->Text1() + " " +
           (rule->Text2() ? rule->Text2() : "-"));
    }
  }
  for (LinkRuleRecord* r = d.Links().FirstAttribute(); r; r = d.Links().NextAttribute()) {
    for (LinkValueRules* v = r->FirstValue(); v; v = v->Next()) {
      for (LinkRule* rule = v->FirstRule(); rule; rule = rule->Next()) {
        line(std::string("attlink ") + NameText(r->Name()) + " " + v->ValueText() + " " +
             (rule->ConditionText() ? rule->ConditionText() : "-") + " " + rule->Text1() + " " +
             (rule->Text2() ? rule->Text2() : "-"));
      }
    }
  }
  for (ListNode* w = d.WebReferences().First(); w; w = w->Next()) {
    line(std::string("web ") + static_cast<WebReference*>(w)->Id()->SystemId());
  }
  return out;
}

// ---- The bytes -------------------------------------------------------------------

// A document made by hand: one element, no attributes, no text.
TEST(QsbFormat, EmptySectionsBareNodesAndNoMarks) {
  EngineScope scope;
  auto* id = new ExternalId(nullptr, nullptr, nullptr, "C:\\docs\\bare.sgm", nullptr,
                            ExternalId::kGeneralEntity);
  auto* document = new Document(id);
  id->Release();
  auto* dtd = new Dtd();
  document->SetDtd(dtd);
  ElementTypeDecl* type = dtd->FindOrDeclareElementType("D");
  dtd->Release();
  document->SetRoot(new (document->Pool()) DocumentNode(type, 0, 0));
  auto* text = new TextStore;
  document->SetText(text);
  text->Release();
  text->Close();

  Compiled c = Compile(*document);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.bytes.substr(0, std::size_t(c.index.positions[0])),
            std::string("QSB01\0bare.sgm\0\0\0", 17));
  EXPECT_EQ(Hex(c.Section(1)), "00 00");
  EXPECT_EQ(Hex(c.Section(2)), "00 00");
  EXPECT_EQ(Hex(c.Section(3)), "00 01 44 00 00 00 00");  // "D", flags, no attributes
  EXPECT_EQ(Hex(c.Section(4)), "00");
  // A bare node: flags, type index, start, end, node byte.
  EXPECT_EQ(Hex(c.Section(5)), "00 00 00 00 00 00 00 00 00 08");
  EXPECT_EQ(Hex(c.Section(6)), "00 00");
  EXPECT_EQ(Hex(c.Section(7)), "FF FF FF");
  EXPECT_EQ(Hex(c.Section(8)), "00");
  // No text: the file ends after section 8.
  EXPECT_EQ(std::size_t(c.index.positions[8]), c.bytes.size());

  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(Dump(*loaded), Dump(*document));
  EXPECT_EQ(loaded->TextLength(), 0u);
  loaded->Release();
  document->Release();
}

TEST(QsbFormat, HeaderAttributesEntitiesAndMarks) {
  EngineScope scope;
  ParsedText p(
      "<!DOCTYPE d PUBLIC \"-//X//DTD D//EN\" [<!ELEMENT d - - (#PCDATA|e)*>"
      "<!ELEMENT e - O EMPTY><!ATTLIST e k (a|b) a>"
      "<!ENTITY ext SYSTEM \"ext.txt\"><!ENTITY int \"ab\">]>"
      "<d>x<e k=b>y\ny</d>");
  ASSERT_FALSE(p.parser->Stopped());
  Compiled c = Compile(*p.document);
  ASSERT_TRUE(c.ok);
  // Header: no file, the type's public identifier, no title.
  std::string header = c.bytes.substr(6, std::size_t(c.index.positions[0]) - 6);
  EXPECT_EQ(header.substr(header.find('\0')), std::string("\0-//X//DTD D//EN\0\0", 18));
  // K: flags, declared value 0 with its token group, default kind 0 with
  // its default value.
  EXPECT_EQ(c.Section(1), std::string("\0\1K\0\0\0\0A\0B\0\0A\0", 14));
  // An external entity without a notation: 0xFFFF and no attribute list.
  std::string entities = c.Section(4);
  EXPECT_NE(entities.find(std::string("ext\0\x80\0ext.txt\0\xFF\xFF", 16)), std::string::npos)
      << Hex(entities);
  EXPECT_NE(entities.find(std::string("int\0\0ab\0", 8)), std::string::npos) << Hex(entities);
  EXPECT_EQ(Hex(c.Section(7)), "FF FF FF");
  EXPECT_EQ(c.Section(9), DocumentText(*p.document));
}

// A document parsed against a registered type lists a name declared in both
// tables twice: it is written once, its own declaration first. Thousands of
// names, some alike in length and letters, each still come once.
TEST(QsbFormat, EntitiesComeOnceEachInTheOrderListed) {
  EngineScope scope;
  DerivedParse p(
      "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)><!ENTITY both \"type's\">"
      "<!ENTITY shared \"from type\">]><d>x</d>",
      "<d>&shared;</d>");
  ASSERT_FALSE(p.declaring.parser->Stopped());
  ASSERT_EQ(p.messages, "");
  DerivedDocument* derived = p.derived;
  ASSERT_TRUE(derived->AddEntity(new TextEntityDecl("both", 0, "own")));
  constexpr int kMany = 3000;
  for (int i = 0; i < kMany; ++i) {
    std::string name = "e" + std::to_string(i), text = "t" + std::to_string(i);
    ASSERT_TRUE(derived->AddEntity(new TextEntityDecl(name.c_str(), 0, text.c_str())));
  }
  Compiled c = Compile(*derived);
  ASSERT_TRUE(c.ok);
  // Name, type byte, text: each entity's record is found whole.
  const std::string entities = c.Section(4);
  auto count = [&](const std::string& record) {
    int n = 0;
    for (std::size_t at = entities.find(record); at != std::string::npos;
         at = entities.find(record, at + 1)) {
      if (at == 0 || entities[at - 1] == '\0') ++n;
    }
    return n;
  };
  EXPECT_EQ(count("both\0\0own\0"s), 1);
  EXPECT_EQ(count("both\0\0type's\0"s), 0);
  EXPECT_EQ(count("shared\0\0from type\0"s), 1);
  int missing = 0;
  for (int i = 0; i < kMany; ++i) {
    const std::string record = "e" + std::to_string(i) + "\0\0t"s + std::to_string(i) + "\0"s;
    if (count(record) != 1) {
      if (!missing) ADD_FAILURE() << i << " " << count(record);
      ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_STREQ(loaded->FindEntityOrDefault("both")->GetText(), "own");
  EXPECT_STREQ(loaded->FindEntityOrDefault("e2999")->GetText(), "t2999");
  loaded->Release();
}

// An instruction's span under 2,040 bytes gives a record; one of 2,040 stays
// only a mark.
TEST(QsbFormat, LongInstructionsStayMarksWithoutRecords) {
  EngineScope scope;
  for (std::size_t span : {2039u, 2040u}) {
    std::string pi = "STYLESPEC \"T\" \"";
    pi += std::string(span - pi.size() - 1, 's') + "\"";
    ASSERT_EQ(pi.size(), span);
    ParsedText p("<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>a<?" + pi + ">b</d>");
    ASSERT_EQ(p.Messages(), "");
    Compiled c = Compile(*p.document);
    ASSERT_TRUE(c.ok);
    std::string marks = c.Section(7);
    ASSERT_EQ(marks.size(), 3u + 1 + 3 + 3) << Hex(marks);
    EXPECT_EQ(marks[3], 6);
    if (span < 2040) {
      // Type, "T", the file name as the parser cuts arguments (1,023
      // bytes), the end byte.
      EXPECT_EQ(c.Section(8).size(), 1u + 2 + 1023 + 1 + 1) << span;
      EXPECT_EQ(c.Section(8)[0], 1);
    } else {
      EXPECT_EQ(Hex(c.Section(8)), "00");
    }
  }
}

// The writer takes strings as long as the parser's longest literal and
// refuses longer ones; whatever it writes reads back whole.
TEST(QsbFormat, LongStringsReadBackWhole) {
  EngineScope scope;
  RecordingSink sink;
  std::string value(4000, 'v');
  ParsedText p("<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)><!ATTLIST d a CDATA #IMPLIED>]><d a=\"" +
               value + "\">x</d>");
  ASSERT_EQ(p.Messages(), "");
  Compiled c = Compile(*p.document);
  ASSERT_TRUE(c.ok);
  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(std::string(loaded->Root()->GetAttributeValue("A")), value);
  EXPECT_EQ(Dump(*loaded), Dump(*p.document));
  loaded->Release();
  EXPECT_TRUE(sink.messages().empty());
}

TEST(QsbFormat, AStringOverTheLimitFailsTheWrite) {
  EngineScope scope;
  RecordingSink sink;
  ParsedText p("<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>x</d>");
  // A title longer than any string the reader takes: made by hand.
  p.document->SetTitleText(std::string(kQsbStringMax + 1, 't').c_str());
  Compiled c = Compile(*p.document);
  EXPECT_FALSE(c.ok);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Internal Error 9");
}

// An object the writer's tables do not hold (here a notation mark without
// its notation) fails the whole write with its code.
TEST(QsbFormat, AnObjectMissingFromTheTablesFailsTheWrite) {
  EngineScope scope;
  RecordingSink sink;
  ParsedText p("<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>xyz</d>");
  p.document->AppendMark(new (p.document->Pool()) NotationMark(1, 2, 0));
  Compiled c = Compile(*p.document);
  EXPECT_FALSE(c.ok);
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].text, "Internal Error 8");
}

// Marks of kind 5 carry style property sets: section 6 holds each once.
TEST(QsbFormat, StyledTextMarksCarryTheirPropertySets) {
  EngineScope scope;
  ParsedText p("<!DOCTYPE d [<!ELEMENT d - - (#PCDATA)>]><d>abcdef</d>");
  StyleProps red, plain;
  red.SetFontColor("red");
  red.SetShadowColor("grey");
  StyleProps::SetBits(&red.fontByte, StyleProps::kSlantMask, StyleProps::kSlantEmphas);
  StyleProps::SetBits(&red.fontByte, StyleProps::kWeightMask, StyleProps::kWeightBold);
  red.fontSize = 12;
  red.fontScale = 0x1234;
  DocumentPool& pool = p.document->Pool();
  p.document->AppendMark(new (pool) RecordMark(0, 2, reinterpret_cast<std::intptr_t>(&red)));
  p.document->AppendMark(new (pool) RecordMark(2, 4, reinterpret_cast<std::intptr_t>(&plain)));
  p.document->AppendMark(new (pool) RecordMark(4, 6, reinterpret_cast<std::intptr_t>(&red)));
  Compiled c = Compile(*p.document);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.Section(6), "\0\2red\0grey\0\x14\x0C\x12\x34\0\0\0\0\0\0"s);
  EXPECT_EQ(Hex(c.Section(7)),
            "00 00 00 05 00 00 02 00 00 00 00 02 05 00 00 04 00 01 00 00 04 05 00 00 06 00 00 "
            "FF FF FF");
  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  std::vector<const StyleProps*> sets;
  for (Mark* m = loaded->FirstMark(); m; m = m->next) {
    ASSERT_EQ(m->Kind(), kMarkStyledText);
    sets.push_back(reinterpret_cast<const StyleProps*>(static_cast<RecordMark*>(m)->record));
  }
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(sets[0], sets[2]);
  EXPECT_STREQ(NameText(sets[0]->fontColor), "red");
  EXPECT_STREQ(NameText(sets[0]->shadowColor), "grey");
  EXPECT_EQ(sets[0]->fontByte & StyleProps::kSlantMask, StyleProps::kSlantEmphas);
  EXPECT_EQ(sets[0]->fontByte & StyleProps::kWeightMask, StyleProps::kWeightBold);
  EXPECT_EQ(sets[0]->fontSize, 12);
  EXPECT_EQ(sets[0]->fontScale, 0x1234);
  EXPECT_EQ(sets[1]->fontColor, nullptr);
  EXPECT_EQ(sets[1]->fontByte & (StyleProps::kSlantMask | StyleProps::kWeightMask), 0);
  loaded->Release();
  // Slant and weight bits that name no value are refused.
  for (char flags : {'\x03', '\x18', '\x20'}) {
    std::string bad = c.bytes;
    bad[std::size_t(c.index.positions[5]) + 2 + 9] = flags;
    RecordingSink sink;
    EXPECT_EQ(Load(bad), nullptr) << int(flags);
  }
}

// ---- Round trips -------------------------------------------------------------------

// Parses, compiles, loads: the loaded document is the parsed one.
void ExpectRoundTrip(Document& parsed, const char* name = "C:\\docs\\loaded.sgm") {
  Compiled c = Compile(parsed);
  ASSERT_TRUE(c.ok);
  Document* loaded = Load(c.bytes, name);
  ASSERT_NE(loaded, nullptr);
  std::string got = Dump(*loaded), want = Dump(parsed);
  EXPECT_EQ(got, want);
  if (got != want) {
    FILE* f = std::fopen((testing::TempDir() + "qsb-got.txt").c_str(), "w");
    std::fputs(got.c_str(), f);
    std::fclose(f);
    f = std::fopen((testing::TempDir() + "qsb-want.txt").c_str(), "w");
    std::fputs(want.c_str(), f);
    std::fclose(f);
  }
  // And again from the loaded document (its tables may come in another
  // order, as hash tables go): the same document.
  Compiled again = Compile(*loaded);
  EXPECT_TRUE(again.ok);
  Document* reloaded = Load(again.bytes, name);
  ASSERT_NE(reloaded, nullptr);
  EXPECT_EQ(Dump(*reloaded), want);
  reloaded->Release();
  loaded->Release();
}

TEST(QsbRoundTrip, InstructionsIdsEntitiesAndGraphics) {
  EngineScope scope;
  RecordingSink sink;
  ParsedText p(
      "<?DOCWEB \"notes.web\"><!DOCTYPE d [<!ELEMENT d - - (t,(p|g)*)>"
      "<!ELEMENT t - - (#PCDATA)><!ELEMENT p - - (#PCDATA)><!ELEMENT g - O EMPTY>"
      "<!ATTLIST p id ID #IMPLIED ref IDREF #IMPLIED>"
      "<!ATTLIST g graphic ENTITY #REQUIRED id ID #IMPLIED quenda-af CDATA #IMPLIED "
      "ref IDREF #IMPLIED>"
      "<!NOTATION gif SYSTEM \"viewer.exe\"><!ATTLIST #NOTATION gif w CDATA \"1\">"
      "<!ENTITY pic SYSTEM \"pic.gif\" NDATA gif [w=\"7\"]>"
      "<!ENTITY txt \"text\">]>"
      "<?STYLESPEC \"Screen\" \"screen.ss\"><?NAVIGATOR \"Contents\" \"toc.nav\">"
      "<?TAGLINK p HREF><?ATTLINK p ref IDREF TARGET>"
      "<?TAGLINK #ARCHFORM arch p LINK extra>"
      "<d><t>Title &txt;</t><p id=one>a\tb\nc</p><g graphic=pic id=two quenda-af=hotspot ref=one>"
      "<p ref=one>see</p><?STYLESPEC \"Print\" \"print.ss\"></d>");
  ASSERT_EQ(p.Messages(), "");
  p.document->SetTitleExcerpt("D,T");
  ASSERT_NE(p.document->TitleExcerpt(), nullptr);
  std::string dump = Dump(*p.document);
  // What the fixture is there to carry.
  EXPECT_NE(dump.find("resource 0 Screen screen.ss"), std::string::npos) << dump;
  EXPECT_NE(dump.find("resource 0 Print print.ss"), std::string::npos) << dump;
  EXPECT_NE(dump.find("resource 1 Contents toc.nav"), std::string::npos) << dump;
  EXPECT_NE(dump.find("taglink P - HREF -"), std::string::npos) << dump;
  EXPECT_NE(dump.find("taglink P ARCH LINK extra"), std::string::npos) << dump;
  EXPECT_NE(dump.find("attlink REF P - IDREF TARGET"), std::string::npos) << dump;
  EXPECT_NE(dump.find("web notes.web"), std::string::npos) << dump;
  EXPECT_NE(dump.find(" graphic"), std::string::npos) << dump;
  ExpectRoundTrip(*p.document);

  Compiled c = Compile(*p.document);
  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  ElementNode* one = loaded->FindElementById("ONE");
  ASSERT_NE(one, nullptr);
  EXPECT_STREQ(one->GetNameText(), "P");
  EXPECT_EQ(loaded->FindElementById("TWO"), loaded->Root()->First()->Next()->Next());
  ASSERT_NE(loaded->FirstGraphic(), nullptr);
  EXPECT_STREQ(loaded->FirstGraphic()->entity->GetName(), "pic");
  loaded->Release();
  EXPECT_TRUE(sink.messages().empty());
}

TEST(QsbRoundTrip, XmlInstructionSwitchesNames) {
  EngineScope scope;
  ParsedText p("<?xml version=\"1.0\"?><!DOCTYPE doc [<!ELEMENT doc (#PCDATA|Item)*>"
               "<!ELEMENT Item EMPTY><!ATTLIST Item Kind CDATA #IMPLIED>]>"
               "<doc>a &lt; b<Item Kind=\"x\"/></doc>");
  ASSERT_EQ(p.Messages(), "");
  ASSERT_FALSE(p.document->foldsNames);
  Compiled c = Compile(*p.document);
  Document* loaded = Load(c.bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(loaded->foldsNames);
  EXPECT_STREQ(loaded->Root()->First()->GetAttributeValue("Kind"), "x");
  loaded->Release();
  ExpectRoundTrip(*p.document);
}

// Values met once and values met again, read whole and from blocks of one
// byte (each list then goes the careful way): the document is the one
// parsed, and every value's use is given back when it goes.
TEST(QsbRoundTrip, DistinctAndRepeatedValuesGiveBackTheirUses) {
  EngineScope scope;
  auto* p = new ParsedText(
      "<?xml version='1.0'?><!DOCTYPE r [<!ATTLIST a id ID #IMPLIED>]>"
      "<r><a href='u1' c='k'/><a href='u2' c='k'/><a href='u1' c='k'/>"
      "<a href='u1' c='k'/><a id='i1' href='i1'/><a c='u3' href='u3'/><a c='k'/></r>");
  ASSERT_EQ(p->Messages(), "");
  Compiled c = Compile(*p->document);
  ASSERT_TRUE(c.ok);
  const std::string want = Dump(*p->document);
  // Gone before the loads, so that no value is held by anything else.
  delete p;
  for (std::size_t piece : {std::size_t(1), c.bytes.size()}) {
    SCOPED_TRACE("blocks of " + std::to_string(piece));
    Document* loaded = LoadChopped(c.bytes, piece);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Dump(*loaded), want);
    EXPECT_EQ(loaded->FindElementById("i1"), loaded->Root()->First()->Next()->Next()->Next()->Next());
    HeldNames held{"u1", "u2", "u3", "k", "i1"};
    loaded->Release();
    held.ReleaseExpectingNoOtherUse();
  }
}

// Elements carrying the same attribute lists, short and long ones, with and
// without IDs, read from blocks of every size: each list lands in a block
// whole, cut in two, or spread over many. Equal lists come back as one
// shared array, each element keeps its own ID, and the document is the one
// parsed.
TEST(QsbRoundTrip, SharedAttributeListsAcrossBlocks) {
  EngineScope scope;
  std::string source =
      "<!DOCTYPE d [<!ELEMENT d - - (e|f)*><!ELEMENT e - - (#PCDATA)><!ELEMENT f - O EMPTY>"
      "<!ATTLIST e id ID #IMPLIED k CDATA #IMPLIED note CDATA #IMPLIED>"
      "<!ATTLIST f k CDATA #IMPLIED n NUMBER #IMPLIED>]><d>";
  const std::string longNote(300, 'w');
  for (int i = 0; i < 60; ++i) {
    std::string n = std::to_string(i);
    switch (i % 5) {
      case 0: source += "<e k=ucs>" + n + "</e>"; break;
      case 1: source += "<f k=jis n=3>"; break;
      case 2: source += "<e id=x" + n + " k=ucs>" + n + "</e>"; break;
      case 3: source += "<e k=ucs note=\"" + longNote + "\">" + n + "</e>"; break;
      default: source += "<f k=\"a rather longer value than the short lists carry\" n=" + n + ">";
    }
  }
  source += "</d>";
  ParsedText p(source);
  ASSERT_EQ(p.Messages(), "");
  Compiled c = Compile(*p.document);
  ASSERT_TRUE(c.ok);
  const std::string want = Dump(*p.document);
  for (std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(5),
                            std::size_t(7), std::size_t(13), std::size_t(64), std::size_t(333),
                            std::size_t(4096), c.bytes.size()}) {
    SCOPED_TRACE("blocks of " + std::to_string(piece));
    Document* loaded = LoadChopped(c.bytes, piece);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Dump(*loaded), want);
    std::vector<DocumentNode*> nodes;
    for (DocumentNode* n = loaded->Root()->First(); n; n = n->Next()) nodes.push_back(n);
    ASSERT_EQ(nodes.size(), 60u);
    for (int i = 0; i < 60; ++i) {
      Attribute* const* values = nodes[std::size_t(i)]->GetAttributeValues();
      ASSERT_NE(values, nullptr) << i;
      if (i >= 5 && i % 5 != 2 && i % 5 != 4) {
        EXPECT_EQ(values, nodes[std::size_t(i % 5)]->GetAttributeValues()) << i;
      }
      if (i % 5 == 2) {
        std::string id = "X" + std::to_string(i);
        EXPECT_EQ(loaded->FindElementById(id.c_str()), nodes[std::size_t(i)]) << id;
        EXPECT_STREQ(nodes[std::size_t(i)]->GetId(), id.c_str());
      } else {
        EXPECT_EQ(nodes[std::size_t(i)]->GetId(), nullptr) << i;
      }
    }
    loaded->Release();
  }
}

// Lists that begin alike: values with a long common start (more of them
// than a set of the reader's table holds), short lists whose next bytes
// differ, and short lists of two values, in turn. Each list comes back with
// its own values, equal ones as one shared array, unequal ones never.
TEST(QsbRoundTrip, AttributeListsThatBeginAlike) {
  EngineScope scope;
  const char* const values[] = {"nelson_c", "nelson_n", "nelson_cx", "nelson", "nelson_a",
                                "nelson_b", "fr",       "es",        "",       "x"};
  constexpr int kValues = sizeof values / sizeof values[0];
  std::string source =
      "<!DOCTYPE d [<!ELEMENT d - - (e|f)*><!ELEMENT e - - (#PCDATA)><!ELEMENT f - O EMPTY>"
      "<!ATTLIST e t CDATA #IMPLIED><!ATTLIST f t CDATA #IMPLIED u CDATA #IMPLIED>]><d>";
  std::vector<std::string> lists;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < kValues; ++i) {
      const std::string v = values[(i * (round + 1)) % kValues];
      if (i % 3 == 2) {
        source += "<f t=\"" + v + "\" u=\"" + v + "\">";
        lists.push_back("f " + v + " " + v);
      } else {
        source += "<e t=\"" + v + "\">" + std::to_string(i) + "</e>";
        lists.push_back("e " + v);
      }
    }
  }
  source += "</d>";
  ParsedText p(source);
  ASSERT_EQ(p.Messages(), "");
  Compiled c = Compile(*p.document);
  ASSERT_TRUE(c.ok);
  const std::string want = Dump(*p.document);
  for (std::size_t piece : {std::size_t(1), std::size_t(9), c.bytes.size()}) {
    SCOPED_TRACE("blocks of " + std::to_string(piece));
    Document* loaded = LoadChopped(c.bytes, piece);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Dump(*loaded), want);
    std::vector<DocumentNode*> nodes;
    for (DocumentNode* n = loaded->Root()->First(); n; n = n->Next()) nodes.push_back(n);
    ASSERT_EQ(nodes.size(), lists.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        const bool same = nodes[i]->GetAttributeValues() == nodes[j]->GetAttributeValues();
        EXPECT_EQ(same, lists[i] == lists[j]) << lists[i] << " / " << lists[j];
      }
    }
    loaded->Release();
  }
}

// Documents of the system's packages (each skipped when missing).
TEST(QsbRoundTrip, RealDocuments) {
  struct Case {
    const char* path;
    bool html;
  };
  std::vector<Case> cases = {
      {"/usr/share/help/C/gtk-doc-manual/index.docbook", false},
      {"/usr/share/doc/docbook-xml/examples/test-4.5.xml", false},
      {"/usr/share/doc/docbook-xml/examples/test-si-4.4.xml", false},
      {"/usr/share/doc/docbook-xml/examples/test-legacy-si-4.2.xml", false},
      {"/usr/share/doc/man-db/examples/manpage.example.sgml", false},
      {"/usr/share/doc/base-passwd/users-and-groups.html", true},
  };
  std::string folder = testing::TempDir() + "qsb-catalog";
  std::string catalogPath = folder + ".cat";
  {
    FILE* f = std::fopen(catalogPath.c_str(), "w");
    ASSERT_NE(f, nullptr);
    const char* html = "/usr/share/sgml/html/dtd/4.01";
    std::fprintf(f,
                 "PUBLIC \"-//W3C//DTD HTML 4.01//EN\" \"%s/strict.dtd\"\n"
                 "PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"%s/loose.dtd\"\n"
                 "PUBLIC \"-//W3C//ENTITIES Latin1//EN//HTML\" "
                 "\"/usr/share/sgml/html/entities/HTMLlat1.ent\"\n"
                 "PUBLIC \"-//W3C//ENTITIES Symbols//EN//HTML\" "
                 "\"/usr/share/sgml/html/entities/HTMLsymbol.ent\"\n"
                 "PUBLIC \"-//W3C//ENTITIES Special//EN//HTML\" "
                 "\"/usr/share/sgml/html/entities/HTMLspecial.ent\"\n"
                 "CATALOG \"/etc/sgml/catalog\"\n",
                 html, html);
    std::fclose(f);
  }
  int compared = 0;
  for (const Case& c : cases) {
    if (!std::fopen(c.path, "r")) continue;
    if (c.html && !std::fopen("/usr/share/sgml/html/dtd/4.01/strict.dtd", "r")) continue;
    SCOPED_TRACE(c.path);
    EngineScope scope;
    // Text beyond the block cache's memory goes to files there.
    std::string temp = testing::TempDir();
    scope.engine().Initialize(nullptr, nullptr, nullptr, temp.c_str(), nullptr);
    RecordingSink sink;
    auto* catalog = new Catalog(catalogPath.c_str());
    catalog->Reload();
    {
      ReportingParser parser(nullptr, 0, catalog, nullptr, nullptr, nullptr);
      auto* id = new ExternalId(catalog, nullptr, nullptr, c.path, nullptr,
                                ExternalId::kGeneralEntity);
      parser.ParseSource(id, false);
      id->Release();
      ASSERT_FALSE(parser.Stopped());
      ExpectRoundTrip(*parser.GetDocument(), c.path);
    }
    delete catalog;
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "no documents installed";
}

// ---- Bad files -----------------------------------------------------------------------

class QsbBadFiles : public testing::Test {
 protected:
  void SetUp() override {
    parsed_ = new ParsedText(
        "<!DOCTYPE d [<!ELEMENT d - - (#PCDATA|e)*><!ELEMENT e - - (#PCDATA|e)*>"
        "<!ATTLIST e id ID #IMPLIED k (a|b) a>"
        "<!NOTATION n SYSTEM><!ENTITY x SYSTEM \"x.bin\" NDATA n>]>"
        "<?STYLESPEC \"S\" \"s.ss\"><d>a<e id=i1>b<e k=b>c\n</e></e>&x;<?pi>z</d>");
    ASSERT_EQ(parsed_->Messages(), "");
    good_ = Compile(*parsed_->document);
    ASSERT_TRUE(good_.ok);
  }
  void TearDown() override { delete parsed_; }

  // Refused with error 24 and nothing else.
  void ExpectRefused(const std::string& bytes, const std::string& what) {
    RecordingSink sink;
    Document* d = Load(bytes);
    EXPECT_EQ(d, nullptr) << what;
    if (d) d->Release();
    ASSERT_EQ(sink.messages().size(), 1u) << what;
    EXPECT_EQ(sink.messages()[0].text, "Not an QSB file") << what;
  }
  std::string Patched(std::size_t at, const std::string& with) const {
    std::string bytes = good_.bytes;
    bytes.replace(at, with.size(), with);
    return bytes;
  }
  std::size_t Pos(int section) const { return std::size_t(good_.index.positions[section - 1]); }

  EngineScope scope_;
  ParsedText* parsed_ = nullptr;
  Compiled good_;
};

TEST_F(QsbBadFiles, NotACompiledFile) {
  ExpectRefused("", "empty");
  ExpectRefused("<!DOCTYPE d><d>x</d>", "a document");
  ExpectRefused(std::string("QSB02\0", 6) + good_.bytes.substr(6), "another magic");
  {
    RecordingSink sink;
    Document* d = Load(good_.bytes);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Dump(*d), Dump(*parsed_->document));
    d->Release();
    EXPECT_TRUE(sink.messages().empty());
  }
}

TEST_F(QsbBadFiles, EveryTruncation) {
  // Cut anywhere before the text: refused. Into the text: the offsets then
  // point past its end, refused too.
  std::size_t textLength = parsed_->document->TextLength();
  ASSERT_GT(textLength, 0u);
  for (std::size_t n = 0; n < good_.bytes.size(); ++n) {
    ExpectRefused(good_.bytes.substr(0, n), "cut at " + std::to_string(n));
  }
}

TEST_F(QsbBadFiles, EveryTruncationInSmallBlocks) {
  for (std::size_t piece : {1, 3, 7}) {
    for (std::size_t n = 0; n < good_.bytes.size(); ++n) {
      RecordingSink sink;
      Document* d = LoadChopped(good_.bytes.substr(0, n), piece);
      EXPECT_EQ(d, nullptr) << "cut at " << n << ", blocks of " << piece;
      if (d) d->Release();
      ASSERT_EQ(sink.messages().size(), 1u) << n;
      EXPECT_EQ(sink.messages()[0].text, "Not an QSB file");
    }
    RecordingSink sink;
    Document* d = LoadChopped(good_.bytes, piece);
    ASSERT_NE(d, nullptr) << piece;
    EXPECT_EQ(Dump(*d), Dump(*parsed_->document));
    d->Release();
  }
}

// A node's attribute list with an index past the table, and one whose value
// never ends: refused whether the list lies in one block or is cut.
TEST_F(QsbBadFiles, CorruptNodeAttributeLists) {
  std::size_t value = good_.bytes.find(std::string("I1\0", 3), Pos(5));  // IDs fold to upper case
  ASSERT_NE(value, std::string::npos);
  std::string badIndex = Patched(value - 2, "\xFF\xF0"s);
  // From the value on, no NUL for longer than any string may be.
  std::string endless = good_.bytes.substr(0, value) + std::string(kQsbStringMax + 10, 'v');
  for (std::size_t piece : {std::size_t(1), std::size_t(5), good_.bytes.size() + 5000}) {
    SCOPED_TRACE("blocks of " + std::to_string(piece));
    for (const std::string* bytes : {&badIndex, &endless}) {
      RecordingSink sink;
      Document* d = LoadChopped(*bytes, piece);
      EXPECT_EQ(d, nullptr);
      if (d) d->Release();
      ASSERT_EQ(sink.messages().size(), 1u);
      EXPECT_EQ(sink.messages()[0].text, "Not an QSB file");
    }
  }
  ExpectRefused(badIndex, "attribute index past the table");
  ExpectRefused(endless, "an attribute value without its end");
}

TEST_F(QsbBadFiles, CorruptCountsIndexesOffsetsAndDepths) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string root = good_.Section(5);
  std::size_t tree = Pos(5);
  std::vector<Case> cases = {
      {"attribute count past the data", Patched(Pos(1), "\xFF\xFF"s)},
      {"notation count past the data", Patched(Pos(2), "\x00\x09"s)},
      {"element count past the data", Patched(Pos(3), "\x01\x00"s)},
      {"element type index out of range", Patched(tree + 1, "\x00\x63"s)},
      {"node start after its end", Patched(tree + 3, "\x00\x00\x05"s)},
      {"node end past the text", Patched(tree + 6, "\x7F\xFF\xFF"s)},
      {"unknown node flags", Patched(tree, "\x21"s)},
      {"a child list ends at once", Patched(tree + 10, "\x80"s)},
      {"unknown instruction record",
       Patched(Pos(8), "\x07"s)},
      {"style count past the data", Patched(Pos(6), "\x00\x02"s)},
      {"end of marks missing", Patched(Pos(8) - 3, "\x00\x00\x01"s)},
  };
  // A mark before the previous one.
  {
    std::string marks = good_.Section(7);
    ASSERT_GE(marks.size(), 2 * 7u);
    std::string bytes = good_.bytes;
    // The second mark's offset set to 0 after a first at a later offset.
    std::size_t first = Pos(7);
    std::size_t firstLength = marks[3] == 1 ? 4 : 7;
    std::string swapped = bytes;
    swapped[first + firstLength] = 0;
    swapped[first + firstLength + 1] = 0;
    swapped[first + firstLength + 2] = 0;
    cases.push_back({"marks out of order", swapped});
  }
  // A tree deeper than any parse gives: a chain of open children.
  {
    std::string deep = good_.bytes.substr(0, tree);
    std::string node = root.substr(0, 10);
    node[0] = 0x04;  // children follow
    for (int i = 0; i <= kQsbMaxDepth; ++i) deep += node;
    deep += std::string(std::size_t(kQsbMaxDepth + 1), '\x80');
    deep += good_.bytes.substr(Pos(6));
    cases.push_back({"too deep", deep});
  }
  for (const Case& c : cases) ExpectRefused(c.bytes, c.what);
}

}  // namespace
}  // namespace qs::test
