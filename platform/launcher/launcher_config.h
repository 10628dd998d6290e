#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

// The launcher settings file "<launcher>.lconfig" as the launcher reads it:
// {"main": {"name", "build", "sdk_edition", "binary", "show",
//           "paths": {"release", "dev", "debug", "banner"},
//           "cmd": {"args": [...], "params": [...]}}}.
// Paths are relative to the launcher's folder.
class LauncherConfig
{
public:
    struct Item
    {
        QString text;
        QStringList arguments;
    };
    // A Choice (items, value = chosen index, -1 none) or a Check (value 0
    // off, 1 on, -1 neither).
    struct Parameter
    {
        enum Type { None, Choice, Check };
        Type type = None;
        QString label;
        int value = 0;
        QVector<Item> items;
        QStringList off_args;
        QStringList on_args;

        QStringList chosenArguments() const;
    };

    // False (with the reason in error) when the file is missing or is not
    // a settings document.
    bool load(const QString &path, QString &error);
    bool parse(const QByteArray &bytes, QString &error);

    const QString &name() const { return name_; }
    const QString &binary() const { return binary_; }
    bool show() const { return show_; }
    const QString &banner() const { return banner_; }
    const QStringList &args() const { return args_; }
    QVector<Parameter> &parameters() { return parameters_; }
    const QVector<Parameter> &parameters() const { return parameters_; }

    // The executable "binary" names (Release, Development or Debug); the
    // first non-empty path when that one is empty.
    QString executable() const;
    // Every parameter's chosen arguments in order, then "args".
    QStringList commandLine() const;

private:
    QString name_;
    QString binary_;
    QString release_;
    QString dev_;
    QString debug_;
    QString banner_;
    bool show_ = true;
    QStringList args_;
    QVector<Parameter> parameters_;
};
