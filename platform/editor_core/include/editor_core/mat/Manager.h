#pragma once

#include <velmora/Material.h>
#include <velmora/Ptr.h>
#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <QObject>

class EditorLogic;

namespace mat {

// The editor's material manager: loads the engine's file materials when it
// is made (Velmora::Materials::loadMaterials) and looks materials up.
class Manager : public QObject
{
    Q_OBJECT

public:
    Manager(EditorLogic *logic, QObject *parent = nullptr);
    ~Manager() override;

    // A material by its material GUID or by the asset GUID of its file;
    // null when none.
    Velmora::Ptr<Velmora::Material> find(const Velmora::UGUID &guid) const;
    // By exact name (file materials, then built-ins); null when none.
    Velmora::Ptr<Velmora::Material> find(const Velmora::String &name) const;
    Velmora::Ptr<Velmora::Material> find(const char *name) const;

    int loadedCount() const { return loaded_; }
    EditorLogic *logic() const { return logic_; }

private:
    EditorLogic *logic_ = nullptr;
    int loaded_ = 0;
};

} // namespace mat
