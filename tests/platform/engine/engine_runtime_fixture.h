#pragma once

// Shared pieces of the engine runtime tests: the shared temporary
// installation with a fixed engine step, a recording editor logic, an
// application window stand-in and the shared log capture.

#include "asset_files.h"
#include "installation.h"
#include "log_capture.h"

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
#include <QWindow>

#include <algorithm>
#include <string>
#include <vector>

namespace enginetest {

// 40-digit GUID text of the fixture shorthand: five letters, 32 zeros, three digits.
inline QByteArray guid(char letter, int number)
{
    return test::guidText(letter, number);
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

// The engine's window as plug-ins see it: a real native window at (100, 50),
// 640 x 480, with the mouse buttons the test holds.
class WindowApp : public FakeApp
{
public:
    WindowApp()
        : FakeApp(640, 480)
    {
        window.setGeometry(100, 50, 640, 480);
        window.show();
    }
    void *getNativeHandle() const override { return reinterpret_cast<void *>(window.winId()); }
    int getWindowPositionX() const override { return 100; }
    int getWindowPositionY() const override { return 50; }
    int getMouseButtons() const override { return buttons; }
    void changeMouseButtons(int value) override { buttons = value; }

    mutable QWindow window;
    int buttons = 0;
};

using test::LogCapture;

// A temporary installation whose engine runs with a fixed step.
class Installation : public test::Installation
{
public:
    using test::Installation::writeFile;
    static bool writeAbsolute(const QString &path, const QByteArray &content) { return writeFile(path, content); }

    Velmora::Engine *start(const QStringList &extra = {}, Velmora::App *app = nullptr,
                           Velmora::EditorLogicInterface *logic = nullptr) override
    {
        return test::Installation::start(QStringList{QStringLiteral("-fixed_ifps"), QStringLiteral("0.1")} + extra, app,
                                         logic);
    }
    // One whole frame.
    static void frame()
    {
        Velmora::Engine *engine = Velmora::Engine::get();
        engine->update();
        engine->render();
        engine->swap();
    }
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
