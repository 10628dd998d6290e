#include "installation.h"

#include "asset_files.h"

#include <velmora/Engine.h>

#include <QDir>

namespace test {

Installation::Installation()
{
    for (const char *folder : {"bin", "data", "cache"})
        QDir(dir_.path()).mkpath(QString::fromLatin1(folder));
}

Installation::~Installation()
{
    stop();
}

QString Installation::root() const
{
    return QDir::cleanPath(dir_.path()) + QLatin1Char('/');
}

bool Installation::write(const QString &relative, const QByteArray &content) const
{
    return writeFile(root() + relative, content);
}

bool Installation::writeData(const QString &relative, const QByteArray &content) const
{
    return writeFile(dataPath() + relative, content);
}

bool Installation::writeAsset(const QString &relative, const QByteArray &content, const QByteArray &guid_text,
                              int type) const
{
    return test::writeAsset(dataPath(), relative, guid_text, type, content);
}

QByteArray Installation::readData(const QString &relative) const
{
    return read(dataPath() + relative);
}

bool Installation::writeFile(const QString &path, const QByteArray &content)
{
    return test::writeFile(path, content);
}

QByteArray Installation::read(const QString &path)
{
    return readFile(path);
}

QString Installation::shaderCacheName()
{
    return Velmora::Engine::get()->getBuildConfiguration() == 0 ? QStringLiteral("shader_gl_debug.cache")
                                                                : QStringLiteral("shader_gl.cache");
}

Velmora::Engine *Installation::start(const QStringList &extra, Velmora::App *app, Velmora::EditorLogicInterface *logic)
{
    QStringList args{QStringLiteral("test_engine"),
                     QStringLiteral("-binaries_path"),
                     binPath(),
                     QStringLiteral("-data_path"),
                     dataPath(),
                     QStringLiteral("-cache_path"),
                     cachePath()};
    args << extra;
    storage_.clear();
    for (const QString &arg : args)
        storage_.push_back(arg.toStdString());
    pointers_.clear();
    for (std::string &arg : storage_)
        pointers_.push_back(&arg[0]);
    Velmora::Engine *engine
            = Velmora::Engine::init(Velmora::ENGINE_VERSION, app, int(pointers_.size()), pointers_.data());
    if (engine && logic)
        engine->setEditorLogic(logic);
    return engine;
}

void Installation::stop()
{
    if (Velmora::Engine::get())
        Velmora::Engine::shutdown();
}

} // namespace test
