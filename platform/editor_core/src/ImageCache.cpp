#include "editor_core/ImageCache.h"

ImageCache::ImageCache() = default;

ImageCache::~ImageCache() = default;

void ImageCache::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void ImageCache::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
