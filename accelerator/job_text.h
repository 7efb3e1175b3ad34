// The accelerator's text work, platform-free: its command line, the
// parameter file the viewer writes, the entity list walk, and the texts and
// window positions of its dialogs.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qs::accel {

// Argument n of a command line (1: the parameter file, 2: the credentials).
// Tokens are a text in double quotes or a run up to a blank, tab or quote.
// A line that begins with a quote holds the program path as token 0; any
// other line has no program name and argument n is token n-1. Missing or
// empty: false.
bool GetArgument(std::string_view commandLine, int n, std::string* argument);

struct Parameters {
  std::string proxy, saveDir, url, tmpFile;
};
// The values of PROXY, SAVEDIR, URL and TMPFILE (keys in any case, values
// after blanks, tabs or '=', '#' comments ignored).
Parameters ReadParameters(std::string text);

// The text between `open` and `close` at the start of `piece`, case ignored.
bool TextBetweenTags(std::string_view piece, std::string_view open, std::string_view close,
                     std::string* text);

// Walks an entity list: for each "<ent>LINK<file>NAME" whose NAME, resolved
// against the latest "<url>" base, is `documentUrl`, calls fetch(link, base).
// Makes as many passes as there are "<ent>" texts; any other element uses up
// a pass. A malformed list (no closing text within an element's 250
// characters, no '<' to go on with) ends the walk. Answers the number of
// fetches made.
using FetchFunction = std::function<void(const std::string& link, const std::string& base)>;
int WalkEntityList(std::string_view list, std::string_view documentUrl, const FetchFunction& fetch);

// The number of files the walk will fetch for the document: "<file>" followed
// by the document URL's last segment.
std::size_t CountFiles(std::string_view list, std::string_view documentUrl);

// "Now Downloading File n of N".
std::string FileCountText(unsigned n, unsigned total);
// The URL, or its last 40 characters when longer.
std::string StringTail(std::string_view text, std::size_t count = 40);
// Scheme, "://", host and the '/' that ends it.
std::string HostPart(std::string_view url);
// The URL up to and including its last '/'.
std::string UpToLastSlash(std::string_view url);
// SAVEDIR, '\' unless it ends in one, "_docpull_" and the process id.
std::string StagingFolder(std::string_view saveDir, unsigned long processId);

// ---- Window placement ----------------------------------------------------------
struct Box {
  long left, top, right, bottom;
  bool operator==(const Box&) const = default;
};
// The desktop less the taskbar's strip, taken off only when the bar is
// always on top and does not hide itself.
Box WorkArea(const Box& desktop, bool barAlwaysOnTop, bool barAutoHide, const Box* bar);
// Flags: bit 0 left edges (else right), bit 1 bottom edges (else top).
Box PlaceBox(const Box& window, const Box& reference, int flags);
// Centred on the reference, then moved inside the work area.
Box CenterBox(const Box& window, const Box& reference, const Box& workArea);

}  // namespace qs::accel
