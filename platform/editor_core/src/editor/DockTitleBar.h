#pragma once

#include <QWidget>

class QDockWidget;
class QToolButton;

namespace Editor {

// The title bar of a dock that shares its place with other docks as a tab.
// The tab already shows the title, so this bar carries only the float and
// close buttons; a drag on the rest of the bar moves the dock as the
// standard title bar does (the bar ignores the mouse events, and the dock
// handles them).
class DockTitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit DockTitleBar(QDockWidget *dock);

    QToolButton *floatButton() const { return float_button_; }
    QToolButton *closeButton() const { return close_button_; }

private:
    QToolButton *float_button_ = nullptr;
    QToolButton *close_button_ = nullptr;
};

} // namespace Editor
