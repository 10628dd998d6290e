#include "editor_core/FrameThread.h"

#include "editor_core/FrameThreadManager.h"

#include <velmora/Log.h>

FrameThread::FrameThread(QObject *parent)
    : QObject(parent)
{}

FrameThread::~FrameThread()
{
    FrameThreadManager::forget(this);
}

bool FrameThread::run()
{
    FrameThreadManager *manager = FrameThreadManager::current();
    if (!manager) {
        Velmora::Log::warning("FrameThread: no frame thread manager, the job does not run\n");
        return false;
    }
    manager->add(this);
    return true;
}

bool FrameThread::isRunning() const
{
    FrameThreadManager *manager = FrameThreadManager::current();
    return manager && manager->contains(this);
}

void FrameThread::stop()
{
    FrameThreadManager::forget(this);
}
