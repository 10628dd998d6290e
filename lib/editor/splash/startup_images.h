#pragma once

#include <QImage>
#include <QString>

// The images the start-up shows first (the splash's background, the editor's
// icon). The application asks for them to be decoded on threads of their own
// as it is made, so that the decoding overlaps its own set-up instead of
// holding the first windows back.
class StartupImages
{
public:
    static const char *const SPLASH_BACKGROUND;
    static const char *const EDITOR_ICON;

    // Starts decoding the image of path on a thread of its own, unless it is
    // being decoded already.
    static void preload(const QString &path);
    // The image of path: the preloaded one when there is one (waiting for it
    // to be done, and no longer preloaded), else read here.
    static QImage take(const QString &path);
};
