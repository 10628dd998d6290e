#include "editor_core/NodeControls.h"

NodeControls::NodeControls(QObject *parent)
    : QObject(parent)
{}

NodeControls::~NodeControls() = default;

void NodeControls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void NodeControls::shutdown()
{
    initialized_ = false;
    hovered_viewport_.clear();
    log_.record(QStringLiteral("shutdown"));
}

void NodeControls::setHoveredViewport(ViewportWindow *viewport)
{
    hovered_viewport_ = viewport;
}

ViewportWindow *NodeControls::hoveredViewport() const
{
    return hovered_viewport_.data();
}
