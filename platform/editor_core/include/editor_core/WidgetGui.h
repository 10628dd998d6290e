#pragma once

#include <velmora/Ptr.h>

#include <QWidget>

namespace Velmora {
class Gui;
}

// A window that hosts an engine GUI surface (the Tracker's base): it owns
// a Velmora::Gui kept at the widget's size, tells it whether it has the
// keyboard focus and which mouse buttons are held, and paints the surface's
// background. The engine's widget set draws nothing yet, so the surface is
// an empty panel for now.
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
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Velmora::Ptr<Velmora::Gui> gui_;
    bool focused_ = false;
    int mouse_buttons_ = 0;
};
