#pragma once

#include <QObject>
#include <QString>

// Writes a 270 x 152 preview picture of the open world into the data
// folder's ".thumbnails/" folder, named after the world: on every world
// save, and once per run at five seconds of game time when no picture
// exists yet.
class ProjectPreviewGrabber : public QObject
{
    Q_OBJECT

public:
    static constexpr float STARTUP_GRAB_TIME = 5.0f;

    explicit ProjectPreviewGrabber(QObject *parent = nullptr);
    ~ProjectPreviewGrabber() override;

    // Writes the current world's picture; an existing file is replaced only
    // when force is set. False when there was nothing to grab.
    bool grab(bool force);

    // ".thumbnails/<world name with "/" replaced by "_">.png" under data_path.
    static QString thumbnailPath(const QString &data_path, const QString &world_name);

private:
    void onWorldSave();
};
