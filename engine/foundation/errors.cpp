#include "foundation/errors.h"

#include "foundation/memory.h"
#include "foundation/strings.h"

namespace qs {

namespace {

const char* const kErrorTexts[kEngineErrorCount] = {
    "Internal Error %d",
    "No TempHome",
    "TempHome '%s' is not a directory",
    "Fatal: Can't open file '%s'",
    "Fatal: Set LRU failed",
    "Fatal: All cache files are locked",
    "Fatal: Bad block requested",
    "Syntax error",
    "Bad attribute specification",
    "Bad step specification",
    "Can't open '%s'",
    "Recursive CATALOG inclusion: '%s'",
    "Error in CATALOG",
    "Recursive ENTITYRC inclusion: '%s'",
    "Error in ENTITYRC",
    "Failure to add resource in ENTITYRC",
    "Error in SETUP",
    "Can't save Style Sheet",
    "Can't save Navigator",
    "Unclosed page",
    "Unknown font in SDATA file: '%s'",
    "Duplicate SDATA definition: '%s'",
    "Error in SDATA file",
    "Unknown link form: '%s'",
    "Not an QSB file",
    "Can't resolve link",
    "Can't find link source(s)",
    "Syntax error in query",
    "Syntax error in qualifier expression",
    "Not implemented: '%s'",
    "Bad target",
    "Bad anchor location",
    "Can't create file '%s'",
    "Bad link: '%s' to '%s'",
    "Bad linkends '%s'",
    "Web file contained errors...",
    "Bad locator: '%s'",
    "Bad (extra) locator: '%s'",
    "Anchor '%s': Hotspot must define graphic entity",
    "Anchor '%s': Location must originate with 'NAMELOC' or 'HOTSPOT'",
    "Can't save web",
    "Can't create printer DC",
    "Unable to print",
    "Can't load font",
    "GDIB fail w=%d h=%d",
    "SDIB fail w=%d h=%d",
    "The document contained errors",
    "Unknown Format or Source",
    "System out of memory, executable file was corrupt, or relocations were invalid",
    "Executable file was not found",
    "Path was not found",
    "Attempt was made to dynamically link to a task, or there was a sharing or "
    "network-protection error",
    "Library required separate data segments for each task",
    "There was insufficient memory to start the application",
    "Windows version was incorrect",
    "Executable file was invalid",
    "Application was designed for a different operating system",
    "Application was designed for MS-DOS 4.0",
    "Type of executable file was unknown",
    "Attempt was made to load a real-mode application",
    "Attempt was made to load a second instance of an executable file containing multiple "
    "data segments that were not marked read-only",
    "Attempt was made to load a compressed executable file. The file must be decompressed "
    "before it can be loaded",
    "One of the DLLs required to run this application was corrupt",
    "Application requires 32-bit extensions",
    "WinExec Error: %d",
};

const char* const kBuiltinStrings[kBuiltinStringCount] = {
    "Inherit",       "100%",          "200%",        "400%",
    "800%",          "None",          "Left Header", "Middle Header",
    "Right Header",  "Left Footer",   "Middle Footer", "Right Footer",
    "Web [Open]:",   "Web [Closed]:", "Preprocessing Pages", "Printing",
    "HOTSPOT",       "<untitled>",    "Select Target", "Attributes for <%s>",
};

// Length of one conversion at `p` (just past the '%'): flags, width, 'l'
// and the conversion letter, as FormatString reads them.
std::size_t ConversionLength(const char* p) {
  std::size_t n = 0;
  if (p[n] == '0') ++n;
  if (p[n] >= '1' && p[n] <= '9') ++n;
  if (p[n] == 'l') ++n;
  if (p[n]) ++n;
  return n;
}

}  // namespace

const char* EngineErrorText(int code) {
  return code >= 0 && code < kEngineErrorCount ? kErrorTexts[code] : nullptr;
}

const char* BuiltinString(int id) {
  return id >= 0 && id < kBuiltinStringCount ? kBuiltinStrings[id] : nullptr;
}

std::size_t FormatEngineError(char* out, std::size_t capacity, int code,
                              const std::intptr_t args[4]) {
  if (capacity == 0) return 0;
  std::intptr_t fallback[4] = {code, 0, 0, 0};
  const char* format = EngineErrorText(code);
  if (!format) {
    format = kErrorTexts[kErrInternal];
    args = fallback;
  }
  // Placeholders are formatted one at a time with the argument converted to
  // the type it stands for: a pointer-sized word never goes through "%d".
  std::size_t used = 0;
  int next = 0;
  out[0] = '\0';
  char piece[256];
  const char* p = format;
  while (*p && used + 1 < capacity) {
    const char* percent = FindChar(p, '%');
    std::size_t literal = percent ? std::size_t(percent - p) : GetStringLength(p);
    std::size_t convLength = percent ? 1 + ConversionLength(percent + 1) : 0;
    std::size_t pieceLength = literal + convLength;
    if (pieceLength >= sizeof piece) pieceLength = sizeof piece - 1;
    CopyStringMax(piece, p, pieceLength + 1);
    p += literal + convLength;
    char letter = convLength ? piece[pieceLength - 1] : '\0';
    std::intptr_t value = 0;
    if (convLength && letter != '%') value = next < 4 ? args[next++] : 0;
    auto formatPiece = [&](char* dest, std::size_t room) -> std::size_t {
      if (!convLength || letter == '%') return FormatString(dest, room, piece);
      if (letter == 's')
        return FormatString(dest, room, piece, reinterpret_cast<const char*>(value));
      if (piece[pieceLength - 2] == 'l')
        return FormatString(dest, room, piece, static_cast<long>(value));
      return FormatString(dest, room, piece, static_cast<int>(value));
    };
    // A piece that does not fit is cut (at a character boundary) and ends
    // the text: nothing may follow a cut.
    std::size_t room = capacity - used;
    char* trial = static_cast<char*>(MemAlloc(room + 4));
    std::size_t n = trial ? formatPiece(trial, room + 4) : room;
    if (n < room) {
      CopyStringMax(out + used, trial, n + 1);
      used += n;
      MemFree(trial);
      continue;
    }
    MemFree(trial);
    used += formatPiece(out + used, room);
    break;
  }
  return used;
}

int WinExecResultToError(unsigned result, std::intptr_t* argument) {
  static const struct {
    unsigned result;
    int code;
  } kMap[] = {{0, 48},  {2, 49},  {3, 50},  {5, 51},  {6, 52},  {8, 53},
              {10, 54}, {11, 55}, {12, 56}, {13, 57}, {14, 58}, {15, 59},
              {16, 60}, {19, 61}, {20, 62}, {21, 63}};
  if (argument) *argument = 0;
  for (const auto& m : kMap)
    if (m.result == result) return m.code;
  if (argument) *argument = static_cast<std::intptr_t>(result);
  return kErrWinExec;
}

}  // namespace qs
