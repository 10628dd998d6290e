#include "editor_core/Creators.h"

Creators::Creators() = default;

Creators::~Creators() = default;

void Creators::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void Creators::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
