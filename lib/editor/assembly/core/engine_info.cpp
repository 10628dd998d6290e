#include "editor/assembly/core/engine_info.h"

#include "editor/assembly/core/path_utils.h"

#include <velmora/Engine.h>
#include <velmora/FileSystem.h>

#include <QDir>
#include <QFileInfo>
#include <QtDebug>

namespace assembly {

namespace {

Velmora::Engine *runningEngine(const char *query)
{
    Velmora::Engine *engine = Velmora::Engine::get();
    if (!engine)
        qWarning() << "Build Tool: the engine is not running, no answer for" << query;
    return engine;
}

QString folder(const Velmora::String &path)
{
    if (path.empty())
        return QString();
    return normalizePath(QFileInfo(QString::fromUtf8(path.get())).absoluteFilePath());
}

QString file(const QString &path)
{
    if (path.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

System getCurrentSystem()
{
#if defined(Q_OS_WIN)
    return System::Windows;
#else
    return System::Linux;
#endif
}

Precision getCurrentPrecision()
{
    return Precision::Float;
}

Binary EngineInfo::getBinary()
{
    // Asked by every fresh options record, so no engine is not worth a log line.
    Velmora::Engine *engine = Velmora::Engine::get();
    return binaryFromConfiguration(engine ? engine->getBuildConfiguration() : -1);
}

Binary EngineInfo::binaryFromConfiguration(int configuration)
{
    switch (configuration) {
    case 1:
        return Binary::Development;
    case 2:
        return Binary::Release;
    default:
        return Binary::Debug;
    }
}

QString getExeDir()
{
    Velmora::Engine *engine = runningEngine("getExeDir");
    return engine ? folder(engine->getBinariesPath()) : QString();
}

QString getCacheDir()
{
    Velmora::Engine *engine = runningEngine("getCacheDir");
    return engine ? folder(engine->getCachePath()) : QString();
}

QString getDataDir()
{
    Velmora::Engine *engine = runningEngine("getDataDir");
    return engine ? folder(engine->getDataPath()) : QString();
}

QString getSystemCacheFilePath()
{
    Velmora::Engine *engine = runningEngine("getSystemCacheFilePath");
    return engine ? file(QString::fromUtf8(engine->getSystemCacheFile().get())) : QString();
}

QString getEditorCacheFilePath()
{
    Velmora::Engine *engine = runningEngine("getEditorCacheFilePath");
    if (!engine)
        return QString();
    const Velmora::String name = engine->getEditorCacheFile();
    QString path = QString::fromUtf8(name.get());
    // A bare name that the engine's file system does not know lives in the
    // cache folder.
    if (!path.isEmpty() && QDir::isRelativePath(path) && !Velmora::FileSystem::isVirtualFile(name.get()))
        path = QString::fromUtf8(engine->getCachePath().get()) + path;
    return file(path);
}

} // namespace assembly
