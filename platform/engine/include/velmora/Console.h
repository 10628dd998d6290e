#pragma once

#include "velmora/Base.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <functional>

namespace Velmora {

// The engine console: process-wide, usable before Engine::init and after
// Engine::shutdown.
//
// Commands (name, description, handler) and variables (int, float or string,
// with a description) are kept in name order. run() queues a line from any
// thread; flush() executes the lines queued so far, in order, on the calling
// thread (the engine's main thread calls it at the start of every update).
// Lines queued while a flush runs wait for the next flush.
//
// A line is split into words at blanks; double quotes group words and are
// removed. The first word names a command or a variable: a variable alone
// prints "name = value", a variable with a value sets it, an unknown name
// prints `Unknown command "name"` as an error. Every executed line, the empty
// line included, is appended to the command log.
//
// Output callbacks receive every log text (on the logging thread) and every
// line printed by a command (synchronously, one call per line ending in
// "\n"), with the kind 0 message, 1 warning, 2 error. The callback list is
// copied under the console's lock and callbacks run outside it, so a
// callback may log or use the console.
//
// Texts returned as const char* stay valid for the whole process.
class Console
{
public:
    // argv[0] is the command name, argv[1..argc-1] its arguments.
    using CommandHandler = std::function<void(int argc, const char *const *argv)>;
    using OutputCallback = CallbackBase2<const char *, int>;

    // Adds a command, or replaces the handler and description of one that
    // exists. A name that is a variable is refused (false, one error line).
    static bool addCommand(const char *name, const char *description, CommandHandler handler);
    static bool removeCommand(const char *name);
    static bool isCommand(const char *name);
    static int getNumCommands();
    // Name order; "" for an invalid index.
    static const char *getCommandName(int index);
    static const char *getCommandDescription(const char *name);

    // Adds a variable, or resets type, value and description of one that
    // exists. A name that is a command is refused.
    static bool addInt(const char *name, int value, const char *description = nullptr);
    static bool addFloat(const char *name, float value, const char *description = nullptr);
    static bool addString(const char *name, const char *value, const char *description = nullptr);
    static bool removeVariable(const char *name);
    static bool isVariable(const char *name);
    static bool isInt(const char *name);
    static bool isFloat(const char *name);
    static bool isString(const char *name);
    static int getNumVariables();
    // Name order; "" for an invalid index.
    static const char *getVariableName(int index);
    static const char *getVariableDescription(const char *name);

    // Setters convert between the three types (an int variable set from a
    // float is truncated, one set from text takes the text as a number).
    // false, with one warning, for an unknown name or text that is not a
    // number for a numeric variable.
    static bool setInt(const char *name, int value);
    static bool setFloat(const char *name, float value);
    static bool setString(const char *name, const char *value);
    // 0, 0.0f or "" for an unknown name; numbers convert to text and back.
    static int getInt(const char *name);
    static float getFloat(const char *name);
    static const char *getString(const char *name);

    // Queues a line (any thread). A null line is ignored.
    static void run(const char *line);
    static void runf(const char *format, ...) __attribute__((format(printf, 1, 2)));
    // Executes every line queued before this call, in order, on this thread.
    static void flush();
    static bool hasQueuedLines();

    // Executed lines, oldest first (tests).
    static Vector<String> getCommandLog();
    static void clearCommandLog();
    // Lines whose first word named neither a command nor a variable, and
    // variable assignments with a bad value, since the last reset.
    static int getNumFailedCommands();

    // Output of commands: each line of the formatted text (a missing final
    // newline is added) goes to every output callback, and the whole text to
    // stderr and the log file. kind: 0 message, 1 warning, 2 error.
    static void print(int kind, const char *format, ...) __attribute__((format(printf, 2, 3)));
    static void message(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void warning(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void error(const char *format, ...) __attribute__((format(printf, 1, 2)));

    // Registers a callback; the console owns it from now on. Returns an
    // opaque handle, null for a null callback.
    static void *addOutputCallback(OutputCallback *callback);
    // Removes and deletes the callback. Returns after any call of it on
    // another thread has returned (removing a callback from inside its own
    // call does not wait; it is deleted when that call returns). false for
    // a null or stale handle.
    static bool removeOutputCallback(void *handle);
    static void clearOutputCallbacks();
    static int getNumOutputCallbacks();

    // Drops every command, variable, queued line, the command log and the
    // failure count; output callbacks stay. Called by Engine::shutdown and
    // by tests.
    static void reset();

    // Splits a line into words: blanks separate, double quotes group.
    static Vector<String> splitLine(const char *line);
};

} // namespace Velmora
