#include "editor_core/RuntimeClipboard.h"

RuntimeClipboard::RuntimeClipboard() = default;

RuntimeClipboard::~RuntimeClipboard() = default;

void RuntimeClipboard::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void RuntimeClipboard::shutdown()
{
    initialized_ = false;
    log_.record(QStringLiteral("shutdown"));
}
