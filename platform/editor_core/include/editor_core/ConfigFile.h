#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

class QSettings;

// One settings file: typed reads with defaults and writes that reach the disk
// at once. Keys are "section/name".
class ConfigFile
{
public:
    // Wraps settings without owning them.
    explicit ConfigFile(QSettings *settings);

    bool exists(const QString &key) const;
    QString getString(const QString &key, const QString &default_value = QString()) const;
    bool getBool(const QString &key, bool default_value = false) const;
    int getInt(const QString &key, int default_value = 0) const;
    QByteArray getBytes(const QString &key, const QByteArray &default_value = QByteArray()) const;
    QVariant getVariant(const QString &key, const QVariant &default_value = QVariant()) const;

    // Writes the value and syncs the file.
    void set(const QString &key, const QVariant &value);
    void remove(const QString &key);
    void sync();

    QSettings *settings() const { return settings_; }

private:
    QSettings *settings_ = nullptr;
};

// One entry of a settings section: the file and the key in it.
struct ConfigEntry
{
    ConfigFile *file = nullptr;
    QString key;

    // The stored bytes, or default_value when there are none.
    QByteArray getBytes(const QByteArray &default_value = QByteArray()) const;
    static QByteArray getBytes(const ConfigEntry &entry, const QByteArray &default_value);

    bool exists() const { return file && file->exists(key); }
};
