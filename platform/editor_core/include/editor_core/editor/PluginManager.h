#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QPluginLoader;

namespace Editor {

// One editor plug-in description: a "*.json" file
// {"name": ..., "version": ..., "library": ...}.
struct PluginSpec
{
    QString name;
    QString version;
    // As written in the file; relative names are relative to the file.
    QString library;
    // Absolute paths of the description file and of the library.
    QString spec_path;
    QString library_path;
    bool loaded = false;
    // Why loading failed ("" when it did not).
    QString error;
};

// Editor plug-ins: descriptions read from folders, libraries loaded with
// QPluginLoader. The application makes one instance; the static calls act
// on it (and log an error when there is none). No plug-in is the normal
// case; a description naming a missing library logs a warning.
class PluginManager : public QObject
{
    Q_OBJECT

public:
    explicit PluginManager(QObject *parent = nullptr);
    // Unloads what is still loaded.
    ~PluginManager() override;

    static PluginManager *instance();

    // Reads every "*.json" file of the folders (sorted by name); a broken
    // file is skipped with a warning. Adds to the specs already read.
    static void loadPluginSpecs(const QStringList &folders);
    // Loads the library of every spec not loaded yet.
    static void loadPlugins();
    // Unloads every loaded library and forgets the specs.
    static void unloadPlugins();
    static QVector<PluginSpec> plugins();
    // The root object of a loaded plug-in, null when not loaded.
    static QObject *pluginInstance(const QString &name);

signals:
    void pluginsChanged();

private:
    struct Entry
    {
        PluginSpec spec;
        QPluginLoader *loader = nullptr;
    };
    QVector<Entry> entries_;
};

} // namespace Editor
