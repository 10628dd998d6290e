#pragma once

#include <QObject>

// A job stepped once per pass of the editor's loop on the GUI thread (before
// the engine frame), for work that needs the engine between steps. run()
// registers it with the FrameThreadManager; stop() unregisters it (harmless
// when not registered); the destructor unregisters too. A job may stop or
// delete itself (deleteLater) inside update().
class FrameThread : public QObject
{
    Q_OBJECT

public:
    explicit FrameThread(QObject *parent = nullptr);
    ~FrameThread() override;

    // Registers with the current FrameThreadManager; false (and one log
    // line) when there is none.
    bool run();
    bool isRunning() const;

    // One step.
    virtual void update() = 0;
    // Asked to give up; the job emits cancelled() and stops when it is done.
    virtual void cancel() = 0;

signals:
    void progress(float value);
    void finished();
    void cancelled();

protected:
    void stop();
};
