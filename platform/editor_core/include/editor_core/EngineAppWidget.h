#pragma once

#include <velmora/Engine.h>

#include <QImage>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QWidget>

// The engine's application window inside the editor: implements
// Velmora::App, so the engine renders its main view at this widget's view
// size and hands every frame to it. The engine viewport window shows those
// frames; the widget paints them itself too when it is shown.
class EngineAppWidget : public QWidget, public Velmora::App
{
    Q_OBJECT

public:
    EngineAppWidget(int argc, char **argv, QWidget *parent = nullptr);
    ~EngineAppWidget() override;

    Velmora::App *app();
    // The process arguments given to the constructor.
    QStringList arguments() const;

    // Size the engine renders the main view at (default 960 x 540).
    void setViewSize(const QSize &size);
    QSize viewSize() const;

    QImage frame() const;
    int presentedFrames() const;
    bool isBackgroundUpdate() const;
    // Mouse buttons held in the engine viewport (Qt::MouseButtons bits).
    void setMouseButtons(int buttons);
    // The widget that shows the engine's frames (the engine viewport): its
    // native window and place stand for the engine's window. Without one,
    // this widget's own.
    void setDisplayWidget(QWidget *widget);

    // Velmora::App
    int getViewWidth() const override;
    int getViewHeight() const override;
    void presentFrame(const QImage &frame) override;
    void requestQuit() override;
    void setBackgroundUpdate(bool enabled) override;
    int getMouseButtons() const override;
    void *getNativeHandle() const override;
    int getWindowPositionX() const override;
    int getWindowPositionY() const override;
    void changeMouseButtons(int buttons) override;

signals:
    void framePresented();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList arguments_;
    QSize view_size_;
    QImage frame_;
    int presented_frames_ = 0;
    int mouse_buttons_ = 0;
    int cleared_buttons_ = 0;
    QPointer<QWidget> display_widget_;
    bool background_update_ = false;
};
