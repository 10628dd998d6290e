#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Vector.h"

#include <memory>

namespace Velmora {

class Gui;
class Player;
class Widget;

// A value passed to and returned by script functions: nothing, an int, a
// float, a UTF-8 string, or an object (a type name plus a handle: a counted
// engine object or an instance of a registered class). Readers return 0, ""
// or null when the value holds something else; ints and floats read as each
// other.
class Variable
{
public:
    enum Type {
        NONE = 0,
        INT,
        FLOAT,
        STRING,
        OBJECT,
    };

    Variable() = default;
    Variable(int value);
    Variable(bool value);
    Variable(float value);
    Variable(double value);
    Variable(const char *value);
    Variable(const String &value);
    // Engine objects bound to the interpreter (Engine::getInterpreter()). A
    // null pointer gives an object value whose handle reads as null.
    Variable(void *interpreter, const Ptr<Gui> &gui);
    Variable(void *interpreter, const Ptr<Widget> &widget);
    Variable(void *interpreter, const Ptr<Player> &player);

    // An object value of a registered class (Interpreter::construct).
    static Variable makeObject(const char *type_name, const std::shared_ptr<void> &handle);

    Type getType() const { return type_; }
    bool isNone() const { return type_ == NONE; }
    bool isInt() const { return type_ == INT; }
    bool isFloat() const { return type_ == FLOAT; }
    bool isString() const { return type_ == STRING; }
    bool isObject() const { return type_ == OBJECT; }
    // "int", "float", "string", "none" or the object's type name.
    const char *getTypeName() const;

    int getInt() const;
    float getFloat() const;
    const char *getString() const;
    Ptr<Gui> getGui(void *interpreter) const;
    Ptr<Widget> getWidget(void *interpreter) const;
    Ptr<Player> getPlayer(void *interpreter) const;
    // The handle of an object value (null for other kinds).
    const std::shared_ptr<void> &getObjectHandle() const { return object_; }

private:
    Type type_ = NONE;
    int int_ = 0;
    float float_ = 0.0f;
    String string_;
    String type_name_;
    std::shared_ptr<void> object_;
};

using Variables = Vector<Variable>;

} // namespace Velmora
