#include "editor_core/FrameThreadManager.h"

#include "editor_core/FrameThread.h"

#include <QVector>

namespace {
QVector<FrameThreadManager *> g_managers;
}

FrameThreadManager::FrameThreadManager(QObject *parent)
    : QObject(parent)
{
    g_managers.append(this);
}

FrameThreadManager::~FrameThreadManager()
{
    g_managers.removeAll(this);
}

FrameThreadManager *FrameThreadManager::current()
{
    return g_managers.isEmpty() ? nullptr : g_managers.last();
}

void FrameThreadManager::forget(FrameThread *thread)
{
    for (FrameThreadManager *manager : qAsConst(g_managers))
        manager->remove(thread);
}

void FrameThreadManager::update()
{
    const QList<QPointer<FrameThread>> snapshot = threads_;
    for (const QPointer<FrameThread> &thread : snapshot) {
        // Deleted, or stopped by an earlier step of this pass.
        if (thread.isNull() || !threads_.contains(thread))
            continue;
        thread->update();
    }
    threads_.removeAll(QPointer<FrameThread>());
}

void FrameThreadManager::shutdown()
{
    const QList<QPointer<FrameThread>> snapshot = threads_;
    threads_.clear();
    for (const QPointer<FrameThread> &thread : snapshot) {
        if (!thread.isNull())
            thread->cancel();
    }
}

void FrameThreadManager::add(FrameThread *thread)
{
    if (thread && !contains(thread))
        threads_.append(QPointer<FrameThread>(thread));
}

void FrameThreadManager::remove(FrameThread *thread)
{
    for (int i = threads_.size() - 1; i >= 0; --i) {
        if (threads_[i].data() == thread)
            threads_.removeAt(i);
    }
}

bool FrameThreadManager::contains(const FrameThread *thread) const
{
    for (const QPointer<FrameThread> &p : threads_) {
        if (p.data() == thread)
            return true;
    }
    return false;
}

int FrameThreadManager::count() const
{
    int n = 0;
    for (const QPointer<FrameThread> &p : threads_)
        n += p.isNull() ? 0 : 1;
    return n;
}
