#pragma once

// CreateNodesAction is declared with the other node actions.
#include "editor_core/editor/NodesAction.h"
