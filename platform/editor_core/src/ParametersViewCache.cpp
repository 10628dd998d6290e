#include "editor_core/ParametersViewCache.h"

ParametersViewCache::ParametersViewCache() = default;

ParametersViewCache::~ParametersViewCache() = default;

void ParametersViewCache::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void ParametersViewCache::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
