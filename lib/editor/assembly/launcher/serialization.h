#pragma once

#include "editor/assembly/launcher/launcher_parameter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLatin1String>
#include <QString>
#include <QStringList>

// JSON helpers shared by the build tool's files.
namespace assembly::serialization {

// The string under the key; "" when missing, not a string, or when the
// object is empty (an empty object stands for an element with empty values).
QString getValue(const QJsonObject &obj, QLatin1String name);
// Stores the string only when it is not empty.
void setValue(QLatin1String name, const QString &value, QJsonObject &obj);
// Every element converted to a string, in order.
QStringList readStringList(const QJsonArray &array);
QJsonArray toJsonArray(const QStringList &list);

// Launcher parameters: {"type":"None"}, or the Choice form with "label",
// "value" and "items" ({"text", "arguments" when not empty}), or the Check
// form with "label", "value", and "off_args"/"on_args" when not empty.
QJsonArray serializeParameters(const LauncherParameters &parameters);
// Elements that are not objects or name no known type read as None
// parameters (with a warning); the list keeps one parameter per element.
LauncherParameters deserializeParameters(const QJsonArray &array);

} // namespace assembly::serialization
