#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/models/copy_rules_model.h"

#include <velmora/UGUID.h>

#include <QWidget>

class AccordionWidget;
class AssetWidget;
class ElidedLabel;
class LabelFieldLayout;
class QAbstractItemModel;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace assembly {

class ComboBoxWithCheckboxes;
class CopyRulesWidget;

// The "Create Build" tool window: a passive form over the build options.
// Every edit the user makes leaves as a signal carrying the new value; every
// value it shows is put there by a slot. It keeps no options of its own.
// Combo signals also follow slot changes of the current item; check-box
// signals follow clicks only.
// The class keeps the short name Window inside the tool's namespace; the
// file is named build_window so that it is not mistaken for another tool's.
class Window : public QWidget
{
    Q_OBJECT

public:
    enum class AppRow { Release, Development, Debug };

    explicit Window(QWidget *parent = nullptr);
    ~Window() override;

    QSize sizeHint() const override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Sends the project name when its line holds an edit not sent yet (the
    // user typed and the line kept the focus).
    void commitPendingEdits();

    // The executable chooser of one application row; it deletes itself when
    // finished. Shown without blocking.
    QFileDialog *openExecutableChooser(AppRow row);
    // Opens the folder chooser (the build folder's button); a refused folder
    // shows the "Error" box and then the chooser again.
    void chooseOutputPath();

    // The resolution combo's current row, and a change of it (announced
    // like any change of the current row).
    int resolutionIndex() const;
    void setResolutionIndex(int index);

    // Read-only access for the presenter's dialogs and for tests.
    QPushButton *createButton() const { return create_button_; }
    AccordionWidget *sections() const { return sections_; }
    LabelFieldLayout *commonLayout() const { return common_layout_; }
    LabelFieldLayout *launcherLayout() const { return launcher_layout_; }

signals:
    void startBuild();
    void projectNameChanged(const QString &name);
    void outputPathChanged(const QString &path);
    void launcherChanged(assembly::Launcher launcher);
    void configurationChanged(assembly::BuildConfiguration config);
    void precisionChanged(assembly::Precision precision);
    void startWorldChanged(const Velmora::UGUID &world);
    void precompileShadersChanged(bool precompile);
    void copyRulesChanged(const assembly::CopyRuleList &rules);
    void bannerChanged(const Velmora::UGUID &banner);
    void VROpenChanged(bool on);
    void VROculusChanged(bool on);
    void VRVarjoChanged(bool on);
    void resolutionIndexChanged(int index);
    void fullscreenChanged(bool fullscreen);
    void videoDebugChanged(assembly::VideoDebug vdebug);
    void binaryChanged(assembly::Binary binary);
    void releaseFileChanged(const QString &path);
    void devFileChanged(const QString &path);
    void debugFileChanged(const QString &path);
    void argumentsChanged(const QString &arguments);

public slots:
    void setProjectName(const QString &name);
    void setOutputPath(const QString &path);
    void setLauncher(assembly::Launcher launcher);
    void setConfiguration(assembly::BuildConfiguration config);
    void setConfigurationEnabled(bool enabled);
    void setPrecision(assembly::Precision precision);
    void setPrecisionEnabled(bool enabled);
    void setPrecisionVisible(bool visible);
    void setStartWorld(const Velmora::UGUID &world);
    void setPrecompileShaders(bool precompile);
    void setCopyRules(const assembly::CopyRuleList &rules);
    void setBanner(const Velmora::UGUID &banner);
    void setBannerVisible(bool visible);
    void setVROpen(bool on);
    void setVROculus(bool on);
    void setVROculusVisible(bool visible);
    void setVRVarjo(bool on);
    void setVRVarjoVisible(bool visible);
    void setResolutionModel(QAbstractItemModel *model, int index);
    void setFullscreen(bool fullscreen);
    void setVideoDebug(assembly::VideoDebug vdebug);
    void setVideoDebugVisible(bool visible);
    void setBinary(assembly::Binary binary);
    void setBinaryEnabled(bool enabled);
    void setBinaryVisible(bool visible);
    void setReleaseFile(const QString &path);
    void setReleaseFileVisible(bool visible);
    void setDevFile(const QString &path);
    void setDevFileVisible(bool visible);
    void setDebugFile(const QString &path);
    void setDebugFileVisible(bool visible);
    void setArguments(const QString &arguments);

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The scroll area no higher than the sections it holds.
    void fitScrollToSections();

    struct Row
    {
        LabelFieldLayout *layout = nullptr;
        int index = -1;
    };

    ElidedLabel *makeLabel(QWidget *page, const QString &text);
    void buildCommonSection();
    void buildLauncherSection();
    QComboBox *addCombo(QWidget *page, const QString &object_name, const QVector<QPair<QString, int>> &items);
    QCheckBox *addCheckBox(QWidget *page, const QString &object_name);
    Row addRow(LabelFieldLayout *layout, const QString &label, QWidget *field, const QString &tooltip = QString());
    QLineEdit *addPathSelector(LabelFieldLayout *layout, const QString &label, const QString &object_name,
                               const QString &tooltip, QToolButton **button, Row *row);
    void setRowVisible(const Row &row, bool visible);
    static void selectByValue(QComboBox *combo, int value);
    static int currentValue(const QComboBox *combo);
    void connectCombo(QComboBox *combo, void (Window::*emitter)(int));
    void onFolderChosen(const QString &path);

    void emitLauncher(int value) { emit launcherChanged(Launcher(value)); }
    void emitConfiguration(int value) { emit configurationChanged(BuildConfiguration(value)); }
    void emitPrecision(int value) { emit precisionChanged(Precision(value)); }
    void emitVideoDebug(int value) { emit videoDebugChanged(VideoDebug(value)); }
    void emitBinary(int value) { emit binaryChanged(Binary(value)); }

    QScrollArea *scroll_ = nullptr;
    AccordionWidget *sections_ = nullptr;
    LabelFieldLayout *common_layout_ = nullptr;
    LabelFieldLayout *launcher_layout_ = nullptr;

    QComboBox *build_type_ = nullptr;
    QLineEdit *project_name_ = nullptr;
    QLineEdit *build_folder_ = nullptr;
    AssetWidget *start_world_ = nullptr;
    QComboBox *precision_ = nullptr;
    QCheckBox *precompile_ = nullptr;
    QComboBox *launcher_ = nullptr;
    AssetWidget *banner_ = nullptr;
    QCheckBox *vr_openvr_ = nullptr;
    QCheckBox *vr_oculus_ = nullptr;
    QCheckBox *vr_varjo_ = nullptr;
    ComboBoxWithCheckboxes *resolution_ = nullptr;
    QCheckBox *fullscreen_ = nullptr;
    QComboBox *binary_ = nullptr;
    QComboBox *video_debug_ = nullptr;
    QLineEdit *release_app_ = nullptr;
    QLineEdit *dev_app_ = nullptr;
    QLineEdit *debug_app_ = nullptr;
    QPlainTextEdit *arguments_ = nullptr;
    CopyRulesWidget *copy_rules_ = nullptr;
    QPushButton *create_button_ = nullptr;

    Row precision_row_;
    Row banner_row_;
    Row oculus_row_;
    Row varjo_row_;
    Row binary_row_;
    Row video_debug_row_;
    Row release_row_;
    Row dev_row_;
    Row debug_row_;

    // The project name as last sent or set, to tell an unsent edit.
    QString sent_name_;
};

} // namespace assembly
