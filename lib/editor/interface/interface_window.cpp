#include "editor/interface/interface_window.h"

#include "editor/interface/interface.h"

#include <editor_core/EngineAppControlsHandler.h>

#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Log.h>
#include <velmora/RenderContext.h>
#include <velmora/Widget.h>

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

namespace {

// Gui cursor shown while the content widget drags the window.
constexpr int DRAG_CURSOR = 8;

bool isApplicationWindow(QWindow *window)
{
    return window && QGuiApplication::allWindows().contains(window);
}

InterfaceWindow::FrameSource &frameSource()
{
    static InterfaceWindow::FrameSource source;
    return source;
}

} // namespace

InterfaceWindow::InterfaceWindow(int flags, const char *skin)
    : QWindow(static_cast<QWindow *>(nullptr))
    , interface_(Interface::get())
    , gui_(Velmora::Gui::create(skin))
    , flags_(flags)
{
    interface_->add_window(this);
    applyFlags();
    if (QWidget *host = interface_->getParentWidget()) {
        if (QWidget *top = host->window())
            if (QWindow *native = top->windowHandle())
                setTransientParent(native);
    }
    setObjectName(QStringLiteral("interface window"));
}

InterfaceWindow::~InterfaceWindow()
{
    if (interface_)
        interface_->remove_window(this);
    QWindow::hide();
    EngineAppControlsHandler::get()->disableNotification(this);
    destroyRenderContext();
    render_context_.reset();
    drop_files_.clear();
    // The content widget may outlive the window (the script holds it): its
    // change callback must not reach this object any more.
    releaseWidget();
    gui_.reset();
}

Qt::WindowFlags InterfaceWindow::windowFlags(int flags)
{
    if (flags == 0)
        return Qt::Tool | Qt::FramelessWindowHint;
    if (flags & Interface::WINDOW_TOOLTIP)
        return Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    Qt::WindowFlags result;
    result |= (flags & Interface::WINDOW_FRAME) ? Qt::Tool : Qt::FramelessWindowHint;
    if (flags & Interface::WINDOW_TITLE)
        result |= Qt::WindowTitleHint;
    if (flags & Interface::WINDOW_MINIMIZE)
        result |= Qt::WindowMinimizeButtonHint;
    if (flags & Interface::WINDOW_MAXIMIZE)
        result |= Qt::WindowMaximizeButtonHint;
    if (flags & Interface::WINDOW_CLOSE)
        result |= Qt::WindowCloseButtonHint;
    return result;
}

Qt::CursorShape InterfaceWindow::toQtCursorShape(int cursor)
{
    switch (cursor) {
    case 2:
        return Qt::ForbiddenCursor;
    case 3:
        return Qt::PointingHandCursor;
    case 4:
        return Qt::SizeHorCursor;
    case 5:
        return Qt::SizeVerCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeFDiagCursor;
    case 8:
    case 9:
    case 10:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

int InterfaceWindow::boundedSize(int size, bool vertical) const
{
    const int desktop = interface_ ? (vertical ? interface_->getHeight() : interface_->getWidth()) : 0;
    return qBound(1, size, desktop > 0 ? desktop : MAX_SIDE);
}

void InterfaceWindow::applyFlags()
{
    setFlags(windowFlags(flags_));
}

void InterfaceWindow::releaseWidget()
{
    if (!widget_)
        return;
    if (gui_)
        gui_->removeFocus();
    widget_->removeFocus();
    widget_->clearCallbacks(Velmora::Gui::CHANGED);
    if (gui_)
        gui_->removeChild(widget_);
    widget_.reset();
}

void InterfaceWindow::setWidget(const Velmora::Ptr<Velmora::Widget> &widget)
{
    if (widget == widget_)
        return;
    releaseWidget();
    widget_ = widget;
    if (!widget_)
        return;
    widget_->arrange();
    gui_->addChild(widget_, -1);
    setWidth(widget_->getWidth());
    setHeight(widget_->getHeight());
    // The window may be gone when a copy of the widget fires later.
    QPointer<InterfaceWindow> self(this);
    Velmora::Widget *raw = widget_.get();
    widget_->addCallback(Velmora::Gui::CHANGED, [self, raw]() {
        if (self && self->widget_.get() == raw)
            self->onWidgetEvent(self->widget_);
    });
    widget_->setPosition(0, 0);
    if (widget_->getType() == Velmora::Widget::WIDGET_WINDOW)
        static_cast<Velmora::WidgetWindow *>(widget_.get())->setMoveable(false);
}

void InterfaceWindow::onWidgetEvent(const Velmora::Ptr<Velmora::Widget> &widget)
{
    if (!widget)
        return;
    if (moveable_ && widget->isFocused() && gui_->getMouseButton() == 1) {
        const int grab = gui_->getMouseGrab();
        if (grab != Velmora::Gui::GRAB_MOVE) {
            // A resize by the top or left edge keeps the opposite edge.
            widget->arrange();
            int x = position_x_;
            int y = position_y_;
            const int width = boundedSize(widget->getWidth(), false);
            const int height = boundedSize(widget->getHeight(), true);
            if (grab & Velmora::Gui::GRAB_LEFT)
                x += width_ - width;
            if (grab & Velmora::Gui::GRAB_TOP)
                y += height_ - height;
            width_ = width;
            height_ = height;
            setPosition(x, y);
        } else {
            widget->setMouseCursor(DRAG_CURSOR);
            const int mouse_x = interface_ ? interface_->getMouseX() : 0;
            const int mouse_y = interface_ ? interface_->getMouseY() : 0;
            if (!(drag_state_ & 1)) {
                drag_state_ |= 1;
                drag_mouse_x_ = mouse_x;
                drag_mouse_y_ = mouse_y;
                drag_position_x_ = position_x_;
                drag_position_y_ = position_y_;
            }
            setPosition(drag_position_x_ + mouse_x - drag_mouse_x_, drag_position_y_ + mouse_y - drag_mouse_y_);
        }
    } else {
        widget->arrange();
        setWidth(widget->getWidth());
        setHeight(widget->getHeight());
    }
    widget->setPosition(0, 0);
}

void InterfaceWindow::setHidden(bool hidden)
{
    EngineAppControlsHandler *controls = EngineAppControlsHandler::get();
    if (hidden) {
        QWindow::hide();
        removeFocus();
        controls->disableNotification(this);
        if (interface_ && !interface_->getEventReceiver() && isApplicationWindow(previous_window_)) {
            QWindow *previous = previous_window_;
            if (!previous->isActive())
                previous->requestActivate();
            if (!previous->isVisible())
                previous->show();
            if (auto script = qobject_cast<InterfaceWindow *>(previous)) {
                if (!script->widget_ || script->widget_->isHidden())
                    script->QWindow::hide();
            }
        }
        return;
    }
    if (!Velmora::App::getHandle())
        return;
    controls->enableNotification(this);
    if (interface_ && !interface_->getEventReceiver()) {
        QWindow *focus = QGuiApplication::focusWindow();
        auto script = qobject_cast<InterfaceWindow *>(focus);
        if (script && !script->isVisible() && script->previous_window_)
            focus = script->previous_window_;
        previous_window_ = focus != this ? focus : previous_window_.data();
    }
    ensureRenderContext();
    QWindow::show();
    setFocus();
}

void InterfaceWindow::setFocus()
{
    if (flags_ & Interface::WINDOW_TOOLTIP) {
        focused_ = false;
        return;
    }
    if (interface_)
        interface_->raise_window(this);
    focused_ = true;
    requestActivate();
}

void InterfaceWindow::setPermanentFocus()
{
    setModality(Qt::ApplicationModal);
    QWindow::hide();
    QWindow::show();
    if (interface_)
        interface_->raise_window(this);
    requestActivate();
    permanently_focused_ = true;
    if (widget_)
        widget_->setPermanentFocus();
}

void InterfaceWindow::removeFocus()
{
    focused_ = false;
    permanently_focused_ = false;
    setModality(Qt::NonModal);
    if (isVisible()) {
        // A modality change takes effect when the window is shown again.
        QWindow::hide();
        QWindow::show();
    }
    if (widget_)
        widget_->removeFocus();
}

void InterfaceWindow::setTitle(const char *title)
{
    title_ = title ? title : "";
    QWindow::setTitle(QString::fromUtf8(title_.get()));
}

void InterfaceWindow::setCenterPosition()
{
    if (!interface_)
        return;
    setPosition(interface_->getCenterPositionX(width_), interface_->getCenterPositionY(height_));
}

void InterfaceWindow::setFrameSource(FrameSource source)
{
    frameSource() = std::move(source);
}

QMargins InterfaceWindow::frameExtents() const
{
    return frameSource() ? frameSource()(*this) : frameMargins();
}

void InterfaceWindow::setPosition(int x, int y)
{
    // The position is the corner of the whole window, its frame included,
    // so that a title bar lands on the screens with the rest and the window
    // can still be dragged by it. A window manager frames the window only
    // once it is shown: until then the client area stands at the corner,
    // and it is placed again inside the frame once the frame is known.
    const QMargins frame = frameExtents();
    if (interface_)
        interface_->findVisiblePosition(x, y, width_ + frame.left() + frame.right(),
                                        height_ + frame.top() + frame.bottom(), 32, 32);
    position_x_ = x;
    position_y_ = y;
    placed_frame_ = frame;
    QWindow::setPosition(x + frame.left(), y + frame.top());
}

void InterfaceWindow::followFrame()
{
    if (frameExtents() != placed_frame_)
        setPosition(position_x_, position_y_);
}

void InterfaceWindow::setMouse(int x, int y)
{
    mouse_x_ = x;
    mouse_y_ = y;
    QCursor::setPos(x, y);
}

const char *InterfaceWindow::getDropFileName(int index) const
{
    if (index < 0 || index >= drop_files_.size()) {
        Velmora::Log::error("InterfaceWindow::getDropFileName(): bad index %d (%d files)\n", index, drop_files_.size());
        return "";
    }
    return drop_files_[index].get();
}

int InterfaceWindow::getIntersection(int x, int y) const
{
    return x >= 0 && x < width_ && y >= 0 && y < height_ ? 1 : 0;
}

void InterfaceWindow::ensureRenderContext()
{
    if (!render_context_)
        render_context_ = Velmora::CustomApp::createContext();
    if (!render_context_->isReady()) {
        render_context_->destroyContext();
        render_context_->createVisual();
        render_context_->createContext(uintptr_t(winId()), width_, height_);
        repaint_ = true;
    }
    if (width_ != render_width_ || height_ != render_height_) {
        render_width_ = width_;
        render_height_ = height_;
        resize(width_, height_);
        repaint_ = true;
    }
}

void InterfaceWindow::destroyRenderContext()
{
    render_width_ = 0;
    repaint_ = true;
    if (render_context_ && render_context_->isCreated())
        render_context_->destroyContext();
}

void InterfaceWindow::updateMouse()
{
    if (isHidden())
        return;
    drag_state_ &= Velmora::App::getMouseButton();
    const QPoint local = mapFromGlobal(QCursor::pos());
    mouse_x_ = local.x();
    mouse_y_ = local.y();
    setCursor(toQtCursorShape(gui_->getMouseCursor()));
    gui_->update(Velmora::App::getIFps());
}

void InterfaceWindow::render()
{
    if (isHidden()) {
        gui_->removeFocus();
        return;
    }
    followFrame();
    ensureRenderContext();
    if (!render_context_->isCreated())
        return;
    // The mouse reaches the Gui every frame, before the picture is judged: a
    // press or a drag changes what it paints. Gui::render hands it the same
    // state again, which changes nothing more.
    const int buttons = Velmora::App::getMouseButton();
    gui_->setMouse(mouse_x_, mouse_y_, buttons);
    if (!repaint_ && gui_->getPaintKey() == painted_key_)
        return;
    render_context_->resizeWindow(render_width_, render_height_);
    render_context_->renderWindow();
    gui_->enable(width_, height_);
    gui_->render(mouse_x_, mouse_y_, buttons, 0);
    gui_->disable();
    painted_key_ = gui_->getPaintKey();
    // A frame that could not be drawn is tried again next time (one swapped
    // while the window is not exposed reaches it with the expose to come).
    repaint_ = !render_context_->swapWindow();
}

void InterfaceWindow::reset()
{
    removeFocus();
    gui_->destroy();
    // The stand-in Gui drops its widgets with its resources; the content
    // stays the window's.
    if (widget_ && !gui_->isChild(widget_))
        gui_->addChild(widget_, -1);
    destroyRenderContext();
    setTitle(title_.get());
    setPosition(position_x_, position_y_);
    setHidden(isHidden());
}

bool InterfaceWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        focused_ = true;
        break;
    case QEvent::FocusOut:
        focused_ = false;
        break;
    case QEvent::Expose:
        // The window system may have dropped the picture.
        repaint_ = true;
        break;
    default:
        break;
    }
    QObject *receiver = interface_ ? interface_->getEventReceiver() : nullptr;
    // Without a host to ask, the close button hides the window so that the
    // script sees it closed.
    if (event->type() == QEvent::Close && !receiver) {
        setHidden(true);
        event->ignore();
        return true;
    }
    if (focused_) {
        if (event->type() == QEvent::Move) {
            // A move before the window is placed inside its new frame is
            // not where the frame is.
            const QMargins frame = frameExtents();
            if (frame == placed_frame_) {
                position_x_ = x() - frame.left();
                position_y_ = y() - frame.top();
            }
        } else if (event->type() != QEvent::Resize && receiver) {
            QCoreApplication::sendEvent(receiver, event);
        }
    }
    return false;
}
