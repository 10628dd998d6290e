#pragma once

#include <QPointer>
#include <QScrollArea>

namespace base {

// A scroll area that takes in its contents when their size is first needed
// (the area's size hints, or the area being resized or shown) instead of at
// once.
//
// QScrollArea::setWidget sizes the contents on the spot: it lays out every
// label's text and asks every scroll bar and item view for its size under
// the style sheet. A tool window that is made hidden at start-up paid that
// for a window the user may never open. Until then the contents already sit
// in the area's viewport, so that they are found among the window's children
// and polished with it, and once the size is needed everything is as if
// setWidget had been called at once. Callers that reach the area through a
// QScrollArea pointer see no widget until then.
class LazyScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit LazyScrollArea(QWidget *parent = nullptr);
    ~LazyScrollArea() override;

    // The same as QScrollArea's, only deferred.
    void setWidget(QWidget *widget);
    QWidget *widget() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;

private:
    // Gives the pending contents to QScrollArea.
    void takePending() const;

    mutable QPointer<QWidget> pending_;
};

} // namespace base
