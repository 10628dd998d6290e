#pragma once

#include <QPixmap>
#include <QWidget>

class ElidedLabel;
class QLabel;

// The frameless start-up window: a background image with the version, a
// status line, a detail line and a legal notice. It tells when it has been
// painted for the first time (exposed), refuses closes from the window
// system, ignores keys, and at the end waits a bounded time for the main
// window to appear before it closes.
class SplashWidget : public QWidget
{
    Q_OBJECT

public:
    // How long finish() waits for the main window to be exposed.
    static constexpr int FINISH_WAIT_MS = 1000;

    explicit SplashWidget(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~SplashWidget() override;

    void setVersion(const QString &text);
    void setNotice(const QString &text);
    void setStatus(const QString &text);
    void setDetail(const QString &text);
    QString version() const;
    QString notice() const;
    QString status() const;
    QString detail() const;

    // The window size for a background image: its pixel size divided by its
    // device pixel ratio, rounded to whole pixels.
    static QSize sizeForBackground(const QPixmap &background);

    // Waits up to FINISH_WAIT_MS for main_window to be exposed, then closes
    // the splash. Without a main window it closes at once.
    void finish(QWidget *main_window);

signals:
    void exposed();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *version_label_ = nullptr;
    QLabel *status_label_ = nullptr;
    ElidedLabel *detail_label_ = nullptr;
    QLabel *notice_label_ = nullptr;
    QPixmap bg_;
    bool exposed_emitted_ = false;
};
