#include "velmora/Log.h"

#include "log_internal.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace Velmora {

namespace {

enum Kind { KIND_MESSAGE = 0, KIND_WARNING = 1, KIND_ERROR = 2, KIND_FATAL = 3 };

// Never destroyed, so that logging from static destructors stays safe.
struct LogState
{
    std::mutex mutex;
    FILE *file = nullptr;
    std::string path;
    std::function<void(const char *)> fatal_hook;
};

LogState &state()
{
    static LogState *s = new LogState;
    return *s;
}

const char *prefixOf(int kind)
{
    switch (kind) {
    case KIND_WARNING:
        return "WARNING: ";
    case KIND_ERROR:
        return "ERROR: ";
    case KIND_FATAL:
        return "FATAL: ";
    default:
        return "";
    }
}

void writeLocked(LogState &s, int kind, const char *text)
{
    const char *prefix = prefixOf(kind);
    std::fputs(prefix, stderr);
    std::fputs(text, stderr);
    if (kind != KIND_MESSAGE)
        std::fflush(stderr);
    if (s.file) {
        std::fputs(prefix, s.file);
        std::fputs(text, s.file);
        std::fflush(s.file);
    }
}

void emitLog(int kind, const char *format, va_list args)
{
    const std::string text = detail::vformat(format, args);
    if (detail::holdLogLine(kind, text))
        return;
    detail::logWrite(kind, text.c_str());
    detail::consoleDispatch(text.c_str(), kind == KIND_FATAL ? KIND_ERROR : kind);
}

thread_local bool in_fatal = false;

} // namespace

namespace detail {

std::string vformat(const char *format, va_list args)
{
    if (!format)
        return std::string();
    va_list copy;
    va_copy(copy, args);
    char buffer[512];
    const int needed = std::vsnprintf(buffer, sizeof(buffer), format, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (size_t(needed) < sizeof(buffer))
        return std::string(buffer, size_t(needed));
    std::string result(size_t(needed) + 1, '\0');
    std::vsnprintf(&result[0], result.size(), format, args);
    result.resize(size_t(needed));
    return result;
}

void logWrite(int kind, const char *text)
{
    LogState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    writeLocked(s, kind, text ? text : "");
}

} // namespace detail

void Log::message(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    emitLog(KIND_MESSAGE, format, args);
    va_end(args);
}

void Log::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    emitLog(KIND_WARNING, format, args);
    va_end(args);
}

void Log::error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    emitLog(KIND_ERROR, format, args);
    va_end(args);
}

void Log::fatal(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = detail::vformat(format, args);
    va_end(args);

    LogState &s = state();
    if (in_fatal) {
        // A fatal raised by the hook or a callback of the first one.
        std::fputs("FATAL: ", stderr);
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        std::abort();
    }
    in_fatal = true;
    std::function<void(const char *)> hook;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        writeLocked(s, KIND_FATAL, text.c_str());
        std::fflush(stderr);
        hook = s.fatal_hook;
    }
    detail::consoleDispatch(text.c_str(), KIND_ERROR);
    if (hook)
        hook(text.c_str());
    std::abort();
}

void Log::setFatalHook(std::function<void(const char *)> hook)
{
    LogState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.fatal_hook = std::move(hook);
}

bool Log::openFile(const char *path)
{
    if (!path || !*path) {
        Log::error("Log::openFile(): empty path\n");
        return false;
    }
    const QString qpath = QString::fromUtf8(path);
    QDir().mkpath(QFileInfo(qpath).absolutePath());
    FILE *file = std::fopen(QFile::encodeName(qpath).constData(), "wb");
    if (!file) {
        Log::error("Log::openFile(): can't open \"%s\"\n", path);
        return false;
    }
    LogState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.file)
        std::fclose(s.file);
    s.file = file;
    s.path = path;
    return true;
}

void Log::closeFile()
{
    LogState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.file)
        std::fclose(s.file);
    s.file = nullptr;
    s.path.clear();
}

const char *Log::getFilePath()
{
    // Copies into a per-thread buffer: the path may change on another thread.
    thread_local std::string copy;
    LogState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    copy = s.path;
    return copy.c_str();
}

} // namespace Velmora
