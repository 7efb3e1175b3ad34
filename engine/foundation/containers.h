// The engine's intrusive containers. The element object carries the links;
// a container allocates nothing per element (the hash table allocates its
// bucket array, the B-tree its nodes). Elements are deleted through their
// virtual destructor. Nothing here is safe to use from two threads at once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/memory.h"

namespace qs {

// ---- Doubly linked list whose nodes do not know their list ----------------

class ListHead;

class ListNode : public EngineObject {
 public:
  ListNode() = default;
  ListNode(const ListNode&) = delete;
  ListNode& operator=(const ListNode&) = delete;
  virtual ~ListNode() = default;

  ListNode* Next() const { return next_; }
  ListNode* Prev() const { return prev_; }

 private:
  friend class ListHead;
  ListNode* prev_ = nullptr;
  ListNode* next_ = nullptr;
};

// A node belongs to at most one list. Every operation that takes a node
// expects it to be unlinked (or, for Unlink, to be in this list).
class ListHead : public EngineObject {
 public:
  ListHead() = default;
  ListHead(const ListHead&) = delete;
  ListHead& operator=(const ListHead&) = delete;
  // Deletes the nodes still in the list.
  virtual ~ListHead() { DeleteAll(); }

  ListNode* First() const { return first_; }
  ListNode* Last() const { return last_; }
  bool IsEmpty() const { return first_ == nullptr; }
  bool HasOneItem() const { return first_ != nullptr && first_ == last_; }

  void Prepend(ListNode* node);
  ListNode* Append(ListNode* node);
  // A null ref inserts before nothing (appends) / after nothing (prepends).
  void InsertBefore(ListNode* ref, ListNode* node);
  void InsertAfter(ListNode* ref, ListNode* node);
  // Unlink and return the node with its links cleared; null when empty.
  ListNode* PopFirst();
  ListNode* PopLast();
  void Unlink(ListNode* node);
  // Move all of other's nodes, in order, to this list's head / tail.
  void PrependList(ListHead& other);
  void AppendList(ListHead& other);
  void DeleteAll();

 private:
  ListNode* first_ = nullptr;
  ListNode* last_ = nullptr;
};

// ---- Doubly linked list whose nodes know their list ------------------------

class OwnedList;

class OwnedNode : public EngineObject {
 public:
  OwnedNode() = default;
  OwnedNode(const OwnedNode&) = delete;
  OwnedNode& operator=(const OwnedNode&) = delete;
  // Unlinks the node from its list first.
  virtual ~OwnedNode() { Remove(); }

  OwnedList* Owner() const { return owner_; }
  OwnedNode* Next() const { return next_; }
  OwnedNode* Prev() const { return prev_; }

  // Unlinks from the owner list; nothing without one. Clears owner and links.
  void Remove();
  // Links `node` right after this one in this one's list (taking it out of
  // any list it is in); nothing when this node has no list.
  void InsertAfter(OwnedNode* node);

 private:
  friend class OwnedList;
  OwnedList* owner_ = nullptr;
  OwnedNode* prev_ = nullptr;
  OwnedNode* next_ = nullptr;
};

class OwnedList : public EngineObject {
 public:
  explicit OwnedList(bool owns = true) : owns_(owns) {}
  OwnedList(const OwnedList&) = delete;
  OwnedList& operator=(const OwnedList&) = delete;
  // An owning list deletes its nodes; any other lets them go unlinked.
  virtual ~OwnedList() { Clear(); }

  bool Owns() const { return owns_; }
  OwnedNode* First() const { return first_; }
  OwnedNode* Last() const { return last_; }
  std::size_t Count() const { return count_; }
  bool IsEmpty() const { return first_ == nullptr; }

  // A node in another list is taken out of it first.
  void Prepend(OwnedNode* node);
  void Append(OwnedNode* node);
  // Unlink and return the node with owner and links cleared; null when empty.
  OwnedNode* PopFirst();
  OwnedNode* PopLast();
  // Owning: deletes every node. Otherwise unlinks every node, clearing its
  // owner and links, so that a node deleted later does not reach back into
  // this list.
  void Clear();

 private:
  friend class OwnedNode;
  void LinkBetween(OwnedNode* node, OwnedNode* prev, OwnedNode* next);
  void UnlinkNode(OwnedNode* node);

  bool owns_;
  OwnedNode* first_ = nullptr;
  OwnedNode* last_ = nullptr;
  std::size_t count_ = 0;
};

// ---- Singly linked list ----------------------------------------------------

class SListNode : public EngineObject {
 public:
  SListNode() = default;
  SListNode(const SListNode&) = delete;
  SListNode& operator=(const SListNode&) = delete;
  virtual ~SListNode() = default;

  SListNode* Next() const { return next_; }
  void SetNext(SListNode* next) { next_ = next; }

 private:
  SListNode* next_ = nullptr;
};

class SList : public EngineObject {
 public:
  SList() = default;
  SList(const SList&) = delete;
  SList& operator=(const SList&) = delete;
  virtual ~SList() { DeleteAll(); }

  SListNode* First() const { return first_; }
  bool IsEmpty() const { return first_ == nullptr; }
  void Prepend(SListNode* node) {
    node->SetNext(first_);
    first_ = node;
  }
  void Push(SListNode* node) { Prepend(node); }
  SListNode* PopFirst();
  // Nothing when the node is not in the list.
  void Remove(SListNode* node);
  // Hands the chain to the caller and leaves the list empty.
  SListNode* TakeAll() {
    SListNode* chain = first_;
    first_ = nullptr;
    return chain;
  }
  void DeleteAll();
  // Deletes a chain as TakeAll hands it out.
  static void DeleteChain(SListNode* chain);

 protected:
  void SetFirst(SListNode* node) { first_ = node; }

 private:
  SListNode* first_ = nullptr;
};

// ---- Tree ------------------------------------------------------------------

// A node owns its children and also its following siblings: deleting a node
// cuts it from its previous sibling (or its parent), deletes its subtree and
// then every sibling after it. Unlink a node before deleting it when its
// siblings must survive.
class TreeNode : public EngineObject {
 public:
  TreeNode() = default;
  TreeNode(const TreeNode&) = delete;
  TreeNode& operator=(const TreeNode&) = delete;
  virtual ~TreeNode();

  TreeNode* GetParent() const { return parent_; }
  TreeNode* FirstChild() const { return firstChild_; }
  TreeNode* LastChild() const { return firstChild_ ? Untagged(firstChild_->prevSibling_) : nullptr; }
  TreeNode* NextSibling() const { return nextSibling_; }
  TreeNode* PrevSibling() const { return IsFirstChild() ? nullptr : prevSibling_; }

  // The node (unlinked first when it is attached) becomes the last child.
  void AppendChild(TreeNode* node);
  // The node (unlinked first) becomes this one's next sibling under the
  // same parent.
  void InsertAfter(TreeNode* node);
  // Detaches from parent and siblings; the node's children stay with it.
  void Unlink();
  void DeleteChildren();
  // Forgets parent, siblings and children without touching any of them, so
  // that deleting the node deletes it alone: for a tree that goes whole,
  // children before their parent, where unhooking each node from its
  // neighbours would only write to nodes about to go.
  void ForgetLinks() { parent_ = prevSibling_ = nextSibling_ = firstChild_ = nullptr; }

 private:
  // A first child's previous-sibling link holds, marked by its low bit, its
  // parent's last child: a large tree (a document's elements) then spends
  // four links on a node, not five.
  static TreeNode* Tagged(TreeNode* node) {
    return reinterpret_cast<TreeNode*>(reinterpret_cast<std::uintptr_t>(node) | 1u);
  }
  static TreeNode* Untagged(TreeNode* link) {
    return reinterpret_cast<TreeNode*>(reinterpret_cast<std::uintptr_t>(link) &
                                       ~std::uintptr_t(1));
  }
  bool IsFirstChild() const { return (reinterpret_cast<std::uintptr_t>(prevSibling_) & 1u) != 0; }
  // Notes the parent's new last child (the parent has children).
  void SetLastChild(TreeNode* last) { firstChild_->prevSibling_ = Tagged(last); }

  TreeNode* parent_ = nullptr;
  TreeNode* prevSibling_ = nullptr;
  TreeNode* nextSibling_ = nullptr;
  TreeNode* firstChild_ = nullptr;
};

// ---- Hash table ------------------------------------------------------------

// Keys are byte strings compared by length and bytes, never case-folded.
// HashName is the engine's own bucket function: stored files (sdata.dat's
// buckets) depend on its values, and so does the iteration order of the
// tables laid out by it. It spreads names badly (200,000 distinct IDs fall
// into a few thousand values), so lookups go by HashBytes.
std::uint32_t HashName(const void* bytes, std::size_t length, std::uint32_t modulus);
std::uint32_t HashBytes(const void* bytes, std::size_t length);
// Inline, eight bytes at a time: the names and values compared while
// parsing are a few bytes long, and a call into the C library cost more
// than the comparison.
inline bool MemEqual(const void* a, const void* b, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(a);
  const auto* q = static_cast<const unsigned char*>(b);
  for (; n >= 8; p += 8, q += 8, n -= 8) {
    std::uint64_t x, y;
    std::memcpy(&x, p, 8);
    std::memcpy(&y, q, 8);
    if (x != y) return false;
  }
  for (; n; ++p, ++q, --n) {
    if (*p != *q) return false;
  }
  return true;
}

// HashBytes computed a byte at a time, for a scanner that hashes a name as
// it reads it: Add each byte, then Value equals HashBytes of those bytes.
class ByteHasher {
 public:
  void Add(unsigned char byte) { h_ = (h_ ^ byte) * 0x01000193u; }
  std::uint32_t Value() const {
    std::uint32_t h = h_;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
  }

 private:
  std::uint32_t h_ = 0x811C9DC5u;
};

class HashTable;

class HashItem : public EngineObject {
 public:
  HashItem() = default;
  HashItem(const HashItem&) = delete;
  HashItem& operator=(const HashItem&) = delete;

  virtual const char* GetKey() const = 0;
  virtual std::size_t GetKeyLength() const = 0;
  virtual ~HashItem() = default;

  HashItem* NextInBucket() const { return next_; }

 private:
  friend class HashTable;
  HashItem* next_ = nullptr;
};

// A chained table in one of two layouts.
// kOrdered: `bucketCount` buckets chosen by HashName, so that iteration
// gives the same order whatever the table holds (tables whose order reaches
// a host, a dump or a report); once it holds more than a few items, lookups
// go through an index by HashBytes that grows with the table.
// kGrowing: buckets chosen by HashBytes, doubled as the table fills; the
// iteration order is no promise (tables only looked up).
class HashTable : public EngineObject {
 public:
  enum class Layout { kOrdered, kGrowing };
  // At least one bucket is kept whatever the count asked for (a growing
  // table rounds it up to a power of two).
  HashTable(int bucketCount, bool owns, Layout layout = Layout::kOrdered);
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;
  virtual ~HashTable();

  int BucketCount() const { return bucketCount_; }
  bool Owns() const { return owns_; }
  std::size_t Count() const { return count_; }

  // 1: added at the head of its bucket. 0: an item with an equal key is
  // there (the new item is then deleted when asked) or the item is null.
  // Memory exhausted while growing throws std::bad_alloc, as the
  // constructor does.
  int Insert(HashItem* item, bool deleteIfDuplicate);
  // For an item embedded in a larger object: never deleted on a duplicate.
  int InsertEmbedded(HashItem* item) { return Insert(item, false); }
  // For an item the caller has just looked for by `hash` (its key's
  // HashBytes) and not found: added without a second lookup.
  void InsertAbsent(HashItem* item, std::uint32_t hash);
  HashItem* Find(const void* key, std::size_t length) const {
    return Find(key, length, HashBytes(key, length));
  }
  // With `hash` = HashBytes(key, length), computed by the caller.
  HashItem* Find(const void* key, std::size_t length, std::uint32_t hash) const;
  // Unlinks and returns the item (not deleted); null when absent.
  HashItem* Remove(const void* key, std::size_t length);
  // Unlinks this very item; false when it is not in the table.
  bool RemoveItem(HashItem* item);

  // Iteration over all items, bucket by bucket from bucket 0, each bucket
  // from its head; null at the end. Removing the current item moves the
  // iteration on to the item after it, which the following Next returns.
  HashItem* First();
  HashItem* Next();

  // Owning: deletes every item; else empties the buckets.
  void Clear();

 protected:
  // HashBytes of the item's key. A table whose items keep the value they
  // were added under answers from it: growing and removal then read no key.
  virtual std::uint32_t ItemHash(const HashItem* item) const;
  // Whether the item's key is these bytes, whose HashBytes is `hash`.
  virtual bool ItemIs(const HashItem* item, const void* key, std::size_t length,
                      std::uint32_t hash) const;

 private:
  struct Slot {
    HashItem* item;
    std::uint32_t hash;
  };
  std::uint32_t BucketOf(const char* key, std::size_t length, std::uint32_t hash) const;
  // Unlinks the item from its bucket chain; false when it is not there.
  bool UnlinkFromBucket(HashItem* item, std::uint32_t bucket);
  void Unlinked(HashItem* item, int bucket);
  void GrowBuckets();
  void IndexAdd(HashItem* item, std::uint32_t hash);
  void IndexRemove(HashItem* item, std::uint32_t hash);
  void RebuildIndex(std::size_t capacity);

  int iterBucket_ = -1;
  HashItem* iterItem_ = nullptr;
  bool iterAdvanced_ = false;
  Layout layout_;
  HashItem** buckets_;
  int bucketCount_;
  bool owns_;
  std::size_t count_ = 0;
  // The ordered layout's index: open addressing, linear probing, at most
  // half full; none while the table is small.
  Slot* slots_ = nullptr;
  std::size_t slotMask_ = 0;
};

// ---- B-tree ----------------------------------------------------------------

// Keys and values are pointer-sized words ordered by the derived tree's
// Compare; the tree never frees them. At most 10 keys a node, nodes of one
// level chained so that the leaves form one ordered chain.
class BTree : public EngineObject {
 public:
  static constexpr int kMaxKeys = 10;
  static constexpr int kMaxLevels = 16;

  // `maxLevels` (1 to 16) bounds the height; an insert that would need a
  // further level is refused.
  explicit BTree(int maxLevels = kMaxLevels);
  BTree(const BTree&) = delete;
  BTree& operator=(const BTree&) = delete;
  virtual ~BTree();
  virtual int Compare(std::intptr_t a, std::intptr_t b) const = 0;

  // 1 when added; 0 when the key is present, the tree may grow no higher or
  // memory ran out.
  int Insert(std::intptr_t key, std::intptr_t value);
  // 1 when removed, 0 when absent.
  int Remove(std::intptr_t key);
  // Positions the cursor and returns the value; 0 and no cursor when absent.
  std::intptr_t Find(std::intptr_t key);
  std::intptr_t First();
  std::intptr_t Current() const;
  std::intptr_t CurrentKey() const;
  bool HasCursor() const { return cursorNode_ != nullptr; }
  std::intptr_t Next();
  // Frees every node and leaves one empty root.
  void Clear();

  // Levels above the leaves (0 when the root is a leaf).
  int Depth() const { return depth_; }

  struct Node {
    Node* prev;
    Node* next;
    int count;
    std::intptr_t keys[kMaxKeys];
    std::intptr_t values[kMaxKeys];  // in an inner node, child i
    Node* Child(int i) const { return reinterpret_cast<Node*>(values[i]); }
  };
  const Node* Root() const { return root_; }

 private:
  struct Path {
    Node* node[kMaxLevels];
    int index[kMaxLevels];  // child taken at each inner level
  };
  static Node* NewNode();
  void Descend(std::intptr_t key, Path& path) const;
  int FindInNode(const Node* node, std::intptr_t key) const;
  void InsertInNode(Node* node, std::intptr_t key, std::intptr_t value) const;
  static void RemoveFromNode(Node* node, int index);
  void Balance(Node* a, Node* b) const;
  static void FixFirstKeys(Path& path, int level);
  void FreeAll();

  Node* root_;
  int depth_ = 0;
  int maxLevels_;
  Node* cursorNode_ = nullptr;
  int cursorIndex_ = -1;
};

// ---- Lists built on these --------------------------------------------------

// An element of an ObjectList: a counted engine object that says whether
// nothing uses it any more.
class ObjectListItem : public OwnedNode {
 public:
  virtual bool MayRelease() const = 0;
};

// A list of loaded objects that keeps at most `limit` of them when it can:
// before an object is added, elements that may be released are deleted,
// from the first on, while the list is over its limit.
class ObjectList : public OwnedList {
 public:
  explicit ObjectList(std::uint16_t limit = 0xFFFF) : OwnedList(true), limit_(limit) {}
  // Pops every element and deletes those that may go; the others are only
  // unlinked (someone still uses them).
  ~ObjectList() override;

  std::uint16_t Limit() const { return limit_; }
  void SetLimit(std::uint16_t limit) { limit_ = limit; }

  void PrependLimited(ObjectListItem* item);
  // Through the list's own add operation; false when that refused.
  bool AddLimited(ObjectListItem* item);

 protected:
  // Adds an element; the base appends it.
  virtual bool AddObject(ObjectListItem* item) {
    Append(item);
    return true;
  }

 private:
  // One pass over the list: an element that may not go is not asked again,
  // so a list of objects still in use stays over its limit.
  void MakeRoom();

  std::uint16_t limit_;
};

// An entry of a view's marked-node list.
class MarkedNodeEntry : public ListNode {
 public:
  virtual bool IsMarked() const = 0;
  // The extent value of the entry's element.
  virtual std::intptr_t Extent() const = 0;
};

// Deletes every unmarked entry unless a marked entry follows it before the
// first following entry whose extent is greater than its own. Returns true
// when the list ends up empty (the caller then records the one-position
// range it needs).
bool PruneNodeList(ListHead& list);

// Link targets with a remembered last node and a title of their own.
class LinkTargetList : public EngineObject {
 public:
  // A copy of `title`, else of `defaultTitle`, else an empty title.
  LinkTargetList(const char* title, const char* defaultTitle);
  LinkTargetList(const LinkTargetList&) = delete;
  LinkTargetList& operator=(const LinkTargetList&) = delete;
  virtual ~LinkTargetList();

  const char* Title() const { return title_; }
  SListNode* First() const { return list_.First(); }
  SListNode* Last() const { return last_; }
  bool IsEmpty() const { return list_.IsEmpty(); }
  // Links the node after the last one (at the head of an empty list).
  void Append(SListNode* node);
  SListNode* PopFirst();
  void DeleteAll();

 private:
  SList list_;
  SListNode* last_ = nullptr;
  char* title_;
};

// Owns a chain of nodes and a further pair; deleting it deletes both.
struct OwnerPair : EngineObject {
  SListNode* chain = nullptr;
  OwnerPair* next = nullptr;
  OwnerPair() = default;
  OwnerPair(const OwnerPair&) = delete;
  OwnerPair& operator=(const OwnerPair&) = delete;
  ~OwnerPair();
};

}  // namespace qs
