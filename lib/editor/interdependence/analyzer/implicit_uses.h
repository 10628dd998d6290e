#pragma once

#include <QString>

#include <array>
#include <string>
#include <string_view>

// The uses that no asset file writes down but that follow from where files
// lie. The dependency analyzer links them and the asset cleaner keeps the
// files they name, so both read the rules from here.
namespace inas {
namespace implicit_uses {

// A node that refers to a path uses every file of these extensions in that
// path's folder (compared case-sensitively, whatever the base name).
constexpr std::array<const char *, 2> NODE_PATH_EXTENSIONS{{"uts", "utsh"}};

// A landscape file (lower-case extension "ter") uses its side files: files of
// its folder whose lower-case extension begins with "ter" and whose path is
// the landscape's own path extended by fewer than MAX_SIDE_FILE_SUFFIX bytes
// ("land.ter" -> "land.ter1").
constexpr char LANDSCAPE_EXTENSION[] = "ter";
constexpr int MAX_SIDE_FILE_SUFFIX = 5;

// A GUI skin: a file named "gui.rc" (letter case ignored) uses the files of
// its folder with exactly these names.
constexpr char GUI_SKIN_EXTENSION[] = "rc";
constexpr char GUI_SKIN_FILE_NAME[] = "gui.rc";
constexpr std::array<const char *, 26> GUI_SKIN_FILES{{
        "font.ttf",           "fontb.ttf",         "fonti.ttf",       "fontbi.ttf",      "gui_mouse.png",
        "gui_background.png", "gui_selection.png", "gui_tooltip.png", "gui_vpaned.png",  "gui_hpaned.png",
        "gui_border.png",     "gui_tabbox.png",    "gui_window.png",  "gui_button.png",  "gui_checkbox.png",
        "gui_combobox.png",   "gui_treebox.png",   "gui_vspacer.png", "gui_hspacer.png", "gui_vslider.png",
        "gui_hslider.png",    "gui_vscroll.png",   "gui_hscroll.png", "gui_spinbox.png", "gui_editor.png",
        "gui_white.png",
}};

inline bool isNodePathExtension(const QString &extension)
{
    for (const char *known : NODE_PATH_EXTENSIONS) {
        if (extension == QLatin1String(known))
            return true;
    }
    return false;
}

// Whether the extension of a file path (UTF-8; the text after the last dot
// of a file name that does not start with it) is one of NODE_PATH_EXTENSIONS.
inline bool hasNodePathExtension(std::string_view path)
{
    for (const char *known : NODE_PATH_EXTENSIONS) {
        const size_t length = std::char_traits<char>::length(known);
        if (path.size() < length + 2)
            continue;
        const size_t dot = path.size() - length - 1;
        if (path[dot] == '.' && path[dot - 1] != '/' && path.compare(dot + 1, length, known) == 0)
            return true;
    }
    return false;
}

inline bool hasNodePathExtension(const QString &path)
{
    for (const char *known : NODE_PATH_EXTENSIONS) {
        const int length = int(qstrlen(known));
        const int dot = path.size() - length - 1;
        if (dot >= 1 && path.at(dot) == QLatin1Char('.') && path.at(dot - 1) != QLatin1Char('/')
            && path.endsWith(QLatin1String(known)))
            return true;
    }
    return false;
}

inline bool isGuiSkinFileName(const QString &file_name)
{
    return file_name.compare(QLatin1String(GUI_SKIN_FILE_NAME), Qt::CaseInsensitive) == 0;
}

inline bool isGuiSkinFile(const QString &file_name)
{
    for (const char *known : GUI_SKIN_FILES) {
        if (file_name == QLatin1String(known))
            return true;
    }
    return false;
}

} // namespace implicit_uses
} // namespace inas
