#pragma once

#include <QObject>
#include <QString>

// The video grabber's settings and run state as Qt properties, shared by
// the settings form and the capture loop.
class VideoGrabberState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double fps READ fps WRITE setFps NOTIFY fpsChanged)
    Q_PROPERTY(QString camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(QString track READ track WRITE setTrack NOTIFY trackChanged)
    Q_PROPERTY(QString outputPath READ outputPath WRITE setOutputPath NOTIFY outputPathChanged)
    Q_PROPERTY(int width READ width WRITE setWidth NOTIFY widthChanged)
    Q_PROPERTY(int height READ height WRITE setHeight NOTIFY heightChanged)
    Q_PROPERTY(bool running READ isRunning WRITE setRunning NOTIFY runningChanged)

public:
    static constexpr double DEFAULT_FPS = 30.0;

    explicit VideoGrabberState(QObject *parent = nullptr);
    ~VideoGrabberState() override;

    double fps() const { return fps_; }
    QString camera() const { return camera_; }
    QString track() const { return track_; }
    QString outputPath() const { return output_path_; }
    int width() const { return width_; }
    int height() const { return height_; }
    bool isRunning() const { return running_; }

    void setFps(double fps);
    void setCamera(const QString &camera);
    void setTrack(const QString &track);
    void setOutputPath(const QString &path);
    void setWidth(int width);
    void setHeight(int height);
    void setRunning(bool running);

signals:
    void fpsChanged(double fps);
    void cameraChanged(const QString &camera);
    void trackChanged(const QString &track);
    void outputPathChanged(const QString &path);
    void widthChanged(int width);
    void heightChanged(int height);
    void runningChanged(bool running);

private:
    double fps_ = DEFAULT_FPS;
    QString camera_;
    QString track_;
    QString output_path_;
    int width_ = 0;
    int height_ = 0;
    bool running_ = false;
};
