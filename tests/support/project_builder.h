#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace test {

// Writes a small project into a folder: the project file, the data folder
// with the engine's and the editor's own data, files and meta files. GUIDs
// are written in the fixture shorthand {xNNN} (the letter x five times, 32
// zeros, then NNN) wherever a text holds one.
class ProjectBuilder
{
public:
    explicit ProjectBuilder(const QString &root);

    // Expands every {xNNN} of text into its 40-digit GUID.
    static QString expandGuids(const QString &text);

    QString root() const { return root_; }
    // Absolute, ending with "/".
    QString dataPath() const { return root_ + QLatin1String("/data/"); }
    QString projectFilePath() const { return project_file_; }

    // <root>/<name>.project with the sdk and project_settings sections.
    ProjectBuilder &projectFile(const QString &name = QStringLiteral("test"), int component_system = 0);
    // A project file with exactly these bytes.
    ProjectBuilder &rawProjectFile(const QString &name, const QByteArray &content);
    // The engine's core data and the editor's tamsel2 data, copied from the
    // source tree's resources, or small stand-ins when those are missing.
    ProjectBuilder &engineData();
    // A data file (path relative to the data folder); {xNNN} in the content
    // is expanded.
    ProjectBuilder &file(const QString &path, const QByteArray &content);
    // A data file and its meta file with the given shorthand or full GUID;
    // type 0 leaves the type to the file's extension.
    ProjectBuilder &asset(const QString &path, const QByteArray &content, const QString &guid, int type = 0);
    // A meta file with exactly these bytes (for broken metas).
    ProjectBuilder &rawMeta(const QString &path, const QByteArray &content);
    // A world file with one mesh-less dummy node per given name.
    ProjectBuilder &world(const QString &path, const QString &guid, const QStringList &node_names);

    // Everything written so far succeeded.
    bool ok() const { return ok_; }

private:
    bool write(const QString &absolute_path, const QByteArray &content);

    QString root_;
    QString project_file_;
    bool ok_ = true;
};

} // namespace test
