#pragma once

// A running engine on a small world for the impostor creator's tests: a box
// "tree", a mesh clutter "bush" of the same box, an empty node, the two
// impostor base materials as core assets, and the asset manager, the undo
// store and the selection the creator works with.

#include "asset_files.h"
#include "installation.h"

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/Undo.h>

#include <velmora/Materials.h>
#include <velmora/Node.h>
#include <velmora/World.h>

#include <QFile>
#include <QSignalSpy>

#include <memory>

namespace impostortest {

inline QByteArray box()
{
    return "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nv -1 -1 4\nv 1 -1 4\nv 1 1 4\nv -1 1 4\n"
           "g body\nf 1 4 3 2\nf 5 6 7 8\nf 2 3 7 6\nf 4 1 5 8\nf 3 4 8 7\nf 1 2 6 5\n";
}

inline QByteArray world()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
           "<node type=\"ObjectMeshStatic\" id=\"1\" name=\"tree\"><mesh_name>meshes/box.mesh</mesh_name>"
           "<transform>1 0 0 0  0 1 0 0  0 0 1 0  5 -2 1 1</transform></node>\n"
           "<node type=\"ObjectMeshClutter\" id=\"2\" name=\"bush\"><mesh_name>meshes/box.mesh</mesh_name>"
           "<step>1.5</step><density>0.25</density><min_scale_mean>0.5</min_scale_mean>"
           "<meshes_rotation_mean>0 0 30</meshes_rotation_mean>"
           "<transform>1 0 0 0  0 1 0 0  0 0 1 0  -6 3 0 1</transform></node>\n"
           "<node type=\"NodeDummy\" id=\"3\" name=\"empty\"></node>\n"
           "</world>\n";
}

class Fixture : public test::Installation
{
public:
    bool start()
    {
        const QString core = qEnvironmentVariable("VELMORA_SOURCE_DIR") + "/resources/engine_data/core/materials/";
        for (const char *name : {"grass_impostor_base.mat", "billboards_impostor_base.mat"}) {
            for (const QString &file : {QString::fromLatin1(name), QString::fromLatin1(name) + ".meta"}) {
                if (!writeData("core/materials/" + file, read(core + file)))
                    return false;
            }
        }
        if (!writeData(QStringLiteral("meshes/box.mesh"), box())
            || !writeAsset(QStringLiteral("levels/test.world"), world(), test::guidText('f', 300), 18)
            || !Installation::start({QStringLiteral("-skip_guidsdb")}))
            return false;
        Velmora::Materials::loadMaterials();
        assets_ = std::make_unique<Editor::AssetManagerPrivate>();
        depr::g.asset_manager = assets_.get();
        QSignalSpy scanned(assets_.get(), &Editor::AssetManagerPrivate::pipeline_ended);
        assets_->init();
        undo_ = std::make_unique<Editor::Undo>();
        selection_ = std::make_unique<Editor::Selection>();
        return scanned.wait(10000) && Velmora::World::load("levels/test");
    }

    ~Fixture() override
    {
        selection_.reset();
        undo_.reset();
        depr::g.asset_manager = nullptr;
        if (assets_)
            assets_->shutdown();
    }

    Editor::AssetManagerPrivate *assets() const { return assets_.get(); }

private:
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<Editor::Undo> undo_;
    std::unique_ptr<Editor::Selection> selection_;
};

inline Velmora::Ptr<Velmora::Node> node(const char *name)
{
    return Velmora::World::getNodeByName(name);
}

inline void select(const Velmora::Vector<Velmora::Ptr<Velmora::Node>> &nodes)
{
    Editor::Selection::instance()->setSelector(Editor::SelectorNodes::createObjectsSelector(nodes));
}

} // namespace impostortest
