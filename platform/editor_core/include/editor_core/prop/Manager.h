#pragma once

#include <velmora/Property.h>
#include <velmora/Ptr.h>
#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <QObject>

class EditorLogic;

namespace prop {

// The editor's property manager: loads the engine's properties when it is
// made (Velmora::Properties::loadProperties) and looks them up.
class Manager : public QObject
{
    Q_OBJECT

public:
    Manager(EditorLogic *logic, QObject *parent = nullptr);
    ~Manager() override;

    // A property by its property GUID or by the asset GUID of its file; null
    // when none.
    Velmora::Ptr<Velmora::Property> find(const Velmora::UGUID &guid) const;
    Velmora::Ptr<Velmora::Property> find(const Velmora::String &name) const;
    Velmora::Ptr<Velmora::Property> find(const char *name) const;

    int loadedCount() const { return loaded_; }
    EditorLogic *logic() const { return logic_; }

private:
    EditorLogic *logic_ = nullptr;
    int loaded_ = 0;
};

} // namespace prop
