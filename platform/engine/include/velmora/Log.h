#pragma once

#include <functional>

namespace Velmora {

// The engine log. Every function may be called from any thread, before the
// engine starts and after it stops. Each call writes the formatted text as it
// is (no newline added) to stderr, to the log file once one is open, and to
// every console output callback (kind 0 message, 1 warning, 2 error/fatal).
class Log
{
public:
    static void message(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void warning(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void error(const char *format, ...) __attribute__((format(printf, 1, 2)));
    // Logs, flushes, calls the fatal hook if one is set, then aborts.
    static void fatal(const char *format, ...) __attribute__((format(printf, 1, 2)));

    // Test hook, called with the formatted text before a fatal aborts.
    static void setFatalHook(std::function<void(const char *)> hook);

    // The log file (UTF-8 path). Opened by Engine::init, closed by shutdown.
    static bool openFile(const char *path);
    static void closeFile();
    static const char *getFilePath();
};

} // namespace Velmora

// Hard assertion of the engine: stays compiled in release builds.
#define VELMORA_ASSERT(expr)                                                                                           \
    do {                                                                                                               \
        if (!(expr))                                                                                                   \
            ::Velmora::Log::fatal("%s:%d: Assertion: '%s'\n", __FILE__, __LINE__, #expr);                              \
    } while (false)
