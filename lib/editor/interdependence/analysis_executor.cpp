#include "editor/interdependence/analysis_executor.h"

#include "editor/interdependence/analyzer/analyzer_driver.h"
#include "editor/interdependence/combiner/combiner_driver.h"
#include "editor/interdependence/custom_settings.h"
#include "editor/interdependence/parser/parser_driver.h"
#include "editor/interdependence/result_data.h"

#include <editor_core/base/Assert.h>

#include <velmora/Log.h>

#include <algorithm>
#include <mutex>
#include <utility>

#ifdef VELMORA_TUNE_GLIBC_HEAP
#include <malloc.h>
#endif

namespace inas {

namespace {

// The memory a query's threads freed goes back to the system at once, so
// that the next query starts from what the editor held before this one
// (main bounds the arenas' kept tops: Velmora::HeapTuning).
void returnFreedMemory()
{
#ifdef VELMORA_TUNE_GLIBC_HEAP
    ::malloc_trim(0);
#endif
}

// The giving back of the memory that the last query freed, which goes on
// after its executor is gone: the next query waits for it before it starts,
// so that it still starts from what the editor held before the last one.
class PendingReturn
{
public:
    PendingReturn() = default;
    PendingReturn(const PendingReturn &) = delete;
    PendingReturn &operator=(const PendingReturn &) = delete;
    ~PendingReturn() { wait(); }

    void wait()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        thread_.join();
    }
    void adopt(base::ThreadGroup thread)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        thread_ = std::move(thread);
    }

private:
    std::mutex mutex_;
    base::ThreadGroup thread_;
};

PendingReturn &pendingReturn()
{
    static PendingReturn pending;
    return pending;
}

} // namespace

Executor::Executor()
{
    waitForFreedMemory();
}

void Executor::waitForFreedMemory()
{
    pendingReturn().wait();
}

Executor::~Executor()
{
    release_.join();
    // The items and the records hold nothing of this executor: their
    // freeing, and the giving back of the memory, go on after it, and the
    // next query waits for them before it starts.
    if (!teardown_.empty())
        pendingReturn().adopt(std::move(teardown_));
    // In reverse order of the members: the combiner and the analyzer may
    // refer to what the parser and the settings own.
    combiner_.reset();
    analyzer_.reset();
    parser_.reset();
    settings_.reset();
}

void Executor::setSettings(std::unique_ptr<CustomSettings> settings)
{
    settings_ = std::move(settings);
}

void Executor::setParser(std::unique_ptr<parser::Driver> parser)
{
    parser_ = std::move(parser);
}

void Executor::setAnalyzer(std::unique_ptr<analyzer::Driver> analyzer)
{
    analyzer_ = std::move(analyzer);
}

void Executor::setCombiner(std::unique_ptr<combiner::Driver> combiner)
{
    combiner_ = std::move(combiner);
}

std::unique_ptr<ResultData> Executor::execute(const ProgressCallback &progress)
{
    progress_fn_ = progress;
    EC_ASSERT(settings_ && parser_ && analyzer_ && combiner_ && progress_fn_);
    waitForFreedMemory();
    std::unique_ptr<ResultData> result;
    if (prepare())
        result = run();
    reset();
    progress_fn_ = nullptr;
    return result;
}

bool Executor::reportProgress(int current_value)
{
    EC_ASSERT((max_progress_value_ >= current_value) && (current_value >= 0));
    if (!progress_fn_)
        return true;
    return progress_fn_(max_progress_value_, current_value);
}

bool Executor::prepare()
{
    max_progress_value_ = 1;
    if (!reportProgress(0))
        return false;

    parser_->setAssets(settings_->getAssets());
    parser_->setAssetManager(settings_->getAssetManager());
    const int parser_steps = parser_->getMaxIterations();
    if (parser_steps <= 0) {
        // An empty project, or every requested asset gone.
        Velmora::Log::warning("Dependency analysis: there is no asset to analyse\n");
        return false;
    }
    max_progress_value_ += std::max(1, parser_steps / 2);

    analyzer_->init(settings_->getAssetManager());
    const int analyzer_steps = analyzer_->getMaxIterations();
    EC_ASSERT(analyzer_steps > 0);
    max_progress_value_ += analyzer_steps;

    if (!combiner_->init(settings_.get()))
        return false;
    const int combiner_steps = combiner_->getMaxIterations();
    EC_ASSERT(combiner_steps > 0);
    max_progress_value_ += combiner_steps;
    return true;
}

std::unique_ptr<ResultData> Executor::run()
{
    int base = 1;
    if (!reportProgress(base))
        return nullptr;

    // Parser: its reports are halved into its share.
    int position = 0;
    std::unique_ptr<parser::Output> parser_output = parser_->parse([&](int, int value) {
        position = base + (value >> 1);
        return reportProgress(position);
    });
    if (!parser_output)
        return nullptr;
    position = std::max(position, base + 1);
    EC_ASSERT(position == 1 + std::max(1, parser_->getMaxIterations() / 2));
    base = position;
    // Before the analyzer allocates: freed alongside it, the parser's tables
    // would add to the peak.
    parser_->reset();
    releaseAssets();

    // Analyzer.
    position = 0;
    const int analyzer_steps = analyzer_->getMaxIterations();
    std::unique_ptr<analyzer::Output> analyzer_output = analyzer_->run(*parser_output, [&](int, int value) {
        position = base + value;
        return reportProgress(position);
    });
    if (!analyzer_output)
        return nullptr;
    EC_ASSERT(position == base + analyzer_steps);
    base = position;
    // The analyzer's tables and the parser's list of items (the analyzer's
    // output holds the items) are freed on a thread of their own while the
    // combiner runs: nothing after the analyzer reads them. The thread ends
    // before the analyzer is used again.
    const auto resetAnalysis = [this, &parser_output] {
        analyzer_->reset();
        parser_output.reset();
    };
    base::ThreadGroup analysis_reset;
    analysis_reset.startOrRun(resetAnalysis);

    // Combiner.
    position = 0;
    std::unique_ptr<ResultData> result = combiner_->combine(
            settings_.get(),
            [&](int, int value) {
                position = base + value;
                return reportProgress(position);
            },
            *analyzer_output);
    if (result)
        EC_ASSERT(position == max_progress_value_);
    combiner_->reset(settings_.get());
    analysis_reset.join();
    // The items hold nothing of the other pieces: they go on a thread of
    // their own, and the result is handed over meanwhile. That thread also
    // waits for the records' release and then gives the memory the run's
    // threads freed back to the system, so that the next query starts from
    // what the editor held before this one.
    teardown_.join();
    // The release's thread goes with the task: a task that never starts
    // waits for it as it goes.
    auto teardown = [output = std::move(analyzer_output), records = std::move(release_)]() mutable {
        output.reset();
        records.join();
        returnFreedMemory();
    };
    if (!teardown_.start(std::move(teardown))) {
        // Not started: the output and the release went with the task.
        returnFreedMemory();
    }
    return result;
}

void Executor::releaseAssets()
{
    // A hundred thousand records take a while to free, which this thread
    // need not wait for.
    QVector<as::Asset> records = settings_->takeAssets();
    // Not started: freed here, with the task that did not start.
    release_.start([records = std::move(records)]() mutable { records = QVector<as::Asset>(); });
}

void Executor::reset()
{
    release_.join();
    parser_->reset();
    analyzer_->reset();
    combiner_->reset(settings_.get());
}

} // namespace inas
