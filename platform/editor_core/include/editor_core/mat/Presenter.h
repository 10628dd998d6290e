#pragma once

#include <QObject>
#include <QPointer>

class QListWidget;
class View;

namespace mat {

class Manager;

// The materials window's presenter: a list of the engine's loaded
// materials (name and GUID), docked as a tool window.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(Manager *manager, QObject *parent = nullptr);
    ~Presenter() override;

    // Creates the materials window (depr::gui.materials_window, object name
    // "MaterialsWindow") and docks it as a tool window; it lists the
    // materials when it is first shown (or refreshed).
    void initGUI(View *main_window);
    // Undocks and deletes it, clears depr::gui.materials_window (the
    // destructor does the same when it was not called).
    void shutdownGUI();

    QListWidget *materialsWindow() const;
    void refresh();

public slots:
    // Creating materials from the browser is not available in this editor
    // core: logs one line and does nothing.
    void createMaterial();

private:
    Manager *manager_ = nullptr;
    QPointer<QListWidget> window_;
};

} // namespace mat
