#pragma once

#include "editor_core/ConfigFile.h"

#include <QString>

#include <memory>

class QSettings;
class QWidget;

// The editor's settings: one INI file at the per-user location of
// organisation "Velmora", application "Editor"
// ($XDG_CONFIG_HOME/Velmora/Editor.conf), grouped into sections of entries.
// Deleting the object syncs the file.
class EditorSettings
{
public:
    struct ConsoleSection
    {
        ConfigEntry history; // text, entries joined by "\n"; default empty
    };
    struct EditorSection
    {
        ConfigEntry precompile_all_shaders; // bool; default true
    };
    struct WindowsSection
    {
        ConfigEntry geometry; // bytes of QWidget::saveGeometry
        ConfigEntry layout; // bytes of the window manager's state
        ConfigEntry show_help_at_startup; // bool; default true
    };
    struct TextureProfilerSection
    {
        ConfigEntry geometry; // bytes; default empty
        ConfigEntry location; // int; default 0
        ConfigEntry display_core_assets; // bool; default true
    };
    struct AssetBrowserSection
    {
        ConfigEntry state; // bytes; default empty
    };

    static constexpr bool DEFAULT_PRECOMPILE_ALL_SHADERS = true;
    static constexpr bool DEFAULT_SHOW_HELP_AT_STARTUP = true;
    static constexpr int DEFAULT_TEXTURE_PROFILER_LOCATION = 0;
    static constexpr bool DEFAULT_TEXTURE_PROFILER_DISPLAY_CORE_ASSETS = true;

    EditorSettings();
    ~EditorSettings();
    EditorSettings(const EditorSettings &) = delete;
    EditorSettings &operator=(const EditorSettings &) = delete;

    ConsoleSection console() const;
    EditorSection editor() const;
    WindowsSection windows() const;
    TextureProfilerSection textureProfiler() const;
    AssetBrowserSection assetBrowser() const;

    ConfigFile *file() const { return file_.get(); }
    // Absolute path of the INI file.
    QString fileName() const;

    // Stores the state of every named child of widget under "<name>/<object
    // name>": check boxes and radio buttons (checked), line edits (text),
    // combo boxes (current index), spin boxes and double spin boxes (value),
    // plain text edits (text). Children without an object name are skipped.
    void saveForm(const QString &name, QWidget *widget);
    // Applies what saveForm stored, through the widgets' setters, so their
    // change signals fire like a user edit. Missing keys leave a widget alone.
    void restoreForm(const QString &name, QWidget *widget);

private:
    ConfigEntry entry(const char *key) const;

    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<ConfigFile> file_;
};
