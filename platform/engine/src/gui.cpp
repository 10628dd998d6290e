#include "velmora/Gui.h"

#include "velmora/RenderContext.h"
#include "velmora/Widget.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace Velmora {

namespace {

// Every live Gui, in creation order (Engine::update updates them all).
// Never destroyed: a GUI held by a global handle (the engine's main GUI in a
// program that exits without shutting the engine down) lets go of itself
// during exit, after any function-local list would have been destroyed.
Vector<Gui *> &liveGuis()
{
    static Vector<Gui *> *guis = new Vector<Gui *>;
    return *guis;
}

// Text metrics are fixed so that sizes do not depend on the fonts installed.
constexpr int GLYPH_WIDTH = 7;
constexpr int LINE_HEIGHT = 20;

int textWidth(const String &text)
{
    return GLYPH_WIDTH * QString::fromUtf8(text.get()).size();
}

const QColor PANEL(0x32, 0x41, 0x4b);
const QColor FRAME(0x14, 0x17, 0x1a);
const QColor BUTTON(0x50, 0x5f, 0x69);
const QColor BUTTON_DOWN(0x1a, 0x72, 0xbb);
const QColor TEXT(0xf0, 0xf0, 0xf0);
const QColor TEXT_DISABLED(0x78, 0x78, 0x78);
const QColor FIELD(0x19, 0x23, 0x2d);

void drawText(QPainter &painter, const QRect &rect, const String &text, int align, bool enabled = true)
{
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(enabled ? TEXT : TEXT_DISABLED);
    painter.drawText(rect, align, QString::fromUtf8(text.get()));
}

void mixKey(uint64_t &key, uint64_t value)
{
    key ^= value + 0x9e3779b97f4a7c15ull + (key << 6) + (key >> 2);
}

void mixKey(uint64_t &key, const String &text)
{
    const char *data = text.get();
    uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (size_t i = 0, n = data ? std::strlen(data) : 0; i < n; ++i)
        hash = (hash ^ uint8_t(data[i])) * 1099511628211ull;
    mixKey(key, hash);
}

} // namespace

// ---- Gui -------------------------------------------------------------------------------

Ptr<Gui> Gui::create(const char *skin)
{
    Ptr<Gui> gui(new Gui);
    gui->skin_ = skin ? skin : "";
    liveGuis().append(gui.get());
    return gui;
}

Gui::~Gui()
{
    Vector<Gui *> &guis = liveGuis();
    const int index = guis.findIndex(this);
    if (index >= 0)
        guis.remove(index);
    children_.clear();
    for (Widget *widget : widgets_)
        widget->gui_ = nullptr;
    delete image_;
}

void Gui::updateAll(float ifps)
{
    const Vector<Gui *> guis = liveGuis();
    for (Gui *gui : guis) {
        if (liveGuis().findIndex(gui) >= 0)
            gui->update(ifps);
    }
}

int Gui::getNumGuis()
{
    return liveGuis().size();
}

void Gui::addChild(const Ptr<Widget> &widget, int flags)
{
    if (!widget || isChild(widget))
        return;
    if (widget->parent_)
        widget->detach();
    children_.append(std::make_pair(widget, flags));
}

void Gui::removeChild(const Ptr<Widget> &widget)
{
    for (int i = 0; i < children_.size(); ++i) {
        if (children_[i].first == widget) {
            children_.remove(i);
            return;
        }
    }
}

bool Gui::isChild(const Ptr<Widget> &widget) const
{
    for (const auto &child : children_)
        if (child.first == widget)
            return true;
    return false;
}

Ptr<Widget> Gui::getChild(int index) const
{
    return index >= 0 && index < children_.size() ? children_[index].first : Ptr<Widget>();
}

void Gui::destroy()
{
    children_.clear();
    queue_.clear();
    focus_ = nullptr;
    pressed_ = nullptr;
}

void Gui::removeFocus()
{
    permanent_focus_ = nullptr;
    setFocus(nullptr);
}

void Gui::setFocus(Widget *widget)
{
    if (focus_ == widget)
        return;
    if (focus_)
        queueCallback(focus_, FOCUS_OUT);
    focus_ = widget;
    if (focus_)
        queueCallback(focus_, FOCUS_IN);
}

Widget *Gui::getWidgetAt(int x, int y) const
{
    std::function<Widget *(Widget *)> deepest = [&](Widget *widget) -> Widget * {
        if (widget->hidden_ || !widget->contains(x, y))
            return nullptr;
        for (int i = widget->children_.size() - 1; i >= 0; --i)
            if (Widget *hit = deepest(widget->children_[i].first.get()))
                return hit;
        return widget;
    };
    for (int i = children_.size() - 1; i >= 0; --i)
        if (Widget *hit = deepest(children_[i].first.get()))
            return hit;
    return nullptr;
}

void Gui::setMouse(int x, int y, int buttons)
{
    const bool was_down = (mouse_buttons_ & BUTTON_LEFT) != 0;
    const bool is_down = (buttons & BUTTON_LEFT) != 0;
    mouse_x_ = x;
    mouse_y_ = y;
    mouse_buttons_ = buttons;
    if (!was_down && is_down) {
        Widget *target = getWidgetAt(x, y);
        while (target && !target->enabled_)
            target = target->parent_;
        if (target) {
            Widget *focusable = target;
            while (focusable && !focusable->isFocusable())
                focusable = focusable->parent_;
            setFocus(focusable ? focusable : permanent_focus_);
            target->mousePressed(x, y);
            queueCallback(target, PRESSED);
        } else {
            setFocus(permanent_focus_);
        }
        pressed_ = target;
    } else if (was_down && is_down) {
        if (pressed_)
            pressed_->mouseDragged(x, y);
    } else if (was_down && !is_down) {
        Widget *target = pressed_;
        pressed_ = nullptr;
        if (target) {
            target->mouseReleased(x, y, target->contains(x, y));
            queueCallback(target, RELEASED);
        }
    }
}

void Gui::keyPress(unsigned int key)
{
    if (focus_) {
        focus_->keyPressed(key);
        queueCallback(focus_, KEY_PRESSED);
    }
}

int Gui::getMouseGrab() const
{
    if (!pressed_)
        return GRAB_NONE;
    if (pressed_->type_ == Widget::WIDGET_WINDOW)
        return static_cast<WidgetWindow *>(pressed_)->grab_;
    return GRAB_NONE;
}

int Gui::getMouseCursor() const
{
    Widget *hover = pressed_ ? pressed_ : getWidgetAt(mouse_x_, mouse_y_);
    if (hover && hover->cursor_)
        return hover->cursor_;
    int grab = getMouseGrab();
    if (!grab && hover)
        grab = hover->grabAt(mouse_x_, mouse_y_);
    if ((grab & GRAB_TOP) && (grab & GRAB_LEFT))
        return CURSOR_SIZE_FDIAG;
    if (grab & GRAB_TOP)
        return CURSOR_SIZE_V;
    if (grab & GRAB_LEFT)
        return CURSOR_SIZE_H;
    if (grab & GRAB_MOVE)
        return CURSOR_MOVE;
    return CURSOR_ARROW;
}

void Gui::update(float)
{
    for (const auto &child : children_)
        child.first->arrange();
    // Callbacks may queue more; those wait for the next update.
    const Vector<std::pair<Widget *, int>> queued = queue_;
    queue_.clear();
    for (const auto &entry : queued) {
        if (widgets_.count(entry.first))
            entry.first->runCallbacks(entry.second);
    }
}

void Gui::paint(QPainter &painter) const
{
    if (hidden_)
        return;
    for (const auto &child : children_)
        child.first->paint(painter, 0, 0);
}

uint64_t Gui::getPaintKey() const
{
    uint64_t key = hidden_ ? 1 : 2;
    if (hidden_)
        return key;
    mixKey(key, uint64_t(children_.size()));
    for (const auto &child : children_)
        mixKey(key, child.first->getPaintKey());
    return key;
}

void Gui::enable(int width, int height)
{
    enabled_ = true;
    setSize(width, height);
}

void Gui::render(int x, int y, int buttons, int)
{
    if (!enabled_ || width_ <= 0 || height_ <= 0)
        return;
    setMouse(x, y, buttons);
    // Into the render context of the frame under way, else into the Gui's
    // own image.
    if (RenderContext *context = RenderContext::getCurrent()) {
        if (QPainter *painter = context->getPainter())
            paint(*painter);
        return;
    }
    if (!image_)
        image_ = new QImage;
    if (image_->width() != width_ || image_->height() != height_)
        *image_ = QImage(width_, height_, QImage::Format_ARGB32_Premultiplied);
    image_->fill(Qt::transparent);
    QPainter painter(image_);
    paint(painter);
}

void Gui::disable()
{
    enabled_ = false;
}

QImage Gui::getImage() const
{
    return image_ ? *image_ : QImage();
}

void Gui::queueCallback(Widget *widget, int index)
{
    queue_.append(std::make_pair(widget, index));
}

void Gui::forget(Widget *widget)
{
    widgets_.erase(widget);
    if (focus_ == widget)
        focus_ = nullptr;
    if (permanent_focus_ == widget)
        permanent_focus_ = nullptr;
    if (pressed_ == widget)
        pressed_ = nullptr;
    for (int i = queue_.size() - 1; i >= 0; --i)
        if (queue_[i].first == widget)
            queue_.remove(i);
}

// ---- Widget ----------------------------------------------------------------------------

Widget::Widget(Gui *gui, int type)
    : gui_(gui)
    , type_(type)
{
    callbacks_.resize(Gui::NUM_CALLBACKS);
    if (gui_)
        gui_->widgets_.insert(this);
}

Widget::~Widget()
{
    for (auto &child : children_)
        child.first->parent_ = nullptr;
    if (gui_)
        gui_->forget(this);
}

void Widget::addChild(const Ptr<Widget> &widget, int flags)
{
    if (!widget || widget.get() == this)
        return;
    if (widget->parent_)
        widget->detach();
    if (gui_)
        gui_->removeChild(widget);
    widget->parent_ = this;
    children_.append(std::make_pair(widget, flags));
}

void Widget::removeChild(const Ptr<Widget> &widget)
{
    for (int i = 0; i < children_.size(); ++i) {
        if (children_[i].first == widget) {
            widget->parent_ = nullptr;
            children_.remove(i);
            return;
        }
    }
}

void Widget::detach()
{
    Widget *parent = parent_;
    if (!parent)
        return;
    for (int i = 0; i < parent->children_.size(); ++i) {
        if (parent->children_[i].first.get() == this) {
            parent_ = nullptr;
            parent->children_.remove(i); // may release this widget last
            return;
        }
    }
}

Ptr<Widget> Widget::getChild(int index) const
{
    return index >= 0 && index < children_.size() ? children_[index].first : Ptr<Widget>();
}

void Widget::arrange()
{
    for (auto &child : children_)
        child.first->arrange();
    int width = 0;
    int height = 0;
    measure(width, height);
    width_ = std::max(width, min_width_);
    height_ = std::max(height, min_height_);
    layoutChildren();
}

void Widget::setPosition(int x, int y)
{
    x_ = x;
    y_ = y;
}

int Widget::getScreenPositionX() const
{
    return x_ + (parent_ ? parent_->getScreenPositionX() : 0);
}

int Widget::getScreenPositionY() const
{
    return y_ + (parent_ ? parent_->getScreenPositionY() : 0);
}

bool Widget::contains(int screen_x, int screen_y) const
{
    const int x = getScreenPositionX();
    const int y = getScreenPositionY();
    return screen_x >= x && screen_y >= y && screen_x < x + width_ && screen_y < y + height_;
}

void Widget::setHidden(bool hidden)
{
    if (hidden_ == hidden)
        return;
    hidden_ = hidden;
    queue(hidden ? Gui::HIDE : Gui::SHOW);
}

void Widget::setFocus()
{
    if (gui_)
        gui_->setFocus(this);
}

void Widget::removeFocus()
{
    if (!gui_)
        return;
    if (gui_->permanent_focus_ == this)
        gui_->permanent_focus_ = nullptr;
    if (gui_->focus_ == this)
        gui_->setFocus(nullptr);
}

void Widget::setPermanentFocus()
{
    if (!gui_)
        return;
    gui_->permanent_focus_ = this;
    gui_->setFocus(this);
}

void Widget::addCallback(int index, std::function<void()> callback)
{
    addCallback(index, new CallbackFunction0(std::move(callback)));
}

void Widget::addCallback(int index, CallbackBase *callback)
{
    if (index < 0 || index >= Gui::NUM_CALLBACKS || !callback) {
        delete callback;
        return;
    }
    callbacks_[index].append(std::shared_ptr<CallbackBase>(callback));
}

void Widget::clearCallbacks(int index)
{
    for (int i = 0; i < callbacks_.size(); ++i)
        if (index < 0 || i == index)
            callbacks_[i].clear();
}

int Widget::getNumCallbacks(int index) const
{
    return index >= 0 && index < callbacks_.size() ? callbacks_[index].size() : 0;
}

void Widget::runCallbacks(int index)
{
    if (index < 0 || index >= callbacks_.size())
        return;
    // A callback may clear the list or drop the widget's last owner.
    const Vector<std::shared_ptr<CallbackBase>> list = callbacks_[index];
    for (const auto &callback : list)
        callback->run();
}

uint64_t Widget::getPaintKey() const
{
    uint64_t key = uint64_t(type_) + 1;
    mixKey(key, hidden_);
    if (hidden_)
        return key;
    mixKey(key, (uint64_t(uint32_t(x_)) << 32) | uint32_t(y_));
    mixKey(key, (uint64_t(uint32_t(width_)) << 32) | uint32_t(height_));
    mixKey(key, enabled_);
    mixPaintState(key);
    mixKey(key, uint64_t(children_.size()));
    for (const auto &child : children_)
        mixKey(key, child.first->getPaintKey());
    return key;
}

void Widget::mixPaintState(uint64_t &) const {}

void Widget::queue(int index)
{
    if (gui_)
        gui_->queueCallback(this, index);
}

void Widget::measure(int &width, int &height)
{
    width = 0;
    height = 0;
}

void Widget::layoutChildren() {}

void Widget::paintSelf(QPainter &, int, int) const {}

bool Widget::mousePressed(int, int)
{
    return false;
}

void Widget::mouseDragged(int, int) {}

void Widget::mouseReleased(int, int, bool) {}

void Widget::keyPressed(unsigned int) {}

int Widget::grabAt(int, int) const
{
    return Gui::GRAB_NONE;
}

void Widget::paint(QPainter &painter, int origin_x, int origin_y) const
{
    if (hidden_)
        return;
    const int x = origin_x + x_;
    const int y = origin_y + y_;
    paintSelf(painter, x, y);
    for (const auto &child : children_)
        child.first->paint(painter, x, y);
}

// ---- boxes -----------------------------------------------------------------------------

Ptr<WidgetVBox> WidgetVBox::create(const Ptr<Gui> &gui, int spacing, int padding)
{
    return create(gui.get(), spacing, padding);
}

Ptr<WidgetVBox> WidgetVBox::create(Gui *gui, int spacing, int padding)
{
    return Ptr<WidgetVBox>(new WidgetVBox(gui, WIDGET_VBOX, spacing, padding));
}

WidgetVBox::WidgetVBox(Gui *gui, int type, int spacing, int padding)
    : Widget(gui, type)
    , spacing_(spacing)
    , padding_(padding)
{}

void WidgetVBox::measureStack(bool vertical, int &width, int &height) const
{
    // Shown children one after the other along the axis, the largest across it.
    int along = 0;
    int across = 0;
    int shown = 0;
    for (const auto &child : children_) {
        const Widget *widget = child.first.get();
        if (widget->isHidden())
            continue;
        along += vertical ? widget->getHeight() : widget->getWidth();
        across = std::max(across, vertical ? widget->getWidth() : widget->getHeight());
        ++shown;
    }
    along += std::max(0, shown - 1) * spacing_ + 2 * padding_;
    across += 2 * padding_;
    width = vertical ? across : along;
    height = vertical ? along : across;
}

void WidgetVBox::measure(int &width, int &height)
{
    measureStack(true, width, height);
}

void WidgetVBox::layoutChildren()
{
    int y = padding_;
    for (auto &child : children_) {
        Widget *widget = child.first.get();
        if (widget->isHidden())
            continue;
        if (child.second & Gui::ALIGN_EXPAND)
            widget->width_ = width_ - 2 * padding_;
        int x = padding_;
        if (child.second & Gui::ALIGN_CENTER)
            x = (width_ - widget->width_) / 2;
        else if (child.second & Gui::ALIGN_RIGHT)
            x = width_ - padding_ - widget->width_;
        widget->setPosition(x, y);
        widget->layoutChildren();
        y += widget->height_ + spacing_;
    }
}

Ptr<WidgetHBox> WidgetHBox::create(const Ptr<Gui> &gui, int spacing, int padding)
{
    return create(gui.get(), spacing, padding);
}

Ptr<WidgetHBox> WidgetHBox::create(Gui *gui, int spacing, int padding)
{
    return Ptr<WidgetHBox>(new WidgetHBox(gui, spacing, padding));
}

WidgetHBox::WidgetHBox(Gui *gui, int spacing, int padding)
    : WidgetVBox(gui, WIDGET_HBOX, spacing, padding)
{}

void WidgetHBox::measure(int &width, int &height)
{
    measureStack(false, width, height);
}

void WidgetHBox::layoutChildren()
{
    int x = padding_;
    for (auto &child : children_) {
        Widget *widget = child.first.get();
        if (widget->isHidden())
            continue;
        if (child.second & Gui::ALIGN_EXPAND)
            widget->height_ = height_ - 2 * padding_;
        widget->setPosition(x, (height_ - widget->height_) / 2);
        widget->layoutChildren();
        x += widget->width_ + spacing_;
    }
}

// ---- label, button ---------------------------------------------------------------------

Ptr<WidgetLabel> WidgetLabel::create(const Ptr<Gui> &gui, const char *text)
{
    return Ptr<WidgetLabel>(new WidgetLabel(gui.get(), text));
}

WidgetLabel::WidgetLabel(Gui *gui, const char *text)
    : Widget(gui, WIDGET_LABEL)
    , text_(text ? text : "")
{}

void WidgetLabel::measure(int &width, int &height)
{
    width = textWidth(text_) + 4;
    height = LINE_HEIGHT;
}

void WidgetLabel::paintSelf(QPainter &painter, int x, int y) const
{
    drawText(painter, QRect(x + 2, y, width_ - 2, height_), text_, Qt::AlignLeft | Qt::AlignVCenter, enabled_);
}

void WidgetLabel::mixPaintState(uint64_t &key) const
{
    mixKey(key, text_);
}

Ptr<WidgetButton> WidgetButton::create(const Ptr<Gui> &gui, const char *text)
{
    return create(gui.get(), text);
}

Ptr<WidgetButton> WidgetButton::create(Gui *gui, const char *text)
{
    return Ptr<WidgetButton>(new WidgetButton(gui, text));
}

WidgetButton::WidgetButton(Gui *gui, const char *text)
    : Widget(gui, WIDGET_BUTTON)
    , text_(text ? text : "")
{}

void WidgetButton::measure(int &width, int &height)
{
    width = std::max(textWidth(text_) + 16, 40);
    height = LINE_HEIGHT + 4;
}

void WidgetButton::paintSelf(QPainter &painter, int x, int y) const
{
    const QRect rect(x, y, width_ - 1, height_ - 1);
    painter.setPen(FRAME);
    painter.setBrush(pressed_ ? BUTTON_DOWN : BUTTON);
    painter.drawRoundedRect(rect, 3, 3);
    drawText(painter, rect, text_, Qt::AlignCenter, enabled_);
}

void WidgetButton::mixPaintState(uint64_t &key) const
{
    mixKey(key, text_);
    mixKey(key, pressed_);
}

bool WidgetButton::mousePressed(int, int)
{
    pressed_ = true;
    return true;
}

void WidgetButton::mouseReleased(int, int, bool inside)
{
    pressed_ = false;
    if (inside)
        queue(Gui::CLICKED);
}

// ---- slider, edit line -----------------------------------------------------------------

Ptr<WidgetSlider> WidgetSlider::create(const Ptr<Gui> &gui, int min, int max, int value)
{
    return Ptr<WidgetSlider>(new WidgetSlider(gui.get(), min, max, value));
}

WidgetSlider::WidgetSlider(Gui *gui, int min, int max, int value)
    : Widget(gui, WIDGET_SLIDER)
    , min_(std::min(min, max))
    , max_(std::max(min, max))
    , value_(std::clamp(value, std::min(min, max), std::max(min, max)))
{}

void WidgetSlider::setRange(int min, int max)
{
    min_ = std::min(min, max);
    max_ = std::max(min, max);
    value_ = std::clamp(value_, min_, max_);
}

void WidgetSlider::setValue(int value)
{
    value_ = std::clamp(value, min_, max_);
}

void WidgetSlider::measure(int &width, int &height)
{
    width = 100;
    height = LINE_HEIGHT;
}

void WidgetSlider::paintSelf(QPainter &painter, int x, int y) const
{
    const int mid = y + height_ / 2;
    painter.setPen(FRAME);
    painter.setBrush(BUTTON);
    painter.drawRect(x + 4, mid - 2, width_ - 9, 4);
    const int range = max_ - min_;
    const int knob = x + 4 + (range > 0 ? (value_ - min_) * (width_ - 9) / range : 0);
    painter.setBrush(BUTTON_DOWN);
    painter.drawRect(knob - 4, y + 3, 8, height_ - 7);
}

void WidgetSlider::mixPaintState(uint64_t &key) const
{
    mixKey(key, (uint64_t(uint32_t(min_)) << 32) | uint32_t(max_));
    mixKey(key, uint64_t(uint32_t(value_)));
}

bool WidgetSlider::mousePressed(int x, int)
{
    setFromX(x);
    return true;
}

void WidgetSlider::mouseDragged(int x, int)
{
    setFromX(x);
}

void WidgetSlider::setFromX(int x)
{
    const int span = std::max(1, width_ - 9);
    const int offset = std::clamp(x - getScreenPositionX() - 4, 0, span);
    const int value = min_ + int((long long)(max_ - min_) * offset / span);
    if (value != value_) {
        value_ = value;
        queue(Gui::CHANGED);
    }
}

Ptr<WidgetEditLine> WidgetEditLine::create(const Ptr<Gui> &gui, const char *text)
{
    return Ptr<WidgetEditLine>(new WidgetEditLine(gui.get(), text));
}

WidgetEditLine::WidgetEditLine(Gui *gui, const char *text)
    : Widget(gui, WIDGET_EDITLINE)
    , text_(text ? text : "")
{}

void WidgetEditLine::measure(int &width, int &height)
{
    width = std::max(100, textWidth(text_) + 8);
    height = LINE_HEIGHT + 4;
}

void WidgetEditLine::paintSelf(QPainter &painter, int x, int y) const
{
    const QRect rect(x, y, width_ - 1, height_ - 1);
    painter.setPen(isFocused() ? BUTTON_DOWN : FRAME);
    painter.setBrush(FIELD);
    painter.drawRect(rect);
    drawText(painter, rect.adjusted(4, 0, -4, 0), text_, Qt::AlignLeft | Qt::AlignVCenter, enabled_);
}

void WidgetEditLine::mixPaintState(uint64_t &key) const
{
    mixKey(key, text_);
    mixKey(key, isFocused());
}

bool WidgetEditLine::mousePressed(int, int)
{
    return true;
}

void WidgetEditLine::keyPressed(unsigned int key)
{
    QString text = QString::fromUtf8(text_.get());
    if (key == Gui::KEY_BACKSPACE) {
        if (text.isEmpty())
            return;
        text.chop(1);
    } else if (key >= 32 && key != 127) {
        text += QString::fromUcs4(&key, 1);
    } else {
        return;
    }
    text_ = text.toUtf8().constData();
    queue(Gui::CHANGED);
}

// ---- window ----------------------------------------------------------------------------

Ptr<WidgetWindow> WidgetWindow::create(const Ptr<Gui> &gui, const char *title)
{
    return Ptr<WidgetWindow>(new WidgetWindow(gui.get(), title));
}

WidgetWindow::WidgetWindow(Gui *gui, const char *title)
    : WidgetVBox(gui, WIDGET_WINDOW, 4, 4)
    , title_(title ? title : "")
{}

void WidgetWindow::measure(int &width, int &height)
{
    WidgetVBox::measure(width, height);
    width = std::max(width, textWidth(title_) + 16);
    height += TITLE_HEIGHT;
}

void WidgetWindow::layoutChildren()
{
    WidgetVBox::layoutChildren();
    for (auto &child : children_)
        child.first->y_ += TITLE_HEIGHT;
}

void WidgetWindow::paintSelf(QPainter &painter, int x, int y) const
{
    painter.setPen(FRAME);
    painter.setBrush(PANEL);
    painter.drawRect(x, y, width_ - 1, height_ - 1);
    painter.setBrush(isFocused() ? BUTTON_DOWN : BUTTON);
    painter.drawRect(x, y, width_ - 1, TITLE_HEIGHT);
    drawText(painter, QRect(x + 6, y, width_ - 12, TITLE_HEIGHT), title_, Qt::AlignLeft | Qt::AlignVCenter);
}

void WidgetWindow::mixPaintState(uint64_t &key) const
{
    mixKey(key, title_);
    mixKey(key, isFocused());
}

int WidgetWindow::grabAt(int x, int y) const
{
    const int local_x = x - getScreenPositionX();
    const int local_y = y - getScreenPositionY();
    int grab = Gui::GRAB_NONE;
    if (sizeable_ && local_y < EDGE)
        grab |= Gui::GRAB_TOP;
    if (sizeable_ && local_x < EDGE)
        grab |= Gui::GRAB_LEFT;
    if (!grab && local_y < TITLE_HEIGHT)
        grab = Gui::GRAB_MOVE;
    return grab;
}

bool WidgetWindow::mousePressed(int x, int y)
{
    grab_ = grabAt(x, y);
    // Where the window was taken, from its corner: the drag keeps that
    // point under the mouse even when the host moves the window meanwhile.
    grab_x_ = x - getScreenPositionX();
    grab_y_ = y - getScreenPositionY();
    return grab_ != Gui::GRAB_NONE;
}

void WidgetWindow::mouseDragged(int x, int y)
{
    if (!grab_)
        return;
    const int dx = x - grab_x_ - getScreenPositionX();
    const int dy = y - grab_y_ - getScreenPositionY();
    if (!dx && !dy)
        return;
    if ((grab_ & Gui::GRAB_MOVE) && moveable_) {
        x_ += dx;
        y_ += dy;
    }
    if (grab_ & Gui::GRAB_TOP) {
        y_ += dy;
        min_height_ = std::max(TITLE_HEIGHT, height_ - dy);
        height_ = min_height_;
    }
    if (grab_ & Gui::GRAB_LEFT) {
        x_ += dx;
        min_width_ = std::max(2 * EDGE, width_ - dx);
        width_ = min_width_;
    }
    queue(Gui::CHANGED);
}

void WidgetWindow::mouseReleased(int, int, bool)
{
    grab_ = Gui::GRAB_NONE;
}

} // namespace Velmora
