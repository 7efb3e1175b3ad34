#include "order_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qs::order {
namespace {

using Fields = std::array<std::string, kFieldCount>;

struct Parsed {
  std::vector<Fields> rows;
};

void Collect(void* context, OrderItem* item) {
  Fields fields;
  for (int k = 0; k < kFieldCount; ++k) {
    const char* f = ItemField(item, k);
    // Every stored field is terminated inside its own size.
    EXPECT_NE(std::memchr(f, '\0', FieldSize(k)), nullptr) << "field " << k;
    fields[k] = f;
  }
  static_cast<Parsed*>(context)->rows.push_back(fields);
  FreeItem(item);
}

std::vector<Fields> Parse(const std::string& text, FileForm form) {
  Parsed parsed;
  // A copy of exactly the text's size, so the sanitizers see any read past it.
  std::unique_ptr<char[]> exact(new char[text.size() ? text.size() : 1]);
  std::memcpy(exact.get(), text.data(), text.size());
  std::size_t made = ParseItems(exact.get(), text.size(), form, &Collect, &parsed);
  EXPECT_EQ(made, parsed.rows.size());
  return parsed.rows;
}

std::string Exchange(const std::vector<std::string>& fields) {
  std::string record;
  for (const std::string& f : fields) record += f + '\x02';
  return record + '\x03';
}

TEST(OrderFile, FullSizeSaveLineLoadsAndSavesByteForByte) {
  const Fields full = {std::string(15, 'M'), std::string(11, 'R'), std::string(15, 'P'),
                       std::string(25, 'S'), std::string(3, '9'),  std::string(31, 'D')};
  std::string line;
  for (const std::string& f : full) line += f + '*';
  line += "\r\n";
  std::string file = line + "A*B*C*D*E*F*\r\n";

  std::vector<std::unique_ptr<OrderItem, void (*)(OrderItem*)>> items;
  auto keep = [](void* context, OrderItem* item) {
    static_cast<std::vector<std::unique_ptr<OrderItem, void (*)(OrderItem*)>>*>(context)
        ->emplace_back(item, &FreeItem);
  };
  ASSERT_EQ(ParseItems(file.data(), file.size(), FileForm::kSaveFile, keep, &items), 2u);
  std::string saved;
  for (const auto& item : items) saved += FormatItemLine(*item);
  EXPECT_EQ(saved, file);
  EXPECT_EQ(Parse(file, FileForm::kSaveFile)[0], full);
}

TEST(OrderFile, SaveFileRecords) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Fields> rows;
  };
  const Fields af = {"A", "B", "C", "D", "E", "F"};
  const std::vector<Case> cases = {
      {"six fields", "A*B*C*D*E*F*\r\n", {af}},
      {"last line without CR LF is dropped", "A*B*C*D*E*F*\r\nX*Y*", {af}},
      {"only an unended line", "A*B*C*D*E*F*", {}},
      {"blank lines make no rows", "\r\n\r\n\nA*B*C*D*E*F*\r\n\r\n\r\n", {af}},
      {"LF alone ends a line", "A*B*C*D*E*F*\nA*B*C*D*E*F*\r", {af, af}},
      {"text after the last star is ignored", "A*B*tail\r\n", {{"A", "B", "", "", "", ""}}},
      {"later fields go to the remarks, last wins", "A*B*C*D*E*F*G*H*\r\n",
       {{"A", "B", "C", "D", "E", "H"}}},
      {"a line without stars is an empty row", "nothing\r\n", {{"", "", "", "", "", ""}}},
      {"empty file", "", {}},
      {"exchange bytes mean nothing here", "A\x02" "B\x03\r\n", {{"", "", "", "", "", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text, FileForm::kSaveFile), c.rows) << c.name;
}

TEST(OrderFile, ExchangeRecords) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Fields> rows;
  };
  const std::vector<Case> cases = {
      {"two records as the viewer writes them",
       Exchange({"MX-100", "11", "P-2231", "Bolt M6", "1", ""}) +
           Exchange({"MX-100", "12", "P-9", "Washer", "1", ""}),
       {{"MX-100", "11", "P-2231", "Bolt M6", "1", ""},
        {"MX-100", "12", "P-9", "Washer", "1", ""}}},
      {"a seventh field goes to the remarks", Exchange({"M", "R", "P", "S", "1", "", "extra"}),
       {{"M", "R", "P", "S", "1", "extra"}}},
      {"over-long fields are cut to size - 1",
       Exchange({std::string(40, 'm'), std::string(40, 'r'), std::string(40, 'p'),
                 std::string(40, 's'), "12345", std::string(40, 'd')}),
       {{std::string(15, 'm'), std::string(11, 'r'), std::string(15, 'p'),
         std::string(25, 's'), "123", std::string(31, 'd')}}},
      {"a record without ETX is dropped", Exchange({"M", "R"}) + "M\x02R\x02", {{"M", "R", "", "", "", ""}}},
      // A save file could not hold them: they become blanks.
      {"line breaks become blanks", "M\r\n\x02R\x02\x03", {{"M  ", "R", "", "", "", ""}}},
      {"stars become blanks", Exchange({"M", "R", "P", "Bolt M6*20", "1", "*"}),
       {{"M", "R", "P", "Bolt M6 20", "1", " "}}},
      {"a zero byte ends a field's text", std::string("M\0X\x02R\x02\x03", 7),
       {{"M", "R", "", "", "", ""}}},
      {"an empty record is an empty row", "\x03", {{"", "", "", "", "", ""}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text, FileForm::kExchange), c.rows) << c.name;
}

// Whatever a record holds, its saved line reads back to the same item: one
// line, six fields, no field split or joined.
TEST(OrderFile, ASavedLineAlwaysReadsBackToTheSameItem) {
  const Fields given[] = {
      {"MX-100", "11", "P-2231", "Bolt M6*20", "1", ""},
      {"M", "R\r\nX", "P\nQ", "S\rT", "*", "***"},
      {"", "", "", "", "", ""},
  };
  const Fields cleaned[] = {
      {"MX-100", "11", "P-2231", "Bolt M6 20", "1", ""},
      {"M", "R  X", "P Q", "S T", " ", "   "},
      {"", "", "", "", "", ""},
  };
  std::string file;
  for (const Fields& fields : given) {
    OrderItem* item = NewItem();
    ASSERT_NE(item, nullptr);
    for (int k = 0; k < kFieldCount; ++k)
      CopyField(ItemField(item, k), FieldSize(k), fields[k].c_str(), fields[k].size());
    file += FormatItemLine(*item);
    FreeItem(item);
  }
  EXPECT_EQ(Parse(file, FileForm::kSaveFile), std::vector<Fields>(std::begin(cleaned), std::end(cleaned)));

  char field[32] = "a*b\r\nc";
  CleanField(field);
  EXPECT_STREQ(field, "a b  c");
  CleanField(nullptr);
}

TEST(OrderFile, CopyFieldCutsAndTerminates) {
  char field[4];
  std::memset(field, 'x', sizeof field);
  CopyField(field, sizeof field, "abcdef", 6);
  EXPECT_STREQ(field, "abc");
  CopyField(field, sizeof field, "ab", 2);
  EXPECT_STREQ(field, "ab");
  CopyField(field, 1, "ab", 2);
  EXPECT_STREQ(field, "");
}

TEST(OrderFile, CommandLineFile) {
  struct Case {
    std::string line;
    const char* file;  // null: none
  };
  const std::vector<Case> cases = {
      {"C:\\Prog\\corvaorder.por", "C:\\Prog\\corvaorder.por"},
      {"C:\\Program Files\\Corvina\\corvaorder.por", "C:\\Program Files\\Corvina\\corvaorder.por"},
      {"corvaorder.por", nullptr},
      {"", nullptr},
      {":", ":"},  // a colon first: nothing before the string is read
      {":x.por", ":x.por"},
      {"junk C:\\a\\x.por", "C:\\a\\x.por"},
      {"\"Z:\\bin\\corvaoe.exe\" C:\\a\\x.por", "C:\\a\\x.por"},
      {"Z:\\bin\\CORVAOE.EXE  \"C:\\a b\\x.por\"  ", "C:\\a b\\x.por"},
      {"corvaoe D:\\x.por", "D:\\x.por"},
      {"\"Z:\\bin\\corvaoe.exe\"", nullptr},
      {"Z:\\bin\\corvaoe.exe", nullptr},
      {"Z:\\bin\\corvaoe.exe.por", "Z:\\bin\\corvaoe.exe.por"},
  };
  for (const Case& c : cases) {
    char out[256];
    bool named = CommandLineFile(c.line.c_str(), "corvaoe.exe", out, sizeof out);
    EXPECT_EQ(named, c.file != nullptr) << c.line;
    EXPECT_STREQ(out, c.file ? c.file : "") << c.line;
  }
}

TEST(OrderFile, CommandLineIsLookedAtThroughItsFixedCopy) {
  // Only the first 255 characters count; the colon beyond them is not seen.
  std::string late = std::string(300, 'a') + "C:\\x.por";
  char out[256];
  EXPECT_FALSE(CommandLineFile(late.c_str(), "corvaoe.exe", out, sizeof out));
  std::string path = "C:\\" + std::string(300, 'p');
  ASSERT_TRUE(CommandLineFile(path.c_str(), "corvaoe.exe", out, sizeof out));
  EXPECT_EQ(std::strlen(out), 255u);
  char small[8];
  ASSERT_TRUE(CommandLineFile("C:\\long\\name.por", "corvaoe.exe", small, sizeof small));
  EXPECT_STREQ(small, "C:\\long");
}

}  // namespace
}  // namespace qs::order
