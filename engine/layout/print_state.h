// What a print run tells the layout objects, process-wide and used on the
// caller's thread: the paged view and the print page layout set it around
// the formatting of each page, the layout objects read it while they make
// boxes.
#pragma once
#include <cstdint>

namespace qs {

struct PrintState {
  // Non-zero while a print run (or a pagination pass) is in progress; runs
  // may nest. Anchor markers are not made then.
  std::int32_t nesting = 0;
  // Set while a printed page is formatted.
  bool formattingForPrint = false;
  // Set by generated text that shows the page count, read and cleared by
  // the print page layout (which then runs a counting pass first).
  bool pageCountNeeded = false;
  std::int32_t currentPageNumber = 1;
  std::int32_t pageCount = 1;
  // Pictures taller than the page room are shrunk to it (a print option).
  bool fitGraphicsToPage = false;
  // The print options of the run: bits 0-2 the page number's position and
  // 3-5 the date's (1 to 6: header left, centre, right, footer left,
  // centre, right), 0x40 indented table entries, 0x80 a rule above the
  // body, 0x100 one below it.
  std::uint32_t options = 0;
  // The run's date, "%d-%02d-%02d".
  char date[32] = "";
};

PrintState& GetPrintState();
inline bool PrintingInProgress() { return GetPrintState().nesting != 0; }

}  // namespace qs
