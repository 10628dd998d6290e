#pragma once

#include <velmora/Engine.h>

#include <QImage>
#include <QWindow>

class QBackingStore;

// The player's window: the engine's application view. Each presented frame
// is painted into the window; closing it, the engine's quit command or the
// end of -quit_after_frames quits the application.
class PlayerWindow : public QWindow, public Velmora::App
{
    Q_OBJECT

public:
    explicit PlayerWindow(const QSize &size);
    ~PlayerWindow() override;

    int getViewWidth() const override { return width(); }
    int getViewHeight() const override { return height(); }
    void presentFrame(const QImage &frame) override;
    void requestQuit() override;

    bool quitRequested() const { return quit_requested_; }
    int framesPresented() const { return frames_; }

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void paint();

    QBackingStore *backing_store_ = nullptr;
    QImage frame_;
    bool quit_requested_ = false;
    int frames_ = 0;
};
