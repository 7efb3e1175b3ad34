// B-tree, hash table and name table driven by arbitrary operation bytes and
// checked against the standard containers after every step.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "foundation/containers.h"
#include "foundation/names.h"

namespace {

struct IntTree : qs::BTree {
  using BTree::BTree;
  int Compare(std::intptr_t a, std::intptr_t b) const override { return a < b ? -1 : a > b ? 1 : 0; }
};

void Require(bool ok) {
  if (!ok) std::abort();
}

void CheckTree(IntTree& tree, const std::map<std::intptr_t, std::intptr_t>& want) {
  auto it = want.begin();
  for (std::intptr_t v = tree.First(); tree.HasCursor(); v = tree.Next(), ++it) {
    Require(it != want.end() && it->first == tree.CurrentKey() && it->second == v);
  }
  Require(it == want.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small level limit makes the refusal path reachable too.
  int levels = size ? 1 + data[0] % 16 : 16;
  IntTree tree(levels);
  std::map<std::intptr_t, std::intptr_t> want;
  qs::NameTable names;
  std::map<std::string, qs::InternedName*> held;
  std::map<std::string, int> uses;

  for (std::size_t i = 1; i + 1 < size; i += 2) {
    std::uint8_t op = data[i];
    std::intptr_t key = data[i + 1] | ((op & 0x30) << 4);
    switch (op & 7) {
      case 0:
      case 1:
      case 2: {
        int added = tree.Insert(key, key * 3 + 1);
        if (added) {
          Require(!want.count(key));
          want[key] = key * 3 + 1;
        } else {
          // Refused only when present or when the tree may grow no higher.
          Require(want.count(key) || tree.Depth() + 1 == levels);
        }
        break;
      }
      case 3:
      case 4:
        Require(tree.Remove(key) == static_cast<int>(want.erase(key)));
        break;
      case 5: {
        auto it = want.find(key);
        Require(tree.Find(key) == (it == want.end() ? 0 : it->second));
        break;
      }
      case 6: {
        std::size_t length = 1 + (op >> 6);
        if (i + 1 + length > size) break;
        std::string text(reinterpret_cast<const char*>(data + i + 1), length);
        qs::InternedName* name = names.Intern(text.data(), text.size());
        Require(name && (!held.count(text) || held[text] == name));
        held[text] = name;
        Require(name->UseCount() == ++uses[text]);
        break;
      }
      case 7: {
        if (held.empty()) break;
        auto it = held.begin();
        std::advance(it, key % held.size());
        if (--uses[it->first] == 0) {
          it->second->Release();
          Require(names.Find(it->first.data(), it->first.size()) == nullptr);
          uses.erase(it->first);
          held.erase(it);
        } else {
          it->second->Release();
        }
        break;
      }
    }
    if ((i & 31) == 1) CheckTree(tree, want);
  }
  CheckTree(tree, want);
  for (auto& [text, name] : held) {
    for (int n = uses[text]; n > 0; --n) name->Release();
  }
  return 0;
}
