#pragma once

// Editor::ReparentNodesAction is declared with the other node actions.
#include "editor_core/editor/NodesAction.h"
