#include "DockSizes.h"

#include <QDockWidget>
#include <QLayoutItem>
#include <QMainWindow>

#include <algorithm>

namespace Editor {

namespace {

int along(const QSize &size, Qt::Orientation o)
{
    return o == Qt::Horizontal ? size.width() : size.height();
}

// Docks that take part in the layout as it shows: docked, shown, and not a
// tab parked behind the current one.
QList<QDockWidget *> shownDocks(QMainWindow *main)
{
    QList<QDockWidget *> docks;
    for (QDockWidget *dock : main->findChildren<QDockWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!dock->isHidden() && !dock->isFloating() && main->dockWidgetArea(dock) != Qt::NoDockWidgetArea
            && dock->width() > 0 && dock->height() > 0 && main->rect().intersects(dock->geometry()))
            docks.append(dock);
    }
    return docks;
}

bool isSide(QMainWindow *main, QDockWidget *dock)
{
    const Qt::DockWidgetArea area = main->dockWidgetArea(dock);
    return area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
}

} // namespace

// A column (across) or a row (down) of a band: the docks that share one
// span, resized through the first of them.
struct DockSizes::Part
{
    QList<QDockWidget *> docks;
    int start = 0;
    int size = 0;
    int minimum = 0;
    int wanted = 0;
    int whole = 0;
    int rank = RANK_OTHER;
};

void DockSizes::remember(QMainWindow *main)
{
    // A main window resized since the last sharing shows the sizes its own
    // layout gave the docks, not the ones they want.
    if (squeezed_ || !main || !main->isVisible() || main->size() != fitted_size_)
        return;
    for (QDockWidget *dock : shownDocks(main)) {
        wanted_.insert(dock, dock->size());
        for (QDockWidget *tab : main->tabifiedDockWidgets(dock))
            wanted_.insert(tab, dock->size());
    }
}

void DockSizes::forget(QMainWindow *main)
{
    wanted_.clear();
    squeezed_ = false;
    fitted_size_ = main ? main->size() : QSize();
}

void DockSizes::want(QMainWindow *main, QDockWidget *dock, const QSize &size)
{
    wanted_.insert(dock, size);
    for (QDockWidget *tab : main->tabifiedDockWidgets(dock))
        wanted_.insert(tab, size);
}

void DockSizes::fit(QMainWindow *main, const TraitsOf &traits)
{
    if (!main)
        return;
    // Both bands run, even when the first finds its docks squeezed.
    const bool across = fitBand(main, Qt::Horizontal, traits);
    const bool down = fitBand(main, Qt::Vertical, traits);
    squeezed_ = across || down;
    fitted_size_ = main->size();
    // Wishes of docks that are gone.
    const QList<QDockWidget *> docks = main->findChildren<QDockWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (auto it = wanted_.begin(); it != wanted_.end();) {
        if (docks.contains(const_cast<QDockWidget *>(it.key())))
            ++it;
        else
            it = wanted_.erase(it);
    }
}

bool DockSizes::fitBand(QMainWindow *main, Qt::Orientation o, const TraitsOf &traits)
{
    const QList<QDockWidget *> docks = shownDocks(main);
    QVector<Part> parts;
    auto spanOf = [o](const QDockWidget *dock) {
        const QRect g = dock->geometry();
        return o == Qt::Horizontal ? qMakePair(g.left(), g.width()) : qMakePair(g.top(), g.height());
    };
    auto partAt = [&parts](int start, int size) -> Part & {
        for (Part &part : parts)
            if (part.start == start && part.size == size)
                return part;
        parts.append(Part());
        parts.last().start = start;
        parts.last().size = size;
        return parts.last();
    };
    if (o == Qt::Horizontal) {
        for (QDockWidget *dock : docks)
            if (isSide(main, dock))
                partAt(spanOf(dock).first, spanOf(dock).second).docks.append(dock);
    } else {
        // The band of the side areas is one row, resized through a dock
        // that spans all of it.
        QList<QDockWidget *> band;
        int top = INT_MAX;
        int bottom = INT_MIN;
        for (QDockWidget *dock : docks) {
            if (isSide(main, dock)) {
                band.append(dock);
                top = std::min(top, dock->geometry().top());
                bottom = std::max(bottom, dock->geometry().bottom());
            } else {
                partAt(spanOf(dock).first, spanOf(dock).second).docks.append(dock);
            }
        }
        if (!band.isEmpty()) {
            const auto whole = std::find_if(band.begin(), band.end(), [top, bottom](const QDockWidget *dock) {
                return dock->geometry().top() == top && dock->geometry().bottom() == bottom;
            });
            if (whole == band.end())
                return false;
            std::iter_swap(band.begin(), whole);
            Part &middle = partAt(top, bottom - top + 1);
            middle.docks = band;
        }
    }
    if (parts.size() < 2)
        return false;
    std::sort(parts.begin(), parts.end(), [](const Part &a, const Part &b) { return a.start < b.start; });
    int total = 0;
    for (int i = 0; i < parts.size(); ++i) {
        // Spans that overlap without being one: a layout to leave alone.
        if (i > 0 && parts[i - 1].start + parts[i - 1].size > parts[i].start)
            return false;
        total += parts[i].size;
    }

    for (Part &part : parts) {
        bool view = false;
        part.rank = RANK_VIEW;
        part.wanted = 0;
        int least = 0;
        for (QDockWidget *dock : qAsConst(part.docks)) {
            const Traits t = traits(dock);
            view = view || t.rank == RANK_VIEW;
            part.rank = std::max(part.rank, t.rank);
            part.minimum = std::max(part.minimum, along(QWidgetItem(dock).minimumSize(), o));
            part.wanted = std::max(part.wanted, along(wanted_.value(dock, dock->size()), o));
            if (o == Qt::Horizontal) {
                least = std::max(least, t.least_width);
                part.whole = std::max(part.whole, t.whole_width);
            }
        }
        if (view)
            part.rank = RANK_VIEW;
        // The node list's names leave the views most of the band.
        part.wanted = std::max(part.wanted, part.rank == RANK_NODES ? std::min(least, total / 3) : least);
        part.wanted = std::max(part.wanted, part.minimum);
        part.whole = std::clamp(part.whole, part.minimum, part.wanted);
    }

    // Everyone gets their minimum; the tool windows the width that shows
    // them whole; the windows beside the views get what they want, the last
    // to give way first; the views share the rest as they shared it before.
    QVector<int> sizes(parts.size());
    int rest = total;
    for (int i = 0; i < parts.size(); ++i) {
        sizes[i] = parts[i].minimum;
        rest -= parts[i].minimum;
    }
    if (rest < 0)
        return true;
    for (int i = 0; i < parts.size(); ++i) {
        const int more = std::min(parts[i].whole - sizes[i], rest);
        sizes[i] += more;
        rest -= more;
    }
    for (int rank = RANK_NODES; rank > RANK_VIEW; --rank) {
        for (int i = 0; i < parts.size(); ++i) {
            if (parts[i].rank != rank)
                continue;
            const int more = std::min(parts[i].wanted - sizes[i], rest);
            sizes[i] += more;
            rest -= more;
        }
    }
    bool squeezed = false;
    for (int i = 0; i < parts.size(); ++i)
        squeezed = squeezed || (parts[i].rank != RANK_VIEW && sizes[i] < parts[i].wanted - 1);
    // The rest goes to the views (to every part when there is none), by
    // what each wants.
    QVector<int> takers;
    for (int i = 0; i < parts.size(); ++i)
        if (parts[i].rank == RANK_VIEW)
            takers.append(i);
    if (takers.isEmpty())
        for (int i = 0; i < parts.size(); ++i)
            takers.append(i);
    qint64 weights = 0;
    for (int i : qAsConst(takers))
        weights += std::max(1, parts[i].wanted);
    const int shared = rest;
    for (int n = 0; n < takers.size(); ++n) {
        const int i = takers[n];
        const int share = n + 1 == takers.size() ? rest : int(qint64(shared) * std::max(1, parts[i].wanted) / weights);
        sizes[i] += share;
        rest -= share;
    }

    QList<QDockWidget *> targets;
    QList<int> lengths;
    bool changed = false;
    for (int i = 0; i < parts.size(); ++i) {
        targets.append(parts[i].docks.first());
        lengths.append(sizes[i]);
        changed = changed || sizes[i] != parts[i].size;
    }
    if (changed)
        main->resizeDocks(targets, lengths, o);
    return squeezed;
}

} // namespace Editor
