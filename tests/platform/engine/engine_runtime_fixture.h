#pragma once

// Shared pieces of the engine runtime tests: a temporary installation with a
// data folder, a recording editor logic, an application window stand-in and
// a log capture.

#include "velmora/Base.h"
#include "velmora/Console.h"
#include "velmora/Engine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <algorithm>
#include <string>
#include <vector>

namespace enginetest {

// 40-digit GUID text of the fixture shorthand: five letters, 32 zeros, three digits.
inline QByteArray guid(char letter, int number)
{
    return QByteArray(5, letter) + QByteArray(32, '0') + QByteArray::number(number).rightJustified(3, '0');
}

class RecordingLogic : public Velmora::EditorLogicInterface
{
public:
    QStringList calls;
    void init() override { calls << QStringLiteral("init"); }
    void update() override { ++updates; }
    void worldInit() override { calls << QStringLiteral("worldInit"); }
    void worldShutdown() override { calls << QStringLiteral("worldShutdown"); }
    void worldSave() override { calls << QStringLiteral("worldSave"); }
    void nodeRemoved(int id) override { calls << QStringLiteral("nodeRemoved %1").arg(id); }
    void compileBegin() override { calls << QStringLiteral("compileBegin"); }
    void compileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining) override;
    void compileEnd() override { calls << QStringLiteral("compileEnd"); }
    int updates = 0;
};

class FakeApp : public Velmora::App
{
public:
    FakeApp(int width = 64, int height = 48)
        : width_(width)
        , height_(height)
    {}
    int getViewWidth() const override { return width_; }
    int getViewHeight() const override { return height_; }
    void presentFrame(const QImage &frame) override { frames << frame; }
    void requestQuit() override { ++quit_requests; }

    QVector<QImage> frames;
    int quit_requests = 0;

private:
    int width_;
    int height_;
};

// Collects console output (log lines included) from the moment it is made.
class LogCapture
{
public:
    LogCapture()
    {
        handle_ = Velmora::Console::addOutputCallback(
                new Velmora::CallbackFunction2<const char *, int>([this](const char *text, int kind) {
                    QMutexLocker lock(&mutex_);
                    lines_ << QString::fromUtf8(text);
                    kinds_ << kind;
                }));
    }
    ~LogCapture() { Velmora::Console::removeOutputCallback(handle_); }

    // Lines of that kind (-1: all) containing text.
    int count(const QString &text, int kind = -1) const
    {
        QMutexLocker lock(&mutex_);
        int n = 0;
        for (int i = 0; i < lines_.size(); ++i) {
            if ((kind < 0 || kinds_[i] == kind) && lines_[i].contains(text))
                ++n;
        }
        return n;
    }
    int errors() const
    {
        QMutexLocker lock(&mutex_);
        return int(std::count(kinds_.begin(), kinds_.end(), 2));
    }
    void clear()
    {
        QMutexLocker lock(&mutex_);
        lines_.clear();
        kinds_.clear();
    }
    QString text() const
    {
        QMutexLocker lock(&mutex_);
        return lines_.join(QString());
    }

private:
    void *handle_ = nullptr;
    mutable QMutex mutex_;
    QStringList lines_;
    QVector<int> kinds_;
};

// A temporary installation: <root>/bin, <root>/data, <root>/cache.
class Installation
{
public:
    Installation()
    {
        QDir(root()).mkpath(QStringLiteral("bin"));
        QDir(root()).mkpath(QStringLiteral("data"));
    }
    ~Installation() { stop(); }

    bool isValid() const { return dir_.isValid(); }
    QString root() const { return dir_.path(); }
    QString dataPath() const { return root() + QStringLiteral("/data/"); }
    QString binPath() const { return root() + QStringLiteral("/bin/"); }
    QString cachePath() const { return root() + QStringLiteral("/cache/"); }

    bool writeData(const QString &relative, const QByteArray &content) const
    {
        return writeAbsolute(dataPath() + relative, content);
    }
    // A data file and its asset meta file.
    bool writeAsset(const QString &relative, const QByteArray &content, const QByteArray &guid, int type) const
    {
        const QByteArray meta = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"" + guid
                + "\" type=\"" + QByteArray::number(type) + "\" excluded=\"0\"/>\n";
        return writeData(relative, content) && writeData(relative + QStringLiteral(".meta"), meta);
    }
    static bool writeAbsolute(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    QByteArray readData(const QString &relative) const
    {
        QFile file(dataPath() + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts the engine with the installation's folders, a fixed step and
    // the extra arguments.
    Velmora::Engine *start(const QStringList &extra = {}, Velmora::App *app = nullptr,
                           Velmora::EditorLogicInterface *logic = nullptr)
    {
        QStringList args{QStringLiteral("engine_test"),
                         QStringLiteral("-binaries_path"),
                         binPath(),
                         QStringLiteral("-data_path"),
                         dataPath(),
                         QStringLiteral("-cache_path"),
                         cachePath(),
                         QStringLiteral("-fixed_ifps"),
                         QStringLiteral("0.1")};
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
    void stop()
    {
        if (Velmora::Engine::get())
            Velmora::Engine::shutdown();
    }
    // One whole frame.
    static void frame()
    {
        Velmora::Engine *engine = Velmora::Engine::get();
        engine->update();
        engine->render();
        engine->swap();
    }

private:
    QTemporaryDir dir_;
    std::vector<std::string> storage_;
    std::vector<char *> pointers_;
};

// A unit cube as OBJ text, centred on the origin, side 2.
inline QByteArray cubeMesh(const char *surface = "body", const char *material = nullptr)
{
    QByteArray text = "# cube\n";
    text += "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n";
    text += QByteArray("g ") + surface + "\n";
    if (material)
        text += QByteArray("usemtl ") + material + "\n";
    text += "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n";
    return text;
}

} // namespace enginetest

#include "velmora/Material.h"

inline void enginetest::RecordingLogic::compileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining)
{
    const QString name = material ? QString::fromUtf8(material->getName()) : QStringLiteral("<null>");
    calls << QStringLiteral("compile %1 %2").arg(name.isEmpty() ? QStringLiteral("<unnamed>") : name).arg(remaining);
}
