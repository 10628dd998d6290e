#pragma once

#include <QApplication>

#include <memory>

class View;

namespace Editor {

class Presenter;

// The editor's application object: process-wide Qt set-up (names, icon,
// style, fonts, the message handler), the asset and plug-in managers, the
// main window and the main presenter. Initialisation is deferred to the
// first pass of the event loop; on aboutToQuit the presenter shuts down
// before the main window goes.
class Application : public QApplication
{
    Q_OBJECT

public:
    // Exit code of a run whose engine did not start.
    static constexpr int EXIT_ENGINE_FAILED = 1;

    Application(int &argc, char **argv);
    ~Application() override;

    // The main presenter and the main window (null before the deferred
    // initialisation, the window also after shutdown).
    Presenter *presenter() const { return presenter_.get(); }
    View *view() const { return view_.get(); }

private:
    void initialize(int argc, char **argv);
    void setupApplication();
    std::unique_ptr<View> createView();
    void shutdown();

    std::unique_ptr<View> view_;
    std::unique_ptr<Presenter> presenter_;
};

} // namespace Editor
