// What the catalog, ENTITYRC and setup readers share: path rules that go
// through the engine object when there is one, the list of loaded files with
// its reuse and eviction rule, and the guard against include cycles.
#pragma once
#include <cstddef>

#include "foundation/containers.h"
#include "foundation/paths.h"

namespace qs {

class EntityResolver;

// The engine object's path operations, or the plain rules of paths.h
// when no engine object exists.
std::size_t EngineDirLength(const char* path);
bool EngineIsRelative(const char* path);
// `name` joined to `dir` when relative, normalised; MemFree; null when
// it does not fit.
char* EngineMakeAbsolute(const char* name, const char* dir);
// Compared as the engine compares file paths (without regard to case).
bool SamePath(const char* a, const char* b);

// The files whose text is being read, innermost last: including one of them
// again is a cycle, even before it is in any include list.
class ReadingStack {
 public:
  // False when reading is nested deeper than any real set of files goes.
  bool Push(EntityResolver* file);
  void Pop() { --depth_; }
  bool Contains(const char* path) const;

 private:
  static constexpr int kMaxDepth = 32;
  EntityResolver* files_[kMaxDepth];
  int depth_ = 0;
};

// The shared file for `path` from a list kept least recently used first: a
// file found again, and a new one (made by `make`, put in the list before it
// is read, so includes of it find it), go to the end. When more than four
// files were passed and one of them was unused, the first unused file other
// than the result is deleted: at most one per call.
template <class File, class Make>
File* SharedFileFor(ListHead& list, const char* path, Make make) {
  std::size_t counted = 0;
  bool unusedSeen = false;
  File* result = nullptr;
  for (ListNode* n = list.First(); n; n = n->Next()) {
    auto* file = static_cast<File*>(n);
    ++counted;
    if (file->UseCount() == 0) unusedSeen = true;
    char mine[kPathCapacity];
    if (path && file->GetFilePath(mine) && SamePath(mine, path)) {
      result = file;
      list.Unlink(file);
      list.Append(file);
      break;
    }
  }
  if (!result) {
    result = make();
    list.Append(result);
    result->Reload();
  }
  if (unusedSeen && counted > 4) {
    for (ListNode* n = list.First(); n; n = n->Next()) {
      auto* file = static_cast<File*>(n);
      if (file != result && file->UseCount() == 0) {
        list.Unlink(file);
        file->ClearContents();
        delete file;
        break;
      }
    }
  }
  return result;
}

// Rereads every file of the list. The file-less parts that follow include
// lines go (each reread makes its own again); files stay while anyone holds
// them, so no holder is left with a deleted file.
template <class File>
void UpdateFiles(ListHead& list) {
  for (ListNode* n = list.First(); n; n = n->Next()) {
    auto* file = static_cast<File*>(n);
    file->reloadFlag = true;
    file->ClearContents();
  }
  for (ListNode* n = list.First(); n;) {
    auto* file = static_cast<File*>(n);
    n = n->Next();
    if (file->UseCount() == 0 && !file->FileName()) {
      list.Unlink(file);
      delete file;
    }
  }
  for (ListNode* n = list.First(); n; n = n->Next()) {
    auto* file = static_cast<File*>(n);
    if (file->reloadFlag) file->Reload();
  }
}

// Deletes every file of the list, include lists first so no file is used
// by another while it goes.
template <class File>
void DeleteFiles(ListHead& list) {
  for (ListNode* n = list.First(); n; n = n->Next()) static_cast<File*>(n)->ClearContents();
  list.DeleteAll();
}

}  // namespace qs
