#include "editor/video_grabber/video_grabber_state.h"

VideoGrabberState::VideoGrabberState(QObject *parent)
    : QObject(parent)
    , camera_(QStringLiteral("Editor Camera"))
{}

VideoGrabberState::~VideoGrabberState() = default;

void VideoGrabberState::setFps(double fps)
{
    if (qFuzzyCompare(fps_, fps))
        return;
    fps_ = fps;
    emit fpsChanged(fps_);
}

void VideoGrabberState::setCamera(const QString &camera)
{
    if (camera_ == camera)
        return;
    camera_ = camera;
    emit cameraChanged(camera_);
}

void VideoGrabberState::setTrack(const QString &track)
{
    if (track_ == track)
        return;
    track_ = track;
    emit trackChanged(track_);
}

void VideoGrabberState::setOutputPath(const QString &path)
{
    if (output_path_ == path)
        return;
    output_path_ = path;
    emit outputPathChanged(output_path_);
}

void VideoGrabberState::setWidth(int width)
{
    if (width_ == width)
        return;
    width_ = width;
    emit widthChanged(width_);
}

void VideoGrabberState::setHeight(int height)
{
    if (height_ == height)
        return;
    height_ = height;
    emit heightChanged(height_);
}

void VideoGrabberState::setRunning(bool running)
{
    if (running_ == running)
        return;
    running_ = running;
    emit runningChanged(running_);
}
