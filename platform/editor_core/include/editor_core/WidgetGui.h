#pragma once

#include <velmora/Ptr.h>

#include <QWidget>

#include <cstdint>

namespace Velmora {
class Gui;
}

// A window that hosts an engine GUI surface (the Tracker's base): it owns
// a Velmora::Gui kept at the widget's size, forwards the mouse and typed
// keys to it (its widgets' callbacks then fire at the next engine frame),
// and paints the surface's background and widgets, again while shown
// whenever they changed.
class WidgetGui : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetGui(QWidget *parent = nullptr, const char *skin = "core/gui/");
    ~WidgetGui() override;

    Velmora::Ptr<Velmora::Gui> gui() const;
    bool hasGuiFocus() const;
    // Qt::MouseButtons bits held over the widget.
    int getMouseButtons() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Velmora::Ptr<Velmora::Gui> gui_;
    bool focused_ = false;
    int mouse_buttons_ = 0;
    int refresh_timer_ = 0;
    uint64_t painted_key_ = 0;
};
