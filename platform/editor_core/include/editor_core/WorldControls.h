#pragma once

#include <velmora/UGUID.h>

#include <QObject>
#include <QString>

// Editor side of the loaded world: its name and asset, and whether it has
// unsaved changes. The dirty flag is set by every committed undo step and
// cleared when the world is saved or loaded; the world is driven through the
// engine console.
class WorldControls : public QObject
{
    Q_OBJECT

public:
    explicit WorldControls(QObject *parent = nullptr);
    ~WorldControls() override;

    void init();
    void shutdown();

    // File name of the loaded world without folder and extension; "" when
    // none is loaded.
    QString getWorldName() const;
    // Asset GUID of the loaded world's file; empty when none.
    Velmora::UGUID worldAssetGUID() const;

    bool isDirty() const { return dirty_; }
    void setDirty(bool dirty);

    // Queues "world_save" on the engine console and runs it; true once the
    // world's file holds it, false when no world is loaded or the file could
    // not be written (lastSaveError() then says why).
    bool saveWorld();
    // Why the last saveWorld() failed ("" after one that succeeded).
    QString lastSaveError() const { return save_error_; }

public slots:
    // Not available yet: log one line and do nothing.
    void createUSC();
    void createWorld();

signals:
    void dirtyStateChanged(bool dirty);

private:
    bool dirty_ = false;
    bool initialized_ = false;
    QString save_error_;
};
