#pragma once

class QApplication;

// Gives the launcher the editor's look: the Fusion style under the editor's
// dark style sheet, the editor's fonts and its icon, all compiled into the
// launcher (a build ships it without the editor's libraries).
void applyLauncherStyle(QApplication &application);
