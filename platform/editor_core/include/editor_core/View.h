#pragma once

#include <QMainWindow>

class QCloseEvent;

// The editor's main window. Docked windows are arranged by
// Editor::WindowManager; closing the window is always accepted (the shell
// saves geometry and layout itself, so that every quit path saves them).
class View : public QMainWindow
{
    Q_OBJECT

public:
    explicit View(QWidget *parent = nullptr);
    ~View() override;

protected:
    void closeEvent(QCloseEvent *event) override;
};
