#pragma once

// A running engine and asset manager over a small data folder whose world
// shows four textured quads to a view: two texture assets, a core asset
// (the white texture of untextured materials) and a plain file without a
// meta file; one material names a texture that does not exist and one a
// texture no node uses.

#include "analysis_fixture.h"
#include "project_builder.h"

#include <velmora/Engine.h>
#include <velmora/Materials.h>
#include <velmora/Player.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace proftest {

inline QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(200, 120, 40, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline QByteArray material(const char *name, const char *texture)
{
    QByteArray text = QByteArray("<material name=\"") + name + "\">";
    if (texture)
        text += QByteArray("<texture name=\"albedo\">") + texture + "</texture>";
    return text + "</material>";
}

// A quad facing -Y at x on the X axis.
inline QByteArray quad(int id, const char *name, const char *material_name, float x)
{
    return QByteArray("<node type=\"ObjectMeshStatic\" id=\"") + QByteArray::number(id) + "\" name=\"" + name
            + "\"><transform>1 0 0 0  0 1 0 0  0 0 1 0  " + QByteArray::number(x)
            + " 0 0 1</transform><mesh_name>meshes/quad.mesh</mesh_name><surface name=\"face\"><material>"
            + material_name + "</material></surface></node>";
}

// The engine's view of the tests: a camera in front of the quads; records
// what the streaming settings were while each frame was presented.
class CameraView : public Velmora::View
{
public:
    CameraView()
    {
        player_ = Velmora::PlayerDummy::create();
        player_->lookAt(Velmora::vec3(0.0f, -10.0f, 0.0f), Velmora::vec3(0.0f, 0.0f, 0.0f));
    }
    Velmora::Ptr<Velmora::Player> getViewPlayer() const override { return player_; }
    int getViewWidth() const override { return 64; }
    int getViewHeight() const override { return 48; }
    void presentFrame(const QImage &) override
    {
        ++frames;
        limits << qMakePair(Velmora::Render::getStreamingTexturesMemoryLimit(),
                            Velmora::Render::getStreamingDestroyDuration());
    }
    int frames = 0;
    QVector<QPair<int, int>> limits;

private:
    Velmora::Ptr<Velmora::PlayerDummy> player_;
};

// GUIDs of the fixture's texture assets.
inline Velmora::UGUID bigGuid()
{
    return inastest::guid('a', 101);
}
inline Velmora::UGUID smallGuid()
{
    return inastest::guid('a', 102);
}
inline Velmora::UGUID umlautGuid()
{
    return inastest::guid('a', 103);
}
inline Velmora::UGUID whiteGuid()
{
    return inastest::guid('c', 1);
}

class ProfilerFixture
{
public:
    bool start()
    {
        // Images are written as they are: the builder expands GUID
        // shorthands in the text it writes.
        const QMap<QString, QByteArray> images{
                {QStringLiteral("core/textures/white.png"), png(4, 4)},
                {QStringLiteral("textures/big.png"), png(64, 32)},
                {QStringLiteral("textures/small.png"), png(16, 8)},
                {QStringLiteral("textures/loose.png"), png(8, 8)},
                {QStringLiteral("textures/unused.png"), png(2, 2)},
                {QStringLiteral("textures/odd: name.png"), png(2, 2)},
                {QStringLiteral("textures/größe.png"), png(2, 2)},
        };
        test::ProjectBuilder builder(dir_.path());
        builder.asset(QStringLiteral("core/textures/white.png"), QByteArray(), QStringLiteral("{c001}"))
                .asset(QStringLiteral("textures/big.png"), QByteArray(), QStringLiteral("{a101}"))
                .asset(QStringLiteral("textures/small.png"), QByteArray(), QStringLiteral("{a102}"))
                .asset(QStringLiteral("textures/größe.png"), QByteArray(), QStringLiteral("{a103}"))
                .file(QStringLiteral("materials/big.mat"), material("big", "textures/big.png"))
                .file(QStringLiteral("materials/small.mat"), material("small", "textures/small.png"))
                .file(QStringLiteral("materials/loose.mat"), material("loose", "textures/loose.png"))
                .file(QStringLiteral("materials/plain.mat"), material("plain", nullptr))
                .file(QStringLiteral("materials/ghost.mat"), material("ghost", "textures/missing.png"))
                .file(QStringLiteral("materials/unused.mat"), material("unused", "textures/unused.png"))
                .file(QStringLiteral("meshes/quad.mesh"),
                      "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                      "g face\nf 1/1 2/2 3/3 4/4\n")
                .file(QStringLiteral("street.world"),
                      "<world>" + quad(1, "big", "big", -4.5f) + quad(2, "small", "small", -1.5f)
                              + quad(3, "loose", "loose", 1.5f) + quad(4, "plain", "plain", 4.5f) + "</world>");
        for (auto it = images.begin(); it != images.end(); ++it) {
            QDir().mkpath(QFileInfo(builder.dataPath() + it.key()).absolutePath());
            QFile file(builder.dataPath() + it.key());
            if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
                return false;
        }
        if (!builder.ok() || !analysis_.start(builder.dataPath()))
            return false;
        Velmora::Engine::get()->addView(&view);
        return Velmora::World::load("street");
    }
    ~ProfilerFixture()
    {
        if (Velmora::Engine *engine = Velmora::Engine::get())
            engine->removeView(&view);
    }

    static void frame()
    {
        Velmora::Engine *engine = Velmora::Engine::get();
        engine->update();
        engine->render();
        engine->swap();
    }

    Editor::AssetManagerPrivate *assets() const { return analysis_.assets(); }
    QString dataPath() const { return analysis_.dataPath(); }
    bool rescan() { return analysis_.rescan(); }

    CameraView view;

private:
    QTemporaryDir dir_;
    inastest::AnalysisFixture analysis_;
};

} // namespace proftest
