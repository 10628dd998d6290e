#include "editor_core/CustomUiRegistry.h"

CustomUiRegistry::CustomUiRegistry() = default;

CustomUiRegistry::~CustomUiRegistry() = default;

void CustomUiRegistry::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void CustomUiRegistry::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
