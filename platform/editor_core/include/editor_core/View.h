#pragma once

#include <QMainWindow>

#include <functional>

class QCloseEvent;

// The editor's main window. Docked windows are arranged by
// Editor::WindowManager. The shell saves geometry and layout itself, so that
// every quit path saves them; before the user's own quit goes on (the
// window's close button, File > Quit) the window asks its quit guard.
//
// The docked windows set the window's minimum size, but never beyond the
// available area of its screen: however many windows are open, the window
// does not grow past the screen (the docks share what room there is).
class View : public QMainWindow
{
    Q_OBJECT

public:
    // Answers whether the editor may quit now (it may ask the user); false
    // keeps the editor running.
    using QuitGuard = std::function<bool()>;

    explicit View(QWidget *parent = nullptr);
    ~View() override;

    // An empty guard lets every quit go on.
    void setQuitGuard(QuitGuard guard);
    // Asks the guard (true without one). A request that arrives while the
    // guard is still asking is refused: the first question decides.
    // Quits that do not come from the user's window (QCoreApplication::quit,
    // the engine asking the application to quit) never come here.
    bool confirmQuit();

    // Takes the minimum size of the docked windows' layout, bounded by the
    // screen's available area (less the window frame), as the window's own.
    // When that grows the window, the window is moved back inside the area.
    // Runs whenever the layout changes; a caller that has just changed the
    // layout and needs the result at once calls it itself.
    void updateMinimumSize();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QuitGuard quit_guard_;
    bool asking_ = false;
};
