#pragma once

// Object names of the main menu's menus (MainMenu::findMenu).
struct Constants
{
    static constexpr const char *MM_FILE = "MM_FILE";
    static constexpr const char *MM_EDIT = "MM_EDIT";
    static constexpr const char *MM_WINDOW = "MM_WINDOW";
    static constexpr const char *MM_TOOLS = "MM_TOOLS";
    static constexpr const char *MM_HELP = "MM_HELP";
};
