#include "velmora/Engine.h"
#include "velmora/Interpreter.h"
#include "velmora/Log.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace Velmora {

namespace {

struct Group
{
    std::string name;
};

struct Function
{
    std::string name;
    int group = 0;
    int num_args = 0;
    int required_args = 0;
    // One entry per parameter; NONE for required ones.
    std::vector<Variable> defaults;
    std::function<Variable(const Variables &)> call;
    String declaration;
};

struct ClassEntry
{
    int group = 0;
    ExternClass type;
    std::vector<Variable> constructor_defaults;
    int constructor_required = 0;
};

struct Registry
{
    int next_group = 1;
    int next_function = 1;
    std::map<int, Group> groups;
    std::map<std::string, int> defines;
    std::map<std::string, int> libraries;
    std::map<int, Function> functions; // by id; ids are never reused
    std::map<std::string, std::vector<int>> by_name;
    std::map<std::string, std::pair<int, int>> variables; // value, group
    std::map<std::string, ClassEntry> classes;
    // Script-owned instances: class name -> handles.
    std::map<std::string, std::vector<std::shared_ptr<void>>> instances;
    std::string error;
    std::set<std::string> logged_missing;
};

Registry &registry()
{
    static Registry r;
    return r;
}

// The handle object variables are bound to.
int g_interpreter_tag = 0;

Variable parseDefault(const QByteArray &text)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return Variable();
    bool ok = false;
    const int i = t.toInt(&ok);
    if (ok)
        return Variable(i);
    const float f = t.toFloat(&ok);
    if (ok)
        return Variable(f);
    if (t.size() >= 2 && t.startsWith('"') && t.endsWith('"'))
        return Variable(t.mid(1, t.size() - 2).constData());
    return Variable(t.constData());
}

// Defaults text to one entry per parameter; returns the number of required
// parameters (those before the first default).
int parseDefaults(const char *text, int num_args, std::vector<Variable> &out)
{
    out.assign(size_t(num_args > 0 ? num_args : 0), Variable());
    if (!text || !*text)
        return num_args;
    const QList<QByteArray> parts = QByteArray(text).split(',');
    for (int i = 0; i < parts.size() && i < num_args; ++i)
        out[size_t(i)] = parseDefault(parts[i]);
    int required = num_args;
    while (required > 0 && !out[size_t(required - 1)].isNone())
        --required;
    return required;
}

bool checkGroup(int group, const char *what, const char *name)
{
    if (registry().groups.count(group))
        return true;
    Log::error("Interpreter::%s: unknown group %d for \"%s\"\n", what, group, name ? name : "");
    return false;
}

bool fillArguments(const std::vector<Variable> &defaults, int required, const Variables &given, Variables &out)
{
    const int total = int(defaults.size());
    if (given.size() < required || given.size() > total)
        return false;
    out = given;
    for (int i = given.size(); i < total; ++i)
        out.append(defaults[size_t(i)]);
    return true;
}

void notFound(const std::string &key)
{
    Registry &r = registry();
    r.error = "function not found";
    if (r.logged_missing.insert(key).second)
        Log::error("Interpreter: function not found: %s\n", key.c_str());
}

Variable runEntry(Function &function, const Variables &args)
{
    Variables filled;
    if (!fillArguments(function.defaults, function.required_args, args, filled)) {
        registry().error = "wrong number of arguments for " + function.name;
        Log::error("Interpreter: %s takes %d arguments, %d given\n", function.name.c_str(), function.num_args,
                   args.size());
        return Variable();
    }
    registry().error.clear();
    // Copy the callable: the function may remove its own group.
    const auto call = function.call;
    return call ? call(filled) : Variable();
}

} // namespace

void *Interpreter::get()
{
    return &g_interpreter_tag;
}

int Interpreter::addGroup(const char *name)
{
    Registry &r = registry();
    const int id = r.next_group++;
    r.groups[id] = Group{name ? name : ""};
    return id;
}

bool Interpreter::removeGroup(int group)
{
    Registry &r = registry();
    if (!r.groups.erase(group))
        return false;
    for (auto it = r.defines.begin(); it != r.defines.end();)
        it = it->second == group ? r.defines.erase(it) : std::next(it);
    for (auto it = r.libraries.begin(); it != r.libraries.end();)
        it = it->second == group ? r.libraries.erase(it) : std::next(it);
    for (auto it = r.variables.begin(); it != r.variables.end();)
        it = it->second.second == group ? r.variables.erase(it) : std::next(it);
    for (auto it = r.classes.begin(); it != r.classes.end();) {
        if (it->second.group == group) {
            r.instances.erase(it->first);
            it = r.classes.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = r.functions.begin(); it != r.functions.end();) {
        if (it->second.group != group) {
            ++it;
            continue;
        }
        std::vector<int> &ids = r.by_name[it->second.name];
        ids.erase(std::remove(ids.begin(), ids.end(), it->first), ids.end());
        if (ids.empty())
            r.by_name.erase(it->second.name);
        it = r.functions.erase(it);
    }
    return true;
}

bool Interpreter::hasGroup(int group)
{
    return registry().groups.count(group) != 0;
}

int Interpreter::findGroup(const char *name)
{
    for (const auto &entry : registry().groups)
        if (entry.second.name == (name ? name : ""))
            return entry.first;
    return -1;
}

bool Interpreter::addExternDefine(const char *name, int group)
{
    if (!name || !*name || !checkGroup(group, "addExternDefine", name))
        return false;
    registry().defines[name] = group;
    return true;
}

bool Interpreter::isDefined(const char *name)
{
    return name && registry().defines.count(name);
}

bool Interpreter::addExternLibrary(const char *name, int group)
{
    if (!name || !*name || !checkGroup(group, "addExternLibrary", name))
        return false;
    registry().libraries[name] = group;
    return true;
}

bool Interpreter::isLibrary(const char *name)
{
    return name && registry().libraries.count(name);
}

bool Interpreter::addExternFunction(const char *name, const ExternFunction &function, int group, const char *defaults)
{
    if (!name || !*name || !checkGroup(group, "addExternFunction", name))
        return false;
    Registry &r = registry();
    for (int id : r.by_name[name]) {
        if (r.functions[id].num_args == function.num_args) {
            Log::error("Interpreter::addExternFunction: \"%s\" with %d arguments exists already\n", name,
                       function.num_args);
            return false;
        }
    }
    Function entry;
    entry.name = name;
    entry.group = group;
    entry.num_args = function.num_args;
    entry.required_args = parseDefaults(defaults, function.num_args, entry.defaults);
    entry.call = function.call;
    entry.declaration = function.declaration;
    const int id = r.next_function++;
    r.functions[id] = std::move(entry);
    r.by_name[name].push_back(id);
    return true;
}

bool Interpreter::addExternFunction(const char *name, int num_args, std::function<Variable(const Variables &)> call,
                                    int group, const char *defaults)
{
    ExternFunction function;
    function.call = std::move(call);
    function.num_args = num_args;
    return addExternFunction(name, function, group, defaults);
}

bool Interpreter::isFunction(const char *name)
{
    return name && registry().by_name.count(name);
}

String Interpreter::getDeclaration(const char *name)
{
    Registry &r = registry();
    auto it = name ? r.by_name.find(name) : r.by_name.end();
    if (it == r.by_name.end() || it->second.empty())
        return String();
    const String &format = r.functions[it->second.front()].declaration;
    return format.empty() ? String() : String::format(format.get(), name);
}

bool Interpreter::addExternVariable(const char *name, int value, int group)
{
    if (!name || !*name || !checkGroup(group, "addExternVariable", name))
        return false;
    registry().variables[name] = std::make_pair(value, group);
    return true;
}

bool Interpreter::isVariable(const char *name)
{
    return name && registry().variables.count(name);
}

Variable Interpreter::getVariable(const char *name)
{
    Registry &r = registry();
    auto it = name ? r.variables.find(name) : r.variables.end();
    return it == r.variables.end() ? Variable() : Variable(it->second.first);
}

bool Interpreter::addExternClass(const char *name, const ExternClass &type, int group)
{
    if (!name || !*name || !checkGroup(group, "addExternClass", name))
        return false;
    ClassEntry entry;
    entry.group = group;
    entry.type = type;
    entry.constructor_required
            = parseDefaults(type.constructor_defaults.get(), type.constructor_args, entry.constructor_defaults);
    registry().classes[name] = std::move(entry);
    return true;
}

bool Interpreter::isClass(const char *name)
{
    return name && registry().classes.count(name);
}

Variable Interpreter::construct(const char *class_name, const Variables &args)
{
    Registry &r = registry();
    auto it = class_name ? r.classes.find(class_name) : r.classes.end();
    if (it == r.classes.end() || !it->second.type.constructor) {
        r.error = "class not found";
        Log::error("Interpreter: class not found: %s\n", class_name ? class_name : "");
        return Variable();
    }
    Variables filled;
    if (!fillArguments(it->second.constructor_defaults, it->second.constructor_required, args, filled)) {
        r.error = std::string("wrong number of arguments for ") + class_name;
        return Variable();
    }
    r.error.clear();
    std::shared_ptr<void> handle = it->second.type.constructor(filled);
    if (!handle)
        return Variable();
    r.instances[class_name].push_back(handle);
    return Variable::makeObject(class_name, handle);
}

Variable Interpreter::callMethod(const Variable &instance, const char *method, const Variables &args)
{
    Registry &r = registry();
    auto it = r.classes.find(instance.getTypeName());
    if (!instance.isObject() || !instance.getObjectHandle() || it == r.classes.end() || !method) {
        r.error = "not an object";
        return Variable();
    }
    for (const ExternClass::MethodEntry &entry : it->second.type.methods) {
        if (entry.name != String(method))
            continue;
        std::vector<Variable> defaults;
        const int required = parseDefaults(entry.defaults.get(), entry.num_args, defaults);
        Variables filled;
        if (!fillArguments(defaults, required, args, filled))
            continue;
        r.error.clear();
        return entry.call(instance.getObjectHandle().get(), filled);
    }
    r.error = std::string("method not found: ") + method;
    Log::error("Interpreter: %s has no method %s with %d arguments\n", instance.getTypeName(), method, args.size());
    return Variable();
}

bool Interpreter::release(const Variable &instance)
{
    Registry &r = registry();
    auto it = r.instances.find(instance.getTypeName());
    if (!instance.isObject() || it == r.instances.end())
        return false;
    auto &list = it->second;
    auto found = std::find(list.begin(), list.end(), instance.getObjectHandle());
    if (found == list.end())
        return false;
    list.erase(found);
    return true;
}

int Interpreter::getNumInstances(const char *class_name)
{
    Registry &r = registry();
    auto it = class_name ? r.instances.find(class_name) : r.instances.end();
    return it == r.instances.end() ? 0 : int(it->second.size());
}

int Interpreter::findFunction(const char *name, int num_args)
{
    Registry &r = registry();
    auto it = name ? r.by_name.find(name) : r.by_name.end();
    if (it == r.by_name.end())
        return -1;
    for (int id : it->second) {
        const Function &f = r.functions[id];
        if (num_args >= f.required_args && num_args <= f.num_args)
            return id;
    }
    return -1;
}

Variable Interpreter::call(int id, const Variables &args)
{
    Registry &r = registry();
    auto it = r.functions.find(id);
    if (it == r.functions.end()) {
        notFound("id " + std::to_string(id));
        return Variable();
    }
    return runEntry(it->second, args);
}

Variable Interpreter::call(const char *name, const Variables &args)
{
    const int id = findFunction(name, args.size());
    if (id < 0) {
        notFound(std::string(name ? name : "") + "/" + std::to_string(args.size()));
        return Variable();
    }
    return call(id, args);
}

const char *Interpreter::getError()
{
    return registry().error.c_str();
}

void Interpreter::setError(const char *text)
{
    registry().error = text ? text : "";
}

void Interpreter::clearError()
{
    registry().error.clear();
}

// ---- Engine's script entry points ------------------------------------------------------

int Engine::findFunction(const char *name, int num_args) const
{
    return Interpreter::findFunction(name, num_args);
}

namespace {

Variable runBy(const Variable &function, const Variables &args)
{
    if (function.isString())
        return Interpreter::call(function.getString(), args);
    if (function.isInt())
        return Interpreter::call(function.getInt(), args);
    notFound(std::string("value of type ") + function.getTypeName());
    return Variable();
}

} // namespace

Variable Engine::runFunction(const Variable &function) const
{
    return runBy(function, Variables());
}

Variable Engine::runFunction(const Variable &function, const Variable &a0) const
{
    return runBy(function, Variables{a0});
}

Variable Engine::runFunction(const Variable &function, const Variable &a0, const Variable &a1, const Variable &a2,
                             const Variable &a3) const
{
    return runBy(function, Variables{a0, a1, a2, a3});
}

const char *Engine::getError() const
{
    return Interpreter::getError();
}

void *Engine::getInterpreter() const
{
    return Interpreter::get();
}

} // namespace Velmora
