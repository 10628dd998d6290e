#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/executor/selected_binaries.h"

#include <velmora/UGUID.h>

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace assembly {

class Executor;
class Options;
class ProjectOptions;
class ResolutionsModel;
class Window;
struct BuildPaths;

// The build tool's controller. It owns the build options and the project's
// settings, creates the "Create Build" window and its resolution list, keeps
// options and window in step, and runs one build at a time: a snapshot of the
// options, their validation with message boxes, a modal progress dialog, the
// build job on the job queue while the GUI thread waits in a nested event
// loop, then the build folder opened in the file manager or "Build Error".
// buildFinished follows every build that started, successful or not.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(QObject *parent = nullptr);
    ~Presenter() override;

    // Loads the options and creates the window as a child of the main window,
    // docked but hidden. Once, on the GUI thread.
    void init(QWidget *main_window);
    // Writes the options when they changed; true when the file holds them.
    // A failed write keeps them marked unsaved and says why in *error.
    bool storeOptions(QString *error = nullptr);
    // Writes the options when they changed (a failure is logged), then lets
    // go of the window (the main window destroys it). At shutdown.
    void saveOptions();

    Window *window() const;
    const Options &options() const { return *data_; }
    ResolutionsModel *resolutionsModel() const;
    bool isSdkValid() const { return sdk_valid_; }
    bool isBuilding() const { return building_; }

    // The GUID of the project's default world: a "guid://" path directly,
    // any other path with ".world" appended when missing and resolved as a
    // partial virtual path; empty for an empty or unknown path.
    static Velmora::UGUID worldGuidFromPath(const QString &path);
    // Which binaries a build holds: Release alone, or with a valid SDK both
    // development and debug, or without one the running engine's own kind.
    static SelectedBinaries selectBinaries(BuildConfiguration config, bool sdk_valid);

public slots:
    void showUI();
    void make_build();
    void set_output_path(const QString &path);
    void set_release_main_path(const QString &path);
    void set_dev_main_path(const QString &path);
    void set_debug_main_path(const QString &path);

signals:
    void buildFinished(bool success);

private:
    void loadOptions();
    void createView(QWidget *main_window);
    void initResolutionsModel();
    void updateView();
    void connectView();
    void updateRowsVisibility();
    void updateAppRows();
    void setVRMode(VRMode mode, bool on);
    void onResolutionsChanged();
    void onResolutionIndexChanged(int index);
    // Shows the model row of the selected resolution in the window.
    void showSelectedResolution();
    int selectedResolutionRow() const;

    std::unique_ptr<Options> snapshotOptions() const;
    bool checkOptions(const Options &options) const;
    bool computePaths(BuildPaths &paths) const;
    std::unique_ptr<Executor> createExecutor(const Options &options, const BuildPaths &paths) const;
    void warn(const QString &title, const QString &text) const;

    std::unique_ptr<Options> data_;
    std::unique_ptr<ProjectOptions> project_;
    QPointer<QWidget> main_view_;
    QPointer<Window> view_;
    QPointer<ResolutionsModel> resolutions_model_;
    bool sdk_valid_ = false;
    bool building_ = false;
};

} // namespace assembly
