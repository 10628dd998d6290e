#pragma once

#include <cstdarg>
#include <string>

namespace Velmora {
namespace detail {

// printf into a std::string.
std::string vformat(const char *format, va_list args);

// Writes text (with the "WARNING: " / "ERROR: " prefix of kind 1 / 2) to
// stderr and to the log file, under the log's mutex. Does not reach the
// console callbacks.
void logWrite(int kind, const char *text);

// Hands text to every console output callback (copied list, called outside
// the console's lock). Defined by the console.
void consoleDispatch(const char *text, int kind);

// Keeps a line for the calling thread's LogHold; false when it has none.
bool holdLogLine(int kind, const std::string &text);

} // namespace detail
} // namespace Velmora
