#include "editor/preview_thumbnails/project_preview_grabber.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Camera.h>
#include <velmora/Engine.h>
#include <velmora/Game.h>
#include <velmora/Image.h>
#include <velmora/Player.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QDir>
#include <QFileInfo>

ProjectPreviewGrabber::ProjectPreviewGrabber(QObject *parent)
    : QObject(parent)
{
    EditorLogic *logic = depr::g.editor;
    if (!logic) {
        qWarning("Preview grabber: there is no editor logic; world previews are not written.");
        return;
    }
    connect(logic, &EditorLogic::onWorldSave, this, &ProjectPreviewGrabber::onWorldSave);

    auto holder = std::make_shared<QMetaObject::Connection>();
    startup_connection_ = holder;
    *holder = connect(logic, &EditorLogic::onUpdate, this, [this, holder]() mutable {
        if (!holder || Velmora::Game::getTime() < STARTUP_GRAB_TIME)
            return;
        grab(false);
        disconnect(*holder);
        holder.reset();
    });
}

ProjectPreviewGrabber::~ProjectPreviewGrabber() = default;

bool ProjectPreviewGrabber::isWaitingForStartUpGrab() const
{
    return !startup_connection_.expired();
}

QString ProjectPreviewGrabber::thumbnailPath(const QString &data_path, const QString &world_name)
{
    QString name = world_name;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return data_path + QLatin1String(".thumbnails/") + name + QLatin1String(".png");
}

QString ProjectPreviewGrabber::worldName(const QString &world_path)
{
    QString name = world_path;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > name.lastIndexOf(QLatin1Char('/')))
        name.truncate(dot);
    return name;
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
    // The name keeps the world's folders, so that worlds of the same file
    // name in different folders get pictures of their own.
    const QString world_name = worldName(QString::fromUtf8(Velmora::World::getPath()));
    Velmora::Engine *engine = Velmora::Engine::get();
    if (world_name.isEmpty() || !engine)
        return false;

    const QString data_path = QString::fromUtf8(engine->getDataPath().get());
    QDir(data_path).mkpath(QStringLiteral(".thumbnails"));
    const QString path = thumbnailPath(data_path, world_name);
    if (!force && QFileInfo::exists(path))
        return false;
    return writeThumbnail(player->getCamera(), path);
}

bool ProjectPreviewGrabber::writeThumbnail(const Velmora::Ptr<Velmora::Camera> &camera, const QString &path)
{
    Velmora::Ptr<Velmora::Image> image = Velmora::Image::create();
    if (!Velmora::Render::renderImage2D(camera, image, RENDER_WIDTH, RENDER_HEIGHT, 0, 0)) {
        qWarning("Preview grabber: the view could not be rendered; \"%s\" is left as it was.", qPrintable(path));
        return false;
    }
    image->convertToFormat(Velmora::Image::FORMAT_RGB8);
    image->resize(THUMBNAIL_WIDTH, THUMBNAIL_HEIGHT, Velmora::Image::FILTER_LINEAR);
    // The engine writes the file atomically.
    if (!image->save(path.toUtf8().constData())) {
        qWarning("Preview grabber: cannot write \"%s\".", qPrintable(path));
        return false;
    }
    return true;
}

void ProjectPreviewGrabber::onWorldSave()
{
    grab(true);
}
