#include "editor_core/ConfigFile.h"

#include <QSettings>

ConfigFile::ConfigFile(QSettings *settings)
    : settings_(settings)
{}

bool ConfigFile::exists(const QString &key) const
{
    return settings_ && settings_->contains(key);
}

QString ConfigFile::getString(const QString &key, const QString &default_value) const
{
    return exists(key) ? settings_->value(key).toString() : default_value;
}

bool ConfigFile::getBool(const QString &key, bool default_value) const
{
    if (!exists(key))
        return default_value;
    const QVariant value = settings_->value(key);
    // INI files hand values back as text.
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return default_value;
}

int ConfigFile::getInt(const QString &key, int default_value) const
{
    if (!exists(key))
        return default_value;
    bool ok = false;
    const int value = settings_->value(key).toInt(&ok);
    return ok ? value : default_value;
}

QByteArray ConfigFile::getBytes(const QString &key, const QByteArray &default_value) const
{
    return exists(key) ? settings_->value(key).toByteArray() : default_value;
}

QVariant ConfigFile::getVariant(const QString &key, const QVariant &default_value) const
{
    return exists(key) ? settings_->value(key) : default_value;
}

void ConfigFile::set(const QString &key, const QVariant &value)
{
    if (!settings_)
        return;
    settings_->setValue(key, value);
    settings_->sync();
}

void ConfigFile::remove(const QString &key)
{
    if (!settings_)
        return;
    settings_->remove(key);
    settings_->sync();
}

void ConfigFile::sync()
{
    if (settings_)
        settings_->sync();
}

QByteArray ConfigEntry::getBytes(const QByteArray &default_value) const
{
    return file ? file->getBytes(key, default_value) : default_value;
}

QByteArray ConfigEntry::getBytes(const ConfigEntry &entry, const QByteArray &default_value)
{
    return entry.getBytes(default_value);
}
