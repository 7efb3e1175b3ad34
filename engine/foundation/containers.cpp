#include "foundation/containers.h"

#include <cstring>
#include <new>

#include "foundation/strings.h"

namespace qs {

// ---- ListHead ----------------------------------------------------------------

void ListHead::Prepend(ListNode* node) {
  node->prev_ = nullptr;
  node->next_ = first_;
  if (first_) first_->prev_ = node;
  else last_ = node;
  first_ = node;
}

ListNode* ListHead::Append(ListNode* node) {
  node->next_ = nullptr;
  node->prev_ = last_;
  if (last_) last_->next_ = node;
  else first_ = node;
  last_ = node;
  return node;
}

void ListHead::InsertBefore(ListNode* ref, ListNode* node) {
  if (!ref) {
    Append(node);
    return;
  }
  node->next_ = ref;
  node->prev_ = ref->prev_;
  if (ref->prev_) ref->prev_->next_ = node;
  else first_ = node;
  ref->prev_ = node;
}

void ListHead::InsertAfter(ListNode* ref, ListNode* node) {
  if (!ref) {
    Prepend(node);
    return;
  }
  node->prev_ = ref;
  node->next_ = ref->next_;
  if (ref->next_) ref->next_->prev_ = node;
  else last_ = node;
  ref->next_ = node;
}

ListNode* ListHead::PopFirst() {
  ListNode* node = first_;
  if (node) Unlink(node);
  return node;
}

ListNode* ListHead::PopLast() {
  ListNode* node = last_;
  if (node) Unlink(node);
  return node;
}

void ListHead::Unlink(ListNode* node) {
  if (node->prev_) node->prev_->next_ = node->next_;
  else if (first_ == node) first_ = node->next_;
  if (node->next_) node->next_->prev_ = node->prev_;
  else if (last_ == node) last_ = node->prev_;
  node->prev_ = nullptr;
  node->next_ = nullptr;
}

void ListHead::PrependList(ListHead& other) {
  if (&other == this || !other.first_) return;
  if (first_) {
    other.last_->next_ = first_;
    first_->prev_ = other.last_;
  } else {
    last_ = other.last_;
  }
  first_ = other.first_;
  other.first_ = other.last_ = nullptr;
}

void ListHead::AppendList(ListHead& other) {
  if (&other == this || !other.first_) return;
  if (last_) {
    last_->next_ = other.first_;
    other.first_->prev_ = last_;
  } else {
    first_ = other.first_;
  }
  last_ = other.last_;
  other.first_ = other.last_ = nullptr;
}

void ListHead::DeleteAll() {
  while (ListNode* node = PopFirst()) delete node;
}

// ---- OwnedNode / OwnedList ---------------------------------------------------

void OwnedNode::Remove() {
  if (owner_) owner_->UnlinkNode(this);
}

void OwnedNode::InsertAfter(OwnedNode* node) {
  if (!owner_ || node == this) return;
  node->Remove();
  owner_->LinkBetween(node, this, next_);
}

void OwnedList::LinkBetween(OwnedNode* node, OwnedNode* prev, OwnedNode* next) {
  node->owner_ = this;
  node->prev_ = prev;
  node->next_ = next;
  if (prev) prev->next_ = node;
  else first_ = node;
  if (next) next->prev_ = node;
  else last_ = node;
  ++count_;
}

void OwnedList::UnlinkNode(OwnedNode* node) {
  if (node->prev_) node->prev_->next_ = node->next_;
  else first_ = node->next_;
  if (node->next_) node->next_->prev_ = node->prev_;
  else last_ = node->prev_;
  node->owner_ = nullptr;
  node->prev_ = nullptr;
  node->next_ = nullptr;
  --count_;
}

void OwnedList::Prepend(OwnedNode* node) {
  node->Remove();
  LinkBetween(node, nullptr, first_);
}

void OwnedList::Append(OwnedNode* node) {
  node->Remove();
  LinkBetween(node, last_, nullptr);
}

OwnedNode* OwnedList::PopFirst() {
  OwnedNode* node = first_;
  if (node) UnlinkNode(node);
  return node;
}

OwnedNode* OwnedList::PopLast() {
  OwnedNode* node = last_;
  if (node) UnlinkNode(node);
  return node;
}

void OwnedList::Clear() {
  if (owns_) {
    // Each node's destructor takes it out of the list.
    while (first_) delete first_;
  } else {
    while (PopFirst()) {
    }
  }
}

// ---- SList -------------------------------------------------------------------

SListNode* SList::PopFirst() {
  SListNode* node = first_;
  if (node) {
    first_ = node->Next();
    node->SetNext(nullptr);
  }
  return node;
}

void SList::Remove(SListNode* node) {
  SListNode* prev = nullptr;
  for (SListNode* p = first_; p; prev = p, p = p->Next()) {
    if (p != node) continue;
    if (prev) prev->SetNext(p->Next());
    else first_ = p->Next();
    p->SetNext(nullptr);
    return;
  }
}

void SList::DeleteAll() { DeleteChain(TakeAll()); }

void SList::DeleteChain(SListNode* chain) {
  while (chain) {
    SListNode* next = chain->Next();
    delete chain;
    chain = next;
  }
}

// ---- TreeNode ----------------------------------------------------------------

TreeNode::~TreeNode() {
  // This node and every sibling after it go; the parent keeps the ones before.
  if (TreeNode* prev = PrevSibling()) {
    prev->nextSibling_ = nullptr;
    if (parent_) parent_->SetLastChild(prev);
  } else if (parent_ && parent_->firstChild_ == this) {
    parent_->firstChild_ = nullptr;
  }
  prevSibling_ = nullptr;
  DeleteChildren();
  // Siblings are deleted one by one, each cut loose first, so a long run of
  // siblings does not nest destructor calls.
  TreeNode* sibling = nextSibling_;
  nextSibling_ = nullptr;
  while (sibling) {
    TreeNode* next = sibling->nextSibling_;
    sibling->parent_ = nullptr;
    sibling->prevSibling_ = nullptr;
    sibling->nextSibling_ = nullptr;
    delete sibling;
    sibling = next;
  }
}

void TreeNode::AppendChild(TreeNode* node) {
  if (!node || node == this) return;
  node->Unlink();
  node->parent_ = this;
  if (TreeNode* last = LastChild()) {
    last->nextSibling_ = node;
    node->prevSibling_ = last;
    SetLastChild(node);
  } else {
    firstChild_ = node;
    node->prevSibling_ = Tagged(node);
  }
}

void TreeNode::InsertAfter(TreeNode* node) {
  if (!node || node == this) return;
  node->Unlink();
  node->parent_ = parent_;
  node->prevSibling_ = this;
  node->nextSibling_ = nextSibling_;
  if (nextSibling_) nextSibling_->prevSibling_ = node;
  else if (parent_) parent_->SetLastChild(node);
  nextSibling_ = node;
}

void TreeNode::Unlink() {
  if (IsFirstChild()) {
    // The first child (its parent's last one too when it has no next).
    parent_->firstChild_ = nextSibling_;
    if (nextSibling_) nextSibling_->prevSibling_ = prevSibling_;
  } else if (parent_) {
    if (prevSibling_) prevSibling_->nextSibling_ = nextSibling_;
    if (nextSibling_) nextSibling_->prevSibling_ = prevSibling_;
    else if (prevSibling_) parent_->SetLastChild(prevSibling_);
  } else {
    if (prevSibling_) prevSibling_->nextSibling_ = nextSibling_;
    if (nextSibling_) nextSibling_->prevSibling_ = prevSibling_;
  }
  parent_ = nullptr;
  prevSibling_ = nullptr;
  nextSibling_ = nullptr;
}

void TreeNode::DeleteChildren() {
  while (TreeNode* child = firstChild_) {
    child->Unlink();
    delete child;
  }
}

// ---- Hash table --------------------------------------------------------------

std::uint32_t HashName(const void* bytes, std::size_t length, std::uint32_t modulus) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  std::uint32_t h = 17;
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t r = static_cast<std::uint32_t>(length - i);
    h += (static_cast<std::uint32_t>(p[i]) + 17u) * (r + 18u);
  }
  return modulus ? h % modulus : 0;
}

std::uint32_t HashBytes(const void* bytes, std::size_t length) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  ByteHasher hasher;
  for (std::size_t i = 0; i < length; ++i) hasher.Add(p[i]);
  return hasher.Value();
}

namespace {
// An ordered table indexes its items once it holds more than this many.
constexpr std::size_t kIndexFrom = 8;

bool KeyIs(const HashItem* item, const void* key, std::size_t length) {
  return item->GetKeyLength() == length && MemEqual(item->GetKey(), key, length);
}
}  // namespace

std::uint32_t HashTable::ItemHash(const HashItem* item) const {
  return HashBytes(item->GetKey(), item->GetKeyLength());
}

bool HashTable::ItemIs(const HashItem* item, const void* key, std::size_t length,
                       std::uint32_t) const {
  return KeyIs(item, key, length);
}

HashTable::HashTable(int bucketCount, bool owns, Layout layout)
    : layout_(layout), bucketCount_(bucketCount > 0 ? bucketCount : 1), owns_(owns) {
  if (layout_ == Layout::kGrowing) {
    int n = 1;
    while (n < bucketCount_ && n < (1 << 30)) n <<= 1;
    bucketCount_ = n;
  }
  buckets_ = static_cast<HashItem**>(MemAlloc(sizeof(HashItem*) * bucketCount_));
  if (!buckets_) throw std::bad_alloc();
  for (int i = 0; i < bucketCount_; ++i) buckets_[i] = nullptr;
}

HashTable::~HashTable() {
  Clear();
  MemFree(buckets_);
  MemFree(slots_);
}

std::uint32_t HashTable::BucketOf(const char* key, std::size_t length, std::uint32_t hash) const {
  if (layout_ == Layout::kGrowing) return hash & static_cast<std::uint32_t>(bucketCount_ - 1);
  return HashName(key, length, static_cast<std::uint32_t>(bucketCount_));
}

int HashTable::Insert(HashItem* item, bool deleteIfDuplicate) {
  if (!item) return 0;
  const char* key = item->GetKey();
  std::size_t length = item->GetKeyLength();
  std::uint32_t hash = HashBytes(key, length);
  if (Find(key, length, hash)) {
    if (deleteIfDuplicate) delete item;
    return 0;
  }
  InsertAbsent(item, hash);
  return 1;
}

void HashTable::InsertAbsent(HashItem* item, std::uint32_t hash) {
  const char* key = item->GetKey();
  std::size_t length = item->GetKeyLength();
  if (layout_ == Layout::kGrowing) {
    if (count_ >= static_cast<std::size_t>(bucketCount_) && bucketCount_ < (1 << 30)) {
      GrowBuckets();
    }
  } else if (slots_ || count_ + 1 > kIndexFrom) {
    IndexAdd(item, hash);
  }
  std::uint32_t b = BucketOf(key, length, hash);
  item->next_ = buckets_[b];
  buckets_[b] = item;
  ++count_;
}

HashItem* HashTable::Find(const void* key, std::size_t length, std::uint32_t hash) const {
  if (slots_) {
    for (std::size_t i = hash & slotMask_;; i = (i + 1) & slotMask_) {
      const Slot& slot = slots_[i];
      if (!slot.item) return nullptr;
      if (slot.hash == hash && KeyIs(slot.item, key, length)) return slot.item;
    }
  }
  std::uint32_t b = BucketOf(static_cast<const char*>(key), length, hash);
  for (HashItem* item = buckets_[b]; item; item = item->next_) {
    if (ItemIs(item, key, length, hash)) return item;
  }
  return nullptr;
}

HashItem* HashTable::Remove(const void* key, std::size_t length) {
  std::uint32_t hash = HashBytes(key, length);
  HashItem* item = Find(key, length, hash);
  if (!item) return nullptr;
  UnlinkFromBucket(item, BucketOf(static_cast<const char*>(key), length, hash));
  if (slots_) IndexRemove(item, hash);
  return item;
}

bool HashTable::RemoveItem(HashItem* item) {
  if (!item) return false;
  const char* key = item->GetKey();
  std::size_t length = item->GetKeyLength();
  std::uint32_t hash = ItemHash(item);
  if (!UnlinkFromBucket(item, BucketOf(key, length, hash))) return false;
  if (slots_) IndexRemove(item, hash);
  return true;
}

bool HashTable::UnlinkFromBucket(HashItem* item, std::uint32_t b) {
  HashItem* prev = nullptr;
  for (HashItem* p = buckets_[b]; p; prev = p, p = p->next_) {
    if (p != item) continue;
    if (prev) prev->next_ = p->next_;
    else buckets_[b] = p->next_;
    --count_;
    Unlinked(item, static_cast<int>(b));
    return true;
  }
  return false;
}

void HashTable::GrowBuckets() {
  int count = bucketCount_ * 2;
  auto** buckets = static_cast<HashItem**>(MemAlloc(sizeof(HashItem*) * count));
  if (!buckets) throw std::bad_alloc();
  for (int i = 0; i < count; ++i) buckets[i] = nullptr;
  // Each chain keeps its relative order in the bucket it moves to.
  for (int i = bucketCount_ - 1; i >= 0; --i) {
    HashItem* chain = buckets_[i];
    HashItem* reversed = nullptr;
    while (chain) {
      HashItem* next = chain->next_;
      chain->next_ = reversed;
      reversed = chain;
      chain = next;
    }
    while (reversed) {
      HashItem* next = reversed->next_;
      std::uint32_t b = ItemHash(reversed) & static_cast<std::uint32_t>(count - 1);
      reversed->next_ = buckets[b];
      buckets[b] = reversed;
      reversed = next;
    }
  }
  MemFree(buckets_);
  buckets_ = buckets;
  bucketCount_ = count;
  // An iteration under way goes on from the current item's new bucket.
  if (iterItem_) {
    iterBucket_ = static_cast<int>(ItemHash(iterItem_) & static_cast<std::uint32_t>(count - 1));
  }
}

void HashTable::RebuildIndex(std::size_t capacity) {
  auto* slots = static_cast<Slot*>(MemAlloc(sizeof(Slot) * capacity));
  if (!slots) throw std::bad_alloc();
  for (std::size_t i = 0; i < capacity; ++i) slots[i] = Slot{nullptr, 0};
  std::size_t mask = capacity - 1;
  auto place = [&](HashItem* item, std::uint32_t hash) {
    std::size_t i = hash & mask;
    while (slots[i].item) i = (i + 1) & mask;
    slots[i] = Slot{item, hash};
  };
  if (slots_) {
    for (std::size_t i = 0; i <= slotMask_; ++i) {
      if (slots_[i].item) place(slots_[i].item, slots_[i].hash);
    }
  } else {
    for (int b = 0; b < bucketCount_; ++b) {
      for (HashItem* item = buckets_[b]; item; item = item->next_) {
        place(item, ItemHash(item));
      }
    }
  }
  MemFree(slots_);
  slots_ = slots;
  slotMask_ = mask;
}

void HashTable::IndexAdd(HashItem* item, std::uint32_t hash) {
  std::size_t capacity = slots_ ? slotMask_ + 1 : 0;
  if ((count_ + 1) * 2 > capacity) {
    std::size_t n = capacity ? capacity * 2 : 32;
    while ((count_ + 1) * 2 > n) n *= 2;
    RebuildIndex(n);  // takes in the items already in the buckets
  }
  std::size_t i = hash & slotMask_;
  while (slots_[i].item) i = (i + 1) & slotMask_;
  slots_[i] = Slot{item, hash};
}

void HashTable::IndexRemove(HashItem* item, std::uint32_t hash) {
  std::size_t i = hash & slotMask_;
  while (slots_[i].item && slots_[i].item != item) i = (i + 1) & slotMask_;
  if (!slots_[i].item) return;
  // Backward shift: each later item of the run moves into the gap when its
  // home slot does not lie between the gap and itself.
  std::size_t gap = i;
  for (std::size_t j = (i + 1) & slotMask_; slots_[j].item; j = (j + 1) & slotMask_) {
    std::size_t home = slots_[j].hash & slotMask_;
    bool stays = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
    if (stays) continue;
    slots_[gap] = slots_[j];
    gap = j;
  }
  slots_[gap] = Slot{nullptr, 0};
}

void HashTable::Unlinked(HashItem* item, int bucket) {
  HashItem* next = item->next_;
  item->next_ = nullptr;
  if (item != iterItem_) return;
  // The iteration goes on with the item that followed the removed one; the
  // next call of Next hands it out.
  if (!next) {
    for (int i = bucket + 1; i < bucketCount_ && !next; ++i) {
      if (buckets_[i]) {
        next = buckets_[i];
        bucket = i;
      }
    }
  }
  iterItem_ = next;
  iterBucket_ = next ? bucket : bucketCount_;
  iterAdvanced_ = next != nullptr;
}

HashItem* HashTable::First() {
  iterAdvanced_ = false;
  for (int i = 0; i < bucketCount_; ++i) {
    if (buckets_[i]) {
      iterBucket_ = i;
      iterItem_ = buckets_[i];
      return iterItem_;
    }
  }
  iterBucket_ = bucketCount_;
  iterItem_ = nullptr;
  return nullptr;
}

HashItem* HashTable::Next() {
  if (iterAdvanced_) {
    iterAdvanced_ = false;
    return iterItem_;
  }
  if (!iterItem_) return nullptr;
  if (iterItem_->next_) {
    iterItem_ = iterItem_->next_;
    return iterItem_;
  }
  for (int i = iterBucket_ + 1; i < bucketCount_; ++i) {
    if (buckets_[i]) {
      iterBucket_ = i;
      iterItem_ = buckets_[i];
      return iterItem_;
    }
  }
  iterBucket_ = bucketCount_;
  iterItem_ = nullptr;
  return nullptr;
}

void HashTable::Clear() {
  iterBucket_ = -1;
  iterItem_ = nullptr;
  iterAdvanced_ = false;
  count_ = 0;
  MemFree(slots_);
  slots_ = nullptr;
  slotMask_ = 0;
  for (int i = 0; i < bucketCount_; ++i) {
    HashItem* chain = buckets_[i];
    buckets_[i] = nullptr;
    // The chain is cut loose first, so an item whose destructor takes
    // itself out of the table finds nothing to do.
    while (chain) {
      HashItem* next = chain->next_;
      chain->next_ = nullptr;
      if (owns_) delete chain;
      chain = next;
    }
  }
}

// ---- B-tree ------------------------------------------------------------------

BTree::BTree(int maxLevels)
    : maxLevels_(maxLevels < 1 ? 1 : maxLevels > kMaxLevels ? kMaxLevels : maxLevels) {
  root_ = NewNode();
  if (!root_) throw std::bad_alloc();
}

BTree::~BTree() { FreeAll(); }

BTree::Node* BTree::NewNode() {
  Node* node = static_cast<Node*>(MemAlloc(sizeof(Node)));
  if (node) std::memset(node, 0, sizeof(Node));
  return node;
}

void BTree::Descend(std::intptr_t key, Path& path) const {
  Node* node = root_;
  for (int level = 0; level < depth_; ++level) {
    path.node[level] = node;
    int i = 1;
    while (i < node->count && Compare(key, node->keys[i]) >= 0) ++i;
    path.index[level] = i - 1;
    node = node->Child(i - 1);
  }
  path.node[depth_] = node;
}

int BTree::FindInNode(const Node* node, std::intptr_t key) const {
  for (int i = 0; i < node->count; ++i) {
    if (Compare(key, node->keys[i]) == 0) return i;
  }
  return -1;
}

void BTree::InsertInNode(Node* node, std::intptr_t key, std::intptr_t value) const {
  int i = node->count;
  while (i > 0 && Compare(key, node->keys[i - 1]) < 0) {
    node->keys[i] = node->keys[i - 1];
    node->values[i] = node->values[i - 1];
    --i;
  }
  node->keys[i] = key;
  node->values[i] = value;
  ++node->count;
}

void BTree::RemoveFromNode(Node* node, int index) {
  for (int i = index + 1; i < node->count; ++i) {
    node->keys[i - 1] = node->keys[i];
    node->values[i - 1] = node->values[i];
  }
  --node->count;
}

void BTree::Balance(Node* a, Node* b) const {
  int target = (a->count + b->count) / 2;
  if (b->count <= a->count) {
    while (b->count < target) {
      InsertInNode(b, a->keys[a->count - 1], a->values[a->count - 1]);
      --a->count;
    }
  } else {
    while (a->count < target) {
      a->keys[a->count] = b->keys[0];
      a->values[a->count] = b->values[0];
      ++a->count;
      RemoveFromNode(b, 0);
    }
  }
}

// The parent's key for each child is that child's least key: after the first
// key of the node at `level` changed, carry it up as far as it is a first key.
void BTree::FixFirstKeys(Path& path, int level) {
  for (int l = level; l > 0; --l) {
    Node* node = path.node[l];
    if (node->count == 0) return;
    Node* parent = path.node[l - 1];
    int i = path.index[l - 1];
    parent->keys[i] = node->keys[0];
    if (i != 0) return;
  }
}

int BTree::Insert(std::intptr_t key, std::intptr_t value) {
  Path path;
  Descend(key, path);
  if (FindInNode(path.node[depth_], key) >= 0) return 0;

  // Every full node from the leaf up splits; a split root adds a level.
  // Count and allocate the new nodes first, so that a refusal leaves the
  // tree as it was.
  int splits = 0;
  while (splits <= depth_ && path.node[depth_ - splits]->count == kMaxKeys) ++splits;
  bool newRoot = splits > depth_;
  if (newRoot && depth_ + 2 > maxLevels_) return 0;
  Node* fresh[kMaxLevels + 1];
  int needed = splits + (newRoot ? 1 : 0);
  for (int i = 0; i < needed; ++i) {
    fresh[i] = NewNode();
    if (!fresh[i]) {
      while (i-- > 0) MemFree(fresh[i]);
      return 0;
    }
  }

  int level = depth_;
  int used = 0;
  for (;;) {
    Node* node = path.node[level];
    if (node->count < kMaxKeys) {
      InsertInNode(node, key, value);
      FixFirstKeys(path, level);
      break;
    }
    Node* right = fresh[used++];
    int half = node->count / 2;
    for (int i = node->count - half; i < node->count; ++i) {
      right->keys[right->count] = node->keys[i];
      right->values[right->count] = node->values[i];
      ++right->count;
    }
    node->count -= half;
    if (Compare(key, right->keys[0]) <= 0) InsertInNode(node, key, value);
    else InsertInNode(right, key, value);
    Balance(node, right);
    right->prev = node;
    right->next = node->next;
    if (node->next) node->next->prev = right;
    node->next = right;
    if (level == 0) {
      Node* root = fresh[used++];
      root->count = 2;
      root->keys[0] = node->keys[0];
      root->values[0] = reinterpret_cast<std::intptr_t>(node);
      root->keys[1] = right->keys[0];
      root->values[1] = reinterpret_cast<std::intptr_t>(right);
      root_ = root;
      ++depth_;
      break;
    }
    FixFirstKeys(path, level);
    key = right->keys[0];
    value = reinterpret_cast<std::intptr_t>(right);
    --level;
  }
  cursorNode_ = nullptr;
  cursorIndex_ = -1;
  return 1;
}

int BTree::Remove(std::intptr_t key) {
  Path path;
  Descend(key, path);
  int level = depth_;
  int index = FindInNode(path.node[level], key);
  if (index < 0) return 0;
  cursorNode_ = nullptr;
  cursorIndex_ = -1;

  for (;;) {
    Node* node = path.node[level];
    RemoveFromNode(node, index);
    if (level == 0) {
      if (node->count == 1 && depth_ > 0) {
        root_ = node->Child(0);
        MemFree(node);
        --depth_;
      }
      return 1;
    }
    if (index == 0) FixFirstKeys(path, level);
    if (node->count > kMaxKeys / 2) return 1;

    Node* parent = path.node[level - 1];
    int i = path.index[level - 1];
    if (parent->count < 2) return 1;
    int s = i > 0 ? i - 1 : 1;
    Node* sibling = parent->Child(s);
    if (node->count + sibling->count > kMaxKeys) {
      if (s < i) Balance(sibling, node);
      else Balance(node, sibling);
      parent->keys[i] = node->keys[0];
      parent->keys[s] = sibling->keys[0];
      if (s == 0 || i == 0) FixFirstKeys(path, level - 1);
      return 1;
    }
    // Merge into the sibling, drop the node, and remove its entry above.
    for (int k = 0; k < node->count; ++k) InsertInNode(sibling, node->keys[k], node->values[k]);
    if (sibling->count > 0) parent->keys[s] = sibling->keys[0];
    if (node->prev) node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
    MemFree(node);
    --level;
    index = i;
  }
}

std::intptr_t BTree::Find(std::intptr_t key) {
  Path path;
  Descend(key, path);
  Node* leaf = path.node[depth_];
  int i = FindInNode(leaf, key);
  if (i < 0) {
    cursorNode_ = nullptr;
    cursorIndex_ = -1;
    return 0;
  }
  cursorNode_ = leaf;
  cursorIndex_ = i;
  return leaf->values[i];
}

std::intptr_t BTree::First() {
  Node* node = root_;
  for (int level = 0; level < depth_; ++level) node = node->Child(0);
  if (node->count == 0) {
    cursorNode_ = nullptr;
    cursorIndex_ = -1;
    return 0;
  }
  cursorNode_ = node;
  cursorIndex_ = 0;
  return node->values[0];
}

std::intptr_t BTree::Current() const {
  return cursorNode_ ? cursorNode_->values[cursorIndex_] : 0;
}

std::intptr_t BTree::CurrentKey() const {
  return cursorNode_ ? cursorNode_->keys[cursorIndex_] : 0;
}

std::intptr_t BTree::Next() {
  if (!cursorNode_) return 0;
  if (++cursorIndex_ >= cursorNode_->count) {
    cursorNode_ = cursorNode_->next;
    cursorIndex_ = 0;
    // Only the root can be empty, and it has no neighbours.
    if (!cursorNode_ || cursorNode_->count == 0) {
      cursorNode_ = nullptr;
      cursorIndex_ = -1;
      return 0;
    }
  }
  return cursorNode_->values[cursorIndex_];
}

void BTree::FreeAll() {
  Node* first = root_;
  for (int level = 0; first; ++level) {
    Node* below = level < depth_ ? first->Child(0) : nullptr;
    for (Node* node = first; node;) {
      Node* next = node->next;
      MemFree(node);
      node = next;
    }
    first = below;
  }
  root_ = nullptr;
  depth_ = 0;
  cursorNode_ = nullptr;
  cursorIndex_ = -1;
}

void BTree::Clear() {
  FreeAll();
  root_ = NewNode();
  if (!root_) throw std::bad_alloc();
}

// ---- ObjectList --------------------------------------------------------------

ObjectList::~ObjectList() {
  while (OwnedNode* node = PopFirst()) {
    auto* item = static_cast<ObjectListItem*>(node);
    if (item->MayRelease()) delete item;
  }
}

void ObjectList::MakeRoom() {
  OwnedNode* node = First();
  while (node && Count() + 1 > limit_) {
    OwnedNode* next = node->Next();
    if (static_cast<ObjectListItem*>(node)->MayRelease()) delete node;
    node = next;
  }
}

void ObjectList::PrependLimited(ObjectListItem* item) {
  item->Remove();
  MakeRoom();
  Prepend(item);
}

bool ObjectList::AddLimited(ObjectListItem* item) {
  item->Remove();
  MakeRoom();
  return AddObject(item);
}

// ---- Marked-node pruning -----------------------------------------------------

bool PruneNodeList(ListHead& list) {
  ListNode* node = list.First();
  while (node) {
    ListNode* next = node->Next();
    auto* entry = static_cast<MarkedNodeEntry*>(node);
    if (!entry->IsMarked()) {
      bool kept = false;
      for (ListNode* f = next; f; f = f->Next()) {
        auto* later = static_cast<MarkedNodeEntry*>(f);
        if (later->Extent() > entry->Extent()) break;
        if (later->IsMarked()) {
          kept = true;
          break;
        }
      }
      if (!kept) {
        list.Unlink(entry);
        delete entry;
      }
    }
    node = next;
  }
  return list.IsEmpty();
}

// ---- LinkTargetList / OwnerPair ----------------------------------------------

LinkTargetList::LinkTargetList(const char* title, const char* defaultTitle)
    : title_(DuplicateString(title ? title : defaultTitle ? defaultTitle : "")) {}

LinkTargetList::~LinkTargetList() {
  DeleteAll();
  MemFree(title_);
}

void LinkTargetList::Append(SListNode* node) {
  node->SetNext(nullptr);
  if (last_) last_->SetNext(node);
  else list_.Prepend(node);
  last_ = node;
}

SListNode* LinkTargetList::PopFirst() {
  SListNode* node = list_.PopFirst();
  if (node == last_) last_ = nullptr;
  return node;
}

void LinkTargetList::DeleteAll() {
  list_.DeleteAll();
  last_ = nullptr;
}

OwnerPair::~OwnerPair() {
  SList::DeleteChain(chain);
  // Further pairs are taken one at a time rather than by nested deletes.
  OwnerPair* pair = next;
  while (pair) {
    OwnerPair* following = pair->next;
    pair->next = nullptr;
    delete pair;
    pair = following;
  }
}

}  // namespace qs
