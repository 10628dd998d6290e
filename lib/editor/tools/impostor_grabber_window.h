#pragma once

#include <QWidget>

class EditorSettings;
class QComboBox;
class QSpinBox;

// The "Impostors Creator" tool window. For now it holds the settings form
// the creator works from (atlas size, number of views, texture kinds), which
// is kept in the editor settings under "tools/impostor_creator"; the grab
// itself comes with the impostor tool.
class ImpostorGrabberWindow : public QWidget
{
    Q_OBJECT

public:
    static const char *const SETTINGS_FORM;

    explicit ImpostorGrabberWindow(QWidget *parent = nullptr);
    ~ImpostorGrabberWindow() override;

    void restoreSettings(EditorSettings *settings);
    void saveSettings(EditorSettings *settings);

    QSpinBox *viewsSpinBox() const { return views_; }
    QComboBox *resolutionComboBox() const { return resolution_; }

private:
    QComboBox *resolution_ = nullptr;
    QSpinBox *views_ = nullptr;
};
