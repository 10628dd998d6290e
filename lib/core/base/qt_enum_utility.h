#pragma once

#include <editor_core/base/Assert.h>

#include <QByteArray>
#include <QList>
#include <QMetaEnum>
#include <QString>
#include <QStringList>
#include <QVector>

// Key names of enumerations registered with Qt's meta-object system
// (Q_ENUM / Q_ENUM_NS), the form in which files store them. Key names are
// matched exactly (case-sensitive). An alias key shares its value, and the
// first key of a value is its name.
class QtEnumUtility
{
public:
    // The key name of a value. A value without a key is a broken contract:
    // every value handed in comes from the enumeration itself.
    template<typename Enum>
    static const char *toString(Enum value)
    {
        const QMetaEnum me = QMetaEnum::fromType<Enum>();
        EC_ASSERT(me.isValid());
        const char *result = me.valueToKey(static_cast<int>(value));
        EC_ASSERT(result);
        return result;
    }

    // The value of a key name, or default_value when the enumeration has no
    // such key.
    template<typename Enum>
    static Enum fromString(const char *name, Enum default_value)
    {
        const QMetaEnum me = QMetaEnum::fromType<Enum>();
        if (!me.isValid() || !name)
            return default_value;
        bool ok = false;
        const int value = me.keyToValue(name, &ok);
        return ok ? static_cast<Enum>(value) : default_value;
    }

    template<typename Enum>
    static Enum fromString(const QString &name, Enum default_value)
    {
        return fromString<Enum>(name.toUtf8().constData(), default_value);
    }

    template<typename Enum>
    static QStringList toStringList(const QVector<Enum> &values)
    {
        QStringList names;
        names.reserve(values.size());
        for (const Enum value : values)
            names << QString::fromLatin1(toString(value));
        return names;
    }

    // An unknown name yields the value 0 of the enumeration; it is not
    // skipped, so the list keeps its length.
    template<typename Enum>
    static QVector<Enum> fromStringList(const QStringList &names)
    {
        QVector<Enum> values;
        values.reserve(names.size());
        for (const QString &name : names)
            values << fromString<Enum>(name, static_cast<Enum>(0));
        return values;
    }
};
