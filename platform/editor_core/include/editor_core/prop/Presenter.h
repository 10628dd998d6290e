#pragma once

#include <QObject>
#include <QPointer>

class QListWidget;
class View;

namespace prop {

class Manager;

// The properties window's presenter: a list of the engine's loaded
// properties (name and GUID), docked as a tool window.
class Presenter : public QObject
{
    Q_OBJECT

public:
    explicit Presenter(Manager *manager, QObject *parent = nullptr);
    ~Presenter() override;

    // Creates the properties window (depr::gui.properties_window, object
    // name "PropertiesWindow") and docks it as a tool window; it lists the
    // properties when it is first shown (or refreshed).
    void initGUI(View *main_window);
    // Undocks and deletes it, clears depr::gui.properties_window (the
    // destructor does the same when it was not called).
    void shutdownGUI();

    QListWidget *propertiesWindow() const;
    void refresh();

public slots:
    // Creating properties from the browser is not available in this editor
    // core: logs one line and does nothing.
    void createProperty();

private:
    Manager *manager_ = nullptr;
    QPointer<QListWidget> window_;
};

} // namespace prop
