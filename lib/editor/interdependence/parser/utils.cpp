#include "editor/interdependence/parser/utils.h"

#include "editor/interdependence/custom_settings.h"
#include "editor/interdependence/parser/guid_processor.h"
#include "editor/interdependence/parser/modules/landscape_map_module.h"
#include "editor/interdependence/parser/modules/material_module.h"
#include "editor/interdependence/parser/modules/node_module.h"
#include "editor/interdependence/parser/modules/property_module.h"
#include "editor/interdependence/parser/modules/render_settings_module.h"
#include "editor/interdependence/parser/modules/track_module.h"
#include "editor/interdependence/parser/modules/xml_generic_module.h"
#include "editor/interdependence/parser/parser_driver.h"

#include <editor_core/AssetType.h>
#include <editor_core/base/Assert.h>

#include <velmora/Log.h>

#include <cstring>

namespace inas {
namespace parser {
namespace utils {

namespace {

const char GUID_SCHEME[] = "guid://";
const size_t GUID_SCHEME_LENGTH = sizeof(GUID_SCHEME) - 1;
const int MIN_DIGITS = 5;
const int MIN_LETTERS = 5;

} // namespace

Velmora::UGUID tryConvertToGuid(const char *text)
{
    return tryConvertToGuid(text, nullptr);
}

Velmora::UGUID tryConvertToGuid(const char *text, bool *logged)
{
    if (logged)
        *logged = false;
    if (!text || !*text)
        return Velmora::UGUID();
    const char *candidate = text;
    if (std::strncmp(text, GUID_SCHEME, GUID_SCHEME_LENGTH) == 0)
        candidate += GUID_SCHEME_LENGTH;

    int digits = 0;
    int lower = 0;
    int upper = 0;
    for (int i = 0; i < UGUID_LENGTH; ++i) {
        const char c = candidate[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c >= 'a' && c <= 'f')
            ++lower;
        else if (c >= 'A' && c <= 'F')
            ++upper;
        else
            return Velmora::UGUID(); // also the end of a short text
    }
    if (candidate[UGUID_LENGTH] != '\0')
        return Velmora::UGUID();

    if (lower > 0 && upper > 0) {
        Velmora::Log::message("Developer. Pay attention (1), not guid(%s)\n", candidate);
        if (logged)
            *logged = true;
        return Velmora::UGUID();
    }
    const int letters = lower > 0 ? lower : upper;
    if (digits < MIN_DIGITS || letters < MIN_LETTERS) {
        Velmora::Log::message("Developer. Pay attention (2), not guid(%s)\n", candidate);
        if (logged)
            *logged = true;
        return Velmora::UGUID();
    }
    return Velmora::UGUID(candidate);
}

void setupParser(const CustomSettings *settings, Driver *driver)
{
    EC_ASSERT(settings && driver);
    setupParser(settings, driver, std::make_shared<GuidProcessor>(settings->getAssetManager()));
}

void setupParser(const CustomSettings *settings, Driver *driver, std::shared_ptr<const GuidProcessorBase> resolver)
{
    EC_ASSERT(settings && driver && resolver);
    mat::Manager *materials = settings->getMaterials();
    prop::Manager *properties = settings->getProperties();

    driver->setModule(AssetType::MATERIAL, std::make_shared<MaterialModule>(materials, resolver));
    driver->setModule(AssetType::PROPERTY, std::make_shared<PropertyModule>(properties, resolver));
    driver->setModule(AssetType::RENDER_SETTINGS, std::make_shared<RenderSettingsModule>(materials, resolver));
    driver->setModule(AssetType::TRACK, std::make_shared<TrackModule>(materials, properties, resolver));
    driver->setModule(AssetType::LANDSCAPE_MAP,
                      std::make_shared<LandscapeMapModule>(settings->getAssetManager(), resolver));

    const ModulePtr nodes = std::make_shared<NodeModule>(materials, resolver);
    driver->setModule(AssetType::NODE, nodes);
    driver->setModule(AssetType::WORLD, nodes);

    const ModulePtr generic = std::make_shared<XmlGenericModule>(resolver);
    driver->setModule(AssetType::LAYER, generic);
    driver->setModule(AssetType::SPLINE, generic);
    driver->setModule(AssetType::CURVE, generic);
    driver->setResolver(std::move(resolver));
}

} // namespace utils
} // namespace parser
} // namespace inas
