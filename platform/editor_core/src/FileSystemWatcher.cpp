#include "editor_core/FileSystemWatcher.h"

FileSystemWatcher::FileSystemWatcher(QObject *parent)
    : QObject(parent)
{}

FileSystemWatcher::~FileSystemWatcher() = default;

bool FileSystemWatcher::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
    return true;
}

void FileSystemWatcher::runMainThread()
{
    if (initialized_)
        ++runs_;
}

void FileSystemWatcher::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
