#pragma once

#include <QPointer>
#include <QWidget>

class QDoubleSpinBox;
class QLineEdit;
class VideoGrabberState;

// The video grabber's settings window: edits the frame rate and the camera
// of its state object once setState() has bound the controls.
class VideoGrabberForm : public QWidget
{
    Q_OBJECT

public:
    VideoGrabberForm(VideoGrabberState *state, QWidget *parent = nullptr);
    ~VideoGrabberForm() override;

    void setState();

    QDoubleSpinBox *fpsSpinBox() const { return fps_; }
    QLineEdit *cameraEdit() const { return camera_; }

private:
    QPointer<VideoGrabberState> state_;
    QDoubleSpinBox *fps_ = nullptr;
    QLineEdit *camera_ = nullptr;
};
