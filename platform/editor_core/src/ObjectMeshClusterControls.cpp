#include "editor_core/ObjectMeshClusterControls.h"

ObjectMeshClusterControls::ObjectMeshClusterControls() = default;

ObjectMeshClusterControls::~ObjectMeshClusterControls() = default;

void ObjectMeshClusterControls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void ObjectMeshClusterControls::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
