#pragma once

// The build window and build presenter tests use the shared test support
// under their old names.

#include "asset_files.h"
#include "message_boxes.h"

namespace buildtest {

using test::guid;
using test::MessageBoxes;
using test::writeAsset;

} // namespace buildtest
