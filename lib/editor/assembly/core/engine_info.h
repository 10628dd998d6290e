#pragma once

#include "editor/assembly/core/assembly_enums.h"

#include <QString>

namespace assembly {

// The system the editor is built for.
System getCurrentSystem();
// The precision the editor and its engine library are built with.
Precision getCurrentPrecision();

// Facts about the running engine library.
class EngineInfo
{
public:
    // The engine's own build: 0 Debug, 1 Development, 2 Release; anything
    // else (or no running engine) counts as Debug.
    static Binary getBinary();
    static Binary binaryFromConfiguration(int configuration);
};

// Folders and files of the running engine. Folders are absolute, cleaned and
// end with '/'; files are absolute. Without a running engine each answers ""
// and logs a warning.
QString getExeDir();
QString getCacheDir();
QString getDataDir();
QString getSystemCacheFilePath();
QString getEditorCacheFilePath();

} // namespace assembly
