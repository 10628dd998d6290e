#include "editor/video_grabber/video_grabber_state.h"

#include <editor_core/common/Common.h>

#include <velmora/Editor.h>
#include <velmora/Game.h>
#include <velmora/Node.h>
#include <velmora/Player.h>
#include <velmora/World.h>

#include <QApplication>
#include <QMessageBox>

#include <cmath>

namespace {

constexpr float MIN_FPS = 0.1f;
constexpr double MAX_PIXELS = 3840.0 * 2160.0;

VideoGrabberState::WarningHandler &warningHandler()
{
    static VideoGrabberState::WarningHandler handler;
    return handler;
}

} // namespace

const QString VideoGrabberState::EDITOR_CAMERA = QStringLiteral("Editor Camera");
const QString VideoGrabberState::GAME_CAMERA = QStringLiteral("Game Camera");

VideoGrabberState::VideoGrabberState(QObject *parent)
    : QObject(parent)
    , camera_name_(EDITOR_CAMERA)
{}

VideoGrabberState::~VideoGrabberState() = default;

QStringList VideoGrabberState::availableCameras() const
{
    QStringList cameras{EDITOR_CAMERA, GAME_CAMERA};
    const QVector<Velmora::Ptr<Velmora::Node>> nodes = Common::getEditorNodes();
    for (const Velmora::Ptr<Velmora::Node> &node : nodes)
        if (node->isPlayer())
            cameras << QString::fromUtf8(node->getName());
    return cameras;
}

bool VideoGrabberState::isResolutionTooHigh() const
{
    // In double: width and height may each be up to 100000.
    const double pixels = double(width_) * double(height_) * std::pow(4.0, double(antialiasing_));
    return pixels > MAX_PIXELS;
}

void VideoGrabberState::updatePlayer()
{
    player_.reset();
    if (camera_name_ == EDITOR_CAMERA) {
        player_ = ::Velmora::Editor::getPlayer();
    } else if (camera_name_ == GAME_CAMERA) {
        player_ = Velmora::Game::getPlayer();
    } else if (Velmora::World::isLoaded()) {
        const Velmora::Ptr<Velmora::Node> node = Velmora::World::getNodeByName(camera_name_.toUtf8().constData());
        if (node && node->isPlayer())
            player_ = node.cast<Velmora::Player>();
    }
}

void VideoGrabberState::warn(const QString &title, const QString &text)
{
    if (warningHandler()) {
        warningHandler()(title, text);
        return;
    }
    QMessageBox::warning(QApplication::activeWindow(), title, text, QMessageBox::Ok);
}

void VideoGrabberState::setWarningHandler(WarningHandler handler)
{
    warningHandler() = std::move(handler);
}

void VideoGrabberState::setMode(VideoGrabberState::Mode mode)
{
    if (mode_ == mode)
        return;
    mode_ = mode;
    emit modeChanged(mode_);
}

void VideoGrabberState::setState(VideoGrabberState::State state)
{
    if (state == START_REQUESTED) {
        updatePlayer();
        if (!player_) {
            warn(tr("Warning"), tr("Can't find \"%1\" player").arg(camera_name_));
            state = IDLE;
        }
        state_ = state;
        emit stateChanged(state_);
        return;
    }
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state_);
}

void VideoGrabberState::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    emit enabledChanged(enabled_);
}

void VideoGrabberState::setTrackGUID(const Velmora::UGUID &guid)
{
    if (track_guid_ == guid)
        return;
    track_guid_ = guid;
    emit trackGUIDChanged(track_guid_);
}

void VideoGrabberState::setFps(float fps)
{
    if (std::isnan(fps) || fps == fps_)
        return;
    fps_ = fps > MIN_FPS ? fps : MIN_FPS;
    emit fpsChanged(fps_);
}

void VideoGrabberState::setWarmupFrames(int frames)
{
    if (warmup_frames_ == frames)
        return;
    warmup_frames_ = frames;
    emit warmupFramesChanged(warmup_frames_);
}

void VideoGrabberState::setWidth(int width)
{
    if (width_ == width)
        return;
    width_ = width > 1 ? width : 1;
    emit widthChanged(width_);
}

void VideoGrabberState::setHeight(int height)
{
    if (height_ == height)
        return;
    height_ = height > 1 ? height : 1;
    emit heightChanged(height_);
}

void VideoGrabberState::setAntialiasing(VideoGrabberState::AA antialiasing)
{
    if (antialiasing_ == antialiasing)
        return;
    antialiasing_ = antialiasing;
    emit antialiasingChanged(antialiasing_);
}

void VideoGrabberState::setSavePath(const QString &path)
{
    if (save_path_ == path)
        return;
    save_path_ = path;
    emit savePathChanged(save_path_);
}

void VideoGrabberState::setImageName(const QString &name)
{
    if (image_path_ == name)
        return;
    image_path_ = name;
    emit imagePathChanged(image_path_);
}

void VideoGrabberState::setFormat(VideoGrabberState::Format format)
{
    if (format_ == format)
        return;
    format_ = format;
    emit formatChanged(format_);
    const bool hdr = format_ == EXR;
    if (hdr_color_ != hdr) {
        hdr_color_ = hdr;
        emit hdrColorChanged(hdr_color_);
    }
    if (format_ == JPG && alpha_mask_) {
        alpha_mask_ = false;
        emit alphaMaskChanged(alpha_mask_);
    }
}

void VideoGrabberState::setAlphaMask(bool alpha_mask)
{
    if (alpha_mask_ == alpha_mask || (alpha_mask && format_ == JPG))
        return;
    alpha_mask_ = alpha_mask;
    emit alphaMaskChanged(alpha_mask_);
}

void VideoGrabberState::setCurrentFrame(int frame)
{
    if (current_frame_ == frame)
        return;
    current_frame_ = frame;
    emit currentFrameChanged(current_frame_);
}

void VideoGrabberState::setNumFrames(int frames)
{
    if (num_frames_ == frames)
        return;
    num_frames_ = frames;
    emit numFramesChanged(num_frames_);
}

void VideoGrabberState::setCameraName(const QString &name)
{
    if (camera_name_ == name)
        return;
    camera_name_ = name;
    updatePlayer();
    emit cameraNameChanged(camera_name_);
}
