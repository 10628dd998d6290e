#pragma once

#include "velmora/String.h"
#include "velmora/Variable.h"

#include <functional>
#include <memory>

namespace Velmora {

// A function the scripts can call: its body, its number of parameters and
// the declaration text scripts see ("void %s();\n" style, %s = the name).
struct ExternFunction
{
    std::function<Variable(const Variables &)> call;
    int num_args = 0;
    String declaration;
};

// A void() member of an object, for addExternFunction. The object must stay
// alive while the function is registered (remove its group first).
template<typename Class>
ExternFunction makeExternObjectFunction(Class *object, void (Class::*method)())
{
    ExternFunction function;
    function.call = [object, method](const Variables &) {
        (object->*method)();
        return Variable();
    };
    function.num_args = 0;
    function.declaration = "void %s();\n";
    return function;
}

// A class the scripts can construct: a constructor making the instance's
// handle from its arguments (with default-argument text like the
// functions'), and methods by name, each given the handle.
struct ExternClass
{
    using Constructor = std::function<std::shared_ptr<void>(const Variables &)>;
    using Method = std::function<Variable(void *instance, const Variables &)>;

    Constructor constructor;
    int constructor_args = 0;
    String constructor_defaults;
    struct MethodEntry
    {
        String name;
        Method call;
        int num_args = 0;
        String defaults;
    };
    Vector<MethodEntry> methods;

    void addMethod(const char *name, int num_args, Method call, const char *defaults = nullptr)
    {
        methods.append(MethodEntry{String(name), std::move(call), num_args, String(defaults)});
    }
};

// The engine's script registry. Everything registered belongs to a group;
// removing the group removes all of it. Names of library functions carry the
// library prefix ("tamsel2_callbacks.manipulatorPressed"). Main thread only.
//
// Default-argument text: a comma list with one entry per parameter, empty
// entries meaning "required"; ",,32" makes the third of three arguments 32
// when a caller gives only two. Entries are ints, floats, or strings (in
// double quotes or bare).
class Interpreter
{
public:
    // The opaque interpreter handle that object variables are bound to.
    static void *get();

    static int addGroup(const char *name);
    // Removes the group and everything registered in it; false when unknown.
    static bool removeGroup(int group);
    static bool hasGroup(int group);
    static int findGroup(const char *name);

    static bool addExternDefine(const char *name, int group);
    static bool isDefined(const char *name);
    static bool addExternLibrary(const char *name, int group);
    static bool isLibrary(const char *name);

    // false (one error line) for an unknown group, an empty name or a name
    // already registered with the same number of parameters.
    static bool addExternFunction(const char *name, const ExternFunction &function, int group,
                                  const char *defaults = nullptr);
    static bool addExternFunction(const char *name, int num_args, std::function<Variable(const Variables &)> call,
                                  int group, const char *defaults = nullptr);
    static bool isFunction(const char *name);
    // The declaration text of a function ("" when unknown), %s filled.
    static String getDeclaration(const char *name);

    // Int constants.
    static bool addExternVariable(const char *name, int value, int group);
    static bool isVariable(const char *name);
    static Variable getVariable(const char *name);

    static bool addExternClass(const char *name, const ExternClass &type, int group);
    static bool isClass(const char *name);
    // A new script-owned instance (an object variable of that class), or
    // an empty value with the error set.
    static Variable construct(const char *class_name, const Variables &args);
    static Variable callMethod(const Variable &instance, const char *method, const Variables &args);
    // Drops the script's ownership of the instance; false when unknown.
    static bool release(const Variable &instance);
    static int getNumInstances(const char *class_name);

    // Function ids (Engine::findFunction / runFunction): by name and number
    // of arguments (a call may leave out parameters that have defaults).
    static int findFunction(const char *name, int num_args);
    static Variable call(int id, const Variables &args);
    static Variable call(const char *name, const Variables &args);

    // Text of the last failure; every successful call clears it. A function
    // reports a failure by setting it.
    static const char *getError();
    static void setError(const char *text);
    static void clearError();
};

} // namespace Velmora
