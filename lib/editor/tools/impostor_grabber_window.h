#pragma once

#include <velmora/Node.h>
#include <velmora/Ptr.h>

#include <QPointer>
#include <QProgressDialog>
#include <QVector>
#include <QWidget>

class EditorSettings;
class QButtonGroup;
class QCheckBox;
class QPushButton;
class Ui_ImpostorGrabberWindow;
namespace Impostors {
class GrabberTool;
}

// The "Impostors Creator" tool window: the texture kinds to grab (each with
// a check box, a file-name postfix and a format), six grab settings and the
// Create button. Create asks for a target file through the asset save
// dialog, then runs an impostor tool for the one selected node behind a
// progress dialog that can cancel it. The form (impostor_grabber_window.ui)
// is kept in the editor settings under "tools/impostor_creator"; the object
// names of its widgets are the keys there, so they stay as they are.
class ImpostorGrabberWindow : public QWidget
{
    Q_OBJECT

public:
    static const char *const SETTINGS_FORM;

    explicit ImpostorGrabberWindow(QWidget *parent = nullptr);
    ~ImpostorGrabberWindow() override;

    void restoreSettings(EditorSettings *settings);
    void saveSettings(EditorSettings *settings);

    // Enabled exactly when a node can be grabbed and a kind is checked.
    void updateCreateButton();
    bool hasGrabbableSelection() const;
    // The selected node when exactly one node is selected.
    Velmora::Ptr<Velmora::Node> selectedNode() const;

    void onCreateClicked();
    void onSavePathChosen(const QString &path);
    void onCreate(const QString &directory, const QString &name);
    // name + trimmed postfix + format of the row of that word; "" when the
    // row has no such fields.
    QString textureFileName(const QString &name, const QString &word) const;

    QPushButton *createButton() const;
    // Whether an impostor is being created (its progress dialog is up).
    bool isCreating() const;
    // Stops it as Cancel in its progress dialog does.
    void cancelCreating();

    // The folder as a path inside the data folder data ("/" at the end)
    // when it is that folder or one below it once links are resolved, "" when
    // it lies outside.
    static QString sameFolderInDataFolder(const QString &directory, const QString &data);

private:
    // The steps of onCreate: each asks or tells the user what stops it.
    // The output folder named inside the data folder; "" (and the user told)
    // when it lies outside.
    QString folderInDataFolder(const QString &directory) const;
    Impostors::GrabberTool *makeTool(const Velmora::Ptr<Velmora::Node> &node, const QString &directory,
                                     const QString &name);
    bool acceptSettings(Impostors::GrabberTool *tool, const QString &name) const;
    void runBehindProgress(Impostors::GrabberTool *tool);

    Ui_ImpostorGrabberWindow *ui = nullptr;
    QButtonGroup *albedo_group_ = nullptr;
    QButtonGroup *normal_group_ = nullptr;
    QButtonGroup *translucence_group_ = nullptr;
    QVector<QCheckBox *> texture_check_boxes_;
    QPointer<QProgressDialog> progress_;
};
