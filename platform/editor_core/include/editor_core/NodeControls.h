#pragma once

#include "editor_core/ViewportWindow.h"
#include "editor_core/core/CallLog.h"

#include <QObject>
#include <QPointer>

// Placeholder: the node editing controls of the viewports. Besides init and
// shutdown (recorded) it keeps the viewport window the pointer last hovered,
// which the shell copies in from the viewport manager.
class NodeControls : public QObject
{
    Q_OBJECT

public:
    explicit NodeControls(QObject *parent = nullptr);
    ~NodeControls() override;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

    void setHoveredViewport(ViewportWindow *viewport);
    ViewportWindow *hoveredViewport() const;

private:
    bool initialized_ = false;
    QPointer<ViewportWindow> hovered_viewport_;
    core::CallLog log_;
};
