#pragma once

#include <velmora/Ptr.h>

#include <QPixmap>
#include <QPointer>
#include <QSize>
#include <QVector>
#include <QWidget>

class QLabel;

namespace Velmora {
class Material;
}

// The panel in a scene viewport's bottom-right corner that is visible while
// the engine compiles material shaders: how many materials remain, the one
// being compiled and a spinner. Every popup listens to the editor logic
// itself, so all viewports show it at once. It follows its scene widget's
// size through an event filter.
class ShaderCompilationPopupWidget : public QWidget
{
    Q_OBJECT

public:
    // Distance of the panel's right and bottom edges from the scene's.
    static constexpr int CORNER_MARGIN = 15;
    // One spinner frame every 62 ms.
    static constexpr int FRAME_INTERVAL_MS = 62;
    // The panel's size; it grows when its texts need more room.
    static constexpr QSize DESIGN_SIZE{295, 56};

    explicit ShaderCompilationPopupWidget(QWidget *scene);
    ~ShaderCompilationPopupWidget() override;

    void onCompileBegin();
    void onCompileEnd();
    void onCompileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining);
    void placeInCorner(const QSize &size);
    void loadSpinnerFrames();

    // "N material(s) remaining".
    static QString remainingText(int remaining);
    // The square frames of a vertical strip whose side is the strip's width.
    static QVector<QPixmap> spinnerFrames(const QPixmap &strip);

    // Tests: what the labels show and the spinner's state.
    QString remainingLabelText() const;
    QString currentLabelText() const;
    int frameCount() const { return pixmaps_.size(); }
    int currentFrame() const { return frame_; }
    bool isSpinning() const { return timer_id_ != 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void showFrame();
    void stopSpinner();
    void fitTexts();

    QLabel *spinner_ = nullptr;
    QLabel *remaining_ = nullptr;
    QLabel *current_ = nullptr;
    QPointer<QWidget> parent_;
    QVector<QPixmap> pixmaps_;
    int frame_ = 0;
    int timer_id_ = 0;
};
