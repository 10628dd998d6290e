#pragma once

// Placeholder: the registry of reflected engine types that parameter views
// are built from. init and shutdown only count their calls; the registry is
// empty.
class ReflectedType
{
public:
    static void init();
    static void shutdown();
    static bool isInitialized();
    static int initCount();
    static int shutdownCount();
};
