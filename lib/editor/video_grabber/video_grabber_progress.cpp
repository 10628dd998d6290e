#include "editor/video_grabber/video_grabber_progress.h"

#include "editor/video_grabber/video_grabber_state.h"
#include "ui_video_grabber_progress.h"

#include <editor_core/base/Assert.h>

#include <QCloseEvent>

VideoGrabberProgress::VideoGrabberProgress(VideoGrabberState *state, QWidget *parent)
    : QWidget(parent)
    , ui_(new Ui_VideoGrabberProgress)
    , state_(state)
{
    ui_->setupUi(this);
    setWindowTitle(tr("Grabbing..."));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(size());
    setWindowFlags(Qt::Tool);
    // Over the window it belongs to, not wherever the platform puts a new
    // top-level window (a corner of the screen).
    if (parent) {
        const QWidget *host = parent->window();
        move(host->mapToGlobal(host->rect().center()) - rect().center());
    }
    show();
    activateWindow();
    EC_SOFT_ASSERT(state_);
    if (!state_)
        return;
    ui_->progress_pb->setRange(0, state_->getNumFrames());
    connect(state_, &VideoGrabberState::currentFrameChanged, this, &VideoGrabberProgress::onProgressChanged);
    onProgressChanged();
}

VideoGrabberProgress::~VideoGrabberProgress() = default;

void VideoGrabberProgress::onProgressChanged()
{
    if (!state_)
        return;
    const int frame = state_->getCurrentFrame();
    ui_->info_l->setText(QStringLiteral("%1/%2 frames").arg(frame).arg(ui_->progress_pb->maximum()));
    ui_->progress_pb->setValue(frame);
}

void VideoGrabberProgress::on_abort_b_clicked()
{
    if (state_)
        state_->setState(VideoGrabberState::IDLE);
}

void VideoGrabberProgress::closeEvent(QCloseEvent *event)
{
    // A closed window would leave the grab running behind a modal window
    // that is gone: closing aborts.
    if (state_ && state_->getState() != VideoGrabberState::IDLE)
        state_->setState(VideoGrabberState::IDLE);
    QWidget::closeEvent(event);
}
