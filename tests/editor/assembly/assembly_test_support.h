#pragma once

// Shared helpers of the build tool's tests: a temporary engine installation
// that can be started, and a capture of Qt log messages.

#include <velmora/Engine.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace assemblytest {

// <root>/bin/, <root>/data/, <root>/cache/ in a temporary folder.
class Installation
{
public:
    Installation()
    {
        for (const char *folder : {"bin", "data", "cache"})
            QDir(dir_.path()).mkpath(QString::fromLatin1(folder));
    }
    ~Installation() { stop(); }

    QString root() const { return QDir::cleanPath(dir_.path()) + QLatin1Char('/'); }
    QString binPath() const { return root() + QStringLiteral("bin/"); }
    QString dataPath() const { return root() + QStringLiteral("data/"); }
    QString cachePath() const { return root() + QStringLiteral("cache/"); }

    // Writes a file under the root, creating its folders.
    bool write(const QString &relative, const QByteArray &content = QByteArray("x")) const
    {
        return writeFile(root() + relative, content);
    }

    static bool writeFile(const QString &path, const QByteArray &content = QByteArray("x"))
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts the engine with this installation's folders.
    Velmora::Engine *start(const QStringList &extra = {})
    {
        QStringList args{QStringLiteral("assembly_test"),
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
        return Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(pointers_.size()), pointers_.data());
    }

    static void stop()
    {
        if (Velmora::Engine::get())
            Velmora::Engine::shutdown();
    }

private:
    QTemporaryDir dir_;
    std::vector<std::string> storage_;
    std::vector<char *> pointers_;
};

// Collects every Qt message (from any thread) while it exists, and passes it
// on to the previous handler.
class MessageCapture
{
public:
    MessageCapture()
    {
        instance() = this;
        previous_ = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(previous_);
        instance() = nullptr;
    }

    QStringList messages() const
    {
        QMutexLocker lock(&mutex_);
        return messages_;
    }
    QList<QtMsgType> types() const
    {
        QMutexLocker lock(&mutex_);
        return types_;
    }
    // Messages of one type that contain the text.
    int count(QtMsgType type, const QString &text) const
    {
        QMutexLocker lock(&mutex_);
        int result = 0;
        for (int i = 0; i < messages_.size(); ++i)
            result += (types_.at(i) == type && messages_.at(i).contains(text)) ? 1 : 0;
        return result;
    }

private:
    static MessageCapture *&instance()
    {
        static MessageCapture *current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (MessageCapture *capture = instance()) {
            {
                QMutexLocker lock(&capture->mutex_);
                capture->messages_ << message;
                capture->types_ << type;
            }
            if (capture->previous_)
                capture->previous_(type, context, message);
        }
    }

    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList messages_;
    QList<QtMsgType> types_;
};

} // namespace assemblytest
