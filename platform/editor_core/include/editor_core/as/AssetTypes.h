#pragma once

#include "editor_core/AssetType.h"

#include <QString>
#include <QStringList>

namespace as {

// Extension of an asset's meta file, without the dot.
extern const char *const ASSET_EXTENSION;

// Lower-case extensions (no dot) registered for a type; the type AFILE has
// none of its own (it takes every unregistered extension).
QStringList getRegisteredExtensions(AssetType type);
// Every registered extension, sorted.
QStringList getRegisteredExtensions();
// The type of a file by its extension (case-insensitive): AFILE when the
// extension is not registered.
AssetType typeByExtension(const QString &extension);
// Human-readable type name ("Material", "Landscape Map"); "" for BEGIN, SIZE
// and out-of-range values.
QString typeToPrettyString(int type);

} // namespace as
