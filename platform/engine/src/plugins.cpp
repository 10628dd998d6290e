#include "velmora/Engine.h"
#include "velmora/Log.h"
#include "velmora/Plugin.h"

#include "engine_internal.h"

#include <QFileInfo>
#include <QLibrary>

#include <vector>

namespace Velmora {

namespace {

struct PluginEntry
{
    Plugin *plugin = nullptr;
    // Set for plug-ins loaded from a module; null for added ones.
    VelmoraReleasePluginFunction release = nullptr;
};

std::vector<PluginEntry> &plugins()
{
    static std::vector<PluginEntry> list;
    return list;
}

bool startPlugin(Plugin *plugin, const char *what)
{
    if (plugin->getVersion() != ENGINE_VERSION) {
        Log::error("Engine: plug-in %s has version 0x%08X, expected 0x%08X\n", what, unsigned(plugin->getVersion()),
                   unsigned(ENGINE_VERSION));
        return false;
    }
    if (!plugin->init()) {
        Log::error("Engine: plug-in %s failed to initialise\n", what);
        return false;
    }
    return true;
}

// Hooks may add or remove plug-ins: walk a copy and skip the removed ones.
template<typename Hook>
void forEachPlugin(Hook hook)
{
    const std::vector<PluginEntry> list = plugins();
    for (const PluginEntry &entry : list) {
        for (const PluginEntry &live : plugins()) {
            if (live.plugin == entry.plugin) {
                hook(entry.plugin);
                break;
            }
        }
    }
}

} // namespace

bool Engine::addPlugin(Plugin *plugin)
{
    if (!plugin)
        return false;
    for (const PluginEntry &entry : plugins())
        if (entry.plugin == plugin)
            return false;
    if (!startPlugin(plugin, plugin->getName() ? plugin->getName() : "(unnamed)"))
        return false;
    plugins().push_back(PluginEntry{plugin, nullptr});
    return true;
}

void Engine::removePlugin(Plugin *plugin)
{
    std::vector<PluginEntry> &list = plugins();
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].plugin != plugin)
            continue;
        const PluginEntry entry = list[i];
        list.erase(list.begin() + long(i));
        entry.plugin->shutdown();
        if (entry.release)
            entry.release(entry.plugin);
        return;
    }
}

int Engine::getNumPlugins() const
{
    return int(plugins().size());
}

Plugin *Engine::getPlugin(int index) const
{
    return index >= 0 && index < int(plugins().size()) ? plugins()[size_t(index)].plugin : nullptr;
}

Plugin *Engine::findPlugin(const char *name) const
{
    if (!name)
        return nullptr;
    for (const PluginEntry &entry : plugins()) {
        const char *own = entry.plugin->getName();
        if (own && qstrcmp(own, name) == 0)
            return entry.plugin;
    }
    return nullptr;
}

namespace engine_internal {

void pluginsLoad(const std::vector<std::string> &args, const String &binaries_path, bool debug)
{
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] != "-extern_plugin")
            continue;
        const QString name = QString::fromStdString(args[i + 1]).trimmed();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
            Log::error("Engine: -extern_plugin: bad plug-in name \"%s\"\n", args[i + 1].c_str());
            continue;
        }
        // The module of this build first, then the other configuration's.
        const QString folder = QString::fromUtf8(binaries_path.get());
        QStringList candidates{folder + QStringLiteral("lib%1_x64.so").arg(name),
                               folder + QStringLiteral("lib%1_x64d.so").arg(name)};
        if (debug)
            candidates.swapItemsAt(0, 1);
        QString path;
        for (const QString &candidate : candidates)
            if (QFileInfo::exists(candidate)) {
                // The real file, so that a linked module finds the libraries
                // beside it.
                path = QFileInfo(candidate).canonicalFilePath();
                break;
            }
        const QByteArray utf8 = name.toUtf8();
        if (path.isEmpty()) {
            Log::error("Engine: cannot find the plug-in %s (%s)\n", utf8.constData(),
                       candidates.first().toUtf8().constData());
            continue;
        }
        // The module stays loaded until the process ends: objects it made
        // (script windows, callbacks) may outlive the plug-in.
        QLibrary library(path);
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        auto create = reinterpret_cast<VelmoraCreatePluginFunction>(library.resolve("CreatePlugin"));
        auto release = reinterpret_cast<VelmoraReleasePluginFunction>(library.resolve("ReleasePlugin"));
        if (!create || !release) {
            Log::error("Engine: cannot load the plug-in %s: %s\n", utf8.constData(),
                       library.errorString().toUtf8().constData());
            continue;
        }
        Plugin *plugin = create();
        if (!plugin) {
            Log::error("Engine: the plug-in %s made no plug-in object\n", utf8.constData());
            continue;
        }
        if (!startPlugin(plugin, utf8.constData())) {
            release(plugin);
            continue;
        }
        plugins().push_back(PluginEntry{plugin, release});
        Log::message("Engine: plug-in %s loaded\n", utf8.constData());
    }
}

void pluginsUpdateMouse()
{
    forEachPlugin([](Plugin *plugin) { plugin->updateMouse(); });
}

void pluginsUpdate()
{
    forEachPlugin([](Plugin *plugin) { plugin->update(); });
}

void pluginsResetWindows()
{
    forEachPlugin([](Plugin *plugin) { plugin->resetWindows(); });
}

void pluginsShutdown()
{
    // Last loaded, first gone.
    while (!plugins().empty()) {
        const PluginEntry entry = plugins().back();
        plugins().pop_back();
        entry.plugin->shutdown();
        if (entry.release)
            entry.release(entry.plugin);
    }
}

} // namespace engine_internal
} // namespace Velmora
