#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace Velmora {
class App;
class EditorLogicInterface;
class Engine;
} // namespace Velmora

namespace test {

// An engine installation in a temporary folder: <root>/bin/, <root>/data/,
// <root>/cache/. It can write files into itself and start the engine on its
// folders; the engine is shut down when it goes.
class Installation
{
public:
    Installation();
    virtual ~Installation();
    Installation(const Installation &) = delete;
    Installation &operator=(const Installation &) = delete;

    bool isValid() const { return dir_.isValid(); }
    // Absolute, each ending with "/".
    QString root() const;
    QString binPath() const { return root() + QStringLiteral("bin/"); }
    QString dataPath() const { return root() + QStringLiteral("data/"); }
    QString cachePath() const { return root() + QStringLiteral("cache/"); }

    // A file under the root, or under the data folder, with its folders.
    bool write(const QString &relative, const QByteArray &content = QByteArray("x")) const;
    bool writeData(const QString &relative, const QByteArray &content) const;
    // A data file and its asset meta file.
    bool writeAsset(const QString &relative, const QByteArray &content, const QByteArray &guid_text, int type) const;
    QByteArray readData(const QString &relative) const;

    static bool writeFile(const QString &path, const QByteArray &content = QByteArray("x"));
    static QByteArray read(const QString &path);
    // The running engine's shader cache file name (its build configuration's).
    static QString shaderCacheName();

    // Starts the engine with the installation's folders, then the extra
    // arguments; the logic, when given, is set on the started engine.
    virtual Velmora::Engine *start(const QStringList &extra = {}, Velmora::App *app = nullptr,
                                   Velmora::EditorLogicInterface *logic = nullptr);
    static void stop();

private:
    QTemporaryDir dir_;
    std::vector<std::string> storage_;
    std::vector<char *> pointers_;
};

} // namespace test
