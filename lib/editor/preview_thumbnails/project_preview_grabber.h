#pragma once

#include <velmora/Ptr.h>

#include <QObject>
#include <QString>

#include <memory>

namespace Velmora {
class Camera;
}

// Writes a 270 x 152 preview picture of the open world into the data
// folder's ".thumbnails/" folder, named after the world: on every world
// save, and once per run at five seconds of game time when no picture
// exists yet. The editor only writes these pictures.
class ProjectPreviewGrabber : public QObject
{
    Q_OBJECT

public:
    static constexpr float STARTUP_GRAB_TIME = 5.0f;
    static constexpr int RENDER_WIDTH = 540;
    static constexpr int RENDER_HEIGHT = 304;
    static constexpr int THUMBNAIL_WIDTH = 270;
    static constexpr int THUMBNAIL_HEIGHT = 152;

    explicit ProjectPreviewGrabber(QObject *parent = nullptr);
    ~ProjectPreviewGrabber() override;

    // Writes the current world's picture; an existing file is replaced only
    // when force is set. False when there was nothing to grab or nothing
    // was written.
    bool grab(bool force);

    // ".thumbnails/<world name with "/" replaced by "_">.png" under data_path.
    static QString thumbnailPath(const QString &data_path, const QString &world_name);
    // The world's name: its data-relative path without the extension
    // ("levels/forest/main.world" gives "levels/forest/main").
    static QString worldName(const QString &world_path);
    // Renders the camera's view and saves it as the thumbnail at path. A
    // failed render writes nothing, and the file is replaced in one step, so
    // a broken picture never stands in place of a good one.
    static bool writeThumbnail(const Velmora::Ptr<Velmora::Camera> &camera, const QString &path);

    // Whether the one-time start-up grab still waits for its game time.
    bool isWaitingForStartUpGrab() const;

private:
    void onWorldSave();

    // The start-up grab's handler owns its connection and releases it when it
    // has fired; this only watches it.
    std::weak_ptr<QMetaObject::Connection> startup_connection_;
};
