#include "player_window.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QPainter>
#include <QResizeEvent>

PlayerWindow::PlayerWindow(const QSize &size)
    : backing_store_(new QBackingStore(this))
{
    setTitle(QStringLiteral("Velmora Player"));
    resize(size);
}

PlayerWindow::~PlayerWindow()
{
    delete backing_store_;
}

void PlayerWindow::presentFrame(const QImage &frame)
{
    ++frames_;
    // The same picture as last time (nothing changed): the window shows it.
    if (!frame.isNull() && frame.cacheKey() == frame_.cacheKey())
        return;
    frame_ = frame;
    paint();
}

void PlayerWindow::requestQuit()
{
    quit_requested_ = true;
    QCoreApplication::quit();
}

void PlayerWindow::exposeEvent(QExposeEvent * /*event*/)
{
    paint();
}

void PlayerWindow::resizeEvent(QResizeEvent *event)
{
    backing_store_->resize(event->size());
}

bool PlayerWindow::event(QEvent *event)
{
    if (event->type() == QEvent::Close)
        requestQuit();
    return QWindow::event(event);
}

void PlayerWindow::paint()
{
    if (!isExposed())
        return;
    const QRect rect(QPoint(0, 0), size());
    backing_store_->beginPaint(rect);
    QPaintDevice *device = backing_store_->paintDevice();
    {
        QPainter painter(device);
        // Engine frames carry coverage in alpha (0 on the sky); on screen
        // they are opaque, as in the editor's viewports.
        if (frame_.isNull())
            painter.fillRect(rect, Qt::black);
        else if (frame_.hasAlphaChannel())
            painter.drawImage(rect, frame_.convertToFormat(QImage::Format_RGB32));
        else
            painter.drawImage(rect, frame_);
    }
    backing_store_->endPaint();
    backing_store_->flush(rect);
}
