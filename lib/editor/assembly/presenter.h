#pragma once

#include <QObject>

#include <memory>

class View;

namespace assembly {

class AssemblyWindow;
class Options;

// The build tool's presenter: owns the "Create Build" window, docks it in
// the main window, shows it on the menu command and keeps the build options.
// The options are read from the options file at init and written back at
// shutdown only when they changed. Until the build window edits them and the
// pipeline is composed, a build request finishes at once without a build.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(QObject *parent = nullptr);
    ~Presenter() override;

    void init(View *main_window);
    void saveOptions();

    AssemblyWindow *window() const { return window_; }
    const Options &options() const { return *data_; }

public slots:
    void showUI();

signals:
    void buildFinished();

private:
    void makeBuild();

    AssemblyWindow *window_ = nullptr;
    std::unique_ptr<Options> data_;
};

} // namespace assembly
