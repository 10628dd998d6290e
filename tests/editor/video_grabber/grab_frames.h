#pragma once

#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_state.h"

#include "capture_shell.h"

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
