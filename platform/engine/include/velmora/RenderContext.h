#pragma once

#include "velmora/Ptr.h"

#include <QImage>
#include <QPointer>
#include <QWindow>

class QBackingStore;

namespace Velmora {

// A render target on a native window of its own (script windows). The
// software stand-in finds the QWindow whose native id it is given, paints
// through a QBackingStore: renderWindow() starts a frame and makes the
// context current (Gui::render draws into the current context), swapWindow()
// puts the frame on the window and keeps it as the last frame. Main thread
// only.
class RenderContext
{
public:
    ~RenderContext();

    // Created and its window still exists.
    bool isReady() const;
    bool isCreated() const { return created_; }
    int createVisual();
    // 0 when no window of the application has that native id.
    int createContext(void *handle, int width, int height);
    void destroyContext();
    int resizeWindow(int width, int height);
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }

    int renderWindow();
    void swapWindow();
    // The frame being rendered (null outside renderWindow ... swapWindow).
    QImage *getFrame() { return rendering_ ? &frame_ : nullptr; }
    QImage getLastFrame() const { return last_frame_; }
    int getNumSwaps() const { return swaps_; }

    static RenderContext *getCurrent();

private:
    friend class CustomApp;
    RenderContext() = default;

    QPointer<QWindow> window_;
    bool created_ = false;
    QBackingStore *store_ = nullptr;
    bool visual_ = false;
    bool rendering_ = false;
    int width_ = 0;
    int height_ = 0;
    int swaps_ = 0;
    QImage frame_;
    QImage last_frame_;
};

class CustomApp
{
public:
    static Ptr<RenderContext> createContext();
};

} // namespace Velmora
