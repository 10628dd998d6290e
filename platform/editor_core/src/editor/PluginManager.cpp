#include "editor_core/editor/PluginManager.h"

#include <velmora/Log.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPluginLoader>

namespace Editor {

namespace {

PluginManager *s_instance = nullptr;

PluginManager *requireInstance(const char *call)
{
    if (!s_instance)
        Velmora::Log::error("PluginManager::%s: there is no plug-in manager\n", call);
    return s_instance;
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

// The files QPluginLoader would try for a library name.
bool libraryExists(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return true;
    const QString dir = info.absolutePath() + QLatin1Char('/');
    const QString name = info.fileName();
    const QStringList candidates
            = {dir + name + QStringLiteral(".so"), dir + QStringLiteral("lib") + name + QStringLiteral(".so")};
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isFile())
            return true;
    return false;
}

// Reads one description; false (with the reason) when it is not one.
bool readSpec(const QString &file_path, PluginSpec &spec, QString &error)
{
    QFile file(file_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    QJsonParseError parse_error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parse_error);
    if (parse_error.error != QJsonParseError::NoError) {
        error = parse_error.errorString();
        return false;
    }
    if (!document.isObject()) {
        error = QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    spec.name = object.value(QStringLiteral("name")).toString();
    spec.version = object.value(QStringLiteral("version")).toString();
    spec.library = object.value(QStringLiteral("library")).toString();
    if (spec.name.isEmpty() || spec.library.isEmpty()) {
        error = QStringLiteral("\"name\" and \"library\" must be non-empty texts");
        return false;
    }
    const QFileInfo info(file_path);
    spec.spec_path = info.absoluteFilePath();
    spec.library_path = QFileInfo(spec.library).isRelative()
            ? QDir::cleanPath(info.absoluteDir().absoluteFilePath(spec.library))
            : QDir::cleanPath(spec.library);
    return true;
}

} // namespace

PluginManager::PluginManager(QObject *parent)
    : QObject(parent)
{
    if (s_instance)
        Velmora::Log::warning("PluginManager: a second plug-in manager replaces the first\n");
    s_instance = this;
}

PluginManager::~PluginManager()
{
    if (s_instance == this) {
        unloadPlugins();
        s_instance = nullptr;
    }
    for (Entry &entry : entries_)
        delete entry.loader;
}

PluginManager *PluginManager::instance()
{
    return s_instance;
}

void PluginManager::loadPluginSpecs(const QStringList &folders)
{
    PluginManager *self = requireInstance("loadPluginSpecs");
    if (!self)
        return;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        if (!dir.exists())
            continue;
        const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString &name : files) {
            PluginSpec spec;
            QString error;
            if (!readSpec(dir.absoluteFilePath(name), spec, error)) {
                Velmora::Log::warning("PluginManager: %s is not a plug-in description: %s\n",
                                      utf8(dir.absoluteFilePath(name)).constData(), utf8(error).constData());
                continue;
            }
            bool duplicate = false;
            for (const Entry &entry : qAsConst(self->entries_))
                duplicate = duplicate || entry.spec.name == spec.name;
            if (duplicate) {
                Velmora::Log::warning("PluginManager: plug-in \"%s\" is described twice; %s is "
                                      "ignored\n",
                                      utf8(spec.name).constData(), utf8(spec.spec_path).constData());
                continue;
            }
            Entry entry;
            entry.spec = spec;
            self->entries_.append(entry);
        }
    }
    emit self->pluginsChanged();
}

void PluginManager::loadPlugins()
{
    PluginManager *self = requireInstance("loadPlugins");
    if (!self)
        return;
    for (Entry &entry : self->entries_) {
        if (entry.spec.loaded)
            continue;
        if (!libraryExists(entry.spec.library_path)) {
            entry.spec.error = QStringLiteral("library not found");
            Velmora::Log::warning("PluginManager: the library of plug-in \"%s\" is missing: %s\n",
                                  utf8(entry.spec.name).constData(), utf8(entry.spec.library_path).constData());
            continue;
        }
        auto *loader = new QPluginLoader(entry.spec.library_path, self);
        if (!loader->load()) {
            entry.spec.error = loader->errorString();
            Velmora::Log::warning("PluginManager: plug-in \"%s\" cannot be loaded: %s\n",
                                  utf8(entry.spec.name).constData(), utf8(entry.spec.error).constData());
            delete loader;
            continue;
        }
        entry.loader = loader;
        entry.spec.loaded = true;
        entry.spec.error.clear();
        Velmora::Log::message("PluginManager: plug-in \"%s\" %s loaded\n", utf8(entry.spec.name).constData(),
                              utf8(entry.spec.version).constData());
    }
    emit self->pluginsChanged();
}

void PluginManager::unloadPlugins()
{
    PluginManager *self = s_instance;
    if (!self)
        return;
    // Last loaded, first unloaded.
    for (int i = self->entries_.size() - 1; i >= 0; --i) {
        Entry &entry = self->entries_[i];
        if (entry.loader) {
            entry.loader->unload();
            delete entry.loader;
            entry.loader = nullptr;
        }
    }
    self->entries_.clear();
    emit self->pluginsChanged();
}

QVector<PluginSpec> PluginManager::plugins()
{
    QVector<PluginSpec> specs;
    if (s_instance)
        for (const Entry &entry : qAsConst(s_instance->entries_))
            specs.append(entry.spec);
    return specs;
}

QObject *PluginManager::pluginInstance(const QString &name)
{
    if (!s_instance)
        return nullptr;
    for (const Entry &entry : qAsConst(s_instance->entries_))
        if (entry.spec.name == name && entry.loader)
            return entry.loader->instance();
    return nullptr;
}

} // namespace Editor
