#pragma once

#include <QMetaObject>
#include <QObject>

class VideoGrabberState;

// The video grabber's frame-by-frame capture loop. init() hooks it to the
// editor logic's per-frame update (after the Tracker, which connects at its
// construction); while the state says running, every frame counts as one
// captured frame. Writing the images comes with the video grabber tool.
class VideoGrabberController : public QObject
{
    Q_OBJECT

public:
    explicit VideoGrabberController(VideoGrabberState *state, QObject *parent = nullptr);
    ~VideoGrabberController() override;

    void init();
    void shutdown();

    bool isInitialized() const { return initialized_; }
    int capturedFrames() const { return captured_frames_; }

private:
    void onUpdate();

    VideoGrabberState *state_ = nullptr;
    QMetaObject::Connection update_connection_;
    bool initialized_ = false;
    int captured_frames_ = 0;
};
