#include "editor_core/ReflectedType.h"

namespace {
bool g_initialized = false;
int g_inits = 0;
int g_shutdowns = 0;
} // namespace

void ReflectedType::init()
{
    g_initialized = true;
    ++g_inits;
}

void ReflectedType::shutdown()
{
    g_initialized = false;
    ++g_shutdowns;
}

bool ReflectedType::isInitialized()
{
    return g_initialized;
}

int ReflectedType::initCount()
{
    return g_inits;
}

int ReflectedType::shutdownCount()
{
    return g_shutdowns;
}
