#pragma once

#include <QObject>
#include <QPointer>

class QDialog;
class QWidget;

namespace Editor {

// Shows the editor plug-ins in a dialog ("Plugins", from the Help menu).
class PluginPresenter : public QObject
{
    Q_OBJECT

public:
    explicit PluginPresenter(QWidget *parent_window = nullptr);
    ~PluginPresenter() override;

    // Opens (or raises) a non-modal dialog listing every plug-in spec:
    // name, version, library and state.
    void showPluginsDialog();
    QDialog *dialog() const;

private:
    QPointer<QWidget> parent_window_;
    QPointer<QDialog> dialog_;
};

} // namespace Editor
