#pragma once

#include "velmora/Property.h"

namespace Velmora {

// The property registry: *.prop files (XML) found by loadProperties().
// Queries may run on any thread.
class Properties
{
public:
    // Scans the file system; logs one line with the count. Returns the count.
    static int loadProperties();
    static void clearProperties();

    // Sorted by file path; null for an invalid index.
    static int getNumProperties();
    static Ptr<Property> getProperty(int index);
    static Ptr<Property> findProperty(const char *name);
    // Property GUIDs only.
    static Ptr<Property> findPropertyByGUID(const UGUID &guid);
    // True for a property GUID and for a property file's GUID.
    static bool isProperty(const UGUID &guid);
};

} // namespace Velmora
