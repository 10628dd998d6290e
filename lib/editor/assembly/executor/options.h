#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/copy_rule.h"
#include "editor/assembly/core/resolution.h"
#include "editor/assembly/launcher/launcher_parameter.h"

#include <velmora/UGUID.h>

#include <QJsonObject>
#include <QString>
#include <QVector>

namespace assembly {

// Everything the user sets in the "Create Build" window. Setters mark the
// record modified only when the value changes (extra_params always marks
// it). The JSON form is what the options file stores: strings only when not
// empty, enumerations by key name, keys sorted by QJsonDocument.
class Options
{
public:
    Options();

    const QString &getName() const { return name_; }
    const QString &getPath() const { return path_; }
    const Velmora::UGUID &getWorld() const { return world_; }
    const Velmora::UGUID &getBanner() const { return banner_; }
    const QVector<CopyRule> &getRules() const { return rules_; }
    const QVector<Resolution> &getResolutions() const { return resolutions_; }
    int getSelectedRes() const { return selected_res_; }
    const QString &getMainRelease() const { return main_release_; }
    const QString &getMainDev() const { return main_dev_; }
    const QString &getMainDebug() const { return main_debug_; }
    const QString &getArgs() const { return args_; }
    const LauncherParameters &getExtraParams() const { return extra_params_; }
    const QVector<VRMode> &getVRModes() const { return vrmodes_; }
    System getSystem() const { return system_; }
    Launcher getLauncher() const { return launcher_; }
    BuildConfiguration getConfig() const { return config_; }
    Precision getPrecision() const { return precision_; }
    VideoAPI getVideoAPI() const { return vapi_; }
    VideoDebug getVideoDebug() const { return vdebug_; }
    Binary getBinary() const { return binary_; }
    bool getPrecompile() const { return precompile_; }
    bool getFullscreen() const { return fullscreen_; }
    bool isModified() const { return modified_; }

    void setName(const QString &name);
    void setPath(const QString &path);
    void setWorld(const Velmora::UGUID &world);
    void setBanner(const Velmora::UGUID &banner);
    void setRules(const QVector<CopyRule> &rules);
    void setResolutions(const QVector<Resolution> &resolutions);
    void setSelectedRes(int selected_res);
    void setMainRelease(const QString &path);
    void setMainDev(const QString &path);
    void setMainDebug(const QString &path);
    void setArgs(const QString &args);
    void setExtraParams(const LauncherParameters &params);
    void setVRModes(const QVector<VRMode> &modes);
    void setLauncher(Launcher launcher);
    void setConfig(BuildConfiguration config);
    void setPrecision(Precision precision);
    void setVideoAPI(VideoAPI vapi);
    void setVideoDebug(VideoDebug vdebug);
    void setBinary(Binary binary);
    void setPrecompile(bool precompile);
    void setFullscreen(bool fullscreen);

    void resetModified() { modified_ = false; }

    QJsonObject serialize() const;
    // Reads the JSON form into a fresh record and takes it over whole, so
    // modified ends clear. An empty object logs a warning and changes nothing.
    // Values of the wrong type read as empty; unknown enumeration names read
    // as the enumeration's DEFAULT; unknown VR mode names are dropped.
    bool deserialize(const QJsonObject &data);

private:
    template<typename T>
    void assign(T &field, const T &value);

    QString name_;
    QString path_;
    Velmora::UGUID world_;
    Velmora::UGUID banner_;
    QVector<CopyRule> rules_;
    QVector<Resolution> resolutions_;
    int selected_res_ = 0;
    QString main_release_;
    QString main_dev_;
    QString main_debug_;
    QString args_;
    LauncherParameters extra_params_;
    QVector<VRMode> vrmodes_;
    System system_;
    Launcher launcher_ = Launcher::BinaryFile;
    BuildConfiguration config_;
    Precision precision_;
    VideoAPI vapi_ = VideoAPI::Auto;
    VideoDebug vdebug_ = VideoDebug::Disabled;
    Binary binary_ = Binary::Development;
    bool precompile_ = true;
    bool fullscreen_ = false;
    bool modified_ = false;
};

} // namespace assembly
