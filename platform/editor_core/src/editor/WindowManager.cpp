#include "editor_core/editor/WindowManager.h"

#include "editor_core/EngineViewportWidget.h"
#include "editor_core/View.h"
#include "editor_core/ViewportWindowScene.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/WindowManagerPrivate.h"

#include "DockSizes.h"
#include "DockTitleBar.h"

#include <velmora/Log.h>

#include <QDockWidget>
#include <QEvent>
#include <QHeaderView>
#include <QLayout>
#include <QLayoutItem>
#include <QMainWindow>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVariant>

namespace Editor {

namespace {

// Version stamp of the layouts this window manager writes.
constexpr int LAYOUT_VERSION = 1;

WindowManager *s_instance = nullptr;

// The scroll area a tool window sits in inside its dock.
const char *const TOOL_SCROLL_AREA = "tool_scroll_area";

// What the node list and each view keep when the main window is small: the
// tool windows beside them give way first (they scroll in their docks).
constexpr int VIEW_MINIMUM_WIDTH = 160;
constexpr int VIEW_MINIMUM_HEIGHT = 120;

// The scroll area a tool window sits in. It asks for the window's own size
// (a plain QScrollArea caps its wish at a few dozen lines of text), so that
// a tool dock opens as wide as its window wants, and shrinks to little.
class ToolScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        const QWidget *contents = widget();
        if (!contents)
            return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        const QSize minimum = contents->minimumSize().expandedTo(contents->minimumSizeHint());
        return contents->sizeHint().expandedTo(minimum) + QSize(frame, frame);
    }
};

// The window a dock shows: a tool window in its scroll area, or the dock's
// own widget.
QWidget *dockContent(const QDockWidget *dock)
{
    QWidget *widget = dock->widget();
    auto area = qobject_cast<QScrollArea *>(widget);
    return area && area->objectName() == QLatin1String(TOOL_SCROLL_AREA) ? area->widget() : widget;
}

bool isToolDock(const QDockWidget *dock)
{
    const QWidget *widget = dock->widget();
    return widget && widget->objectName() == QLatin1String(TOOL_SCROLL_AREA);
}

// The width of a tool dock around a form of the given width: room beside
// it for a vertical scroll bar when the dock is lower than the form.
int toolDockWidth(const QDockWidget *dock, int form_width)
{
    auto area = static_cast<const QScrollArea *>(dock->widget());
    int width = form_width + 2 * area->frameWidth() + dock->width() - area->width();
    if (area->widget() && QWidgetItem(area->widget()).minimumSize().height() > area->viewport()->height())
        width += area->verticalScrollBar()->sizeHint().width();
    return width;
}

// The width a tool dock wants: its form's own.
int toolWidth(const QDockWidget *dock)
{
    auto area = static_cast<const QScrollArea *>(dock->widget());
    return toolDockWidth(dock, area->sizeHint().width() - 2 * area->frameWidth());
}

// The width a tool dock needs to show its form whole: the form's minimum,
// and wider where a table in it would scroll across, its columns narrower
// than their contents (stretched ones at their least).
int toolWholeWidth(const QDockWidget *dock)
{
    const QWidget *form = dockContent(dock);
    if (!form)
        return 0;
    int width = QWidgetItem(const_cast<QWidget *>(form)).minimumSize().width();
    for (const QAbstractItemView *view : form->findChildren<QAbstractItemView *>()) {
        auto table = qobject_cast<const QTableView *>(view);
        auto tree = qobject_cast<const QTreeView *>(view);
        const QHeaderView *header = table ? table->horizontalHeader() : tree ? tree->header() : nullptr;
        if (!header || view->isHidden() || !view->isVisibleTo(form)
            || view->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff)
            continue;
        int columns = 0;
        int last = -1;
        for (int visual = header->count() - 1; visual >= 0 && last < 0; --visual)
            if (!header->isSectionHidden(header->logicalIndex(visual)))
                last = header->logicalIndex(visual);
        for (int i = 0; i < header->count(); ++i) {
            if (header->isSectionHidden(i))
                continue;
            const bool stretched = header->sectionResizeMode(i) == QHeaderView::Stretch
                    || (i == last && header->stretchLastSection());
            columns += stretched ? header->minimumSectionSize() : header->sectionSize(i);
        }
        // The rest of the form beside the table keeps its width.
        const int beside = form->width() - view->viewport()->width();
        width = std::max(width, columns + beside);
    }
    return toolDockWidth(dock, width);
}

// Puts the tool window of a dock into a scroll area, so that the dock's
// minimum no longer is the whole form's: a narrow dock scrolls its form.
void putInScrollArea(QDockWidget *dock)
{
    QWidget *content = dock->widget();
    if (!content || dockContent(dock) != content)
        return;
    const bool shown = !content->isHidden();
    auto area = new ToolScrollArea(dock);
    area->setObjectName(QString::fromLatin1(TOOL_SCROLL_AREA));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // The dock hides the widget it gives up.
    dock->setWidget(area);
    area->setWidget(content);
    content->setVisible(shown);
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

struct WindowManager::Private
{
    // How a dock was first placed, so that the default layout can place it
    // the same way again.
    struct Record
    {
        QPointer<QWidget> widget;
        QPointer<QDockWidget> dock;
        QPointer<QWidget> previous_parent;
        int area_type = AREA_TOOL;
        int reference_type = -1;
        QPointer<QDockWidget> reference;
        QVector<QMetaObject::Connection> connections;
    };

    WindowManagerPrivate *priv = nullptr;
    QVector<Record> records;
    // Docks made by newDockParent() that no window has been added to yet.
    QVector<QPointer<QDockWidget>> new_docks;
    bool title_bars_pending = false;
    // What the docks want to be, and the main window whose resizing shares
    // the bands out again by it.
    DockSizes sizes;
    QPointer<QMainWindow> watched;
    bool fit_pending = false;
    bool remember_next_fit = false;

    // A dock shown as one tab of several gets the compact title bar (its tab
    // shows the title already); every other dock has the standard one.
    void updateTitleBars()
    {
        title_bars_pending = false;
        QMainWindow *main = mainWindow();
        if (!main)
            return;
        for (const Record &r : qAsConst(records)) {
            QDockWidget *dock = r.dock;
            if (!dock)
                continue;
            bool tabbed = false;
            if (!dock->isFloating() && main->dockWidgetArea(dock) != Qt::NoDockWidgetArea) {
                const QList<QDockWidget *> others = main->tabifiedDockWidgets(dock);
                for (const QDockWidget *other : others)
                    tabbed = tabbed || (!other->isHidden() && !other->isFloating());
            }
            auto bar = qobject_cast<DockTitleBar *>(dock->titleBarWidget());
            if (tabbed && !bar) {
                dock->setTitleBarWidget(new DockTitleBar(dock));
            } else if (!tabbed && bar) {
                dock->setTitleBarWidget(nullptr);
                bar->deleteLater();
            }
        }
        // A row of tabs too long for its docks shortens every title alike
        // (the tab's tool tip keeps the whole title); only a row that does
        // not fit even so scrolls.
        const QList<QTabBar *> tab_bars = main->findChildren<QTabBar *>(QString(), Qt::FindDirectChildrenOnly);
        for (QTabBar *tabs : tab_bars) {
            tabs->setElideMode(Qt::ElideRight);
            tabs->setUsesScrollButtons(true);
        }
        keepViewsUsable();
    }

    // The node list and the views keep a usable size in a small main window.
    void keepViewsUsable()
    {
        const QSize minimum(VIEW_MINIMUM_WIDTH, VIEW_MINIMUM_HEIGHT);
        for (const Record &r : qAsConst(records)) {
            QWidget *widget = r.widget;
            const bool view = widget
                    && (widget == depr::gui.nodes_window || qobject_cast<EngineViewportWidget *>(widget)
                        || qobject_cast<ViewportWindowScene *>(widget));
            if (view && r.dock && r.dock->minimumSize() != minimum)
                r.dock->setMinimumSize(minimum);
        }
    }

    // How a dock takes part in the sharing of its band (see DockSizes).
    DockSizes::Traits traitsOf(const QDockWidget *dock) const
    {
        DockSizes::Traits traits;
        const QWidget *content = dockContent(dock);
        if (content && content == depr::gui.nodes_window) {
            traits.rank = DockSizes::RANK_NODES;
            // The node list asks for the width that shows its names.
            traits.least_width = content->sizeHint().width() + dock->width() - content->width();
        } else if (qobject_cast<const EngineViewportWidget *>(content)
                   || qobject_cast<const ViewportWindowScene *>(content)) {
            traits.rank = DockSizes::RANK_VIEW;
        } else if (isToolDock(dock)) {
            traits.rank = DockSizes::RANK_TOOL;
            traits.least_width = toolWidth(dock);
            traits.whole_width = toolWholeWidth(dock);
        }
        return traits;
    }

    // Shares the main window's bands out by what the docks want, once the
    // main window's layout is up to date.
    void fitDocks()
    {
        fit_pending = false;
        QMainWindow *main = mainWindow();
        if (!main || !main->isVisible())
            return;
        if (QLayout *layout = main->layout())
            layout->activate();
        if (remember_next_fit)
            sizes.remember(main);
        remember_next_fit = false;
        sizes.fit(main, [this](const QDockWidget *dock) { return traitsOf(dock); });
        // At once: what asks for the sizes next sees them.
        if (QLayout *layout = main->layout())
            layout->activate();
    }

    void scheduleFit(QObject *context)
    {
        if (fit_pending)
            return;
        fit_pending = true;
        QTimer::singleShot(0, context, [this]() { fitDocks(); });
    }

    // A new layout: its sizes are what the docks want from now on (see
    // DockSizes::forget).
    void settleNewLayout(QObject *context)
    {
        sizes.forget(mainWindow());
        remember_next_fit = true;
        scheduleFit(context);
    }

    // The main window's resizes reach the window manager before its layout.
    void watchMainWindow(QMainWindow *main, QObject *filter)
    {
        if (!main || watched == main)
            return;
        if (watched)
            watched->removeEventFilter(filter);
        watched = main;
        main->installEventFilter(filter);
    }

    // Docks move, float and hide in bursts: the bars follow once the burst
    // is over.
    void scheduleTitleBars(QObject *context)
    {
        if (title_bars_pending)
            return;
        title_bars_pending = true;
        QTimer::singleShot(0, context, [this]() { updateTitleBars(); });
    }

    QMainWindow *mainWindow() const
    {
        if (depr::gui.main_window)
            return depr::gui.main_window;
        if (priv)
            return qobject_cast<QMainWindow *>(priv->window());
        return nullptr;
    }

    void prune()
    {
        for (int i = records.size() - 1; i >= 0; --i) {
            if (!records[i].widget || !records[i].dock) {
                for (const QMetaObject::Connection &c : records[i].connections)
                    QObject::disconnect(c);
                records.remove(i);
            }
        }
    }

    // The dock made by newDockParent() when parent is one, no longer new.
    QDockWidget *takeNewDock(QWidget *parent)
    {
        for (int i = 0; i < new_docks.size(); ++i) {
            if (new_docks[i] && new_docks[i] == parent) {
                QDockWidget *dock = new_docks[i];
                new_docks.remove(i);
                return dock;
            }
        }
        return nullptr;
    }

    int indexOf(const QWidget *widget) const
    {
        for (int i = 0; i < records.size(); ++i)
            if (records[i].widget == widget && records[i].dock)
                return i;
        return -1;
    }

    QDockWidget *dockOf(const QWidget *widget) const
    {
        const int i = widget ? indexOf(widget) : -1;
        return i < 0 ? nullptr : records[i].dock.data();
    }

    // The dock of a registry window, found by address: some registry types
    // (the console) belong to the editor and are only declared here.
    QDockWidget *dockOfRegistered(const void *window) const
    {
        if (!window)
            return nullptr;
        for (const Record &r : records)
            if (static_cast<const void *>(r.widget.data()) == window && r.dock)
                return r.dock;
        return nullptr;
    }

    QString uniqueDockName(const QString &base, const QDockWidget *self) const
    {
        QString name = base + QStringLiteral("_dock");
        int suffix = 2;
        auto taken = [&](const QString &candidate) {
            for (const Record &r : records)
                if (r.dock && r.dock != self && r.dock->objectName() == candidate)
                    return true;
            return false;
        };
        if (taken(name)) {
            Velmora::Log::warning("WindowManager: two windows are named \"%s\"; the layout "
                                  "keeps them apart by a number\n",
                                  utf8(base).constData());
            while (taken(base + QStringLiteral("_%1_dock").arg(suffix)))
                ++suffix;
            name = base + QStringLiteral("_%1_dock").arg(suffix);
        }
        return name;
    }

    void nameDock(QDockWidget *dock, QWidget *widget)
    {
        QString base = widget->objectName();
        if (base.isEmpty()) {
            base = QString::fromLatin1(widget->metaObject()->className());
            Velmora::Log::warning("WindowManager: a %s has no object name; its layout is "
                                  "saved under the class name\n",
                                  widget->metaObject()->className());
        }
        dock->setObjectName(uniqueDockName(base, dock));
    }

    void placeInArea(QMainWindow *main, QDockWidget *dock, int area_type)
    {
        switch (area_type) {
        case AREA_LEFT:
            main->addDockWidget(Qt::LeftDockWidgetArea, dock);
            dock->show();
            break;
        case AREA_RIGHT:
            main->addDockWidget(Qt::RightDockWidgetArea, dock);
            dock->show();
            break;
        case AREA_TOP:
            main->addDockWidget(Qt::TopDockWidgetArea, dock);
            dock->show();
            break;
        case AREA_BOTTOM:
            main->addDockWidget(Qt::BottomDockWidgetArea, dock);
            dock->show();
            break;
        case AREA_FLOATING:
            main->addDockWidget(Qt::RightDockWidgetArea, dock);
            dock->setFloating(true);
            dock->show();
            break;
        case AREA_TOOL:
        default:
            main->addDockWidget(Qt::RightDockWidgetArea, dock);
            // Tool windows share one group of tabs: opened together they
            // take turns instead of squeezing each other (and the window).
            if (QDockWidget *group = toolGroup(main, dock))
                main->tabifyDockWidget(group, dock);
            dock->hide();
            break;
        }
        // A dock only leaves its floating window once it is in the layout.
        if (dock->isFloating() && area_type != AREA_FLOATING)
            dock->setFloating(false);
    }

    // The dock of another tool window that is docked on the right, to
    // share its tabs; null when there is none.
    QDockWidget *toolGroup(QMainWindow *main, const QDockWidget *dock) const
    {
        for (const Record &r : records) {
            QDockWidget *other = r.dock;
            if (r.area_type == AREA_TOOL && other && other != dock && !other->isFloating()
                && main->dockWidgetArea(other) == Qt::RightDockWidgetArea)
                return other;
        }
        return nullptr;
    }

    // False when the reference cannot take the dock (gone, floating or not
    // in this main window); the caller then places it on the right.
    bool placeByReference(QMainWindow *main, QDockWidget *dock, int reference_type, QDockWidget *reference)
    {
        if (!reference || reference == dock || reference->isFloating()
            || main->dockWidgetArea(reference) == Qt::NoDockWidgetArea)
            return false;
        if (reference_type < REFERENCE_TABIFY || reference_type > REFERENCE_SPLIT_HORIZONTAL)
            return false;
        main->addDockWidget(main->dockWidgetArea(reference), dock);
        if (dock->isFloating())
            dock->setFloating(false);
        if (reference_type == REFERENCE_TABIFY)
            main->tabifyDockWidget(reference, dock);
        else
            main->splitDockWidget(reference, dock,
                                  reference_type == REFERENCE_SPLIT_VERTICAL ? Qt::Vertical : Qt::Horizontal);
        dock->show();
        return true;
    }
};

WindowManager::WindowManager(QObject *parent)
    : QObject(parent)
    , d_(new Private)
{
    if (s_instance)
        Velmora::Log::warning("WindowManager: a second window manager replaces the first\n");
    s_instance = this;
    d_->priv = new WindowManagerPrivate(this);
    d_->priv->setObjectName(QStringLiteral("WindowManager"));
    depr::g.window_manager = d_->priv;
}

WindowManager::~WindowManager()
{
    d_->prune();
    // Docks still here go; their widgets return to where they came from.
    const QVector<Private::Record> records = d_->records;
    for (const Private::Record &r : records)
        if (r.widget)
            remove(r.widget);

    if (d_->priv) {
        d_->priv->manager_ = nullptr;
        if (!d_->priv->parent()) {
            if (depr::g.window_manager == d_->priv)
                depr::g.window_manager = nullptr;
            delete d_->priv;
        }
    }
    if (s_instance == this)
        s_instance = nullptr;
    delete d_;
}

WindowManager *WindowManager::instance()
{
    return s_instance;
}

WindowManagerPrivate *WindowManager::getPrivate() const
{
    return d_->priv;
}

static WindowManager *requireInstance(const char *call)
{
    if (!s_instance)
        Velmora::Log::error("WindowManager::%s: there is no window manager\n", call);
    return s_instance;
}

QWidget *WindowManager::newDockParent(QWidget *fallback)
{
    if (!s_instance)
        return fallback;
    QMainWindow *main = s_instance->d_->mainWindow();
    if (!main)
        return fallback;
    auto *dock = new QDockWidget(main);
    s_instance->d_->new_docks.append(dock);
    return dock;
}

bool WindowManager::add(QWidget *widget, int area_type)
{
    WindowManager *self = requireInstance("add");
    if (!self || !widget)
        return false;
    Private *d = self->d_;
    d->prune();
    QMainWindow *main = d->mainWindow();
    if (!main) {
        Velmora::Log::error("WindowManager::add: there is no main window\n");
        return false;
    }
    if (d->indexOf(widget) >= 0) {
        Velmora::Log::warning("WindowManager::add: \"%s\" is docked already\n", utf8(widget->objectName()).constData());
        return false;
    }
    if (area_type < AREA_LEFT || area_type > AREA_TOOL) {
        Velmora::Log::warning("WindowManager::add: unknown area type %d, docked as a tool "
                              "window\n",
                              area_type);
        area_type = AREA_TOOL;
    }

    Private::Record record;
    record.widget = widget;
    record.previous_parent = widget->parentWidget();
    record.area_type = area_type;

    QDockWidget *dock = d->takeNewDock(widget->parentWidget());
    if (dock) {
        // Made in its dock: the main window stands where the dock is.
        record.previous_parent = main;
        dock->setWindowTitle(widget->windowTitle());
        // A window (a tool window) becomes a child, as when it is moved in.
        if (widget->isWindow())
            widget->setParent(dock, widget->windowFlags() & ~Qt::WindowType_Mask);
    } else {
        dock = new QDockWidget(widget->windowTitle(), main);
    }
    record.dock = dock;
    d->nameDock(dock, widget);
    dock->setWidget(widget);
    if (widget->isHidden() && !widget->testAttribute(Qt::WA_WState_ExplicitShowHide))
        widget->show();

    QPointer<QWidget> guarded = widget;
    QPointer<QDockWidget> guarded_dock = dock;
    record.connections.append(
            connect(dock, &QDockWidget::visibilityChanged, self, [self, guarded, guarded_dock](bool visible) {
                if (!visible && guarded && guarded_dock && dockContent(guarded_dock) == guarded)
                    emit self->windowHidden(guarded);
            }));
    record.connections.append(connect(widget, &QWidget::windowTitleChanged, dock, &QDockWidget::setWindowTitle));
    const auto title_bars = [d, self]() { d->scheduleTitleBars(self); };
    record.connections.append(connect(dock, &QDockWidget::visibilityChanged, self, title_bars));
    record.connections.append(connect(dock, &QDockWidget::topLevelChanged, self, title_bars));
    record.connections.append(connect(dock, &QDockWidget::dockLocationChanged, self, title_bars));
    record.connections.append(
            connect(widget, &QObject::objectNameChanged, dock, [d, guarded, guarded_dock](const QString &) {
                if (guarded && guarded_dock)
                    d->nameDock(guarded_dock, guarded);
            }));
    record.connections.append(connect(widget, &QObject::destroyed, dock, [guarded_dock]() {
        // The caller deleted the widget without removing it: the empty dock
        // goes too.
        if (guarded_dock)
            guarded_dock->deleteLater();
    }));

    // The node list's width follows its names.
    if (widget == depr::gui.nodes_window)
        dock->installEventFilter(self);
    // A tool window goes into its scroll area when its dock is first made
    // ready to show, before the window itself is styled.
    if (area_type == AREA_TOOL) {
        if (dock->testAttribute(Qt::WA_WState_Polished))
            putInScrollArea(dock);
        else
            dock->installEventFilter(self);
    }

    d->placeInArea(main, dock, area_type);
    d->records.append(record);
    d->scheduleTitleBars(self);
    d->watchMainWindow(main, self);
    return true;
}

bool WindowManager::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == d_->watched) {
        d_->scheduleFit(this);
    } else if (event->type() == QEvent::MouseButtonRelease && watched == d_->watched) {
        // The user may have moved a separator between docks: the sizes that
        // shows are what the docks want.
        Private *d = d_;
        QTimer::singleShot(0, this, [d]() { d->sizes.remember(d->watched); });
    } else if (event->type() == QEvent::LayoutRequest && watched != d_->watched) {
        // The node list asks for a new width (its names changed).
        d_->scheduleFit(this);
    } else if (event->type() == QEvent::Polish) {
        auto dock = qobject_cast<QDockWidget *>(watched);
        if (dock && dockContent(dock) != depr::gui.nodes_window) {
            dock->removeEventFilter(this);
            putInScrollArea(dock);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool WindowManager::add(QWidget *widget, int reference_type, const Area &area)
{
    WindowManager *self = requireInstance("add");
    if (!self || !widget)
        return false;
    if (reference_type < REFERENCE_TABIFY || reference_type > REFERENCE_SPLIT_HORIZONTAL) {
        Velmora::Log::warning("WindowManager::add: unknown reference type %d\n", reference_type);
        return add(widget, int(AREA_RIGHT));
    }
    // Dock on the right first, then move the dock beside its reference.
    if (!add(widget, int(AREA_RIGHT)))
        return false;
    Private *d = self->d_;
    Private::Record &record = d->records.last();
    record.area_type = -1;
    record.reference_type = reference_type;
    record.reference = area.dock_;
    QMainWindow *main = d->mainWindow();
    main->removeDockWidget(record.dock);
    if (!d->placeByReference(main, record.dock, reference_type, area.dock_)) {
        Velmora::Log::warning("WindowManager::add: the reference window of \"%s\" is not "
                              "docked; it goes to the right\n",
                              utf8(widget->objectName()).constData());
        record.area_type = AREA_RIGHT;
        record.reference_type = -1;
        d->placeInArea(main, record.dock, AREA_RIGHT);
    }
    d->scheduleTitleBars(self);
    return true;
}

WindowManager::Area WindowManager::getArea(QWidget *widget)
{
    WindowManager *self = requireInstance("getArea");
    if (!self)
        return Area();
    return Area(self->d_->dockOf(widget));
}

void WindowManager::activate(QWidget *widget)
{
    show(widget);
    QDockWidget *dock = getDock(widget);
    if (dock && dock->isFloating())
        dock->activateWindow();
}

void WindowManager::show(QWidget *widget)
{
    if (!widget)
        return;
    QDockWidget *dock = getDock(widget);
    if (!dock) {
        // Not docked (dialogs, the About window): show it as a window.
        widget->show();
        widget->raise();
        return;
    }
    if (widget->isHidden())
        widget->show();
    Private *d = s_instance->d_;
    QMainWindow *main = d->mainWindow();
    // What the docks show before this one opens is what they want.
    if (main && !dock->isFloating())
        d->sizes.remember(main);
    dock->show();
    dock->raise();
    if (main && !dock->isFloating()) {
        if (QLayout *layout = main->layout())
            layout->activate();
        // A tool window gets its form's width: the views give way, the node
        // list keeps the width of its names. Forms settle their size when
        // they are first shown: the docks are shared out again after that.
        d->fitDocks();
        d->scheduleFit(s_instance);
    }
    widget->setFocus(Qt::OtherFocusReason);
}

void WindowManager::hide(QWidget *widget)
{
    if (!widget)
        return;
    if (QDockWidget *dock = getDock(widget))
        dock->hide();
    else
        widget->hide();
}

bool WindowManager::isVisible(QWidget *widget)
{
    if (!widget)
        return false;
    if (QDockWidget *dock = getDock(widget))
        return dock->isVisible() && widget->isVisible();
    return widget->isVisible();
}

void WindowManager::remove(QWidget *widget)
{
    WindowManager *self = requireInstance("remove");
    if (!self || !widget)
        return;
    Private *d = self->d_;
    const int i = d->indexOf(widget);
    if (i < 0) {
        Velmora::Log::warning("WindowManager::remove: \"%s\" is not docked\n", utf8(widget->objectName()).constData());
        return;
    }
    Private::Record record = d->records.takeAt(i);
    for (const QMetaObject::Connection &c : record.connections)
        disconnect(c);
    QDockWidget *dock = record.dock;
    if (QMainWindow *main = d->mainWindow())
        main->removeDockWidget(dock);
    widget->setParent(record.previous_parent);
    delete dock;
    d->scheduleTitleBars(self);
}

void WindowManager::resize(QWidget *widget, int width, int height)
{
    WindowManager *self = requireInstance("resize");
    if (!self)
        return;
    QDockWidget *dock = self->d_->dockOf(widget);
    QMainWindow *main = self->d_->mainWindow();
    if (!dock || !main)
        return;
    main->resizeDocks({dock}, {width}, Qt::Horizontal);
    main->resizeDocks({dock}, {height}, Qt::Vertical);
    self->d_->sizes.want(main, dock, QSize(width, height));
}

QDockWidget *WindowManager::getDock(QWidget *widget)
{
    return s_instance ? s_instance->d_->dockOf(widget) : nullptr;
}

bool WindowManager::contains(QWidget *widget)
{
    return getDock(widget) != nullptr;
}

QList<QWidget *> WindowManager::getWidgets()
{
    QList<QWidget *> widgets;
    if (!s_instance)
        return widgets;
    s_instance->d_->prune();
    for (const Private::Record &r : s_instance->d_->records)
        widgets.append(r.widget);
    return widgets;
}

QVariant WindowManager::saveState() const
{
    QMainWindow *main = d_->mainWindow();
    if (!main)
        return QVariant();
    return QVariant(main->saveState(LAYOUT_VERSION));
}

void WindowManager::restoreState(const QVariant &state)
{
    QMainWindow *main = d_->mainWindow();
    if (!main) {
        Velmora::Log::error("WindowManager::restoreState: there is no main window\n");
        return;
    }
    const QByteArray bytes = state.isValid() ? state.toByteArray() : QByteArray();
    if (bytes.isEmpty()) {
        applyDefaultLayout();
        return;
    }
    d_->prune();
    if (!main->restoreState(bytes, LAYOUT_VERSION)) {
        Velmora::Log::warning("WindowManager: the saved window layout cannot be read; the "
                              "default layout is used\n");
        applyDefaultLayout();
        return;
    }
    d_->settleNewLayout(this);
    d_->scheduleTitleBars(this);
}

void WindowManager::applyDefaultLayout()
{
    QMainWindow *main = d_->mainWindow();
    if (!main)
        return;
    d_->prune();

    QDockWidget *browser = d_->dockOfRegistered(depr::gui.asset_browser);
    QDockWidget *console = d_->dockOfRegistered(depr::gui.console);
    QDockWidget *nodes = d_->dockOfRegistered(depr::gui.nodes_window);
    QDockWidget *viewport = d_->dockOfRegistered(depr::gui.engine_viewport);

    for (const Private::Record &r : qAsConst(d_->records))
        main->removeDockWidget(r.dock);

    // The fixed places first, so that the others can refer to them.
    if (nodes)
        d_->placeInArea(main, nodes, AREA_LEFT);
    if (viewport && (!nodes || !d_->placeByReference(main, viewport, REFERENCE_SPLIT_HORIZONTAL, nodes)))
        d_->placeInArea(main, viewport, AREA_LEFT);
    if (browser)
        d_->placeInArea(main, browser, AREA_BOTTOM);
    if (console && (!browser || !d_->placeByReference(main, console, REFERENCE_TABIFY, browser)))
        d_->placeInArea(main, console, AREA_BOTTOM);

    for (const Private::Record &r : qAsConst(d_->records)) {
        QDockWidget *dock = r.dock;
        if (dock == nodes || dock == viewport || dock == browser || dock == console)
            continue;
        if (r.reference_type >= 0) {
            if (!d_->placeByReference(main, dock, r.reference_type, r.reference))
                d_->placeInArea(main, dock, AREA_RIGHT);
        } else {
            // Floating windows come back docked; tool windows stay hidden.
            d_->placeInArea(main, dock, r.area_type == AREA_FLOATING ? AREA_RIGHT : r.area_type);
        }
    }
    // Floating windows come back into the main window.
    for (const Private::Record &r : qAsConst(d_->records))
        if (r.dock->isFloating())
            r.dock->setFloating(false);
    if (browser)
        browser->raise();

    // Most of the window goes to the views: the node list keeps a fifth of
    // the width, the engine viewport and the scene viewports beside it share
    // the rest equally (each scene needs room for the panels it shows over
    // its picture), the bottom windows take a third of the height.
    QList<QDockWidget *> views;
    if (viewport)
        views.append(viewport);
    for (const Private::Record &r : qAsConst(d_->records))
        if (qobject_cast<ViewportWindowScene *>(r.widget) && !r.dock->isHidden())
            views.append(r.dock);
    const QSize size = main->size();
    QList<QDockWidget *> row = views;
    QList<int> widths;
    const int view_width = nodes ? size.width() * 4 / 5 : size.width();
    for (int i = 0; i < views.size(); ++i)
        widths.append(view_width / views.size());
    if (nodes) {
        row.prepend(nodes);
        widths.prepend(size.width() / 5);
    }
    if (row.size() > 1)
        main->resizeDocks(row, widths, Qt::Horizontal);
    if (browser && (nodes || viewport))
        main->resizeDocks({viewport ? viewport : nodes, browser}, {size.height() * 2 / 3, size.height() / 3},
                          Qt::Vertical);
    d_->settleNewLayout(this);
    d_->scheduleTitleBars(this);
}

} // namespace Editor
