// The engine as a command-line tool starts it: linked in, with its name
// table, the system's temporary folder, an optional catalog and the Unicode
// tables of the sample home (QS_SAMPLES_HOME, set by the tool's target).
#pragma once
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "api/exports.h"
#include "foundation/names.h"
#include "sgml/unicode_tables.h"

namespace tool {

// The engine reads relative names from its home: a tool's arguments are the
// caller's, so they become absolute first.
inline std::string CallerPath(const char* file) {
  const bool rooted = file[0] == '/' || file[0] == '\\' || std::strchr(file, ':');
  std::error_code error;
  return rooted ? file : std::filesystem::absolute(file, error).string();
}

// False, with a line on standard error, when the engine does not start.
inline bool StartEngine(const char* program, const char* catalog) {
  // The library's entry makes the name table; linked in, the program does.
  if (!qs::g_nameTable) qs::g_nameTable = new qs::NameTable();
  std::error_code error;
  const std::string temp = std::filesystem::temp_directory_path(error).string();
  const std::string catalogPath = catalog ? CallerPath(catalog) : std::string();
  if (!QsInitialize(0, program, catalog ? catalogPath.c_str() : nullptr, nullptr, nullptr,
                    temp.empty() ? nullptr : temp.c_str(), nullptr)) {
    std::fprintf(stderr, "%s: the engine did not start\n", program);
    return false;
  }
  // Text boxes break lines by the character classes of the tables file.
  qs::LoadUnicodeTables((std::string(QS_SAMPLES_HOME) + "qsunicde.dat").c_str());
  return true;
}

}  // namespace tool
