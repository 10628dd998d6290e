#pragma once

#include "editor_core/core/CallLog.h"

#include <QObject>
#include <QString>

class EditorLogic;

namespace tbb {
class QueueInterface;
}

// Placeholder: the asset thumbnail cache. init records its arguments (the
// logic, the job queue, the thumbnail size and the cache folder relative to
// the data folder); no thumbnail is made yet. update counts the frames it
// was stepped.
class Thumbnails : public QObject
{
    Q_OBJECT

public:
    explicit Thumbnails(QObject *parent = nullptr);
    ~Thumbnails() override;

    void init(EditorLogic *logic, tbb::QueueInterface *queue, int size, const QString &cache_folder);
    void update();
    void shutdown();

    bool isInitialized() const { return initialized_; }
    EditorLogic *logic() const { return logic_; }
    tbb::QueueInterface *queue() const { return queue_; }
    int size() const { return size_; }
    QString cacheFolder() const { return cache_folder_; }
    int updateCount() const { return updates_; }
    const core::CallLog &callLog() const { return log_; }

private:
    EditorLogic *logic_ = nullptr;
    tbb::QueueInterface *queue_ = nullptr;
    int size_ = 0;
    QString cache_folder_;
    int updates_ = 0;
    bool initialized_ = false;
    core::CallLog log_;
};
