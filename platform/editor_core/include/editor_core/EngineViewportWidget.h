#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class EngineAppWidget;
class OpaqueFrame;

// The "Engine Viewport" window: shows the frames of the engine's
// application widget and sizes the engine's main view to itself.
class EngineViewportWidget : public QWidget
{
    Q_OBJECT

public:
    EngineViewportWidget(EngineAppWidget *app_widget, QWidget *parent = nullptr);
    ~EngineViewportWidget() override;

    EngineAppWidget *appWidget() const;

    // Shows the window through the window manager.
    void handleShow();
    // Slot of WindowManager::windowHidden: stops presenting while this
    // window is hidden.
    void handleHide(QWidget *widget);
    bool isPresenting() const;
    // Frames of the app widget painted since this window was made.
    int paintedFrames() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void onFramePresented();

    QPointer<EngineAppWidget> app_widget_;
    std::unique_ptr<OpaqueFrame> opaque_;
    bool presenting_ = true;
    int painted_frames_ = 0;
};
