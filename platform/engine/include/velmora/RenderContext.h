#pragma once

#include "velmora/Ptr.h"

#include <cstdint>

class QImage;
class QPainter;

namespace Velmora {

// A software render context on a native window: createContext finds the
// QWindow by its native id; between renderWindow and swapWindow the
// context is the current render target (Gui::render paints into it), and
// swapWindow puts the frame on the window through a QBackingStore. The
// last frame stays readable (tests). Main thread only.
class RenderContext
{
public:
    ~RenderContext();

    // The context a render is going to, between renderWindow and swapWindow.
    static RenderContext *getCurrent();

    // A visual was made and a context created on a window that still exists.
    bool isReady() const;
    bool isCreated() const { return created_; }
    bool createVisual();
    // false (one error line) when no window has that native id or the size
    // is not positive.
    bool createContext(uintptr_t handle, int width, int height);
    void destroyContext();
    bool resizeWindow(int width, int height);
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }

    // Starts a frame: clears the image and makes this context current.
    bool renderWindow();
    // The painter of the current frame (null outside renderWindow/swapWindow).
    QPainter *getPainter() const { return painter_; }
    // Ends the frame and shows it on the window.
    bool swapWindow();
    QImage getLastFrame() const;
    int getNumFrames() const { return frames_; }

private:
    friend class CustomApp;
    RenderContext() = default;

    struct Private;
    Private *d_ = nullptr;
    QPainter *painter_ = nullptr;
    bool visual_ = false;
    bool created_ = false;
    int width_ = 0;
    int height_ = 0;
    int frames_ = 0;
};

// The engine's application helpers for windows of plug-ins.
class CustomApp
{
public:
    static Ptr<RenderContext> createContext();
};

} // namespace Velmora
