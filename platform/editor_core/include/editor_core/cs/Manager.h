#pragma once

#include "editor_core/core/CallLog.h"

#include <velmora/UGUID.h>

#include <QFileInfo>
#include <QObject>
#include <QString>

namespace Editor {
class AssetManagerPrivate;
}
namespace prop {
class Manager;
}

namespace cs {

// The C# component system. It is active when the project file (the first
// "*.project" by file name in the folder above the data folder that parses
// as a JSON object) has project_settings.component_system != 0. There is no
// .NET tool chain here: every other call is recorded in a call log.
class Manager : public QObject
{
    Q_OBJECT

public:
    Manager(Editor::AssetManagerPrivate *assets, prop::Manager *properties, QObject *parent = nullptr);
    ~Manager() override;

    // Reads the project file; returns active().
    bool init();
    bool active() const { return active_; }
    void postInit();
    void shutdown();
    // Thread-safe.
    void flush();

    // <project folder>/<name>.csproj and <project folder>/cs_bin/; tests may
    // set them.
    QString getProjectPath() const;
    QString getBinaryPath() const;
    void setProjectPath(const QString &path);
    void setBinaryPath(const QString &path);
    // The project file init() read; "" when none.
    QString projectFile() const { return project_file_; }
    QString projectName() const { return project_name_; }

    void componentAdded(const Velmora::UGUID &guid, const QString &path);
    void componentRemoved(const Velmora::UGUID &guid);
    void componentMoved(const Velmora::UGUID &guid, const QString &path);
    void componentChanged(const Velmora::UGUID &guid);
    void presetAdded(const Velmora::UGUID &guid, const QString &path);
    void presetRemoved(const Velmora::UGUID &guid);
    void presetMoved(const Velmora::UGUID &guid, const QString &path);
    void presetChanged(const Velmora::UGUID &guid, const QString &path);
    void dirRemoved(const QFileInfo &info);
    void dirMoved(const QString &from, const QString &to);
    // Records the request; returns false (there is no component generator).
    bool createComponent(const QString &folder, const QString &name);
    void setDirtyBuild();

    QStringList calls() const { return log_.calls(); }
    const core::CallLog &callLog() const { return log_; }

signals:
    void notificationActivated();

private:
    Editor::AssetManagerPrivate *assets_ = nullptr;
    prop::Manager *properties_ = nullptr;
    bool active_ = false;
    QString project_file_;
    QString project_name_;
    QString project_path_;
    QString binary_path_;
    core::CallLog log_;
};

} // namespace cs
