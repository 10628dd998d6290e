#include "editor_core/SplinesControls.h"

SplinesControls::SplinesControls(QObject *parent)
    : QObject(parent)
{}

SplinesControls::~SplinesControls() = default;

void SplinesControls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void SplinesControls::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
