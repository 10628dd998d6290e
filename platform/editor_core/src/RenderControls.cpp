#include "editor_core/RenderControls.h"

RenderControls::RenderControls(QObject *parent)
    : QObject(parent)
{}

RenderControls::~RenderControls() = default;

void RenderControls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void RenderControls::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
