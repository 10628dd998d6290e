#pragma once

#include "editor/interdependence/analyzer/item_map.h"

namespace inas {
namespace analyzer {

// The analyzer's result: every parser item of the run under its id, in the
// parser's order. Owned by the caller of Driver::run.
class Output
{
public:
    Output();
    virtual ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    ItemMap item_map;
};

} // namespace analyzer
} // namespace inas
