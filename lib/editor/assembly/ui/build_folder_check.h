#pragma once

#include <QCoreApplication>
#include <QString>

namespace assembly {

// Whether a folder may be chosen as the build folder, which a build empties
// first. Refused: the engine's data folder and everything below it (checked
// as a plain prefix, letter case counting), and whatever the output folder
// guard of the running editor refuses (a folder containing the data folder,
// the binaries or cache folder, the home folder, file-system roots). Any
// other folder is accepted, folders inside the project folder included.
class BuildFolderCheck
{
    Q_DECLARE_TR_FUNCTIONS(assembly::BuildFolderCheck)

public:
    // The text of the "Error" box for a normalised folder path; "" when the
    // folder may be used. A refusal is also logged with its reason.
    static QString problem(const QString &normalized_path);

    static QString dataFolderText();
    // The box for a folder the guard refuses, with the guard's reason.
    static QString protectedFolderText(const QString &reason);
};

} // namespace assembly
