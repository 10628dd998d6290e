#pragma once

#include <velmora/Ptr.h>

#include <QWidget>

#include <cstdint>

class QPainter;

namespace Velmora {
class Gui;
class Player;
} // namespace Velmora

// A viewport window of the editor: something the engine renders a player
// into. Gives its engine GUI and its player (the camera it shows). The GUI
// is the window's own, kept at its size and given the mouse over it; a
// window that shows a picture paints the GUI's widgets over it.
class ViewportWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ViewportWindow(QWidget *parent = nullptr);
    ~ViewportWindow() override;

    virtual QString getId() const = 0;
    virtual Velmora::Ptr<Velmora::Gui> getGui() const;
    virtual Velmora::Ptr<Velmora::Player> getPlayer() const = 0;

signals:
    // The mouse entered the window.
    void hovered();

protected:
    void enterEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    // Paints the GUI's widgets (not a background) over what painter holds.
    void paintGui(QPainter &painter);
    // Whether the GUI would paint differently from what was painted last.
    bool guiChanged() const;

private:
    Velmora::Ptr<Velmora::Gui> gui_;
    uint64_t painted_gui_key_ = 0;
};
