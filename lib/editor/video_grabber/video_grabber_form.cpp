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
    fps_->setValue(state_->fps());
    camera_->setText(state_->camera());
    VideoGrabberState *state = state_;
    connect(fps_, QOverload<double>::of(&QDoubleSpinBox::valueChanged), state, &VideoGrabberState::setFps);
    connect(camera_, &QLineEdit::textEdited, state, &VideoGrabberState::setCamera);
    connect(state, &VideoGrabberState::fpsChanged, fps_, &QDoubleSpinBox::setValue);
    connect(state, &VideoGrabberState::cameraChanged, camera_, [this](const QString &camera) {
        if (camera_->text() != camera)
            camera_->setText(camera);
    });
}
