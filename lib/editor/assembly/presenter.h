#pragma once

#include <QObject>

class View;

namespace assembly {

class AssemblyWindow;

// The build tool's presenter: owns the "Create Build" window, docks it in
// the main window, shows it on the menu command and keeps the build options.
// The build pipeline comes with the build tool; until then a build request
// finishes at once without a build.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(QObject *parent = nullptr);
    ~Presenter() override;

    void init(View *main_window);
    void saveOptions();

    AssemblyWindow *window() const { return window_; }

public slots:
    void showUI();

signals:
    void buildFinished();

private:
    void makeBuild();

    AssemblyWindow *window_ = nullptr;
};

} // namespace assembly
