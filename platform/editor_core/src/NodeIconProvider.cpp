#include "editor_core/NodeIconProvider.h"

NodeIconProvider::NodeIconProvider() = default;

NodeIconProvider::~NodeIconProvider() = default;

void NodeIconProvider::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void NodeIconProvider::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
