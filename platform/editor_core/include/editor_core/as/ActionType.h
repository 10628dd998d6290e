#pragma once

#include <QMetaType>

namespace as {

// The kind of pipeline the asset manager reports through pipeline_started
// and pipeline_ended.
enum class ActionType : int {
    Scan = 0,
    Import = 1,
    Reimport = 2,
    Remove = 3,
    Move = 4,
    Copy = 5,
};

} // namespace as

Q_DECLARE_METATYPE(as::ActionType)
