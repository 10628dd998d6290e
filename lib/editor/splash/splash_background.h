#pragma once

#include <QPixmap>

// The splash's background image. The application asks for it to be decoded
// on a thread of its own as it starts, so that the decoding overlaps the
// application's own set-up instead of holding the splash back.
class SplashBackground
{
public:
    static const char *const PATH;

    // Starts decoding the image on a thread of its own (once until taken).
    static void preload();
    // The image: the preloaded one when there is one (waiting for it to be
    // done), else read here.
    static QPixmap take();
};
