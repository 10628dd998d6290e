#pragma once

#include <velmora/Ptr.h>
#include <velmora/UGUID.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace Velmora {
class Player;
}

// Every setting of the video grabber and its run state, shared by the
// settings window (which edits it) and the capture loop (which reads it and
// reports progress and results through it). Each field has a setter and a
// change signal; setters emit only on a change, except where noted.
//
// Setter rules: fps is at least 0.1 (not-a-number is ignored); width and
// height at least 1; choosing EXR sets hdrColor, choosing JPG turns the
// alpha mask off, and the mask cannot be switched on while JPG is chosen; a
// START_REQUESTED state resolves the camera's player first and becomes
// IDLE, with a warning, when there is none (stateChanged is emitted then
// even when the state was IDLE already).
class VideoGrabberState : public QObject
{
    Q_OBJECT

public:
    enum Mode {
        SINGLE_SHOT = 0,
        SEQUENCE = 1,
    };
    Q_ENUM(Mode)
    enum State {
        IDLE = 0,
        FAILED = 1,
        START_REQUESTED = 2,
        GRABBING = 3,
        SAVED = 4,
    };
    Q_ENUM(State)
    // Render scale: 2 to the power of the value.
    enum AA {
        AA_NONE = 0,
        AA_2X = 1,
        AA_4X = 2,
    };
    Q_ENUM(AA)
    enum Format {
        TGA = 0,
        PNG = 1,
        JPG = 2,
        PSD = 3,
        EXR = 4,
    };
    Q_ENUM(Format)

    static const QString EDITOR_CAMERA;
    static const QString GAME_CAMERA;

    explicit VideoGrabberState(QObject *parent = nullptr);
    ~VideoGrabberState() override;

    Mode getMode() const { return mode_; }
    State getState() const { return state_; }
    bool isEnabled() const { return enabled_; }
    Velmora::UGUID getTrackGUID() const { return track_guid_; }
    float getFps() const { return fps_; }
    int getWarmupFrames() const { return warmup_frames_; }
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    AA getAntialiasing() const { return antialiasing_; }
    QString getSavePath() const { return save_path_; }
    QString getImagePath() const { return image_path_; }
    Format getFormat() const { return format_; }
    bool isHdrColor() const { return hdr_color_; }
    bool isAlphaMask() const { return alpha_mask_; }
    int getCurrentFrame() const { return current_frame_; }
    int getNumFrames() const { return num_frames_; }
    QString getCameraName() const { return camera_name_; }
    Velmora::Ptr<Velmora::Player> getPlayer() const { return player_; }

    // "Editor Camera", "Game Camera", then the player nodes of the world in
    // its order.
    QStringList availableCameras() const;
    // Whether width x height x 4^antialiasing exceeds 3840 x 2160.
    bool isResolutionTooHigh() const;
    // Resolves the camera name to a player (null when none).
    void updatePlayer();

    // A warning box (title, text) over the active window; tests replace it.
    using WarningHandler = std::function<void(const QString &, const QString &)>;
    static void warn(const QString &title, const QString &text);
    // An empty function restores the message box.
    static void setWarningHandler(WarningHandler handler);

public slots:
    void setMode(VideoGrabberState::Mode mode);
    void setState(VideoGrabberState::State state);
    void setEnabled(bool enabled);
    void setTrackGUID(const Velmora::UGUID &guid);
    void setFps(float fps);
    void setWarmupFrames(int frames);
    void setWidth(int width);
    void setHeight(int height);
    void setAntialiasing(VideoGrabberState::AA antialiasing);
    void setSavePath(const QString &path);
    void setImageName(const QString &name);
    void setFormat(VideoGrabberState::Format format);
    void setAlphaMask(bool alpha_mask);
    void setCurrentFrame(int frame);
    void setNumFrames(int frames);
    void setCameraName(const QString &name);

signals:
    void modeChanged(VideoGrabberState::Mode mode);
    void stateChanged(VideoGrabberState::State state);
    void enabledChanged(bool enabled);
    void trackGUIDChanged(const Velmora::UGUID &guid);
    void fpsChanged(float fps);
    void warmupFramesChanged(int frames);
    void widthChanged(int width);
    void heightChanged(int height);
    void antialiasingChanged(VideoGrabberState::AA antialiasing);
    void savePathChanged(const QString &path);
    void imagePathChanged(const QString &path);
    void formatChanged(VideoGrabberState::Format format);
    void hdrColorChanged(bool hdr_color);
    void alphaMaskChanged(bool alpha_mask);
    void currentFrameChanged(int frame);
    void numFramesChanged(int frames);
    void cameraNameChanged(const QString &name);

private:
    Mode mode_ = SINGLE_SHOT;
    State state_ = IDLE;
    bool enabled_ = false;
    Velmora::UGUID track_guid_;
    float fps_ = 30.0f;
    int warmup_frames_ = 0;
    int width_ = 0;
    int height_ = 0;
    AA antialiasing_ = AA_NONE;
    QString save_path_;
    QString image_path_;
    Format format_ = TGA;
    bool hdr_color_ = false;
    bool alpha_mask_ = false;
    int current_frame_ = 0;
    int num_frames_ = 0;
    QString camera_name_;
    Velmora::Ptr<Velmora::Player> player_;
};
