#pragma once

#include "editor/assembly/core/assembly_enums.h"

#include <QString>

// Path and file-name rules of the build tool. Paths use '/', folders end
// with '/'.
namespace assembly {

// QDir::cleanPath of the path with '/' appended. An empty path, or one that
// holds a backslash (a path written on another system), is not a usable path:
// it gives "" and one warning, so callers refuse it instead of guessing.
QString normalizePath(const QString &path);
// "<root>/bin/", "" for an empty or unusable root.
QString getBinPath(const QString &root);
// "<root>/bin/development/", "" for an empty or unusable root.
QString getDevelopmentBinPath(const QString &root);

QString engineBaseName();
QString executableExtension(System system);
QString libraryExtension(System system);
QString libraryPrefix(System system);
QString architectureSuffix();
QString debugSuffix(Binary binary);
QString precisionSuffix(Precision precision);

// name + precision suffix + "_x64" + debug suffix + executable extension;
// "" for an empty name.
QString makeExecutableName(System system, Binary binary, Precision precision, const QString &name);
// library prefix + name + precision suffix + "_x64" + debug suffix + library
// extension; "" for an empty name.
QString makeLibraryName(System system, Binary binary, Precision precision, const QString &name);

// Whether an SDK folder holds the engine libraries a build copies, for the
// running system: float development and debug libraries in "bin/", the float
// development library in "bin/development/", and the same for double
// precision when the edition is above Edition2.
bool hasDevelopmentBinaries(const QString &sdk_folder, SDKEdition edition);

// Whether a path relative to the build folder stays inside it: not empty, no
// leading '/', no backslash, and no empty, "." or ".." segment (so no "//").
bool isSafeRelativePath(const QString &path);
// Whether a name can be used as one file name in the build folder (the
// project name of launchers and scripts): not empty, not "." or "..", no '/'
// and no backslash.
bool isPlainFileName(const QString &name);

} // namespace assembly
