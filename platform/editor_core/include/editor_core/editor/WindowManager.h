#pragma once

#include <QDockWidget>
#include <QObject>
#include <QPointer>

class QMainWindow;
class QWidget;

namespace Editor {

class WindowManagerPrivate;

// Docks the editor's windows into the main window (depr::gui.main_window).
// Every added widget lives in a QDockWidget named "<object name>_dock", so
// that QMainWindow::saveState can find it again. One instance at a time;
// the static calls act on it and log an error when there is none.
//
// Area types of add(w, type):
//   1 left, 2 right, 3 top, 4 bottom (shown at once), 5 floating,
//   6 right and hidden until shown (the type used for every tool window;
//     it scrolls inside its dock, so that a narrow dock does not hold the
//     main window's other docks to their minimum).
// Reference types of add(w, type, area):
//   0 tabified with the referenced dock, 1 split below it,
//   2 split beside it (horizontally).
//
// The views (engine and scene viewports) stand where a central widget
// would: the docks beside them keep the size they want (as the layout, the
// user's separators or resize() left them) and the views take the rest,
// giving way first, down to their own minimum, when the main window shrinks
// or a dock asks for more. A tool window shown gets its form's width (its
// size hint), the node list the width that shows its names; a main window
// made small and then large again gets its arrangement back.
class WindowManager : public QObject
{
    Q_OBJECT

public:
    enum AreaType {
        AREA_LEFT = 1,
        AREA_RIGHT = 2,
        AREA_TOP = 3,
        AREA_BOTTOM = 4,
        AREA_FLOATING = 5,
        AREA_TOOL = 6,
    };
    enum ReferenceType {
        REFERENCE_TABIFY = 0,
        REFERENCE_SPLIT_VERTICAL = 1,
        REFERENCE_SPLIT_HORIZONTAL = 2,
    };

    // Opaque reference to a widget's dock, given by getArea().
    class Area
    {
    public:
        Area() = default;
        bool isValid() const { return !dock_.isNull(); }
        bool operator==(const Area &other) const { return dock_ == other.dock_; }

    private:
        friend class WindowManager;
        explicit Area(QDockWidget *dock)
            : dock_(dock)
        {}
        QPointer<QDockWidget> dock_;
    };

    // Creates the private (the central widget carrying the menu signals) and
    // stores it in depr::g.window_manager.
    explicit WindowManager(QObject *parent = nullptr);
    // Deletes every dock it made (the widgets in them go back to their
    // previous parents). The private stays when the main window owns it as
    // its central widget, and so does depr::g.window_manager; an unowned
    // private is deleted and the registry member cleared.
    ~WindowManager() override;

    static WindowManager *instance();
    WindowManagerPrivate *getPrivate() const;

    // A new dock to make a window in (as the window's parent) before add()
    // docks the window there. A finished window moved into a dock is restyled
    // in full under the application's style sheet, one made inside its dock is
    // not; add() sees the same window either way and gives it back to the main
    // window on remove(). Without a window manager or main window it returns
    // fallback. The window made in it must be added next.
    static QWidget *newDockParent(QWidget *fallback);
    static bool add(QWidget *widget, int area_type);
    static bool add(QWidget *widget, int reference_type, const Area &area);
    static Area getArea(QWidget *widget);
    static void activate(QWidget *widget);
    static void show(QWidget *widget);
    static void hide(QWidget *widget);
    static bool isVisible(QWidget *widget);
    static void remove(QWidget *widget);
    static void resize(QWidget *widget, int width, int height);

    // The dock that holds widget, null when it is not docked (tests, and
    // callers that need to inspect the layout).
    static QDockWidget *getDock(QWidget *widget);
    static bool contains(QWidget *widget);
    // Docked widgets in the order they were added.
    static QList<QWidget *> getWidgets();

    // The main window's layout (QMainWindow::saveState bytes).
    QVariant saveState() const;
    // Applies a layout made by saveState(); an empty or invalid value
    // applies the default layout.
    void restoreState(const QVariant &state);
    // Asset browser and console tabbed at the bottom, nodes on the left,
    // the engine viewport right of the nodes, other placed windows where
    // they were first added, tool windows hidden.
    void applyDefaultLayout();

signals:
    // A dock became hidden (closed, or covered by a tab).
    void windowHidden(QWidget *widget);

protected:
    // Puts a tool window into its scroll area when its dock is first polished.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Private;
    Private *d_ = nullptr;
};

} // namespace Editor
