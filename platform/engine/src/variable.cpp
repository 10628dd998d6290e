#include "velmora/Variable.h"

#include "velmora/Gui.h"
#include "velmora/Interpreter.h"
#include "velmora/Player.h"

namespace Velmora {

namespace {

const char *const GUI_TYPE = "Gui";
const char *const WIDGET_TYPE = "Widget";
const char *const PLAYER_TYPE = "Player";

template<typename T>
Variable objectOf(const char *type, const Ptr<T> &ptr)
{
    return Variable::makeObject(type, std::make_shared<Ptr<T>>(ptr));
}

template<typename T>
Ptr<T> ptrOf(const Variable &v, const char *type, void *interpreter)
{
    if (!v.isObject() || interpreter != Interpreter::get() || String(v.getTypeName()) != String(type)
        || !v.getObjectHandle())
        return Ptr<T>();
    return *static_cast<const Ptr<T> *>(v.getObjectHandle().get());
}

} // namespace

Variable::Variable(int value)
    : type_(INT)
    , int_(value)
{}

Variable::Variable(bool value)
    : type_(INT)
    , int_(value ? 1 : 0)
{}

Variable::Variable(float value)
    : type_(FLOAT)
    , float_(value)
{}

Variable::Variable(double value)
    : type_(FLOAT)
    , float_(float(value))
{}

Variable::Variable(const char *value)
    : type_(STRING)
    , string_(value)
{}

Variable::Variable(const String &value)
    : type_(STRING)
    , string_(value)
{}

Variable::Variable(void *, const Ptr<Gui> &gui)
    : Variable(objectOf(GUI_TYPE, gui))
{}

Variable::Variable(void *, const Ptr<Widget> &widget)
    : Variable(objectOf(WIDGET_TYPE, widget))
{}

Variable::Variable(void *, const Ptr<Player> &player)
    : Variable(objectOf(PLAYER_TYPE, player))
{}

Variable Variable::makeObject(const char *type_name, const std::shared_ptr<void> &handle)
{
    Variable v;
    v.type_ = OBJECT;
    v.type_name_ = type_name;
    v.object_ = handle;
    return v;
}

const char *Variable::getTypeName() const
{
    switch (type_) {
    case INT:
        return "int";
    case FLOAT:
        return "float";
    case STRING:
        return "string";
    case OBJECT:
        return type_name_.get();
    case NONE:
        break;
    }
    return "none";
}

int Variable::getInt() const
{
    if (type_ == INT)
        return int_;
    if (type_ == FLOAT)
        return int(float_);
    return 0;
}

float Variable::getFloat() const
{
    if (type_ == FLOAT)
        return float_;
    if (type_ == INT)
        return float(int_);
    return 0.0f;
}

const char *Variable::getString() const
{
    return type_ == STRING ? string_.get() : "";
}

Ptr<Gui> Variable::getGui(void *interpreter) const
{
    return ptrOf<Gui>(*this, GUI_TYPE, interpreter);
}

Ptr<Widget> Variable::getWidget(void *interpreter) const
{
    return ptrOf<Widget>(*this, WIDGET_TYPE, interpreter);
}

Ptr<Player> Variable::getPlayer(void *interpreter) const
{
    return ptrOf<Player>(*this, PLAYER_TYPE, interpreter);
}

} // namespace Velmora
