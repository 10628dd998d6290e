#include "editor_core/WidgetGui.h"

#include <velmora/Gui.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

WidgetGui::WidgetGui(QWidget *parent, const char *skin)
    : QWidget(parent)
    , gui_(Velmora::Gui::create(skin))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    if (gui_)
        gui_->setSize(width(), height());
}

WidgetGui::~WidgetGui() = default;

Velmora::Ptr<Velmora::Gui> WidgetGui::gui() const
{
    return gui_;
}

bool WidgetGui::hasGuiFocus() const
{
    return focused_;
}

int WidgetGui::getMouseButtons() const
{
    return mouse_buttons_;
}

void WidgetGui::focusInEvent(QFocusEvent *event)
{
    focused_ = true;
    QWidget::focusInEvent(event);
}

void WidgetGui::focusOutEvent(QFocusEvent *event)
{
    focused_ = false;
    mouse_buttons_ = 0;
    QWidget::focusOutEvent(event);
}

namespace {

// Qt's button bits and the engine GUI's agree for left, right and middle.
int guiButtons(Qt::MouseButtons buttons)
{
    return int(buttons & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton));
}

constexpr int REFRESH_MS = 40;

} // namespace

void WidgetGui::mousePressEvent(QMouseEvent *event)
{
    mouse_buttons_ = int(event->buttons());
    if (gui_)
        gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    update();
    setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

void WidgetGui::mouseReleaseEvent(QMouseEvent *event)
{
    mouse_buttons_ = int(event->buttons());
    if (gui_)
        gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    update();
    QWidget::mouseReleaseEvent(event);
}

void WidgetGui::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (gui_)
        gui_->setSize(width(), height());
}

void WidgetGui::mouseMoveEvent(QMouseEvent *event)
{
    if (gui_)
        gui_->setMouse(event->pos().x(), event->pos().y(), guiButtons(event->buttons()));
    QWidget::mouseMoveEvent(event);
}

void WidgetGui::keyPressEvent(QKeyEvent *event)
{
    if (!gui_) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        gui_->keyPress(Velmora::Gui::KEY_BACKSPACE);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        gui_->keyPress(Velmora::Gui::KEY_RETURN);
    } else if (!event->text().isEmpty()) {
        const QVector<uint> codes = event->text().toUcs4();
        for (uint code : codes)
            gui_->keyPress(code);
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    update();
}

void WidgetGui::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == refresh_timer_) {
        // Nothing to paint while the widgets look as they were painted.
        if (gui_ && gui_->getPaintKey() != painted_key_)
            update();
    } else
        QWidget::timerEvent(event);
}

void WidgetGui::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!refresh_timer_)
        refresh_timer_ = startTimer(REFRESH_MS);
}

void WidgetGui::hideEvent(QHideEvent *event)
{
    if (refresh_timer_)
        killTimer(refresh_timer_);
    refresh_timer_ = 0;
    QWidget::hideEvent(event);
}

void WidgetGui::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // The engine GUI draws light text on its own dark panel, whatever the
    // application's style.
    painter.fillRect(rect(), QColor(0x19, 0x23, 0x2d));
    if (gui_) {
        painted_key_ = gui_->getPaintKey();
        gui_->paint(painter);
    }
}
