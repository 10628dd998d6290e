#pragma once

#include <QWidget>

class CheckBox;
class EditorSettings;

// The "Settings" tool window: editor options bound to the editor settings.
// The check box "Precompile all shaders" edits editor/precompile_all_shaders
// and writes it at once.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsWindow(QWidget *parent = nullptr);
    ~SettingsWindow() override;

    // Reads the options from settings and binds the controls to it.
    void init(EditorSettings *settings);
    // Writes the options and unbinds.
    void shutdown(EditorSettings *settings);

    CheckBox *precompileCheckBox() const;

private:
    void onPrecompileToggled(bool checked);

    EditorSettings *settings_ = nullptr;
    CheckBox *precompile_ = nullptr;
};
