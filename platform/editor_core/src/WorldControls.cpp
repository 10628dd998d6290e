#include "editor_core/WorldControls.h"

#include "editor_core/EditorLogic.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"
#include "editor_core/editor/Undo.h"

#include <velmora/Console.h>
#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/World.h>

WorldControls::WorldControls(QObject *parent)
    : QObject(parent)
{}

WorldControls::~WorldControls() = default;

void WorldControls::init()
{
    if (initialized_)
        return;
    initialized_ = true;
    if (Editor::UndoPrivate *undo = depr::g.undo)
        connect(undo, &Editor::UndoPrivate::stepDone, this, [this] { setDirty(true); });
    if (EditorLogic *logic = depr::g.editor) {
        connect(logic, &EditorLogic::onWorldInit, this, [this] { setDirty(false); });
        connect(logic, &EditorLogic::onWorldSave, this, [this] { setDirty(false); });
        connect(logic, &EditorLogic::onWorldShutdown, this, [this] { setDirty(false); });
    }
}

void WorldControls::shutdown()
{
    if (!initialized_)
        return;
    initialized_ = false;
    if (depr::g.undo)
        disconnect(depr::g.undo, nullptr, this, nullptr);
    if (depr::g.editor)
        disconnect(depr::g.editor, nullptr, this, nullptr);
}

QString WorldControls::getWorldName() const
{
    if (!Velmora::World::isLoaded())
        return QString();
    return QString::fromUtf8(Velmora::World::getName());
}

Velmora::UGUID WorldControls::worldAssetGUID() const
{
    if (!Velmora::World::isLoaded())
        return Velmora::UGUID();
    const QString path = QString::fromUtf8(Velmora::World::getPath());
    if (Editor::AssetManagerPrivate *assets = depr::g.asset_manager) {
        const as::Asset asset = assets->asset(path);
        if (!asset.isNull())
            return asset.getGUID();
    }
    return Velmora::FileSystem::getGUID(Velmora::World::getPath());
}

void WorldControls::setDirty(bool dirty)
{
    if (dirty_ == dirty)
        return;
    dirty_ = dirty;
    emit dirtyStateChanged(dirty_);
}

bool WorldControls::saveWorld()
{
    if (!Velmora::World::isLoaded()) {
        save_error_ = QStringLiteral("no world is loaded");
        Velmora::Log::warning("No world is loaded; there is nothing to save\n");
        return false;
    }
    Velmora::Console::run("world_save");
    Velmora::Console::flush();
    // The command saved the loaded world: its answer is the engine's last.
    save_error_ = QString::fromUtf8(Velmora::World::getSaveError());
    return save_error_.isEmpty();
}

void WorldControls::createUSC()
{
    Velmora::Log::warning("Creating a world script is not available yet\n");
}

void WorldControls::createWorld()
{
    Velmora::Log::warning("Creating a world is not available yet\n");
}
