#include "editor_core/as/RuntimeModel.h"

namespace as {

RuntimeModel::RuntimeModel(QObject *parent)
    : QObject(parent)
{}

RuntimeModel::~RuntimeModel() = default;

void RuntimeModel::init()
{
    initialized_ = true;
}

void RuntimeModel::shutdown()
{
    initialized_ = false;
}

} // namespace as
