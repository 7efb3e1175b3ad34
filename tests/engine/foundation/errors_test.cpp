#include "foundation/errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/callbacks.h"
#include "foundation/engine.h"
#include "foundation/strings.h"
#include "recording_sink.h"

namespace qs {
namespace {

// Every engine error with the texts "x.sgm" and "y.web" for its %s
// placeholders and the numbers 7 and 9 for its %d ones.
const char* const kGolden[kEngineErrorCount] = {
      "Internal Error 7",
      "No TempHome",
      "TempHome 'x.sgm' is not a directory",
      "Fatal: Can't open file 'x.sgm'",
      "Fatal: Set LRU failed",
      "Fatal: All cache files are locked",
      "Fatal: Bad block requested",
      "Syntax error",
      "Bad attribute specification",
      "Bad step specification",
      "Can't open 'x.sgm'",
      "Recursive CATALOG inclusion: 'x.sgm'",
      "Error in CATALOG",
      "Recursive ENTITYRC inclusion: 'x.sgm'",
      "Error in ENTITYRC",
      "Failure to add resource in ENTITYRC",
      "Error in SETUP",
      "Can't save Style Sheet",
      "Can't save Navigator",
      "Unclosed page",
      "Unknown font in SDATA file: 'x.sgm'",
      "Duplicate SDATA definition: 'x.sgm'",
      "Error in SDATA file",
      "Unknown link form: 'x.sgm'",
      "Not an QSB file",
      "Can't resolve link",
      "Can't find link source(s)",
      "Syntax error in query",
      "Syntax error in qualifier expression",
      "Not implemented: 'x.sgm'",
      "Bad target",
      "Bad anchor location",
      "Can't create file 'x.sgm'",
      "Bad link: 'x.sgm' to 'y.web'",
      "Bad linkends 'x.sgm'",
      "Web file contained errors...",
      "Bad locator: 'x.sgm'",
      "Bad (extra) locator: 'x.sgm'",
      "Anchor 'x.sgm': Hotspot must define graphic entity",
      "Anchor 'x.sgm': Location must originate with 'NAMELOC' or 'HOTSPOT'",
      "Can't save web",
      "Can't create printer DC",
      "Unable to print",
      "Can't load font",
      "GDIB fail w=7 h=9",
      "SDIB fail w=7 h=9",
      "The document contained errors",
      "Unknown Format or Source",
      "System out of memory, executable file was corrupt, or relocations were invalid",
      "Executable file was not found",
      "Path was not found",
      "Attempt was made to dynamically link to a task, or there was a sharing or network-protection error",
      "Library required separate data segments for each task",
      "There was insufficient memory to start the application",
      "Windows version was incorrect",
      "Executable file was invalid",
      "Application was designed for a different operating system",
      "Application was designed for MS-DOS 4.0",
      "Type of executable file was unknown",
      "Attempt was made to load a real-mode application",
      "Attempt was made to load a second instance of an executable file containing multiple data segments that were not marked read-only",
      "Attempt was made to load a compressed executable file. The file must be decompressed before it can be loaded",
      "One of the DLLs required to run this application was corrupt",
      "Application requires 32-bit extensions",
      "WinExec Error: 7",
};

std::string Format(int code, const std::intptr_t args[4]) {
  char buffer[256];
  std::memset(buffer, 'Z', sizeof buffer);
  std::size_t n = FormatEngineError(buffer, sizeof buffer, code, args);
  EXPECT_EQ(n, std::strlen(buffer));
  return buffer;
}

TEST(EngineErrors, AllTextsFormatAsTheHostSeesThem) {
  const std::intptr_t texts[4] = {reinterpret_cast<std::intptr_t>("x.sgm"),
                                  reinterpret_cast<std::intptr_t>("y.web"), 0, 0};
  const std::intptr_t numbers[4] = {7, 9, 0, 0};
  for (int code = 0; code < kEngineErrorCount; ++code) {
    bool takesText = std::strstr(EngineErrorText(code), "%s") != nullptr;
    EXPECT_EQ(Format(code, takesText ? texts : numbers), kGolden[code]) << "code " << code;
  }
}

TEST(EngineErrors, CodeOutsideTheTableIsAnInternalError) {
  const std::intptr_t args[4] = {reinterpret_cast<std::intptr_t>("x"), 0, 0, 0};
  EXPECT_EQ(EngineErrorText(65), nullptr);
  EXPECT_EQ(EngineErrorText(-1), nullptr);
  EXPECT_EQ(Format(65, args), "Internal Error 65");
  EXPECT_EQ(Format(-3, args), "Internal Error -3");
}

TEST(EngineErrors, LongArgumentIsCutToTheBuffer) {
  std::string longName(600, 'a');
  longName.replace(242, 2, "\xC3\xA9");  // a two-byte character across the cut
  const std::intptr_t args[4] = {reinterpret_cast<std::intptr_t>(longName.c_str()), 0, 0, 0};
  for (std::size_t capacity : {std::size_t(1), std::size_t(9), std::size_t(256)}) {
    char buffer[300];
    std::memset(buffer, 'Z', sizeof buffer);
    std::size_t n = FormatEngineError(buffer, capacity, kErrCantOpen, args);
    EXPECT_LT(n, capacity);
    EXPECT_EQ(buffer[n], '\0');
    EXPECT_EQ(buffer[capacity], 'Z');  // nothing written past the buffer
    EXPECT_EQ(std::string(buffer, n), ("Can't open '" + longName).substr(0, n));
    if (capacity == 256) {
      EXPECT_EQ(n, 254u);  // not half a character
    }
  }
}

TEST(EngineErrors, WinExecResults) {
  struct Case {
    unsigned result;
    int code;
    std::intptr_t argument;
  } cases[] = {{0, 48, 0},  {2, 49, 0},  {3, 50, 0},  {5, 51, 0},  {6, 52, 0},  {8, 53, 0},
               {10, 54, 0}, {11, 55, 0}, {12, 56, 0}, {13, 57, 0}, {14, 58, 0}, {15, 59, 0},
               {16, 60, 0}, {19, 61, 0}, {20, 62, 0}, {21, 63, 0}, {4, 64, 4},  {31, 64, 31}};
  for (const Case& c : cases) {
    std::intptr_t argument = -1;
    EXPECT_EQ(WinExecResultToError(c.result, &argument), c.code) << c.result;
    EXPECT_EQ(argument, c.argument) << c.result;
  }
}

TEST(EngineErrors, BuiltinStrings) {
  EXPECT_STREQ(BuiltinString(0), "Inherit");
  EXPECT_STREQ(BuiltinString(1), "100%");
  EXPECT_STREQ(BuiltinString(16), "HOTSPOT");
  EXPECT_STREQ(BuiltinString(19), "Attributes for <%s>");
  EXPECT_EQ(BuiltinString(20), nullptr);
  EXPECT_EQ(BuiltinString(-1), nullptr);
}

}  // namespace
}  // namespace qs
