#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// What the player checks about its build and reports in its state file: the
// start world given on its command line, the data folder and its
// "guids.db" table. Read while the engine runs.
struct PlayerState
{
    QStringList arguments;
    QString data_path;
    QString world; // data-relative path of the loaded world, "" when none
    QString requested_world; // the world the command line asked for, "" when none
    int nodes = 0;
    int guids_db_entries = 0;
    int guids_db_missing = 0; // guids.db entries whose file is not in the data folder
    int failed_commands = 0;
    int frames = 0;

    // Collects the state from the running engine.
    static PlayerState collect(int frames);
    // The world a "world_load" command line asks for ("" when none).
    static QString requestedWorld(const QStringList &arguments);

    // A world was asked for and did not load, a command failed, or
    // guids.db names files that are not there.
    bool failed() const;
    QJsonObject toJson() const;
    // Written atomically; false when it cannot be written.
    bool write(const QString &path) const;
};
