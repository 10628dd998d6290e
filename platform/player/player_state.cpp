#include "player_state.h"

#include <velmora/Console.h>
#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/World.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// Entries of <data>/guids.db whose file does not exist.
int missingGuidsDbFiles(const QString &data_path)
{
    QFile file(data_path + QStringLiteral("guids.db"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return 1;
    int missing = 0;
    const QJsonObject table = document.object();
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        if (!QFileInfo(data_path + it.value().toString()).isFile())
            ++missing;
    }
    return missing;
}

} // namespace

QString PlayerState::requestedWorld(const QStringList &arguments)
{
    static const QRegularExpression world_load(QStringLiteral("^\\s*world_load\\s+\"?([^\"]*)\"?\\s*$"));
    for (int i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) != QLatin1String("-console_command"))
            continue;
        const QRegularExpressionMatch match = world_load.match(arguments.at(i + 1));
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

PlayerState PlayerState::collect(int frames)
{
    PlayerState state;
    if (Velmora::Engine *engine = Velmora::Engine::get()) {
        for (const std::string &argument : engine->args())
            state.arguments << QString::fromStdString(argument);
        state.data_path = QString::fromUtf8(engine->getDataPath().get());
    }
    state.world = Velmora::World::isLoaded() ? QString::fromUtf8(Velmora::World::getPath()) : QString();
    state.requested_world = requestedWorld(state.arguments);
    state.nodes = Velmora::World::isLoaded() ? Velmora::World::getNumNodes() : 0;
    state.guids_db_entries = Velmora::FileSystem::getNumGUIDsDbEntries();
    state.guids_db_missing = state.data_path.isEmpty() ? 0 : missingGuidsDbFiles(state.data_path);
    state.failed_commands = Velmora::Console::getNumFailedCommands();
    state.frames = frames;
    return state;
}

bool PlayerState::failed() const
{
    return failed_commands > 0 || guids_db_missing > 0 || (!requested_world.isEmpty() && world.isEmpty());
}

QJsonObject PlayerState::toJson() const
{
    QJsonObject record;
    record.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(arguments));
    record.insert(QStringLiteral("data_path"), data_path);
    record.insert(QStringLiteral("world"), world);
    record.insert(QStringLiteral("requested_world"), requested_world);
    record.insert(QStringLiteral("nodes"), nodes);
    record.insert(QStringLiteral("guids_db_entries"), guids_db_entries);
    record.insert(QStringLiteral("guids_db_missing"), guids_db_missing);
    record.insert(QStringLiteral("failed_commands"), failed_commands);
    record.insert(QStringLiteral("frames"), frames);
    record.insert(QStringLiteral("failed"), failed());
    return record;
}

bool PlayerState::write(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = QJsonDocument(toJson()).toJson();
    // commit() does not look at a failed flush of the write buffer: a small
    // record on a full disk would replace the old one with an empty file.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
