// The viewer's document rules free of the platform: how a document path
// splits into its folder and extension, which entity files the viewer hands
// the engine itself, the engine's radix numbers, and the recent-file and URL
// lists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qs::viewer {

// The folder part of a path (with its separator) and the start of its
// extension. The scan runs from the last character back to the second: the
// last "." before any separator is the extension; the first backslash,
// slash or colon met ends the folder part. `extension` is the path's
// length when there is none; `folderLength` 0 when there is no folder.
struct PathParts {
  std::size_t folderLength = 0;
  std::size_t extension = 0;
};
PathParts SplitDocumentPath(const std::string& path);
// The compiled file beside a document: its extension replaced by ".qsb".
std::string CompiledPathOf(const std::string& path);

// What the viewer does with an entity file the engine asks for: pictures
// go back as they are, PDF files by their short name, the rest to the
// engine's own resolution.
enum class EntityFileKind { kEngine, kPicture, kPdf };
EntityFileKind ClassifyEntityFile(const std::string& path);

// Writes the number of `value` in the radix its top four bits select (1
// binary, 2 octal, 3 hexadecimal) into `out` (at least 29 bytes) with its
// terminator; false, and nothing written, for any other radix.
bool FormatRadixNumber(std::uint32_t value, char* out);

// A list of texts, most recent first, at most `limit` long: an equal entry
// (case counts) moves to the front; else the last one goes when it is full.
void AddToFront(std::vector<std::string>& list, const std::string& text, std::size_t limit);
// Removes an equal entry; the ones behind it move up.
void RemoveEntry(std::vector<std::string>& list, const std::string& text);

// The names the histories keep apart: a downloaded document's cache name
// holds "http#".
inline bool IsLocalName(const std::string& name) { return name.find("http#") == std::string::npos; }

}  // namespace qs::viewer
