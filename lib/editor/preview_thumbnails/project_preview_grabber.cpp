#include "editor/preview_thumbnails/project_preview_grabber.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/WorldControls.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Engine.h>
#include <velmora/Game.h>
#include <velmora/Image.h>
#include <velmora/Player.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {
constexpr int RENDER_WIDTH = 540;
constexpr int RENDER_HEIGHT = 304;
constexpr int THUMBNAIL_WIDTH = 270;
constexpr int THUMBNAIL_HEIGHT = 152;
constexpr int IMAGE_FORMAT_RGB8 = 2;
constexpr int RESIZE_LINEAR = 1;
} // namespace

ProjectPreviewGrabber::ProjectPreviewGrabber(QObject *parent)
    : QObject(parent)
{
    EditorLogic *logic = depr::g.editor;
    if (!logic)
        return;
    connect(logic, &EditorLogic::onWorldSave, this, &ProjectPreviewGrabber::onWorldSave);

    auto holder = std::make_shared<QMetaObject::Connection>();
    *holder = connect(logic, &EditorLogic::onUpdate, this, [this, holder]() mutable {
        if (Velmora::Game::getTime() < STARTUP_GRAB_TIME)
            return;
        grab(false);
        disconnect(*holder);
        holder.reset();
    });
}

ProjectPreviewGrabber::~ProjectPreviewGrabber() = default;

QString ProjectPreviewGrabber::thumbnailPath(const QString &data_path, const QString &world_name)
{
    QString name = world_name;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return data_path + QLatin1String(".thumbnails/") + name + QLatin1String(".png");
}

bool ProjectPreviewGrabber::grab(bool force)
{
    ViewportManager *viewports = depr::g.viewports;
    ViewportWindow *viewport = viewports ? viewports->getCurrentViewportWindow() : nullptr;
    if (!viewport)
        return false;
    const Velmora::Ptr<Velmora::Player> player = viewport->getPlayer();
    if (!player)
        return false;
    if (!Velmora::World::isLoaded())
        return false;
    WorldControls *world_controls = depr::g.world_controls;
    const QString world_name = world_controls ? world_controls->getWorldName() : QString();
    Velmora::Engine *engine = Velmora::Engine::get();
    if (world_name.isEmpty() || !engine)
        return false;

    const QString data_path = QString::fromUtf8(engine->getDataPath().get());
    QDir(data_path).mkpath(QStringLiteral(".thumbnails"));
    const QString path = thumbnailPath(data_path, world_name);
    if (!force && QFileInfo::exists(path))
        return false;

    Velmora::Ptr<Velmora::Image> image = Velmora::Image::create();
    Velmora::Render::renderImage2D(player->getCamera(), image, RENDER_WIDTH, RENDER_HEIGHT, 0, 0);
    image->convertToFormat(IMAGE_FORMAT_RGB8);
    image->resize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, RESIZE_LINEAR);
    image->save(path.toUtf8().constData());
    return true;
}

void ProjectPreviewGrabber::onWorldSave()
{
    grab(true);
}
