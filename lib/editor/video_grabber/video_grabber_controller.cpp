#include "editor/video_grabber/video_grabber_controller.h"

#include "editor/video_grabber/video_grabber_state.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>

VideoGrabberController::VideoGrabberController(VideoGrabberState *state, QObject *parent)
    : QObject(parent)
    , state_(state)
{}

VideoGrabberController::~VideoGrabberController() = default;

void VideoGrabberController::init()
{
    EditorLogic *logic = depr::g.editor;
    EC_SOFT_ASSERT(logic);
    if (logic)
        update_connection_ = connect(logic, &EditorLogic::onUpdate, this, &VideoGrabberController::onUpdate);
    initialized_ = true;
}

void VideoGrabberController::shutdown()
{
    disconnect(update_connection_);
    if (state_)
        state_->setRunning(false);
    initialized_ = false;
}

void VideoGrabberController::onUpdate()
{
    if (state_ && state_->isRunning())
        ++captured_frames_;
}
