// The library's one export table against the viewer's binding table, kept
// apart as test data: a slip in the table would otherwise reach the .def
// file and every test that builds names from it alike.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qs {
namespace {

struct Slot {
  unsigned long number;
  int bytes;
  std::string name;
  bool operator==(const Slot& o) const {
    return number == o.number && bytes == o.bytes && name == o.name;
  }
};

std::ostream& operator<<(std::ostream& out, const Slot& s) {
  return out << std::hex << s.number << std::dec << "@" << s.bytes << " " << s.name;
}

std::vector<Slot> TableSlots() {
  std::vector<Slot> slots;
#define QS_EXPORT(number, bytes, function, group, failure) slots.push_back({number, bytes, #function});
#include "api/export_table.h"
#undef QS_EXPORT
  return slots;
}

TEST(ExportTable, AgreesWithTheBindingTableSlotForSlot) {
  const char* top = std::getenv("QS_SOURCE_DIR");
  ASSERT_NE(top, nullptr) << "QS_SOURCE_DIR is not set";
  std::ifstream in(std::string(top) + "/tests/engine/api_native/data/binding_table.txt");
  ASSERT_TRUE(in) << "the binding table data is missing";
  std::vector<Slot> expected;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::size_t slot;
    std::string number;
    Slot s;
    ASSERT_TRUE(fields >> slot >> number >> s.bytes >> s.name) << line;
    ASSERT_EQ(slot, expected.size()) << line;
    s.number = std::stoul(number, nullptr, 16);
    expected.push_back(s);
  }
  ASSERT_EQ(expected.size(), 296u);
  std::vector<Slot> table = TableSlots();
  ASSERT_EQ(table.size(), expected.size());
  for (std::size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i], expected[i]) << "slot " << i;
}

}  // namespace
}  // namespace qs
