#include "editor/splash/splash_widget.h"

#include "editor/splash/splash_widget_layout.h"
#include "editor/splash/startup_images.h"

#include <editor_core/ElidedLabel.h>

#include <velmora/Log.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace {

// A broken start-up contract stops the program. The line names the splash's
// source as the editor's sources name it, whatever folder it was built in.
#define SPLASH_ASSERT(expr)                                                                                            \
    do {                                                                                                               \
        if (!(expr))                                                                                                   \
            ::Velmora::Log::fatal("%s:%d: Assertion: '%s'\n", "lib/editor/splash/SplashWidget", __LINE__, #expr);      \
    } while (false)

QFont lineFont(const char *family, int point_size)
{
    QFont font(QString::fromLatin1(family));
    font.setPointSize(point_size);
    return font;
}

} // namespace

SplashWidget::SplashWidget(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags | Qt::Window | Qt::FramelessWindowHint)
{
    // The same pixels as reading the file into a pixmap here.
    bg_ = QPixmap::fromImage(StartupImages::take(QString::fromLatin1(StartupImages::SPLASH_BACKGROUND)));
    SPLASH_ASSERT(!bg_.isNull()
                  && "SplashWidget::SplashWidget: background image "
                     "not found.");

    QPalette pal = palette();
    pal.setBrush(QPalette::All, QPalette::Window, QBrush(Qt::black));
    setPalette(pal);

    version_label_ = new QLabel;
    version_label_->setFont(lineFont("Roboto", 16));
    version_label_->setStyleSheet(QStringLiteral("color: #F2F4F5"));
    version_label_->setAlignment(Qt::AlignRight);

    status_label_ = new QLabel;
    status_label_->setFont(lineFont("Roboto", 16));
    status_label_->setStyleSheet(QStringLiteral("color: #7CAD53"));
    status_label_->setAlignment(Qt::AlignLeft);

    detail_label_ = new ElidedLabel;
    detail_label_->setFont(lineFont("Roboto", 16));
    detail_label_->setStyleSheet(QStringLiteral("color: #7CAD53"));
    detail_label_->setAlignment(Qt::AlignLeft);
    detail_label_->setElideMode(Qt::ElideLeft);

    notice_label_ = new QLabel;
    QFont notice_font = lineFont("Roboto Light", 11);
    notice_font.setStyleStrategy(QFont::PreferAntialias);
    notice_label_->setFont(notice_font);
    notice_label_->setStyleSheet(QStringLiteral("color: #FFFFFF"));
    notice_label_->setAlignment(Qt::AlignLeft);

    new SplashWidgetLayout(version_label_, status_label_, detail_label_, notice_label_, this);

    resize(sizeForBackground(bg_));

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - QRect(0, 0, width(), height()).center());
}

SplashWidget::~SplashWidget() = default;

QSize SplashWidget::sizeForBackground(const QPixmap &background)
{
    const qreal ratio = background.devicePixelRatio();
    return QSize(int(std::lround(background.width() / ratio)), int(std::lround(background.height() / ratio)));
}

void SplashWidget::setVersion(const QString &text)
{
    version_label_->setText(text);
}

void SplashWidget::setNotice(const QString &text)
{
    notice_label_->setText(text);
}

void SplashWidget::setStatus(const QString &text)
{
    status_label_->setText(text);
}

void SplashWidget::setDetail(const QString &text)
{
    detail_label_->setText(text);
}

QString SplashWidget::version() const
{
    return version_label_->text();
}

QString SplashWidget::notice() const
{
    return notice_label_->text();
}

QString SplashWidget::status() const
{
    return status_label_->text();
}

QString SplashWidget::detail() const
{
    return detail_label_->text();
}

void SplashWidget::finish(QWidget *main_window)
{
    if (main_window) {
        if (!main_window->windowHandle())
            main_window->createWinId();
        const QPointer<QWindow> window = main_window->windowHandle();
        // One pass of the event loop at a time, sleeping only while nothing
        // happens: the expose is seen as soon as it is handled, even while
        // a zero-interval timer (the frame loop) keeps the loop busy. The
        // deadline's timer wakes the last wait; a precise one, as a coarse
        // timer may fire a twentieth of its interval early.
        QTimer deadline;
        deadline.setTimerType(Qt::PreciseTimer);
        deadline.setSingleShot(true);
        deadline.start(FINISH_WAIT_MS);
        while (window && !window->isExposed() && deadline.isActive()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    close();
}

bool SplashWidget::event(QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        if (!exposed_emitted_) {
            exposed_emitted_ = true;
            emit exposed();
        }
        if (!bg_.isNull()) {
            QPainter painter(this);
            painter.drawPixmap(0, 0, bg_);
        }
    }
    return QWidget::event(event);
}

void SplashWidget::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void SplashWidget::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
}
