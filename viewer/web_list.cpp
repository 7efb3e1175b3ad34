#include "web_list.h"

#include <cstdio>
#include <cstdlib>

namespace qs::viewer {

int WebList::IndexOf(std::uint32_t handle) const {
  for (int i = 0; i < Count(); ++i)
    if (At(i).handle == handle) return i;
  return -1;
}

bool WebList::Append(std::uint32_t handle, std::string path) {
  if (Full()) return false;
  webs_.push_back({handle, std::move(path)});
  return true;
}

OpenWebEntry WebList::Remove(int i) {
  if (i < 0 || i >= Count()) return {};
  OpenWebEntry taken = std::move(webs_[static_cast<std::size_t>(i)]);
  webs_.erase(webs_.begin() + i);
  if (current_ == i)
    current_ = -1;
  else if (current_ > i)
    --current_;
  return taken;
}

int WebList::Choose(int i) {
  current_ = i == current_ || i < 0 || i >= Count() ? -1 : i;
  return current_;
}

std::string WebKey(int n) {
  char key[16];
  std::snprintf(key, sizeof key, "WEB%02d", n);
  return key;
}

std::vector<std::string> StoredWebs(const std::function<std::string(const std::string&)>& read) {
  std::vector<std::string> paths;
  // The list ends at its first gap; a profile never holds more than the
  // open webs, and a runaway one stops at the key numbers' end.
  for (int n = 0; n < 100; ++n) {
    std::string value = read(WebKey(n));
    if (value == ".") break;
    paths.push_back(std::move(value));
  }
  return paths;
}

int StoredCurrentWeb(const std::string& text) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || value < -1 || value >= kMaxWebs) return -1;
  return static_cast<int>(value);
}

std::vector<ProfileWrite> WebListWrites(const WebList& webs) {
  std::vector<ProfileWrite> writes;
  for (int i = 0; i < webs.Count(); ++i) writes.push_back({WebKey(i), webs.At(i).path});
  // The keys past the list go: the next run's list ends at the first gap,
  // and a key left behind a gap would be junk that a later list runs into.
  for (int n = webs.Count(); n < kMaxWebs; ++n) writes.push_back({WebKey(n), std::nullopt});
  if (webs.Current() >= 0)
    writes.push_back({"WRWEB", std::to_string(webs.Current())});
  else
    writes.push_back({"WRWEB", std::nullopt});
  return writes;
}

std::string AnchorItemText(const char* name) {
  std::string text = name ? name : "";
  if (text.size() > kAnchorNameMax) text.resize(kAnchorNameMax);
  return text;
}

}  // namespace qs::viewer
