#pragma once

#include <QHash>
#include <QSize>
#include <Qt>

#include <functional>

class QDockWidget;
class QMainWindow;

namespace Editor {

// What the docks of the main window want to be, and the sharing of each
// band of docks by it. The views (the engine and scene viewports) stand
// where a central widget would: the docks beside them keep the size they
// want and the views take the rest, giving way down to their own minimum
// before anything else does. A main window made small and then large again
// so gets its first arrangement back, and a tool window shown gets its
// form's width from the views.
//
// The bands: across, the columns of the left and right dock areas; down,
// the top area, the band of the left and right areas, and the bottom area.
// A band whose docks do not line up in plain columns or rows is left to
// the main window's own layout.
class DockSizes
{
public:
    // Who gives way last: the views first, then the tool windows (they
    // scroll in their docks), then the other windows, the node list last;
    // but a tool window keeps the width that shows it whole before the node
    // list keeps the width of its names.
    enum Rank {
        RANK_VIEW = 0,
        RANK_TOOL = 1,
        RANK_OTHER = 2,
        RANK_NODES = 3,
    };
    struct Traits
    {
        int rank = RANK_OTHER;
        // Width the dock wants at least (a tool window's form, the node
        // list's names: a third of the band at most); 0 for none.
        int least_width = 0;
        // Width a tool window needs to show whole, nothing in it scrolling
        // across: it gets it before the node list gets its names' width.
        int whole_width = 0;
    };
    using TraitsOf = std::function<Traits(const QDockWidget *)>;

    // Takes the present sizes of the docks as the sizes they want (the user
    // may have moved their separators), unless the main window was resized
    // since the last sharing, or the last sharing could not give the docks
    // what they wanted (the window is too small for them): then what they
    // wanted stays.
    void remember(QMainWindow *main);
    // Forgets every wish: the layout applied to the main window at its
    // present size gives the docks the sizes they want.
    void forget(QMainWindow *main);
    // A caller asks for the dock's size (and the docks tabbed with it).
    void want(QMainWindow *main, QDockWidget *dock, const QSize &size);
    // Shares both bands out again by the wishes.
    void fit(QMainWindow *main, const TraitsOf &traits);
    bool isSqueezed() const { return squeezed_; }

private:
    struct Part;
    bool fitBand(QMainWindow *main, Qt::Orientation o, const TraitsOf &traits);

    QHash<const QDockWidget *, QSize> wanted_;
    bool squeezed_ = false;
    QSize fitted_size_;
};

} // namespace Editor
