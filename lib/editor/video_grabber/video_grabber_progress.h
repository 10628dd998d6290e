#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class Ui_VideoGrabberProgress;
class VideoGrabberState;

// The "Grabbing..." window of a sequence: a progress bar up to the
// state's numFrames (read once, when the window opens), "n/N frames" and
// Abort. Application-modal; closing it aborts the grab like Abort does.
class VideoGrabberProgress : public QWidget
{
    Q_OBJECT

public:
    VideoGrabberProgress(VideoGrabberState *state, QWidget *parent = nullptr);
    ~VideoGrabberProgress() override;

public slots:
    void onProgressChanged();
    void on_abort_b_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::unique_ptr<Ui_VideoGrabberProgress> ui_;
    QPointer<VideoGrabberState> state_;
};
