#include "foundation/containers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace qs {
namespace {

// ---- Lists -----------------------------------------------------------------

struct Item : ListNode {
  int id;
  int* deaths;
  Item(int i, int* d = nullptr) : id(i), deaths(d) {}
  ~Item() override {
    if (deaths) ++*deaths;
  }
};

std::vector<int> Ids(const ListHead& list) {
  std::vector<int> ids;
  for (ListNode* n = list.First(); n; n = n->Next()) ids.push_back(static_cast<Item*>(n)->id);
  // Walking backwards must give the same sequence reversed.
  std::vector<int> back;
  for (ListNode* n = list.Last(); n; n = n->Prev()) back.insert(back.begin(), static_cast<Item*>(n)->id);
  EXPECT_EQ(ids, back);
  return ids;
}

TEST(ListHead, LinksAtBothEndsAndAroundANode) {
  ListHead list;
  Item* two = new Item(2);
  EXPECT_EQ(list.Append(two), two);
  EXPECT_TRUE(list.HasOneItem());
  list.Prepend(new Item(1));
  list.Append(new Item(4));
  list.InsertAfter(two, new Item(3));
  list.InsertBefore(two, new Item(15));
  list.InsertBefore(list.First(), new Item(0));
  list.InsertAfter(list.Last(), new Item(5));
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 15, 2, 3, 4, 5}));
  EXPECT_FALSE(list.HasOneItem());

  ListNode* fifteen = two->Prev();
  list.Unlink(fifteen);
  EXPECT_EQ(fifteen->Next(), nullptr);
  EXPECT_EQ(fifteen->Prev(), nullptr);
  delete fifteen;

  std::unique_ptr<ListNode> first(list.PopFirst());
  std::unique_ptr<ListNode> last(list.PopLast());
  EXPECT_EQ(static_cast<Item*>(first.get())->id, 0);
  EXPECT_EQ(static_cast<Item*>(last.get())->id, 5);
  EXPECT_EQ(first->Next(), nullptr);
  EXPECT_EQ(last->Prev(), nullptr);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3, 4}));
}

TEST(ListHead, PopFromEmptyGivesNull) {
  ListHead list;
  EXPECT_EQ(list.PopFirst(), nullptr);
  EXPECT_EQ(list.PopLast(), nullptr);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_FALSE(list.HasOneItem());
}

TEST(ListHead, MovesWholeListsAndLeavesTheSourceEmpty) {
  struct Case {
    std::vector<int> to, from;
    bool prepend;
    std::vector<int> want;
  } cases[] = {
      {{1, 2}, {3, 4}, false, {1, 2, 3, 4}},
      {{1, 2}, {3, 4}, true, {3, 4, 1, 2}},
      {{}, {3, 4}, false, {3, 4}},
      {{}, {3, 4}, true, {3, 4}},
      {{1}, {}, false, {1}},
      {{1}, {}, true, {1}},
  };
  for (const Case& c : cases) {
    ListHead to, from;
    for (int id : c.to) to.Append(new Item(id));
    for (int id : c.from) from.Append(new Item(id));
    if (c.prepend) to.PrependList(from);
    else to.AppendList(from);
    EXPECT_EQ(Ids(to), c.want);
    EXPECT_TRUE(from.IsEmpty());
    EXPECT_EQ(from.Last(), nullptr);
    // The moved nodes can go on being used in their new list.
    to.Append(new Item(99));
    to.Prepend(new Item(-1));
    EXPECT_EQ(Ids(to).size(), c.want.size() + 2);
  }
}

TEST(ListHead, DeleteAllAndDestructorDeleteEveryNode) {
  int deaths = 0;
  {
    ListHead list;
    for (int i = 0; i < 5; ++i) list.Append(new Item(i, &deaths));
    list.DeleteAll();
    EXPECT_EQ(deaths, 5);
    EXPECT_TRUE(list.IsEmpty());
    for (int i = 0; i < 3; ++i) list.Append(new Item(i, &deaths));
  }
  EXPECT_EQ(deaths, 8);
}

struct Owned : OwnedNode {
  int id;
  int* deaths;
  Owned(int i, int* d = nullptr) : id(i), deaths(d) {}
  ~Owned() override {
    if (deaths) ++*deaths;
  }
};

std::vector<int> Ids(const OwnedList& list) {
  std::vector<int> ids;
  for (OwnedNode* n = list.First(); n; n = n->Next()) {
    EXPECT_EQ(n->Owner(), &list);
    ids.push_back(static_cast<Owned*>(n)->id);
  }
  EXPECT_EQ(ids.size(), list.Count());
  return ids;
}

TEST(OwnedList, NodesKnowTheirListAndLeaveItWhenDeleted) {
  int deaths = 0;
  OwnedList list(true);
  Owned* a = new Owned(1, &deaths);
  list.Append(a);
  list.Prepend(new Owned(0, &deaths));
  a->InsertAfter(new Owned(3, &deaths));  // a is not last: goes between
  a->InsertAfter(new Owned(2, &deaths));
  static_cast<OwnedNode*>(list.Last())->InsertAfter(new Owned(4, &deaths));  // appends
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3, 4}));

  delete a;  // unlinks itself
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 2, 3, 4}));

  OwnedNode* first = list.PopFirst();
  EXPECT_EQ(first->Owner(), nullptr);
  EXPECT_EQ(first->Next(), nullptr);
  first->Remove();  // no list: nothing happens
  Owned loose(9);
  loose.InsertAfter(first);  // no list: nothing happens
  EXPECT_EQ(first->Owner(), nullptr);
  delete first;

  OwnedNode* last = list.PopLast();
  EXPECT_EQ(static_cast<Owned*>(last)->id, 4);
  delete last;
  EXPECT_EQ(Ids(list), (std::vector<int>{2, 3}));
  list.Clear();
  EXPECT_EQ(deaths, 5);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Count(), 0u);
}

TEST(OwnedList, NodeMovedToAnotherListLeavesTheFirst) {
  OwnedList one(true), two(true);
  Owned* n = new Owned(1);
  one.Append(new Owned(0));
  one.Append(n);
  two.Append(n);
  EXPECT_EQ(Ids(one), (std::vector<int>{0}));
  EXPECT_EQ(Ids(two), (std::vector<int>{1}));
}

TEST(OwnedList, ClearOfANonOwningListForgetsItsNodesCleanly) {
  int deaths = 0;
  std::vector<Owned*> nodes;
  {
    OwnedList list(false);
    for (int i = 0; i < 3; ++i) {
      nodes.push_back(new Owned(i, &deaths));
      list.Append(nodes.back());
    }
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(deaths, 0);
    for (Owned* n : nodes) {
      EXPECT_EQ(n->Owner(), nullptr);
      EXPECT_EQ(n->Next(), nullptr);
      EXPECT_EQ(n->Prev(), nullptr);
    }
    // Deleting a node now touches neither the list nor its old neighbours.
    delete nodes[1];
    EXPECT_TRUE(list.IsEmpty());
    list.Append(nodes[0]);
    list.Append(nodes[2]);
  }
  // Destroying a non-owning list lets its nodes go; deleting them later is safe.
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(nodes[0]->Owner(), nullptr);
  delete nodes[0];
  delete nodes[2];
  EXPECT_EQ(deaths, 3);
}

TEST(OwnedList, OwningListDeletesItsNodesWithItself) {
  int deaths = 0;
  {
    OwnedList list(true);
    for (int i = 0; i < 4; ++i) list.Append(new Owned(i, &deaths));
  }
  EXPECT_EQ(deaths, 4);
}

struct SItem : SListNode {
  int id;
  int* deaths;
  SItem(int i, int* d = nullptr) : id(i), deaths(d) {}
  ~SItem() override {
    if (deaths) ++*deaths;
  }
};

std::vector<int> Ids(SListNode* chain) {
  std::vector<int> ids;
  for (; chain; chain = chain->Next()) ids.push_back(static_cast<SItem*>(chain)->id);
  return ids;
}

TEST(SList, PushPopRemoveAndTakeAll) {
  int deaths = 0;
  SList list;
  SItem* mid = new SItem(2, &deaths);
  list.Push(new SItem(3, &deaths));
  list.Push(mid);
  list.Prepend(new SItem(1, &deaths));
  EXPECT_EQ(Ids(list.First()), (std::vector<int>{1, 2, 3}));

  SItem absent(7);
  list.Remove(&absent);
  EXPECT_EQ(Ids(list.First()), (std::vector<int>{1, 2, 3}));
  list.Remove(mid);
  EXPECT_EQ(mid->Next(), nullptr);
  EXPECT_EQ(Ids(list.First()), (std::vector<int>{1, 3}));
  delete mid;

  SListNode* chain = list.TakeAll();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(Ids(chain), (std::vector<int>{1, 3}));
  EXPECT_EQ(deaths, 1);
  SList::DeleteChain(chain);
  EXPECT_EQ(deaths, 3);

  list.Push(new SItem(5, &deaths));
  std::unique_ptr<SListNode> popped(list.PopFirst());
  EXPECT_EQ(static_cast<SItem*>(popped.get())->id, 5);
  EXPECT_EQ(list.PopFirst(), nullptr);
  list.Push(new SItem(6, &deaths));
  list.Push(new SItem(7, &deaths));
  list.DeleteAll();
  EXPECT_EQ(deaths, 5);
}

// ---- Tree ------------------------------------------------------------------

struct Tree : TreeNode {
  std::string name;
  std::vector<std::string>* deaths;
  Tree(std::string n, std::vector<std::string>* d) : name(std::move(n)), deaths(d) {}
  ~Tree() override { deaths->push_back(name); }
};

std::string Shape(const TreeNode* node) {
  std::string s = static_cast<const Tree*>(node)->name;
  if (node->FirstChild()) {
    s += "(";
    for (const TreeNode* c = node->FirstChild(); c; c = c->NextSibling()) {
      EXPECT_EQ(c->GetParent(), node);
      if (c != node->FirstChild()) s += " ";
      s += Shape(c);
      if (!c->NextSibling()) {
        EXPECT_EQ(node->LastChild(), c);
      }
    }
    s += ")";
  }
  return s;
}

// root(a(a1 a2) b c(c1) d)
Tree* Build(std::vector<std::string>* deaths) {
  Tree* root = new Tree("root", deaths);
  auto add = [&](TreeNode* parent, const char* n) {
    Tree* t = new Tree(n, deaths);
    parent->AppendChild(t);
    return t;
  };
  Tree* a = add(root, "a");
  add(a, "a1");
  add(a, "a2");
  Tree* b = add(root, "b");
  Tree* d = add(root, "d");
  Tree* c = new Tree("c", deaths);
  b->InsertAfter(c);
  add(c, "c1");
  EXPECT_EQ(c->NextSibling(), d);
  return root;
}

TEST(TreeNode, DeletingANodeTakesItsSubtreeAndFollowingSiblings) {
  std::vector<std::string> deaths;
  Tree* root = Build(&deaths);
  EXPECT_EQ(Shape(root), "root(a(a1 a2) b c(c1) d)");

  TreeNode* b = root->FirstChild()->NextSibling();
  delete b;
  // A derived destructor runs before the subtree goes.
  EXPECT_EQ(deaths, (std::vector<std::string>{"b", "c", "c1", "d"}));
  EXPECT_EQ(Shape(root), "root(a(a1 a2))");
  delete root;
  EXPECT_EQ(deaths.size(), 8u);
}

TEST(TreeNode, UnlinkedNodeGoesAloneWithItsChildren) {
  std::vector<std::string> deaths;
  Tree* root = Build(&deaths);
  TreeNode* c = root->FirstChild()->NextSibling()->NextSibling();
  c->Unlink();
  EXPECT_EQ(c->GetParent(), nullptr);
  EXPECT_EQ(Shape(root), "root(a(a1 a2) b d)");
  EXPECT_EQ(Shape(c), "c(c1)");
  delete c;
  EXPECT_EQ(deaths, (std::vector<std::string>{"c", "c1"}));

  // The last child and the first child unlink with the list ends kept right.
  TreeNode* d = root->LastChild();
  d->Unlink();
  delete d;
  TreeNode* a = root->FirstChild();
  a->Unlink();
  EXPECT_EQ(Shape(root), "root(b)");
  delete a;
  root->DeleteChildren();
  EXPECT_EQ(Shape(root), "root");
  EXPECT_EQ(root->LastChild(), nullptr);
  delete root;
  EXPECT_EQ(deaths.size(), 8u);
}

TEST(TreeNode, AttachedNodeMovesWhenAppendedElsewhere) {
  std::vector<std::string> deaths;
  Tree* root = Build(&deaths);
  TreeNode* a = root->FirstChild();
  TreeNode* a1 = a->FirstChild();
  root->LastChild()->AppendChild(a1);
  EXPECT_EQ(Shape(root), "root(a(a2) b c(c1) d(a1))");
  a->InsertAfter(root->LastChild());
  EXPECT_EQ(Shape(root), "root(a(a2) d(a1) b c(c1))");
  delete root;
}

TEST(TreeNode, LongSiblingRunIsDeletedWithoutDeepNesting) {
  std::vector<std::string> deaths;
  deaths.reserve(200001);
  Tree* root = new Tree("root", &deaths);
  for (int i = 0; i < 200000; ++i) root->AppendChild(new Tree("", &deaths));
  delete root;
  EXPECT_EQ(deaths.size(), 200001u);
}

// Both directions of every child list, and each parent's last child, agree
// with a plain model through any mix of appends, inserts, moves and unlinks;
// a first child has no previous sibling.
TEST(TreeNode, LinksAgreeWithAModelThroughRandomChanges) {
  std::vector<std::string> deaths;
  constexpr int kNodes = 40;
  std::vector<Tree*> nodes;
  for (int i = 0; i < kNodes; ++i) nodes.push_back(new Tree(std::to_string(i), &deaths));
  auto isAncestor = [](TreeNode* a, TreeNode* n) {
    for (; n; n = n->GetParent())
      if (n == a) return true;
    return false;
  };
  auto check = [&]() {
    for (Tree* n : nodes) {
      std::vector<TreeNode*> forward;
      for (TreeNode* c = n->FirstChild(); c; c = c->NextSibling()) forward.push_back(c);
      std::vector<TreeNode*> backward;
      for (TreeNode* c = n->LastChild(); c; c = c->PrevSibling()) backward.push_back(c);
      std::reverse(backward.begin(), backward.end());
      ASSERT_EQ(forward, backward) << n->name;
      for (TreeNode* c : forward) ASSERT_EQ(c->GetParent(), n);
      if (n->FirstChild()) ASSERT_EQ(n->FirstChild()->PrevSibling(), nullptr);
      if (n->GetParent() == nullptr && n->PrevSibling())
        ASSERT_EQ(n->PrevSibling()->NextSibling(), n);
    }
  };
  std::uint32_t seed = 12345;
  auto next = [&](std::uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  for (int step = 0; step < 4000; ++step) {
    Tree* a = nodes[next(kNodes)];
    Tree* b = nodes[next(kNodes)];
    switch (next(3)) {
      case 0:
        if (!isAncestor(b, a)) a->AppendChild(b);
        break;
      case 1:
        // Also into parentless chains, which keep their own links.
        if (!isAncestor(b, a) && !isAncestor(a, b)) a->InsertAfter(b);
        break;
      default:
        b->Unlink();
        break;
    }
    check();
    if (HasFatalFailure()) break;
  }
  // Cut loose before deleting, so that each node is deleted once.
  for (Tree* n : nodes) {
    while (TreeNode* c = n->FirstChild()) c->Unlink();
    n->Unlink();
  }
  for (Tree* n : nodes) delete n;
  EXPECT_EQ(deaths.size(), static_cast<std::size_t>(kNodes));
}

// ---- Hash table ------------------------------------------------------------

struct Named : HashItem {
  std::string key;
  int tag;
  int* deaths;
  Named(std::string k, int t = 0, int* d = nullptr) : key(std::move(k)), tag(t), deaths(d) {}
  ~Named() override {
    if (deaths) ++*deaths;
  }
  const char* GetKey() const override { return key.data(); }
  std::size_t GetKeyLength() const override { return key.size(); }
};

TEST(HashName, SumsWeightedBytes) {
  struct Case {
    const char* text;
    std::uint32_t modulus, want;
  } cases[] = {
      {"", 512, 17},
      {"a", 100000, 17 + 114 * 19},
      {"ab", 100000, 17 + 114 * 20 + 115 * 19},
      {"ab", 512, (17 + 114 * 20 + 115 * 19) % 512},
      {"\xff", 100000, 17 + 272 * 19},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HashName(c.text, std::strlen(c.text), c.modulus), c.want) << c.text;
  }
  EXPECT_TRUE(MemEqual("abc", "abd", 2));
  EXPECT_FALSE(MemEqual("abc", "abd", 3));
}

TEST(HashTable, DuplicateKeepsTheOldItem) {
  int deaths = 0;
  HashTable table(7, true);
  Named* old = new Named("key", 1, &deaths);
  EXPECT_EQ(table.Insert(old, true), 1);
  EXPECT_EQ(table.Insert(new Named("key", 2, &deaths), true), 0);
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(table.Find("key", 3), old);

  Named other("key", 3);
  EXPECT_EQ(table.InsertEmbedded(&other), 0);  // not deleted
  EXPECT_EQ(table.Insert(nullptr, true), 0);
  EXPECT_EQ(static_cast<Named*>(table.Find("key", 3))->tag, 1);
}

TEST(HashTable, KeysOfDifferentLengthNeverMatch) {
  // One bucket: every key shares the chain, so only length and bytes decide.
  HashTable table(1, true);
  ASSERT_EQ(table.Insert(new Named("ab"), true), 1);
  ASSERT_EQ(table.Insert(new Named("abc"), true), 1);
  ASSERT_EQ(table.Insert(new Named(std::string("ab\0", 3)), true), 1);
  ASSERT_EQ(table.Insert(new Named("AB"), true), 1);
  EXPECT_EQ(static_cast<Named*>(table.Find("abc", 2))->key, "ab");
  EXPECT_EQ(static_cast<Named*>(table.Find("abc", 3))->key, "abc");
  EXPECT_EQ(static_cast<Named*>(table.Find("ab\0", 3))->key, std::string("ab\0", 3));
  EXPECT_EQ(table.Find("a", 1), nullptr);
  EXPECT_EQ(table.Find("abcd", 4), nullptr);
  EXPECT_EQ(static_cast<Named*>(table.Find("AB", 2))->key, "AB");
}

TEST(HashTable, RemoveUnlinksWithoutDeleting) {
  int deaths = 0;
  HashTable table(3, true);
  for (const char* k : {"one", "two", "three"}) table.Insert(new Named(k, 0, &deaths), true);
  std::unique_ptr<HashItem> two(table.Remove("two", 3));
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(deaths, 0);
  EXPECT_EQ(table.Remove("two", 3), nullptr);
  EXPECT_EQ(table.Find("two", 3), nullptr);
  EXPECT_FALSE(table.RemoveItem(two.get()));
  HashItem* one = table.Find("one", 3);
  EXPECT_TRUE(table.RemoveItem(one));
  delete one;
  table.Clear();
  EXPECT_EQ(deaths, 2);
  EXPECT_EQ(table.First(), nullptr);
}

TEST(HashTable, NonOwningClearLeavesItemsAlive) {
  int deaths = 0;
  Named a("a", 0, &deaths), b("b", 0, &deaths);
  {
    HashTable table(5, false);
    table.Insert(&a, false);
    table.Insert(&b, false);
    table.Clear();
    EXPECT_EQ(table.Find("a", 1), nullptr);
    table.Insert(&a, false);
  }
  EXPECT_EQ(deaths, 0);
}

TEST(HashTable, IterationVisitsBucketsInOrderEachFromItsHead) {
  HashTable table(3, true);
  std::vector<std::string> keys = {"a", "b", "c", "d", "e", "f", "g", "h"};
  for (const std::string& k : keys) table.Insert(new Named(k), true);
  std::vector<std::string> want;
  for (std::uint32_t b = 0; b < 3; ++b) {
    // Heads are the latest inserted.
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      if (HashName(it->data(), it->size(), 3) == b) want.push_back(*it);
    }
  }
  std::vector<std::string> got;
  for (HashItem* i = table.First(); i; i = table.Next()) got.push_back(static_cast<Named*>(i)->key);
  EXPECT_EQ(got, want);
  EXPECT_EQ(table.Next(), nullptr);
}

TEST(HashTable, RemovingDuringIterationVisitsEveryItemOnce) {
  // Remove every item, every other item, or a following item while walking.
  for (int mode = 0; mode < 3; ++mode) {
    HashTable table(4, true);
    for (int i = 0; i < 40; ++i) table.Insert(new Named(std::to_string(i)), true);
    std::map<std::string, int> seen;
    int n = 0;
    for (HashItem* item = table.First(); item; item = table.Next()) {
      Named* named = static_cast<Named*>(item);
      ++seen[named->key];
      bool drop = mode == 0 || (mode == 1 && n % 2 == 0);
      if (mode == 2 && named->NextInBucket()) {
        // Dropping an item the walk has not reached yet: it is not visited.
        std::string key = static_cast<Named*>(named->NextInBucket())->key;
        delete table.Remove(key.data(), key.size());
        seen[key] += 100;
      }
      if (drop) delete table.Remove(named->key.data(), named->key.size());
      ++n;
    }
    EXPECT_EQ(seen.size(), 40u) << mode;
    for (const auto& [key, count] : seen) {
      if (mode == 2) {
        EXPECT_TRUE(count == 1 || count == 100) << key;
      } else {
        EXPECT_EQ(count, 1) << key;
      }
    }
    int left = 0;
    for (HashItem* i = table.First(); i; i = table.Next()) ++left;
    EXPECT_EQ(left, mode == 0 ? 0 : mode == 1 ? 20 : left) << mode;
  }
}

TEST(HashTable, BothLayoutsStayExactUnderManyInsertsAndRemovals) {
  // Enough keys that the ordered table indexes them and the growing one
  // doubles many times; IDs of one shape, which HashName folds together.
  for (auto layout : {HashTable::Layout::kOrdered, HashTable::Layout::kGrowing}) {
    HashTable table(7, true, layout);
    const int n = 20000;
    auto key = [](int i) {
      char text[16];
      std::snprintf(text, sizeof text, "n%07d", i);
      return std::string(text);
    };
    for (int i = 0; i < n; ++i) ASSERT_EQ(table.Insert(new Named(key(i), i), true), 1);
    EXPECT_EQ(table.Count(), static_cast<std::size_t>(n));
    EXPECT_EQ(table.Insert(new Named(key(5)), true), 0);
    // Every third key goes, through either removal.
    for (int i = 0; i < n; i += 3) {
      std::string k = key(i);
      if (i % 2) {
        delete table.Remove(k.data(), k.size());
      } else {
        HashItem* item = table.Find(k.data(), k.size());
        ASSERT_TRUE(table.RemoveItem(item));
        delete item;
      }
    }
    for (int i = 0; i < n; ++i) {
      std::string k = key(i);
      auto* found = static_cast<Named*>(table.Find(k.data(), k.size()));
      if (i % 3 == 0) {
        EXPECT_EQ(found, nullptr) << k;
      } else {
        ASSERT_NE(found, nullptr) << k;
        EXPECT_EQ(found->tag, i);
      }
    }
    std::size_t walked = 0;
    for (HashItem* i = table.First(); i; i = table.Next()) ++walked;
    EXPECT_EQ(walked, table.Count());
    EXPECT_EQ(walked, static_cast<std::size_t>(n - (n + 2) / 3));
    if (layout == HashTable::Layout::kGrowing) EXPECT_GE(table.BucketCount(), n / 2);
    if (layout == HashTable::Layout::kOrdered) EXPECT_EQ(table.BucketCount(), 7);
  }
}

TEST(HashTable, OrderedLayoutKeepsItsOrderOnceIndexed) {
  // Past the size at which lookups go through the index, iteration is still
  // by HashName's buckets, each from the latest inserted.
  HashTable table(5, true);
  std::vector<std::string> keys;
  for (int i = 0; i < 100; ++i) keys.push_back("k" + std::to_string(i));
  for (const std::string& k : keys) table.Insert(new Named(k), true);
  delete table.Remove("k50", 3);
  keys.erase(keys.begin() + 50);
  std::vector<std::string> want;
  for (std::uint32_t b = 0; b < 5; ++b) {
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      if (HashName(it->data(), it->size(), 5) == b) want.push_back(*it);
    }
  }
  std::vector<std::string> got;
  for (HashItem* i = table.First(); i; i = table.Next()) got.push_back(static_cast<Named*>(i)->key);
  EXPECT_EQ(got, want);
}

TEST(HashBytes, SpreadsNamesOfOneShapeAndMatchesTheByteHasher) {
  std::vector<std::uint32_t> hashes;
  for (int i = 0; i < 200000; ++i) {
    char text[16];
    int n = std::snprintf(text, sizeof text, "n%07d", i);
    ByteHasher hasher;
    for (int j = 0; j < n; ++j) hasher.Add(static_cast<unsigned char>(text[j]));
    ASSERT_EQ(hasher.Value(), HashBytes(text, n));
    hashes.push_back(HashBytes(text, n) & 0xFFFFF);
  }
  std::sort(hashes.begin(), hashes.end());
  auto distinct = std::unique(hashes.begin(), hashes.end()) - hashes.begin();
  // 200,000 keys into 2^20 values: a random function gives about 181,000.
  EXPECT_GT(distinct, 170000);
}

// ---- B-tree ----------------------------------------------------------------

struct IntTree : BTree {
  using BTree::BTree;
  int Compare(std::intptr_t a, std::intptr_t b) const override { return a < b ? -1 : a > b ? 1 : 0; }
};

// Checks the tree's shape against `want` and returns a description of the
// first broken rule, empty when all hold.
std::string Check(const IntTree& tree, const std::map<std::intptr_t, std::intptr_t>& want) {
  const BTree::Node* first = tree.Root();
  if (first->prev || first->next) return "root has neighbours";
  for (int level = 0; level <= tree.Depth(); ++level) {
    bool leaf = level == tree.Depth();
    const BTree::Node* below = leaf ? nullptr : first->Child(0);
    const BTree::Node* expectChild = below;
    const BTree::Node* prev = nullptr;
    for (const BTree::Node* n = first; n; prev = n, n = n->next) {
      if (n->prev != prev) return "broken level chain";
      if (n->count > BTree::kMaxKeys) return "more than 10 keys";
      if (n->count < 1 && !(level == 0 && leaf)) return "empty node";
      if (level == 0 && !leaf && n->count < 2) return "root with one child";
      for (int i = 1; i < n->count; ++i) {
        if (n->keys[i - 1] >= n->keys[i]) return "keys out of order";
      }
      if (!leaf) {
        for (int i = 0; i < n->count; ++i) {
          const BTree::Node* child = n->Child(i);
          if (child != expectChild) return "children are not the next level's chain";
          if (n->keys[i] != child->keys[0]) return "inner key is not its child's least key";
          expectChild = child->next;
        }
      }
    }
    if (!leaf && expectChild) return "level below has nodes no parent points at";
    first = below;
  }
  // The leaf chain holds exactly the expected entries in order.
  const BTree::Node* leaf = tree.Root();
  for (int level = 0; level < tree.Depth(); ++level) leaf = leaf->Child(0);
  auto it = want.begin();
  for (; leaf; leaf = leaf->next) {
    for (int i = 0; i < leaf->count; ++i, ++it) {
      if (it == want.end()) return "extra entries";
      if (leaf->keys[i] != it->first || leaf->values[i] != it->second) return "wrong entry";
    }
  }
  if (it != want.end()) return "missing entries";
  return "";
}

TEST(BTree, EleventhKeySplitsIntoFiveAndSixUnderANewRoot) {
  for (bool ascending : {true, false}) {
    IntTree tree;
    std::map<std::intptr_t, std::intptr_t> want;
    for (int i = 0; i < 11; ++i) {
      int k = ascending ? i + 1 : 11 - i;
      EXPECT_EQ(tree.Insert(k, k * 10), 1);
      want[k] = k * 10;
      EXPECT_EQ(tree.Depth(), i < 10 ? 0 : 1);
    }
    EXPECT_EQ(Check(tree, want), "");
    const BTree::Node* root = tree.Root();
    ASSERT_EQ(root->count, 2);
    EXPECT_EQ(root->Child(0)->count + root->Child(1)->count, 11);
    EXPECT_EQ(std::min(root->Child(0)->count, root->Child(1)->count), 5);
    EXPECT_EQ(root->keys[0], 1);
    EXPECT_EQ(tree.Insert(4, 0), 0);  // present
  }
}

TEST(BTree, AgreesWithAMapOverRandomInsertsAndRemoves) {
  std::mt19937 rng(12345);
  for (int range : {30, 400, 5000}) {
    IntTree tree;
    std::map<std::intptr_t, std::intptr_t> want;
    int maxDepth = 0;
    for (int step = 0; step < 6000; ++step) {
      std::intptr_t key = static_cast<std::intptr_t>(rng() % range) - range / 3;
      // Phases of mostly growing and mostly shrinking.
      bool insert = (step / 1500) % 2 == 0 ? rng() % 4 != 0 : rng() % 4 == 0;
      if (insert) {
        std::intptr_t value = key * 7 + 1;
        int added = tree.Insert(key, value);
        EXPECT_EQ(added, want.count(key) ? 0 : 1) << key;
        want.emplace(key, value);
      } else {
        EXPECT_EQ(tree.Remove(key), want.erase(key) ? 1 : 0) << key;
      }
      maxDepth = std::max(maxDepth, tree.Depth());
      std::string broken = Check(tree, want);
      ASSERT_EQ(broken, "") << "step " << step << " range " << range;
      if (step % 97 == 0) {
        std::intptr_t probe = static_cast<std::intptr_t>(rng() % range) - range / 3;
        auto it = want.find(probe);
        EXPECT_EQ(tree.Find(probe), it == want.end() ? 0 : it->second);
        EXPECT_EQ(tree.HasCursor(), it != want.end());
      }
    }
    if (range >= 400) {
      EXPECT_GE(maxDepth, 2);
    }
    // Walk by cursor, then empty the tree completely.
    std::vector<std::intptr_t> walked;
    for (std::intptr_t v = tree.First(); tree.HasCursor(); v = tree.Next()) {
      EXPECT_EQ(v, tree.Current());
      walked.push_back(tree.CurrentKey());
    }
    std::vector<std::intptr_t> keys;
    for (const auto& e : want) keys.push_back(e.first);
    EXPECT_EQ(walked, keys);
    for (std::intptr_t k : keys) ASSERT_EQ(tree.Remove(k), 1);
    want.clear();
    EXPECT_EQ(Check(tree, want), "");
    EXPECT_EQ(tree.Depth(), 0);
  }
}

TEST(BTree, CursorEndsAndIsClearedByChanges) {
  IntTree tree;
  EXPECT_EQ(tree.First(), 0);
  EXPECT_EQ(tree.Current(), 0);
  EXPECT_EQ(tree.Next(), 0);
  for (int k = 1; k <= 30; ++k) tree.Insert(k, k + 100);
  EXPECT_EQ(tree.Find(30), 130);
  EXPECT_EQ(tree.Next(), 0);
  EXPECT_FALSE(tree.HasCursor());
  EXPECT_EQ(tree.Current(), 0);
  EXPECT_EQ(tree.Find(12), 112);
  EXPECT_EQ(tree.Next(), 113);
  tree.Insert(40, 140);
  EXPECT_EQ(tree.Current(), 0);
  EXPECT_EQ(tree.Find(12), 112);
  tree.Remove(40);
  EXPECT_EQ(tree.Current(), 0);
  EXPECT_EQ(tree.Find(99), 0);
  EXPECT_EQ(tree.Remove(99), 0);
  tree.Clear();
  EXPECT_EQ(tree.Depth(), 0);
  EXPECT_EQ(tree.First(), 0);
  EXPECT_EQ(tree.Insert(5, 6), 1);
  EXPECT_EQ(tree.Find(5), 6);
}

TEST(BTree, RefusesToGrowPastItsLevelLimit) {
  // With two levels the tree holds at least ten full leaves' worth before it
  // would need a third; the insert that would is refused and changes nothing.
  IntTree tree(2);
  std::map<std::intptr_t, std::intptr_t> want;
  int k = 0;
  while (tree.Insert(k, k) == 1) {
    want[k] = k;
    ++k;
    ASSERT_LT(k, 1000);
  }
  EXPECT_GE(k, 50);
  EXPECT_EQ(tree.Depth(), 1);
  EXPECT_EQ(Check(tree, want), "");
  EXPECT_EQ(tree.Find(k), 0);
  // Removing makes room again.
  for (int r = 0; r < 20; ++r) tree.Remove(r), want.erase(r);
  EXPECT_EQ(tree.Insert(k, k), 1);
  want[k] = k;
  EXPECT_EQ(Check(tree, want), "");
}

// ---- ObjectList ------------------------------------------------------------

struct Loaded : ObjectListItem {
  int id;
  bool inUse;
  int* deaths;
  Loaded(int i, bool used, int* d) : id(i), inUse(used), deaths(d) {}
  ~Loaded() override { ++*deaths; }
  bool MayRelease() const override { return !inUse; }
};

std::vector<int> Ids(const ObjectList& list) {
  std::vector<int> ids;
  for (OwnedNode* n = list.First(); n; n = n->Next()) ids.push_back(static_cast<Loaded*>(n)->id);
  return ids;
}

TEST(ObjectList, ReleasesFromTheFrontWhileOverItsLimit) {
  int deaths = 0;
  ObjectList list(3);
  for (int i = 1; i <= 3; ++i) list.PrependLimited(new Loaded(i, false, &deaths));
  static_cast<Loaded*>(list.First())->inUse = true;
  EXPECT_EQ(Ids(list), (std::vector<int>{3, 2, 1}));
  // The first element is in use, so the next one that may go is released.
  list.PrependLimited(new Loaded(4, false, &deaths));
  EXPECT_EQ(Ids(list), (std::vector<int>{4, 3, 1}));
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(list.Limit(), 3);
  static_cast<Loaded*>(list.First()->Next())->inUse = false;  // so the list's end takes it
}

TEST(ObjectList, NothingReleasableMeansOnePassAndTheListGrows) {
  int deaths = 0;
  std::vector<Loaded*> used;
  {
    ObjectList list(2);
    for (int i = 1; i <= 4; ++i) {
      used.push_back(new Loaded(i, true, &deaths));
      EXPECT_TRUE(list.AddLimited(used.back()));
    }
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(deaths, 0);
    used[1]->inUse = false;
    list.PrependLimited(new Loaded(5, false, &deaths));
    EXPECT_EQ(Ids(list), (std::vector<int>{5, 1, 3, 4}));
    EXPECT_EQ(deaths, 1);
  }
  // The list's end deletes only what may go; objects in use stay alive.
  EXPECT_EQ(deaths, 2);
  for (Loaded* l : {used[0], used[2], used[3]}) {
    EXPECT_EQ(l->Owner(), nullptr);
    delete l;
  }
}

TEST(ObjectList, RefusedAddLeavesTheObjectOut) {
  struct Refusing : ObjectList {
    using ObjectList::ObjectList;
    bool AddObject(ObjectListItem*) override { return false; }
  };
  int deaths = 0;
  Refusing list(1);
  Loaded item(1, true, &deaths);
  EXPECT_FALSE(list.AddLimited(&item));
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(item.Owner(), nullptr);
}

// ---- Marked-node pruning ---------------------------------------------------

struct Marked : MarkedNodeEntry {
  int id;
  bool marked;
  std::intptr_t extent;
  Marked(int i, bool m, std::intptr_t e) : id(i), marked(m), extent(e) {}
  bool IsMarked() const override { return marked; }
  std::intptr_t Extent() const override { return extent; }
};

TEST(PruneNodeList, KeepsUnmarkedEntriesThatAMarkedOneFollowsWithinTheirExtent) {
  struct Case {
    std::vector<std::pair<bool, int>> entries;  // marked, extent
    std::vector<int> kept;                       // indexes
  } cases[] = {
      {{{false, 10}, {true, 5}}, {0, 1}},
      {{{false, 10}, {false, 20}, {true, 5}}, {1, 2}},  // 20 > 10 stops the look-ahead of 0
      {{{false, 10}, {false, 10}, {true, 5}}, {0, 1, 2}},
      {{{true, 1}, {false, 9}}, {0}},
      {{{false, 3}, {false, 2}}, {}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    ListHead list;
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
      list.Append(new Marked(static_cast<int>(i), c.entries[i].first, c.entries[i].second));
    }
    bool empty = PruneNodeList(list);
    std::vector<int> kept;
    for (ListNode* n = list.First(); n; n = n->Next()) kept.push_back(static_cast<Marked*>(n)->id);
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(empty, c.kept.empty());
  }
}

// ---- Link target list and owner pair ----------------------------------------

TEST(LinkTargetList, AppendsInOrderAndCopiesItsTitle) {
  int deaths = 0;
  char title[] = "Targets";
  {
    LinkTargetList list(title, "Default");
    title[0] = 'X';
    EXPECT_STREQ(list.Title(), "Targets");
    for (int i = 1; i <= 3; ++i) list.Append(new SItem(i, &deaths));
    EXPECT_EQ(Ids(list.First()), (std::vector<int>{1, 2, 3}));
    std::unique_ptr<SListNode> first(list.PopFirst());
    list.Append(new SItem(4, &deaths));
    EXPECT_EQ(Ids(list.First()), (std::vector<int>{2, 3, 4}));
  }
  EXPECT_EQ(deaths, 4);
  LinkTargetList fallback(nullptr, "Default");
  EXPECT_STREQ(fallback.Title(), "Default");
  LinkTargetList single(nullptr, nullptr);
  EXPECT_STREQ(single.Title(), "");
  single.Append(new SItem(1, &deaths));
  delete single.PopFirst();
  single.Append(new SItem(2, &deaths));  // the emptied list starts again at its head
  EXPECT_EQ(Ids(single.First()), (std::vector<int>{2}));
}

TEST(OwnerPair, DeletesItsChainAndTheFollowingPairs) {
  int deaths = 0;
  OwnerPair* head = new OwnerPair;
  OwnerPair* pair = head;
  for (int p = 0; p < 3; ++p) {
    for (int i = 0; i < 2; ++i) {
      SItem* n = new SItem(i, &deaths);
      n->SetNext(pair->chain);
      pair->chain = n;
    }
    if (p < 2) pair = pair->next = new OwnerPair;
  }
  delete head;
  EXPECT_EQ(deaths, 6);
}

}  // namespace
}  // namespace qs
