#include "editor/assembly/executor/options.h"

#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/launcher/serialization.h"

#include "core/base/qt_enum_utility.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QtDebug>

namespace assembly {

namespace {

// The keys of the options file, shared by writer and reader.
enum Key {
    KEY_NAME,
    KEY_PATH,
    KEY_WORLD,
    KEY_BANNER,
    KEY_RULES,
    KEY_RESOLUTIONS,
    KEY_SELECTED_RES,
    KEY_MAIN_RELEASE,
    KEY_MAIN_DEV,
    KEY_MAIN_DEBUG,
    KEY_ARGS,
    KEY_EXTRA_PARAMS,
    KEY_LAUNCHER,
    KEY_CONFIG,
    KEY_PRECISION,
    KEY_VAPI,
    KEY_VRMODES,
    KEY_VDEBUG,
    KEY_BINARY,
    KEY_PRECOMPILE,
    KEY_FULLSCREEN,
    KEY_RULE_FROM,
    KEY_RULE_TO,
    KEY_RES_NUMERATOR,
    KEY_RES_DENOMINATOR,
    KEY_RES_WIDTH,
    KEY_COUNT
};

const QLatin1String KEYS[KEY_COUNT] = {
        QLatin1String("name"),
        QLatin1String("path"),
        QLatin1String("world"),
        QLatin1String("banner"),
        QLatin1String("rules"),
        QLatin1String("resolutions"),
        QLatin1String("selected_res"),
        QLatin1String("main_release"),
        QLatin1String("main_dev"),
        QLatin1String("main_debug"),
        QLatin1String("args"),
        QLatin1String("extra_params"),
        QLatin1String("launcher"),
        QLatin1String("config"),
        QLatin1String("precision"),
        QLatin1String("vapi"),
        QLatin1String("vrmodes"),
        QLatin1String("vdebug"),
        QLatin1String("binary"),
        QLatin1String("precompile"),
        QLatin1String("fullscreen"),
        QLatin1String("from"),
        QLatin1String("to"),
        QLatin1String("n"),
        QLatin1String("d"),
        QLatin1String("w"),
};

QLatin1String key(Key k)
{
    return KEYS[k];
}

template<typename Enum>
QString keyName(Enum value)
{
    return QString::fromLatin1(QtEnumUtility::toString(value));
}

template<typename Enum>
Enum readEnum(const QJsonObject &data, Key k)
{
    return QtEnumUtility::fromString(data.value(key(k)).toString(), Enum::DEFAULT);
}

Velmora::UGUID readGuid(const QJsonObject &data, Key k)
{
    Velmora::UGUID guid;
    guid.setString(data.value(key(k)).toString().toUtf8().constData());
    return guid;
}

void writeGuid(Key k, const Velmora::UGUID &guid, QJsonObject &data)
{
    if (!guid.isEmpty())
        data.insert(key(k), QString::fromUtf8(guid.getString().get()));
}

} // namespace

Options::Options()
    : resolutions_(aspectRatios())
    , system_(getCurrentSystem())
    , config_(EngineInfo::getBinary() == Binary::Release ? BuildConfiguration::Release
                                                         : BuildConfiguration::Development)
    , precision_(getCurrentPrecision())
{}

template<typename T>
void Options::assign(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    modified_ = true;
}

void Options::setName(const QString &name)
{
    assign(name_, name);
}
void Options::setPath(const QString &path)
{
    assign(path_, path);
}
void Options::setWorld(const Velmora::UGUID &world)
{
    assign(world_, world);
}
void Options::setBanner(const Velmora::UGUID &banner)
{
    assign(banner_, banner);
}
void Options::setRules(const QVector<CopyRule> &rules)
{
    assign(rules_, rules);
}
void Options::setResolutions(const QVector<Resolution> &resolutions)
{
    assign(resolutions_, resolutions);
}
void Options::setSelectedRes(int selected_res)
{
    assign(selected_res_, selected_res);
}
void Options::setMainRelease(const QString &path)
{
    assign(main_release_, path);
}
void Options::setMainDev(const QString &path)
{
    assign(main_dev_, path);
}
void Options::setMainDebug(const QString &path)
{
    assign(main_debug_, path);
}
void Options::setArgs(const QString &args)
{
    assign(args_, args);
}
void Options::setVRModes(const QVector<VRMode> &modes)
{
    assign(vrmodes_, modes);
}
void Options::setLauncher(Launcher launcher)
{
    assign(launcher_, launcher);
}
void Options::setConfig(BuildConfiguration config)
{
    assign(config_, config);
}
void Options::setPrecision(Precision precision)
{
    assign(precision_, precision);
}
void Options::setVideoAPI(VideoAPI vapi)
{
    assign(vapi_, vapi);
}
void Options::setVideoDebug(VideoDebug vdebug)
{
    assign(vdebug_, vdebug);
}
void Options::setBinary(Binary binary)
{
    assign(binary_, binary);
}
void Options::setPrecompile(bool precompile)
{
    assign(precompile_, precompile);
}
void Options::setFullscreen(bool fullscreen)
{
    assign(fullscreen_, fullscreen);
}

void Options::setExtraParams(const LauncherParameters &params)
{
    extra_params_ = params;
    modified_ = true;
}

QJsonObject Options::serialize() const
{
    using serialization::setValue;
    QJsonObject data;
    setValue(key(KEY_NAME), name_, data);
    setValue(key(KEY_PATH), path_, data);
    writeGuid(KEY_WORLD, world_, data);
    writeGuid(KEY_BANNER, banner_, data);

    QJsonArray rules;
    for (const CopyRule &rule : rules_) {
        // Both keys always, also when empty.
        rules.append(QJsonObject{{key(KEY_RULE_FROM), rule.from}, {key(KEY_RULE_TO), rule.to}});
    }
    data.insert(key(KEY_RULES), rules);

    QJsonArray resolutions;
    for (const Resolution &resolution : resolutions_) {
        resolutions.append(QJsonObject{{key(KEY_RES_NUMERATOR), resolution.ratio.width()},
                                       {key(KEY_RES_DENOMINATOR), resolution.ratio.height()},
                                       {key(KEY_RES_WIDTH), resolution.width}});
    }
    data.insert(key(KEY_RESOLUTIONS), resolutions);
    data.insert(key(KEY_SELECTED_RES), selected_res_);

    setValue(key(KEY_MAIN_RELEASE), main_release_, data);
    setValue(key(KEY_MAIN_DEV), main_dev_, data);
    setValue(key(KEY_MAIN_DEBUG), main_debug_, data);
    setValue(key(KEY_ARGS), args_, data);
    if (!extra_params_.isEmpty())
        data.insert(key(KEY_EXTRA_PARAMS), serialization::serializeParameters(extra_params_));

    data.insert(key(KEY_LAUNCHER), keyName(launcher_));
    data.insert(key(KEY_CONFIG), keyName(config_));
    data.insert(key(KEY_PRECISION), keyName(precision_));
    data.insert(key(KEY_VAPI), keyName(vapi_));
    data.insert(key(KEY_VRMODES), QJsonArray::fromStringList(QtEnumUtility::toStringList(vrmodes_)));
    data.insert(key(KEY_VDEBUG), keyName(vdebug_));
    data.insert(key(KEY_BINARY), keyName(binary_));
    data.insert(key(KEY_PRECOMPILE), precompile_);
    data.insert(key(KEY_FULLSCREEN), fullscreen_);
    return data;
}

bool Options::deserialize(const QJsonObject &data)
{
    if (data.isEmpty()) {
        qWarning() << "Build Tool: Options::deserialize(): data is invalid.";
        return false;
    }

    using serialization::getValue;
    Options fresh;
    fresh.name_ = getValue(data, key(KEY_NAME));
    fresh.path_ = getValue(data, key(KEY_PATH));
    fresh.main_release_ = getValue(data, key(KEY_MAIN_RELEASE));
    fresh.main_dev_ = getValue(data, key(KEY_MAIN_DEV));
    fresh.main_debug_ = getValue(data, key(KEY_MAIN_DEBUG));
    fresh.args_ = getValue(data, key(KEY_ARGS));
    fresh.world_ = readGuid(data, KEY_WORLD);
    fresh.banner_ = readGuid(data, KEY_BANNER);

    // A rule element that is not an object, or an empty one, reads as a rule
    // with empty strings.
    const QJsonArray rules = data.value(key(KEY_RULES)).toArray();
    for (const QJsonValue &value : rules) {
        const QJsonObject rule = value.toObject();
        fresh.rules_.append(CopyRule{getValue(rule, key(KEY_RULE_FROM)), getValue(rule, key(KEY_RULE_TO))});
    }

    fresh.extra_params_ = serialization::deserializeParameters(data.value(key(KEY_EXTRA_PARAMS)).toArray());

    fresh.launcher_ = readEnum<Launcher>(data, KEY_LAUNCHER);
    fresh.config_ = readEnum<BuildConfiguration>(data, KEY_CONFIG);
    fresh.precision_ = readEnum<Precision>(data, KEY_PRECISION);
    fresh.vapi_ = readEnum<VideoAPI>(data, KEY_VAPI);
    fresh.vdebug_ = readEnum<VideoDebug>(data, KEY_VDEBUG);
    fresh.binary_ = readEnum<Binary>(data, KEY_BINARY);

    // Unknown names would read as Disabled, which a list of VR modes never
    // holds: they are dropped with a warning.
    const QStringList mode_names = serialization::readStringList(data.value(key(KEY_VRMODES)).toArray());
    const QVector<VRMode> modes = QtEnumUtility::fromStringList<VRMode>(mode_names);
    for (int i = 0; i < modes.size(); ++i) {
        if (modes.at(i) == VRMode::Disabled)
            qWarning() << "Build Tool: Options::deserialize(): unknown VR mode dropped (" << mode_names.at(i) << ").";
        else
            fresh.vrmodes_.append(modes.at(i));
    }

    fresh.precompile_ = data.value(key(KEY_PRECOMPILE)).toBool(false);
    fresh.fullscreen_ = data.value(key(KEY_FULLSCREEN)).toBool(false);
    fresh.selected_res_ = data.value(key(KEY_SELECTED_RES)).toInt(0);

    if (data.contains(key(KEY_RESOLUTIONS))) {
        fresh.resolutions_.clear();
        const QJsonArray resolutions = data.value(key(KEY_RESOLUTIONS)).toArray();
        for (const QJsonValue &value : resolutions) {
            const QJsonObject resolution = value.toObject();
            fresh.resolutions_.append(Resolution{QSize(resolution.value(key(KEY_RES_NUMERATOR)).toInt(0),
                                                       resolution.value(key(KEY_RES_DENOMINATOR)).toInt(0)),
                                                 resolution.value(key(KEY_RES_WIDTH)).toInt(0)});
        }
    }

    *this = fresh;
    return true;
}

} // namespace assembly
