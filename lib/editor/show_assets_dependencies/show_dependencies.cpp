#include "editor/show_assets_dependencies/show_dependencies.h"

#include "editor/interdependence/analysis_executor.h"
#include "editor/interdependence/analysis_executor_job.h"
#include "editor/interdependence/analyzer/analyzer_driver.h"
#include "editor/interdependence/parser/generic_item_builder.h"
#include "editor/interdependence/parser/guid_processor.h"
#include "editor/interdependence/parser/parser_driver.h"
#include "editor/interdependence/parser/utils.h"
#include "editor/show_assets_dependencies/show_assets_settings.h"
#include "editor/show_assets_dependencies/ui/used_window.h"
#include "editor/show_assets_dependencies/ui/using_this_one_window.h"
#include "editor/show_assets_dependencies/used_combiner.h"
#include "editor/show_assets_dependencies/used_result_data.h"
#include "editor/show_assets_dependencies/using_this_one_combiner.h"
#include "editor/show_assets_dependencies/using_this_one_result_data.h"

#include "core/base/widgets/job_progress_dialog.h"

#include <editor_core/View.h>
#include <editor_core/WidgetUtils.h>
#include <editor_core/base/Assert.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QCoreApplication>
#include <QPointer>
#include <QtDebug>

namespace show_deps {

namespace {

// The dialog of the query in progress: while it exists no other query
// starts, so one analysis runs at a time.
QPointer<core::ProgressDialog> progress_dialog;

QWidget *mainWindow()
{
    return depr::gui.main_window;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("show_deps", text);
}

// Opens the result window of a finished query; ResultT is the result type
// of the combiner that createExecutor chose for the query.
template<typename ResultT, typename ShowWindow>
void onJobDone(inas::ExecutorJob *job, ShowWindow show_window)
{
    if (!job->isSuccess())
        return; // cancelled or failed: no window, no message
    const std::unique_ptr<inas::ResultData> result = job->takeResult();
    EC_ASSERT(result);
    show_window(static_cast<ResultT &>(*result).takeData());
}

template<typename WindowT>
void openWindow(WindowT *window)
{
    if (Editor::AssetManagerPrivate *assets = depr::g.asset_manager) {
        QObject::connect(assets, &Editor::AssetManagerPrivate::changed, window, &WindowT::assetChanged);
        QObject::connect(assets, &Editor::AssetManagerPrivate::moved, window, &WindowT::assetChanged);
        QObject::connect(assets, &Editor::AssetManagerPrivate::removed, window, &WindowT::assetRemoved);
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    moveToScreenCenter(mainWindow(), window);
    window->show();
}

} // namespace

bool showDependencies(const Velmora::Vector<Velmora::UGUID> &guids)
{
    return showAssets(guids, true);
}

bool showDependents(const Velmora::Vector<Velmora::UGUID> &guids)
{
    return showAssets(guids, false);
}

bool showAssets(const Velmora::Vector<Velmora::UGUID> &guids, bool used)
{
    if (guids.isEmpty())
        return false;
    if (progress_dialog) {
        qInfo("Progress dialog is still open.");
        return false;
    }
    if (!depr::g.asset_manager || !depr::g.mat_manager || !depr::g.prop_manager) {
        qWarning("Dependency viewer: the editor's asset, material or property manager is missing; no analysis");
        return false;
    }
    // The request is filtered here, once: the settings take it as it is.
    const Velmora::Vector<Velmora::UGUID> known = ShowAssetsSettings::knownGuids(depr::g.asset_manager, guids);
    if (known.isEmpty())
        return false;

    auto job = std::make_shared<inas::ExecutorJob>();
    job->setExecutor(createExecutor(known, used));
    // Connected before the dialog's own handlers: the window opens while
    // the dialog still shows.
    inas::ExecutorJob *raw = job.get();
    if (used)
        QObject::connect(raw, &tbb::QJob::done, raw, [raw] { onJobDone<UsedResultData>(raw, &showUsedWindow); });
    else
        QObject::connect(raw, &tbb::QJob::done, raw,
                         [raw] { onJobDone<UsingThisOneResultData>(raw, &showUsingThisOneWindow); });

    QString refused;
    progress_dialog = base::JobProgressDialog::start(
            job, used ? tr("Assets Used") : tr("Assets Using This One"),
            tr("Analyzing assets in your project. Please wait.\nThis process may take some time depending on the "
               "project's size."),
            mainWindow(), &refused);
    if (!progress_dialog) {
        qWarning("Dependency viewer: no analysis: %s", qUtf8Printable(refused));
        return false;
    }
    return true;
}

core::ProgressDialog *progressDialog()
{
    return progress_dialog.data();
}

std::unique_ptr<inas::Executor> createExecutor(const Velmora::Vector<Velmora::UGUID> &guids, bool used)
{
    auto executor = std::make_unique<inas::Executor>();
    // The resolver starts making its table from the manager's records on
    // threads of its own, while the settings and the parser are made.
    auto resolver = std::make_shared<inas::parser::GuidProcessor>(depr::g.asset_manager);
    auto settings = std::make_unique<ShowAssetsSettings>(guids, used);
    auto parser = std::make_unique<inas::parser::Driver>();
    parser->setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
    inas::parser::utils::setupParser(settings.get(), parser.get(), std::move(resolver));
    executor->setParser(std::move(parser));
    executor->setSettings(std::move(settings));
    executor->setAnalyzer(std::make_unique<inas::analyzer::Driver>());
    if (used)
        executor->setCombiner(std::make_unique<UsedCombiner>());
    else
        executor->setCombiner(std::make_unique<UsingThisOneCombiner>());
    return executor;
}

UsedWindow *showUsedWindow(std::unique_ptr<UsedData> data)
{
    auto *window = new UsedWindow(std::move(data), mainWindow());
    openWindow(window);
    return window;
}

UsingThisOneWindow *showUsingThisOneWindow(std::unique_ptr<UsingThisOneData> data)
{
    auto *window = new UsingThisOneWindow(std::move(data), mainWindow());
    openWindow(window);
    return window;
}

void appendGuids(const Velmora::Vector<Velmora::UGUID> &source, QVector<Velmora::UGUID> &target)
{
    target.reserve(target.size() + source.size());
    for (const Velmora::UGUID &guid : source)
        target.append(guid);
}

} // namespace show_deps
