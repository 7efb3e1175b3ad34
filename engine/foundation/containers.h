// The engine's intrusive containers. The element object carries the links;
// a container allocates nothing per element (the hash table allocates its
// bucket array, the B-tree its nodes). Elements are deleted through their
// virtual destructor. Nothing here is safe to use from two threads at once.
#pragma once
#include <cstddef>
#include <cstdint>

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
  TreeNode* LastChild() const { return lastChild_; }
  TreeNode* NextSibling() const { return nextSibling_; }
  TreeNode* PrevSibling() const { return prevSibling_; }

  // The node (unlinked first when it is attached) becomes the last child.
  void AppendChild(TreeNode* node);
  // The node (unlinked first) becomes this one's next sibling under the
  // same parent.
  void InsertAfter(TreeNode* node);
  // Detaches from parent and siblings; the node's children stay with it.
  void Unlink();
  void DeleteChildren();

 private:
  TreeNode* parent_ = nullptr;
  TreeNode* prevSibling_ = nullptr;
  TreeNode* nextSibling_ = nullptr;
  TreeNode* firstChild_ = nullptr;
  TreeNode* lastChild_ = nullptr;
};

// ---- Hash table ------------------------------------------------------------

// Keys are byte strings compared by length and bytes, never case-folded.
std::uint32_t HashName(const void* bytes, std::size_t length, std::uint32_t modulus);
bool MemEqual(const void* a, const void* b, std::size_t n);

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

// A chained table with a fixed number of buckets.
class HashTable : public EngineObject {
 public:
  // At least one bucket is kept whatever the count asked for.
  HashTable(int bucketCount, bool owns);
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;
  virtual ~HashTable();

  int BucketCount() const { return bucketCount_; }
  bool Owns() const { return owns_; }

  // 1: added at the head of its bucket. 0: an item with an equal key is
  // there (the new item is then deleted when asked) or the item is null.
  int Insert(HashItem* item, bool deleteIfDuplicate);
  // For an item embedded in a larger object: never deleted on a duplicate.
  int InsertEmbedded(HashItem* item) { return Insert(item, false); }
  HashItem* Find(const void* key, std::size_t length) const;
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

 private:
  void Unlinked(HashItem* item, int bucket);

  int iterBucket_ = -1;
  HashItem* iterItem_ = nullptr;
  bool iterAdvanced_ = false;
  HashItem** buckets_;
  int bucketCount_;
  bool owns_;
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
