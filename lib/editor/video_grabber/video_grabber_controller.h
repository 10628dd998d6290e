#pragma once

#include <velmora/Ptr.h>
#include <velmora/Variable.h>

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>

class VideoGrabberState;

namespace Velmora {
class Image;
class Viewport;
} // namespace Velmora

// The video grabber's capture loop, driven by the editor logic's per-frame
// update on the GUI thread. A start request of the state begins a grab: a
// single shot (one render, then 31 settling renders with exposure
// adaptation off; the last one is saved) or a sequence along the track the
// engine script plays (one frame per engine frame at a fixed game step of
// 1 / fps, after an optional warm-up). Each frame is rendered off-screen
// (supersampled when anti-aliasing is on), loses its alpha unless the mask
// is on, is linearised for EXR, saved as frame_NNNN.<ext> in the save
// folder and imported when that folder lies inside the data folder. A frame
// never takes a name that anything in the folder has (a file, a folder, a
// link, even a dangling one): the first grab into a folder starts after
// the highest number there (of any width), taken numbers are skipped, and
// after 9999 the numbers go on with more digits, counted in 64 bits: a name
// with a number at the top of that range, or past it, is not followed (it
// keeps its name), and past the top the numbers start again at 0.
//
// Sequence frames are counted by an index (time = index x step, in double),
// so a track of L units at a step s gives floor(L / s + 1e-6) + 1 frames,
// the last one at time L; the state's currentFrame is the frame being
// captured and ends at numFrames. A frame without a camera, or one that
// cannot be rendered, resized or saved, fails the grab.
class VideoGrabberController : public QObject
{
public:
    VideoGrabberController(VideoGrabberState *state, QObject *parent = nullptr);
    ~VideoGrabberController() override;

    void init();
    // One step of the loop (EditorLogic::onUpdate).
    void update();
    void shutdown();

    // The number the next file gets (-1 before the first grab).
    qint64 nextFrame() const { return next_frame_; }
    bool isGrabbing() const { return grabbing_; }
    // While a grab runs the editor keeps running frames even when another
    // application is in front: the capture loop is driven by them.
    bool keepsFramesRunning() const { return frames_claimed_; }
    double timeStep() const { return time_step_; }
    Velmora::Ptr<Velmora::Image> image() const { return image_; }
    Velmora::Ptr<Velmora::Viewport> viewport() const { return viewport_; }

    static QString extension(int format);
    // The EXR pass on an RGB(A) 16-bit float image: every channel (alpha
    // included) becomes pow(v, 2.2) clamped to [0, 1], not-a-number 0.
    static void linearize(Velmora::Image &image);

private:
    void step();
    void startGrab();
    void stopGrab();
    bool loadTrack();
    void setupFrameRate();
    void findNextFrameNumber();
    // The state's save folder, cleaned; a relative one is taken inside the
    // data folder rather than the editor's working folder.
    QString saveFolder() const;
    // Names the next frame: the first number from the next one on whose
    // name nothing in the folder has; false when none is left.
    bool takeFrameName(QString &path);
    bool grabFrame(bool &deferred);
    // Saves the image as a new file under path, or under the next free name
    // (path then changes); false when it cannot be written whole.
    bool saveImage(QString &path);
    bool renderFrame(int width, int height, bool &deferred);
    void dropAlpha();
    void linearizeForExr();
    void runForFrames(int count, std::function<void()> step);
    void connectUpdate();
    void resetTiming();
    void keepFramesRunning(bool keep);
    Velmora::Variable call(const Velmora::Variable &function);
    Velmora::Variable call(const Velmora::Variable &function, const Velmora::Variable &argument);

    VideoGrabberState *state_ = nullptr;
    Velmora::Ptr<Velmora::Image> image_;
    Velmora::Ptr<Velmora::Viewport> viewport_;
    bool grabbing_ = false;
    bool frames_claimed_ = false;
    qint64 next_frame_ = -1;
    bool warmed_up_ = false;
    bool shot_deferred_ = false;
    int frame_index_ = 0;
    double track_max_time_ = 0.0;
    double time_step_ = 0.0;
    float track_unit_time_ = 1.0f;
    // The folder whose files the numbering was last checked against, and
    // the time of its last change as this grab left it.
    QString scanned_folder_;
    qint64 scanned_change_ = -1;
    // A modal box opened by a step runs engine frames of its own; the loop
    // does not run again inside them.
    bool updating_ = false;
    Velmora::Variable load_track_fn_;
    Velmora::Variable track_is_loaded_fn_;
    Velmora::Variable track_set_fn_;
    Velmora::Variable track_get_max_time_fn_;
    Velmora::Variable track_get_unit_time_fn_;
    Velmora::Variable reset_track_fn_;
    QMetaObject::Connection update_connection_;
};
