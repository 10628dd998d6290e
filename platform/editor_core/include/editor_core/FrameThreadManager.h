#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class FrameThread;

// Steps the registered frame threads. There is one current manager (the
// last one made that still exists); FrameThread::run registers with it.
class FrameThreadManager : public QObject
{
    Q_OBJECT

public:
    explicit FrameThreadManager(QObject *parent = nullptr);
    ~FrameThreadManager() override;

    static FrameThreadManager *current();
    // Unregisters a job from every manager.
    static void forget(FrameThread *thread);

    // Steps a snapshot of the registered jobs once each; jobs deleted or
    // stopped meanwhile are skipped.
    void update();
    // Cancels every job and forgets them all.
    void shutdown();

    void add(FrameThread *thread);
    void remove(FrameThread *thread);
    bool contains(const FrameThread *thread) const;
    int count() const;

private:
    QList<QPointer<FrameThread>> threads_;
};
