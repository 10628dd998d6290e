#include "editor/assembly/launcher/serialization.h"

#include "core/base/qt_enum_utility.h"

#include <editor_core/base/Assert.h>

#include <QJsonValue>
#include <QtDebug>

namespace assembly::serialization {

namespace {

// Keys of a launcher parameter object.
const QLatin1String KEY_TYPE("type");
const QLatin1String KEY_LABEL("label");
const QLatin1String KEY_VALUE("value");
const QLatin1String KEY_ITEMS("items");
const QLatin1String KEY_TEXT("text");
const QLatin1String KEY_ARGUMENTS("arguments");
const QLatin1String KEY_OFF_ARGS("off_args");
const QLatin1String KEY_ON_ARGS("on_args");

void setList(QLatin1String name, const QStringList &list, QJsonObject &obj)
{
    if (!list.isEmpty())
        obj.insert(name, toJsonArray(list));
}

QJsonObject serializeParameter(const LauncherParameter &parameter)
{
    QJsonObject obj;
    switch (parameter.type) {
    case LauncherParameterType::None:
        break;
    case LauncherParameterType::Choice: {
        const ChoiceParameter &choice = parameter.choice;
        obj.insert(KEY_LABEL, choice.label);
        obj.insert(KEY_VALUE, choice.value);
        QJsonArray items;
        for (const ChoiceItem &item : choice.items) {
            QJsonObject entry;
            entry.insert(KEY_TEXT, item.text);
            setList(KEY_ARGUMENTS, item.arguments, entry);
            items.append(entry);
        }
        obj.insert(KEY_ITEMS, items);
        break;
    }
    case LauncherParameterType::Check: {
        const CheckParameter &check = parameter.check;
        obj.insert(KEY_LABEL, check.label);
        obj.insert(KEY_VALUE, check.value);
        setList(KEY_OFF_ARGS, check.off_args, obj);
        setList(KEY_ON_ARGS, check.on_args, obj);
        break;
    }
    default:
        qWarning() << "Build Tool: serialization, parameter has unknown type.";
        obj.insert(KEY_TYPE, QString::number(static_cast<int>(parameter.type)));
        return obj;
    }
    obj.insert(KEY_TYPE, QString::fromLatin1(QtEnumUtility::toString(parameter.type)));
    return obj;
}

LauncherParameter deserializeParameter(const QJsonObject &obj)
{
    LauncherParameter parameter;
    const QString type_name = getValue(obj, KEY_TYPE);
    bool known = false;
    for (const auto type : {LauncherParameterType::None, LauncherParameterType::Choice, LauncherParameterType::Check})
        known = known || type_name == QLatin1String(QtEnumUtility::toString(type));
    parameter.type = QtEnumUtility::fromString(type_name, LauncherParameterType::None);

    switch (parameter.type) {
    case LauncherParameterType::Choice: {
        ChoiceParameter &choice = parameter.choice;
        choice.label = getValue(obj, KEY_LABEL);
        choice.value = obj.value(KEY_VALUE).toInt(0);
        const QJsonArray items = obj.value(KEY_ITEMS).toArray();
        for (const QJsonValue &value : items) {
            const QJsonObject entry = value.toObject();
            choice.items.append(
                    ChoiceItem{getValue(entry, KEY_TEXT), readStringList(entry.value(KEY_ARGUMENTS).toArray())});
        }
        break;
    }
    case LauncherParameterType::Check: {
        CheckParameter &check = parameter.check;
        check.label = getValue(obj, KEY_LABEL);
        check.value = obj.value(KEY_VALUE).toInt(0);
        check.off_args = readStringList(obj.value(KEY_OFF_ARGS).toArray());
        check.on_args = readStringList(obj.value(KEY_ON_ARGS).toArray());
        break;
    }
    case LauncherParameterType::None:
        if (!known)
            qWarning() << "Build Tool: deserialization, parameter has unknown type.";
        break;
    }
    return parameter;
}

} // namespace

QString getValue(const QJsonObject &obj, QLatin1String name)
{
    EC_ASSERT(name.size() > 0);
    return obj.value(name).toString();
}

void setValue(QLatin1String name, const QString &value, QJsonObject &obj)
{
    EC_ASSERT(name.size() > 0);
    if (!value.isEmpty())
        obj.insert(name, value);
}

QStringList readStringList(const QJsonArray &array)
{
    QStringList result;
    result.reserve(array.size());
    for (const QJsonValue &value : array)
        result << value.toString();
    return result;
}

QJsonArray toJsonArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QJsonArray serializeParameters(const LauncherParameters &parameters)
{
    QJsonArray result;
    for (const LauncherParameter &parameter : parameters)
        result.append(serializeParameter(parameter));
    return result;
}

LauncherParameters deserializeParameters(const QJsonArray &array)
{
    LauncherParameters result;
    result.reserve(array.size());
    for (const QJsonValue &value : array)
        result.append(deserializeParameter(value.toObject()));
    return result;
}

} // namespace assembly::serialization
