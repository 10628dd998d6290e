#include "velmora/Console.h"

#include "velmora/Log.h"

#include "log_internal.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace Velmora {

namespace {

enum VariableType { TYPE_INT, TYPE_FLOAT, TYPE_STRING };

struct Command
{
    std::string description;
    Console::CommandHandler handler;
};

struct Variable
{
    VariableType type = TYPE_INT;
    int int_value = 0;
    float float_value = 0.0f;
    std::string string_value;
    std::string description;
};

struct CallbackEntry
{
    uintptr_t id = 0;
    std::unique_ptr<Console::OutputCallback> callback;
    int busy = 0; // calls in progress or about to start; guarded by the console mutex
    std::atomic<bool> removed{false};
};

// Never destroyed, so that logging from static destructors stays safe.
struct ConsoleState
{
    std::mutex mutex;
    std::condition_variable idle;
    std::map<std::string, Command> commands;
    std::map<std::string, Variable> variables;
    std::deque<std::string> queue;
    std::vector<std::string> command_log;
    int failed = 0;
    std::vector<std::shared_ptr<CallbackEntry>> callbacks;
    uintptr_t next_id = 1;

    std::mutex intern_mutex;
    std::unordered_set<std::string> interned;
};

ConsoleState &state()
{
    static ConsoleState *s = new ConsoleState;
    return *s;
}

// Callbacks this thread is inside of (innermost last).
thread_local std::vector<const CallbackEntry *> active_calls;

// A callback that logs from inside itself would otherwise recurse for ever.
constexpr int MAX_DISPATCH_DEPTH = 8;

// Returned texts stay valid for the process: equal texts share one copy.
const char *intern(const std::string &text)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.intern_mutex);
    return s.interned.insert(text).first->c_str();
}

std::string safe(const char *text)
{
    return text ? std::string(text) : std::string();
}

std::string valueText(const Variable &v)
{
    switch (v.type) {
    case TYPE_INT:
        return std::to_string(v.int_value);
    case TYPE_FLOAT: {
        char buffer[64];
        std::snprintf(buffer, sizeof(buffer), "%g", double(v.float_value));
        return buffer;
    }
    case TYPE_STRING:
        return v.string_value;
    }
    return std::string();
}

bool parseInt(const std::string &text, int &out)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        // Accept a float text for an int variable ("2.0"), truncated.
        errno = 0;
        const double d = std::strtod(text.c_str(), &end);
        if (errno != 0 || !end || *end != '\0' || d < double(INT32_MIN) || d > double(INT32_MAX))
            return false;
        out = int(d);
        return true;
    }
    out = int(value);
    return true;
}

bool parseFloat(const std::string &text, float &out)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || !end || *end != '\0')
        return false;
    out = float(value);
    return true;
}

// Sets a variable from text; false when the text does not fit its type.
bool assignText(Variable &v, const std::string &text)
{
    switch (v.type) {
    case TYPE_INT:
        return parseInt(text, v.int_value);
    case TYPE_FLOAT:
        return parseFloat(text, v.float_value);
    case TYPE_STRING:
        v.string_value = text;
        return true;
    }
    return false;
}

bool addVariable(const char *name, const Variable &v)
{
    if (!name || !*name) {
        Log::error("Console: a variable needs a name\n");
        return false;
    }
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.commands.count(name)) {
        detail::logWrite(2, (std::string("Console: \"") + name + "\" is already a command\n").c_str());
        return false;
    }
    s.variables[name] = v;
    return true;
}

void printText(int kind, const std::string &text)
{
    if (text.empty())
        return;
    detail::logWrite(kind, text.c_str());
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = end == std::string::npos ? text.substr(start) + "\n" : text.substr(start, end - start + 1);
        detail::consoleDispatch(line.c_str(), kind);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
}

void execute(const std::string &line)
{
    ConsoleState &s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.command_log.push_back(line);
    }
    const Vector<String> words = Console::splitLine(line.c_str());
    if (words.empty())
        return;
    const std::string name = words[0].std();

    Console::CommandHandler handler;
    bool is_command = false;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        auto command = s.commands.find(name);
        if (command != s.commands.end()) {
            is_command = true;
            handler = command->second.handler;
        } else {
            auto variable = s.variables.find(name);
            if (variable != s.variables.end()) {
                if (words.size() == 1) {
                    const std::string text = name + " = " + valueText(variable->second) + "\n";
                    lock.unlock();
                    printText(0, text);
                    return;
                }
                std::string value = words[1].std();
                if (variable->second.type == TYPE_STRING) {
                    for (int i = 2; i < words.size(); i++)
                        value += " " + words[i].std();
                }
                Variable changed = variable->second;
                if (assignText(changed, value)) {
                    variable->second = changed;
                    return;
                }
                s.failed++;
                lock.unlock();
                printText(2, "Invalid value \"" + value + "\" for \"" + name + "\"\n");
                return;
            }
            s.failed++;
        }
    }
    if (!is_command) {
        printText(2, "Unknown command \"" + name + "\"\n");
        return;
    }
    if (!handler)
        return;
    std::vector<const char *> argv;
    argv.reserve(size_t(words.size()) + 1);
    for (const String &word : words)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    handler(words.size(), argv.data());
}

bool removeEntry(uintptr_t id)
{
    ConsoleState &s = state();
    std::shared_ptr<CallbackEntry> entry;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        for (auto it = s.callbacks.begin(); it != s.callbacks.end(); ++it) {
            if ((*it)->id == id) {
                entry = *it;
                s.callbacks.erase(it);
                break;
            }
        }
        if (!entry)
            return false;
        entry->removed = true;
        int own = 0;
        for (const CallbackEntry *active : active_calls)
            if (active == entry.get())
                own++;
        s.idle.wait(lock, [&] { return entry->busy <= own; });
        if (own > 0)
            return true; // deleted with the entry once the running call returns
    }
    entry->callback.reset();
    return true;
}

} // namespace

namespace detail {

void consoleDispatch(const char *text, int kind)
{
    if (int(active_calls.size()) >= MAX_DISPATCH_DEPTH)
        return;
    ConsoleState &s = state();
    std::vector<std::shared_ptr<CallbackEntry>> calls;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.callbacks.empty())
            return;
        calls.reserve(s.callbacks.size());
        for (const auto &entry : s.callbacks) {
            entry->busy++;
            calls.push_back(entry);
        }
    }
    for (const auto &entry : calls) {
        if (!entry->removed && entry->callback) {
            active_calls.push_back(entry.get());
            entry->callback->run(text ? text : "", kind);
            active_calls.pop_back();
        }
        std::lock_guard<std::mutex> lock(s.mutex);
        entry->busy--;
        s.idle.notify_all();
    }
}

} // namespace detail

bool Console::addCommand(const char *name, const char *description, CommandHandler handler)
{
    if (!name || !*name) {
        Log::error("Console::addCommand(): a command needs a name\n");
        return false;
    }
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.variables.count(name)) {
        detail::logWrite(2, (std::string("Console::addCommand(): \"") + name + "\" is already a variable\n").c_str());
        return false;
    }
    Command &command = s.commands[name];
    command.description = safe(description);
    command.handler = std::move(handler);
    return true;
}

bool Console::removeCommand(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return name && s.commands.erase(name) > 0;
}

bool Console::isCommand(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return name && s.commands.count(name) > 0;
}

int Console::getNumCommands()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.commands.size());
}

const char *Console::getCommandName(int index)
{
    ConsoleState &s = state();
    std::string name;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (index < 0 || index >= int(s.commands.size()))
            return "";
        name = std::next(s.commands.begin(), index)->first;
    }
    return intern(name);
}

const char *Console::getCommandDescription(const char *name)
{
    ConsoleState &s = state();
    std::string description;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = name ? s.commands.find(name) : s.commands.end();
        if (it == s.commands.end())
            return "";
        description = it->second.description;
    }
    return intern(description);
}

bool Console::addInt(const char *name, int value, const char *description)
{
    Variable v;
    v.type = TYPE_INT;
    v.int_value = value;
    v.description = safe(description);
    return addVariable(name, v);
}

bool Console::addFloat(const char *name, float value, const char *description)
{
    Variable v;
    v.type = TYPE_FLOAT;
    v.float_value = value;
    v.description = safe(description);
    return addVariable(name, v);
}

bool Console::addString(const char *name, const char *value, const char *description)
{
    Variable v;
    v.type = TYPE_STRING;
    v.string_value = safe(value);
    v.description = safe(description);
    return addVariable(name, v);
}

bool Console::removeVariable(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return name && s.variables.erase(name) > 0;
}

bool Console::isVariable(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return name && s.variables.count(name) > 0;
}

namespace {

bool isType(const char *name, VariableType type)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = name ? s.variables.find(name) : s.variables.end();
    return it != s.variables.end() && it->second.type == type;
}

// Runs fn on the variable under the lock; false (one warning) when unknown.
template<typename Fn>
bool withVariable(const char *name, const char *caller, Fn fn)
{
    ConsoleState &s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    auto it = name ? s.variables.find(name) : s.variables.end();
    if (it == s.variables.end()) {
        lock.unlock();
        Log::warning("Console::%s(): unknown variable \"%s\"\n", caller, name ? name : "");
        return false;
    }
    return fn(it->second);
}

} // namespace

bool Console::isInt(const char *name)
{
    return isType(name, TYPE_INT);
}
bool Console::isFloat(const char *name)
{
    return isType(name, TYPE_FLOAT);
}
bool Console::isString(const char *name)
{
    return isType(name, TYPE_STRING);
}

int Console::getNumVariables()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.variables.size());
}

const char *Console::getVariableName(int index)
{
    ConsoleState &s = state();
    std::string name;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (index < 0 || index >= int(s.variables.size()))
            return "";
        name = std::next(s.variables.begin(), index)->first;
    }
    return intern(name);
}

const char *Console::getVariableDescription(const char *name)
{
    ConsoleState &s = state();
    std::string description;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = name ? s.variables.find(name) : s.variables.end();
        if (it == s.variables.end())
            return "";
        description = it->second.description;
    }
    return intern(description);
}

bool Console::setInt(const char *name, int value)
{
    return withVariable(name, "setInt", [value](Variable &v) {
        v.int_value = value;
        v.float_value = float(value);
        if (v.type == TYPE_STRING)
            v.string_value = std::to_string(value);
        return true;
    });
}

bool Console::setFloat(const char *name, float value)
{
    return withVariable(name, "setFloat", [value](Variable &v) {
        v.float_value = value;
        v.int_value = int(value);
        if (v.type == TYPE_STRING) {
            char buffer[64];
            std::snprintf(buffer, sizeof(buffer), "%g", double(value));
            v.string_value = buffer;
        }
        return true;
    });
}

bool Console::setString(const char *name, const char *value)
{
    const std::string text = safe(value);
    bool bad_value = false;
    const bool known = withVariable(name, "setString", [&](Variable &v) {
        Variable changed = v;
        if (!assignText(changed, text)) {
            bad_value = true;
            return false;
        }
        v = changed;
        return true;
    });
    if (bad_value)
        Log::warning("Console::setString(): \"%s\" is not a number for \"%s\"\n", text.c_str(), name);
    return known;
}

int Console::getInt(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = name ? s.variables.find(name) : s.variables.end();
    if (it == s.variables.end())
        return 0;
    const Variable &v = it->second;
    if (v.type == TYPE_STRING) {
        int value = 0;
        return parseInt(v.string_value, value) ? value : 0;
    }
    return v.type == TYPE_INT ? v.int_value : int(v.float_value);
}

float Console::getFloat(const char *name)
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = name ? s.variables.find(name) : s.variables.end();
    if (it == s.variables.end())
        return 0.0f;
    const Variable &v = it->second;
    if (v.type == TYPE_STRING) {
        float value = 0.0f;
        return parseFloat(v.string_value, value) ? value : 0.0f;
    }
    return v.type == TYPE_FLOAT ? v.float_value : float(v.int_value);
}

const char *Console::getString(const char *name)
{
    ConsoleState &s = state();
    std::string text;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = name ? s.variables.find(name) : s.variables.end();
        if (it == s.variables.end())
            return "";
        text = valueText(it->second);
    }
    return intern(text);
}

void Console::run(const char *line)
{
    if (!line)
        return;
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.queue.emplace_back(line);
}

void Console::runf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string line = detail::vformat(format, args);
    va_end(args);
    run(line.c_str());
}

void Console::flush()
{
    ConsoleState &s = state();
    std::deque<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        lines.swap(s.queue);
    }
    for (const std::string &line : lines)
        execute(line);
}

bool Console::hasQueuedLines()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.queue.empty();
}

Vector<String> Console::getCommandLog()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    Vector<String> result;
    result.reserve(int(s.command_log.size()));
    for (const std::string &line : s.command_log)
        result.append(String(line));
    return result;
}

void Console::clearCommandLog()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.command_log.clear();
}

int Console::getNumFailedCommands()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.failed;
}

void Console::print(int kind, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = detail::vformat(format, args);
    va_end(args);
    printText(kind < 0 ? 0 : (kind > 2 ? 2 : kind), text);
}

void Console::message(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = detail::vformat(format, args);
    va_end(args);
    printText(0, text);
}

void Console::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = detail::vformat(format, args);
    va_end(args);
    printText(1, text);
}

void Console::error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = detail::vformat(format, args);
    va_end(args);
    printText(2, text);
}

void *Console::addOutputCallback(OutputCallback *callback)
{
    if (!callback)
        return nullptr;
    auto entry = std::make_shared<CallbackEntry>();
    entry->callback.reset(callback);
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    entry->id = s.next_id++;
    s.callbacks.push_back(entry);
    return reinterpret_cast<void *>(entry->id);
}

bool Console::removeOutputCallback(void *handle)
{
    if (!handle)
        return false;
    return removeEntry(reinterpret_cast<uintptr_t>(handle));
}

void Console::clearOutputCallbacks()
{
    ConsoleState &s = state();
    std::vector<uintptr_t> ids;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        for (const auto &entry : s.callbacks)
            ids.push_back(entry->id);
    }
    for (uintptr_t id : ids)
        removeEntry(id);
}

int Console::getNumOutputCallbacks()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.callbacks.size());
}

void Console::reset()
{
    ConsoleState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.commands.clear();
    s.variables.clear();
    s.queue.clear();
    s.command_log.clear();
    s.failed = 0;
}

Vector<String> Console::splitLine(const char *line)
{
    Vector<String> words;
    if (!line)
        return words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (const char *p = line; *p; ++p) {
        const char c = *p;
        if (c == '"') {
            quoted = !quoted;
            in_word = true; // "" is an empty word
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (in_word) {
                words.append(String(word));
                word.clear();
                in_word = false;
            }
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        words.append(String(word));
    return words;
}

} // namespace Velmora
