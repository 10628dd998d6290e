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

private:
    // The steps of loadProperties: the files read (in file order), each
    // reference to a parent found, and chains that come back cut.
    static Vector<Ptr<Property>> readFiles();
    static void findParents(const Vector<Ptr<Property>> &files);
    static void cutCycles(const Vector<Ptr<Property>> &files);
};

} // namespace Velmora
