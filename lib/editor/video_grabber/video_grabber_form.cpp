#include "editor/video_grabber/video_grabber_form.h"

#include "editor/video_grabber/video_grabber_state.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>

VideoGrabberForm::VideoGrabberForm(VideoGrabberState *state, QWidget *parent)
    : QWidget(parent)
    , state_(state)
{
    setObjectName(QStringLiteral("VideoGrabberForm"));
    setWindowTitle(tr("Video Grabber"));
    auto layout = new QFormLayout(this);
    fps_ = new QDoubleSpinBox(this);
    fps_->setObjectName(QStringLiteral("fps"));
    fps_->setRange(1.0, 240.0);
    layout->addRow(tr("Frames per second:"), fps_);
    camera_ = new QLineEdit(this);
    camera_->setObjectName(QStringLiteral("camera"));
    layout->addRow(tr("Camera:"), camera_);
    hide();
}

VideoGrabberForm::~VideoGrabberForm() = default;

void VideoGrabberForm::setState()
{
    if (!state_)
        return;
    fps_->setValue(double(state_->getFps()));
    camera_->setText(state_->getCameraName());
    VideoGrabberState *state = state_;
    connect(fps_, QOverload<double>::of(&QDoubleSpinBox::valueChanged), state,
            [state](double fps) { state->setFps(float(fps)); });
    connect(camera_, &QLineEdit::textEdited, state, &VideoGrabberState::setCameraName);
    connect(state, &VideoGrabberState::fpsChanged, fps_, [this](float fps) { fps_->setValue(double(fps)); });
    connect(state, &VideoGrabberState::cameraNameChanged, camera_, [this](const QString &camera) {
        if (camera_->text() != camera)
            camera_->setText(camera);
    });
}
