#pragma once

#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_state.h"

#include "capture_shell.h"

#include <editor_core/depr/EditorGlobals.h>

// Requests a grab and runs frames until it is over, or max_frames have run;
// the frames run.
inline int grabFrames(test::CaptureShell &shell, VideoGrabberState &state, const VideoGrabberController &controller,
                      int max_frames)
{
    state.setState(VideoGrabberState::START_REQUESTED);
    int frames = 0;
    do {
        shell.pumpFrames(1);
        ++frames;
    } while (frames < max_frames && (controller.isGrabbing() || state.getState() != VideoGrabberState::IDLE));
    return frames;
}

// Shuts down and deletes what a grabber test made, in the order they depend
// on each other: controller, state, the warning handler, tracker, shell.
inline void deleteGrabber(test::CaptureShell *shell, Tracker *tracker, VideoGrabberState *state,
                          VideoGrabberController *controller)
{
    controller->shutdown();
    delete controller;
    delete state;
    VideoGrabberState::setWarningHandler(VideoGrabberState::WarningHandler());
    depr::gui.tracker = nullptr;
    tracker->shutdown();
    delete tracker;
    delete shell;
}
