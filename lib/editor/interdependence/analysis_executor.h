#pragma once

#include "core/base/thread_group.h"
#include "editor/interdependence/analysis_progress.h"

#include <memory>

namespace inas {

class CustomSettings;
class ResultData;

namespace analyzer {
class Driver;
}
namespace combiner {
class Driver;
}
namespace parser {
class Driver;
}

// The dependency analysis as one pipeline: parser, analyzer and combiner run
// in this order under one progress range of
//   1 + max(1, parser_steps / 2) + analyzer_steps + combiner_steps.
// The caller first sees (1, 0), then (max, 1), then each stage's reports
// mapped into its share; a false from the callback stops the stage that is
// running and ends the analysis without a result. Executed once, on the
// job queue's worker thread.
class Executor
{
public:
    // Waits for the memory of the last query to be freed and given back
    // (see the teardown below), so that a query starts from what the editor
    // held before the last one.
    Executor();
    virtual ~Executor();

    // The same wait, for whoever must not overlap that freeing.
    static void waitForFreedMemory();
    Executor(const Executor &) = delete;
    Executor &operator=(const Executor &) = delete;

    // Each takes ownership and destroys the piece held before.
    void setSettings(std::unique_ptr<CustomSettings> settings);
    void setParser(std::unique_ptr<parser::Driver> parser);
    void setAnalyzer(std::unique_ptr<analyzer::Driver> analyzer);
    void setCombiner(std::unique_ptr<combiner::Driver> combiner);

    CustomSettings *getSettings() const { return settings_.get(); }

    // All four pieces must be set. Null when the analysis was cancelled or
    // gave nothing.
    std::unique_ptr<ResultData> execute(const ProgressCallback &progress);

protected:
    virtual std::unique_ptr<ResultData> run();
    virtual bool reportProgress(int current_value);
    // Computes the progress range and initialises the stages; false when
    // there is nothing to analyse or the caller cancelled at (1, 0).
    virtual bool prepare();
    virtual void reset();

private:
    // Frees the settings' asset records on a thread of their own, alongside
    // the later stages (reset() waits for it).
    void releaseAssets();

    std::unique_ptr<CustomSettings> settings_;
    std::unique_ptr<parser::Driver> parser_;
    std::unique_ptr<analyzer::Driver> analyzer_;
    std::unique_ptr<combiner::Driver> combiner_;
    ProgressCallback progress_fn_;
    int max_progress_value_ = 0;
    base::ThreadGroup release_;
    // Frees the analyzer's output (every item of the run) once the result is
    // made, then gives the freed memory back to the system. Neither the
    // result nor the destructor waits for it: it goes on after the executor,
    // and the next query waits for it.
    base::ThreadGroup teardown_;
};

} // namespace inas
