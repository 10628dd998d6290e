#pragma once

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QVector>

#include <memory>

namespace core {
class ProgressDialog;
}
namespace inas {
class Executor;
}

namespace show_deps {

class UsedData;
class UsedWindow;
class UsingThisOneData;
class UsingThisOneWindow;

// Entry points of the dependency viewer (GUI thread): the assets that the
// given assets use ("Assets Used") and the assets that use them ("Assets
// Using This One"). The analysis runs on the job queue under a modal progress
// dialog and opens a result window when it succeeds. True when the analysis
// was queued; false for an empty list, while an earlier query's progress
// dialog still exists ("Progress dialog is still open."), when the editor's
// managers are not there, or when no GUID of the list names an asset or
// runtime (each such GUID is left out with a warning).
bool showDependencies(const Velmora::Vector<Velmora::UGUID> &guids);
bool showDependents(const Velmora::Vector<Velmora::UGUID> &guids);
bool showAssets(const Velmora::Vector<Velmora::UGUID> &guids, bool used);

// The progress dialog of the query in progress; null when idle.
core::ProgressDialog *progressDialog();

// The analysis of one query: the settings, the parser with its modules, the
// analyzer and the combiner of the question. The registries' asset, material
// and property managers must be set.
std::unique_ptr<inas::Executor> createExecutor(const Velmora::Vector<Velmora::UGUID> &guids, bool used);

// Opens a result window over data (parented to the main window, deleted on
// close, centred, kept current by the asset manager's signals).
UsedWindow *showUsedWindow(std::unique_ptr<UsedData> data);
UsingThisOneWindow *showUsingThisOneWindow(std::unique_ptr<UsingThisOneData> data);

// Appends every GUID of source to target in order, repeats included.
void appendGuids(const Velmora::Vector<Velmora::UGUID> &source, QVector<Velmora::UGUID> &target);

} // namespace show_deps
