// Text helpers of the HTTP client: key/value lookups in header and parameter
// text, Base64, case-blind searching. Platform-free.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qs::net {

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// First occurrence of `key`, case ignored; npos when none.
std::size_t FindSubstring(std::string_view text, std::string_view key, std::size_t from = 0);
// First occurrence of `key` (case ignored) at the start of the text or right
// after one of `delimiters`; npos when none.
std::size_t FindAtTokenStart(std::string_view text, std::string_view key,
                             std::string_view delimiters);

// The value of `key` in key/value text (header fields, parameter files). A key
// that begins with a quote is matched with case respected, any other without;
// both only at the start of the text or of a line. After the key the value is
// separated by a blank, a tab or '='; it runs to the end of its line, trailing
// blanks and tabs cut. No value (or an empty one) gives nullopt.
std::optional<std::string_view> GetKeyValue(std::string_view text, std::string_view key);

// Number of occurrences (case respected), a new match counted from the
// character after the start of the last one.
std::size_t CountSubstring(std::string_view text, std::string_view pattern);

// Overwrites each '#' and what follows it up to the next CR or LF with blanks.
void BlankComments(std::string& text);

// Standard Base64 with '=' padding.
std::string Base64Encode(std::string_view bytes);

// Sets buffer to text when it fits with its terminator (size > length); else
// leaves an empty string (when size > 0) and answers false.
bool CopyToBuffer(char* buffer, std::size_t size, std::string_view text);

}  // namespace qs::net
