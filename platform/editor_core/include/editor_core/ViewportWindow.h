#pragma once

#include <velmora/Ptr.h>

#include <QWidget>

namespace Velmora {
class Gui;
class Player;
} // namespace Velmora

// A viewport window of the editor: something the engine renders a player
// into. Gives its engine GUI (may be null) and its player (the camera it
// shows).
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
};
