#include "launcher_config.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

QStringList strings(const QJsonValue &value)
{
    QStringList result;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &item : array)
        result << item.toString();
    return result;
}

} // namespace

QStringList LauncherConfig::Parameter::chosenArguments() const
{
    switch (type) {
    case Choice:
        return value >= 0 && value < items.size() ? items.at(value).arguments : QStringList();
    case Check:
        return value == 1 ? on_args : value == 0 ? off_args : QStringList();
    case None:
        break;
    }
    return QStringList();
}

bool LauncherConfig::load(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("can't read %1: %2").arg(path, file.errorString());
        return false;
    }
    return parse(file.readAll(), error);
}

bool LauncherConfig::parse(const QByteArray &bytes, QString &error)
{
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse_error);
    if (parse_error.error != QJsonParseError::NoError || !document.isObject()) {
        error = QStringLiteral("not a JSON object (%1)").arg(parse_error.errorString());
        return false;
    }
    const QJsonObject main = document.object().value(QStringLiteral("main")).toObject();
    if (main.isEmpty()) {
        error = QStringLiteral("no \"main\" object");
        return false;
    }
    name_ = main.value(QStringLiteral("name")).toString();
    binary_ = main.value(QStringLiteral("binary")).toString();
    show_ = main.value(QStringLiteral("show")).toBool(true);
    const QJsonObject paths = main.value(QStringLiteral("paths")).toObject();
    release_ = paths.value(QStringLiteral("release")).toString();
    dev_ = paths.value(QStringLiteral("dev")).toString();
    debug_ = paths.value(QStringLiteral("debug")).toString();
    banner_ = paths.value(QStringLiteral("banner")).toString();
    const QJsonObject cmd = main.value(QStringLiteral("cmd")).toObject();
    args_ = strings(cmd.value(QStringLiteral("args")));

    parameters_.clear();
    const QJsonArray params = cmd.value(QStringLiteral("params")).toArray();
    for (const QJsonValue &value : params) {
        const QJsonObject object = value.toObject();
        Parameter parameter;
        const QString type = object.value(QStringLiteral("type")).toString();
        parameter.type = type == QLatin1String("Choice") ? Parameter::Choice
                : type == QLatin1String("Check")         ? Parameter::Check
                                                         : Parameter::None;
        parameter.label = object.value(QStringLiteral("label")).toString();
        parameter.value = object.value(QStringLiteral("value")).toInt(0);
        const QJsonArray items = object.value(QStringLiteral("items")).toArray();
        for (const QJsonValue &item : items) {
            const QJsonObject entry = item.toObject();
            parameter.items.append(Item{entry.value(QStringLiteral("text")).toString(),
                                        strings(entry.value(QStringLiteral("arguments")))});
        }
        parameter.off_args = strings(object.value(QStringLiteral("off_args")));
        parameter.on_args = strings(object.value(QStringLiteral("on_args")));
        parameters_.append(parameter);
    }
    return true;
}

QString LauncherConfig::executable() const
{
    QString chosen;
    if (binary_ == QLatin1String("Release"))
        chosen = release_;
    else if (binary_ == QLatin1String("Development"))
        chosen = dev_;
    else if (binary_ == QLatin1String("Debug"))
        chosen = debug_;
    if (!chosen.isEmpty())
        return chosen;
    for (const QString *path : {&release_, &dev_, &debug_}) {
        if (!path->isEmpty())
            return *path;
    }
    return QString();
}

QStringList LauncherConfig::commandLine() const
{
    QStringList result;
    for (const Parameter &parameter : parameters_)
        result << parameter.chosenArguments();
    result << args_;
    return result;
}
