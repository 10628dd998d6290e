#pragma once

#include <QImage>
#include <QString>

// The images the start-up shows first (the splash's background, the editor's
// icon, the Help window's pictures). The application asks for them to be
// decoded on threads of their own as it is made, so that the decoding
// overlaps its own set-up instead of holding the first windows back.
class StartupImages
{
public:
    static const char *const SPLASH_BACKGROUND;
    static const char *const EDITOR_ICON;
    // The folder of the Help window's pictures, which its style sheets load.
    static const char *const HELP_PICTURES;

    // Starts decoding the image of path on a thread of its own, unless it is
    // being decoded already.
    static void preload(const QString &path);
    // The image of path: the preloaded one when there is one (waiting for it
    // to be done, and no longer preloaded), else read here.
    static QImage take(const QString &path);

    // Starts decoding every image of folder, one after the other on a thread
    // of their own, unless the folder is being decoded already.
    static void preloadFolder(const QString &folder);
    // Puts the images of a preloaded folder (waiting for them to be done) in
    // the pixmap cache, where loading a pixmap from one of their files finds
    // them; the folder is no longer preloaded. Does nothing for a folder that
    // is not preloaded. To be called on the GUI thread.
    static void cacheFolder(const QString &folder);
    // Waits for the decoding still under way (a folder's stops before its
    // next image) and forgets what was not taken. The decoders use the
    // application's image readers: to be called before it goes away.
    static void dropPending();
    // The key under which QPixmap's loading from a file caches the file's
    // pixmap.
    static QString pixmapCacheKey(const QString &path);
};
