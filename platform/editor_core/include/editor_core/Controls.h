#pragma once

#include "editor_core/core/CallLog.h"

#include <QList>
#include <QObject>
#include <QPointer>

class EditorLogic;
class QWidget;

// Placeholder: the input controls of the editor (shortcuts of the windows
// handed to it). It keeps the widgets given to addWidget and counts its
// update steps; no input handling yet.
class Controls : public QObject
{
    Q_OBJECT

public:
    explicit Controls(EditorLogic *parent);
    ~Controls() override;

    void init();
    void update();
    void shutdown();

    void addWidget(QWidget *widget);
    void removeWidget(QWidget *widget);
    QList<QWidget *> widgets() const;

    bool isInitialized() const { return initialized_; }
    int updateCount() const { return updates_; }
    const core::CallLog &callLog() const { return log_; }

private:
    QList<QPointer<QWidget>> widgets_;
    bool initialized_ = false;
    int updates_ = 0;
    core::CallLog log_;
};
