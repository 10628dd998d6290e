#include "editor_core/Thumbnails.h"

Thumbnails::Thumbnails(QObject *parent)
    : QObject(parent)
{}

Thumbnails::~Thumbnails() = default;

void Thumbnails::init(EditorLogic *logic, tbb::QueueInterface *queue, int size, const QString &cache_folder)
{
    logic_ = logic;
    queue_ = queue;
    size_ = size;
    cache_folder_ = cache_folder;
    initialized_ = true;
    log_.record(QStringLiteral("init %1 %2").arg(size).arg(cache_folder));
}

void Thumbnails::update()
{
    if (initialized_)
        ++updates_;
}

void Thumbnails::shutdown()
{
    initialized_ = false;
    logic_ = nullptr;
    queue_ = nullptr;
    log_.record(QStringLiteral("shutdown"));
}
