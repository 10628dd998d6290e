#pragma once

#include "editor/video_grabber/video_grabber_progress.h"
#include "editor/video_grabber/video_grabber_state.h"

#include <velmora/UGUID.h>

#include <QBasicTimer>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class Ui_VideoGrabberForm;

// The "Video Grabber" settings window. setState() binds every widget to
// the state both ways: a state signal rewrites its widget (only when the
// text differs), and a widget edit goes to the state's setter, whose
// clamped value comes back. Grab asks first when the resolution is very
// high, then requests the grab; the window then follows the run state: a
// progress window while a sequence runs, an error box when a frame cannot
// be saved, and "File saved: ..." or "Sequence saved" in the status line
// for two seconds.
class VideoGrabberForm : public QWidget
{
    Q_OBJECT

public:
    VideoGrabberForm(VideoGrabberState *state, QWidget *parent = nullptr);
    ~VideoGrabberForm() override;

    void setState();
    VideoGrabberProgress *progress() const { return progress_; }
    // Wide enough for every field of the scrolled form to show whole.
    QSize sizeHint() const override;

    // Test seams for the two modal dialogs: the resolution question (true
    // = proceed) and the folder chooser (the chosen folder or "").
    static void setResolutionQuestion(std::function<bool(QWidget *)> question);
    static void setDirectoryChooser(std::function<QString(QWidget *, const QString &)> chooser);

public slots:
    void onChangeMode(VideoGrabberState::Mode mode);
    void onChangeFps(float fps);
    void onChangeTrack(const Velmora::UGUID &guid);
    void onChangeWarmup(int frames);
    void onChangeWidth(int width);
    void onChangeHeight(int height);
    void onChangeAntialiasing(VideoGrabberState::AA antialiasing);
    void onChangeSavePath(const QString &path);
    void onChangeFormat(VideoGrabberState::Format format);
    void onChangeHdrColor(bool hdr_color);
    void onChangeAlphaMask(bool alpha_mask);
    void onChangeState(VideoGrabberState::State state);
    void onGrabPressed();
    void onAntialiasingChanged(int index);
    void onFormatChanged(int index);
    void onAlphaMaskChanged(int check_state);
    void onModeChanged();
    void on_track_b_clicked();
    void on_save_path_b_clicked();
    void on_resolution_reset_b_clicked();
    void updateAvailableCameras();

protected:
    void timerEvent(QTimerEvent *event) override;
    // A refused frame rate is replaced by the state's when the field loses
    // the focus.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Ui_VideoGrabberForm> ui_;
    QPointer<VideoGrabberState> state_;
    QPointer<VideoGrabberProgress> progress_;
    QBasicTimer status_timer_;
};
