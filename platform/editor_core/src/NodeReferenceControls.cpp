#include "editor_core/NodeReferenceControls.h"

NodeReferenceControls::NodeReferenceControls() = default;

NodeReferenceControls::~NodeReferenceControls() = default;

void NodeReferenceControls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void NodeReferenceControls::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
