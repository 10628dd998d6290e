#pragma once

#include "editor/interdependence/analysis_progress.h"

#include <memory>

namespace inas {

class CustomSettings;
class ResultData;

namespace analyzer {
class Output;
}

namespace combiner {

// The third stage of the dependency analysis: turns the analyzer's item map
// into the result of one question. init() with the settings, then
// getMaxIterations() progress steps in combine(), then reset().
class Driver
{
public:
    virtual ~Driver();

    // False when there is nothing to do (the executor then runs no stage).
    virtual bool init(CustomSettings *settings) = 0;
    // Greater than 0 after a successful init.
    virtual int getMaxIterations() const = 0;
    // Reports (getMaxIterations(), 1) .. (getMaxIterations(),
    // getMaxIterations()); null when the callback asked to stop.
    virtual std::unique_ptr<ResultData> combine(CustomSettings *settings, const ProgressCallback &progress,
                                                const analyzer::Output &output)
            = 0;
    virtual void reset(CustomSettings *settings) = 0;
};

} // namespace combiner
} // namespace inas
