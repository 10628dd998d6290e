#include "editor_core/depr/InspectorPrivate.h"

namespace depr {

InspectorPrivate::InspectorPrivate(QObject *parent)
    : QObject(parent)
{}

InspectorPrivate::~InspectorPrivate() = default;

void InspectorPrivate::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

QObject *InspectorPrivate::add()
{
    ++adds_;
    log_.record(QStringLiteral("add"));
    return nullptr;
}

void InspectorPrivate::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}

} // namespace depr
