#include "job_text.h"

#include <cstdlib>

#include "net/text.h"
#include "net/url.h"

namespace qs::accel {
namespace {

constexpr auto npos = std::string_view::npos;
// Each element of an entity list is handled in a piece of this many
// characters: its texts and tags must fit in it.
constexpr std::size_t kPieceSize = 250;

// Token k of the line (0-based), or false.
bool Token(std::string_view line, int k, std::string* token) {
  std::size_t p = 0;
  for (int index = 0;; ++index) {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p >= line.size()) return false;
    std::string_view text;
    if (line[p] == '"') {
      std::size_t end = line.find('"', p + 1);
      if (end == npos) end = line.size();
      text = line.substr(p + 1, end - p - 1);
      p = end < line.size() ? end + 1 : end;
    } else {
      std::size_t end = line.find_first_of(" \t\"", p);
      if (end == npos) end = line.size();
      text = line.substr(p, end - p);
      p = end;
    }
    if (index == k) {
      if (text.empty()) return false;
      *token = std::string(text);
      return true;
    }
  }
}

std::string Value(const std::string& text, const char* key) {
  auto value = net::GetKeyValue(text, key);
  return value ? std::string(*value) : std::string();
}

std::string_view Piece(std::string_view list, std::size_t at) {
  return list.substr(at, kPieceSize);
}

}  // namespace

bool GetArgument(std::string_view commandLine, int n, std::string* argument) {
  if (n < 0) return false;
  bool programFirst = !commandLine.empty() && commandLine[0] == '"';
  int k = programFirst ? n : n - 1;
  if (k < 0) return false;
  return Token(commandLine, k, argument);
}

Parameters ReadParameters(std::string text) {
  net::BlankComments(text);
  Parameters p;
  p.proxy = Value(text, "PROXY");
  p.saveDir = Value(text, "SAVEDIR");
  p.url = Value(text, "URL");
  p.tmpFile = Value(text, "TMPFILE");
  return p;
}

bool TextBetweenTags(std::string_view piece, std::string_view open, std::string_view close,
                     std::string* text) {
  if (!net::StartsWithNoCase(piece, open)) return false;
  std::size_t end = net::FindSubstring(piece, close, open.size());
  if (end == npos) return false;
  *text = std::string(piece.substr(open.size(), end - open.size()));
  return true;
}

int WalkEntityList(std::string_view list, std::string_view documentUrl,
                   const FetchFunction& fetch) {
  std::size_t passes = net::CountSubstring(list, "<ent>");
  if (passes == 0) return 0;
  std::size_t at = net::FindSubstring(list, "<url>");
  if (at == npos) return 0;
  std::string base;
  if (!TextBetweenTags(Piece(list, at), "<url>", "</url>", &base)) return 0;
  if (list.find('<', at + 1) == npos) return 0;
  std::size_t cursor = net::FindSubstring(list, "<ent>");
  if (cursor == npos) return 0;
  int fetched = 0;
  for (std::size_t pass = 0; pass < passes; ++pass) {
    if (cursor >= list.size()) break;
    if (list[cursor] != '<') {
      cursor = list.find('<', cursor);
      if (cursor == npos) break;
    }
    std::string_view piece = Piece(list, cursor);
    if (net::StartsWithNoCase(piece, "<url>")) {
      if (!TextBetweenTags(piece, "<url>", "</url>", &base)) break;
    } else if (net::StartsWithNoCase(piece, "<ent>")) {
      std::string link;
      if (!TextBetweenTags(piece, "<ent>", "<file>", &link)) break;
      std::size_t file = net::FindSubstring(piece, "<file>");
      std::string_view name = piece.substr(file + 6);
      std::size_t end = name.find("\r\n");
      if (end == npos) end = name.find('\n');
      if (end != npos) name = name.substr(0, end);
      end = name.find(' ');
      if (end != npos) name = name.substr(0, end);
      // A name cut by the piece's bound, not by its line end, is not known whole.
      bool whole = name.size() < piece.size() - file - 6 || cursor + piece.size() == list.size();
      if (!whole) break;
      std::string resolved = net::ResolveUrl(base, name);
      if (net::EqualsNoCase(resolved, documentUrl)) {
        fetch(link, base);
        ++fetched;
      }
      cursor += file + 1;
      continue;
    }
    // Past the element's "</" and its '>' to the next '<'.
    std::size_t close = list.find("</", cursor + 1);
    if (close == npos) break;
    std::size_t gt = list.find('>', close);
    if (gt == npos) break;
    cursor = list.find('<', gt);
    if (cursor == npos) break;
  }
  return fetched;
}

std::size_t CountFiles(std::string_view list, std::string_view documentUrl) {
  std::size_t slash = documentUrl.rfind('/');
  std::string_view last = slash == npos ? documentUrl : documentUrl.substr(slash + 1);
  return net::CountSubstring(list, "<file>" + std::string(last));
}

std::string FileCountText(unsigned n, unsigned total) {
  return "Now Downloading File " + std::to_string(n) + " of " + std::to_string(total);
}

std::string StringTail(std::string_view text, std::size_t count) {
  return std::string(text.size() > count ? text.substr(text.size() - count) : text);
}

std::string HostPart(std::string_view url) { return net::AuthRealmPrefix(url); }

std::string UpToLastSlash(std::string_view url) {
  std::size_t slash = url.rfind('/');
  return std::string(slash == npos ? url : url.substr(0, slash + 1));
}

std::string StagingFolder(std::string_view saveDir, unsigned long processId) {
  std::string folder(saveDir);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder + "_docpull_" + std::to_string(processId);
}

Box WorkArea(const Box& desktop, bool barAlwaysOnTop, bool barAutoHide, const Box* bar) {
  Box area = desktop;
  if (!bar || !barAlwaysOnTop || barAutoHide) return area;
  const Box& t = *bar;
  if (t.top > 0) {
    area.bottom -= t.bottom - std::labs(t.top);
  } else if (t.left > 0) {
    area.right -= t.right - std::labs(t.left);
  } else if (t.right - t.left < desktop.right - desktop.left) {
    area.left += t.right - std::labs(t.left);
  } else {
    area.top += t.bottom - std::labs(t.top);
  }
  return area;
}

Box PlaceBox(const Box& window, const Box& reference, int flags) {
  long width = window.right - window.left, height = window.bottom - window.top;
  Box out;
  out.left = (flags & 1) ? reference.left : reference.right - width;
  out.top = (flags & 2) ? reference.bottom - height : reference.top;
  out.right = out.left + width;
  out.bottom = out.top + height;
  return out;
}

Box CenterBox(const Box& window, const Box& reference, const Box& workArea) {
  long width = window.right - window.left, height = window.bottom - window.top;
  long left = reference.left + (reference.right - reference.left - width) / 2;
  long top = reference.top + (reference.bottom - reference.top - height) / 2;
  if (left + width > workArea.right) left = workArea.right - width;
  if (top + height > workArea.bottom) top = workArea.bottom - height;
  if (left < workArea.left) left = workArea.left;
  if (top < workArea.top) top = workArea.top;
  return Box{left, top, left + width, top + height};
}

}  // namespace qs::accel
