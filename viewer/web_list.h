// The webs the viewer keeps open, which of them is being edited, and how
// the list is kept in the private profile between runs. No system calls:
// the profile is read and written through the caller's functions.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qs::viewer {

inline constexpr int kMaxWebs = 16;
// Menu and list texts of anchors are cut to this many characters.
inline constexpr std::size_t kAnchorNameMax = 30;

struct OpenWebEntry {
  std::uint32_t handle = 0;
  std::string path;
  // Edited in this run: it may hold changes a failed save left.
  bool edited = false;
};

class WebList {
 public:
  int Count() const { return static_cast<int>(webs_.size()); }
  bool Full() const { return Count() >= kMaxWebs; }
  const OpenWebEntry& At(int i) const { return webs_[static_cast<std::size_t>(i)]; }
  // -1 when the handle is not in the list.
  int IndexOf(std::uint32_t handle) const;
  // False (nothing changes) when the list is full.
  bool Append(std::uint32_t handle, std::string path);
  // Takes web i out; the current index follows the webs after it, and is
  // none when web i was current. Answers the entry taken.
  OpenWebEntry Remove(int i);

  int Current() const { return current_; }
  std::uint32_t CurrentHandle() const { return current_ >= 0 ? At(current_).handle : 0; }
  // Choosing the current web again ends its editing (none is current);
  // another valid index becomes current. Answers the new current index.
  int Choose(int i);
  void SetCurrent(int i) { current_ = i >= 0 && i < Count() ? i : -1; }
  void MarkCurrentEdited() {
    if (current_ >= 0) webs_[static_cast<std::size_t>(current_)].edited = true;
  }

 private:
  std::vector<OpenWebEntry> webs_;
  int current_ = -1;
};

// "WEB%02d" of n.
std::string WebKey(int n);
// The paths stored as WEB00, WEB01, ... up to the first key that is missing
// (its value "."), and the stored current index (WRWEB, -1 when missing or
// not a number). `read` answers a key's value, or "." when it is missing.
std::vector<std::string> StoredWebs(const std::function<std::string(const std::string&)>& read);
int StoredCurrentWeb(const std::string& text);

// What the profile gets at exit: each key with its value, or none to
// delete it (every WEB key past the list, and WRWEB without a current web).
struct ProfileWrite {
  std::string key;
  std::optional<std::string> value;
  bool operator==(const ProfileWrite&) const = default;
};
std::vector<ProfileWrite> WebListWrites(const WebList& webs);

// An anchor's name as the menu and the dialog list it.
std::string AnchorItemText(const char* name);

}  // namespace qs::viewer
