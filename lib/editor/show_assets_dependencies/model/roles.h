#pragma once

#include <Qt>

namespace show_deps {

// Roles of the result tables: every cell gives its GUID (a QVariant of the
// Velmora::UGUID meta-type), the node column also the node id (int).
constexpr int GUID_ROLE = Qt::UserRole + 1;
constexpr int NODE_ID_ROLE = Qt::UserRole + 2;

} // namespace show_deps
