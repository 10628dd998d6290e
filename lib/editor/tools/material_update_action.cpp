#include "editor/tools/material_update_action.h"

#include <editor_core/View.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Materials.h>

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QStringList>

namespace Impostors {

using Velmora::Material;
using Velmora::Ptr;

MaterialUpdateAction::MaterialUpdateAction(const Ptr<Material> &material, std::function<void()> change, bool *saved,
                                           std::function<bool()> may_write)
    : material_(material)
    , change_(std::move(change))
    , saved_in_apply_(saved)
    , may_write_(std::move(may_write))
{}

void MaterialUpdateAction::apply()
{
    if (!material_)
        return;
    before_ = capture();
    if (change_)
        change_();
    after_ = capture();
    const bool saved = save();
    if (saved_in_apply_)
        *saved_in_apply_ = saved;
    saved_in_apply_ = nullptr;
}

void MaterialUpdateAction::captureAfter()
{
    if (material_)
        after_ = capture();
}

void MaterialUpdateAction::undo()
{
    change(before_, true);
}

void MaterialUpdateAction::redo()
{
    change(after_, false);
}

void MaterialUpdateAction::change(const Snapshot &to, bool undoing)
{
    refusal_.clear();
    if (!material_ || (may_write_ && !may_write_()))
        return;
    const Snapshot present = capture();
    restore(to);
    QString error;
    if (save(&error))
        return;
    // The file keeps what it had (written whole or not at all); so does the
    // editor's material.
    restore(present);
    const QString path = QString::fromUtf8(material_->getFilePath());
    refusal_ = QStringLiteral("%1 could not be written: %2").arg(path, error);
    if (!depr::gui.main_window)
        return;
    const QString shown = QDir::toNativeSeparators(fs::relDataPath(path));
    const QString text = (undoing ? QCoreApplication::translate("ImpostorGrabberWindow",
                                                                "Undo changed nothing: the material %1 could not be "
                                                                "written (%2). The impostor keeps its present files, "
                                                                "and Undo can be tried again.")
                                  : QCoreApplication::translate("ImpostorGrabberWindow",
                                                                "Redo changed nothing: the material %1 could not be "
                                                                "written (%2). The impostor keeps its present files, "
                                                                "and Redo can be tried again."))
                                 .arg(shown, error);
    // Not blocking: undo and redo run from menus and shortcuts alike.
    auto *box = new QMessageBox(QMessageBox::Warning,
                                QCoreApplication::translate("ImpostorGrabberWindow", "Impostors Creator"), text,
                                QMessageBox::Ok, depr::gui.main_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

MaterialUpdateAction::Snapshot MaterialUpdateAction::capture() const
{
    Snapshot snapshot;
    for (int i = 0; i < material_->getNumTextures(); ++i)
        snapshot.textures.append({QString::fromUtf8(material_->getTextureName(i)),
                                  QString::fromUtf8(material_->getTexturePath(i)), false});
    for (int i = 0; i < material_->getNumParameters(); ++i)
        snapshot.parameters.append({QString::fromUtf8(material_->getParameterName(i)),
                                    QString::fromUtf8(material_->getParameterString(i)),
                                    material_->isParameterExpression(i)});
    for (int i = 0; i < material_->getNumStates(); ++i)
        snapshot.states.append(
                {QString::fromUtf8(material_->getStateName(i)), QString::number(material_->getState(i)), false});
    snapshot.transparent = material_->getTransparent();
    snapshot.blend_src = material_->getBlendSrcFunc();
    snapshot.blend_dest = material_->getBlendDestFunc();
    return snapshot;
}

void MaterialUpdateAction::restore(const Snapshot &snapshot)
{
    if (!material_)
        return;
    // Only what differs is set, so that values the material inherits stay
    // inherited in its file.
    for (const Value &texture : snapshot.textures) {
        const QByteArray name = texture.name.toUtf8();
        const int slot = material_->findTexture(name.constData());
        if (slot >= 0 && QString::fromUtf8(material_->getTexturePath(slot)) != texture.text)
            material_->setTexturePath(slot, texture.text.toUtf8().constData());
    }
    for (const Value &parameter : snapshot.parameters) {
        const QByteArray name = parameter.name.toUtf8();
        const int slot = material_->findParameter(name.constData());
        if (slot < 0
            || (QString::fromUtf8(material_->getParameterString(slot)) == parameter.text
                && material_->isParameterExpression(slot) == parameter.expression))
            continue;
        if (parameter.expression) {
            material_->setParameterExpression(slot, parameter.text.toUtf8().constData());
            continue;
        }
        const QStringList parts = parameter.text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() <= 1) {
            material_->setParameterFloat(slot, parts.value(0).toFloat());
        } else {
            float lanes[4] = {0.0f, 0.0f, 0.0f, 1.0f};
            for (int i = 0; i < 4 && i < parts.size(); ++i)
                lanes[i] = parts[i].toFloat();
            material_->setParameterFloat4(slot, Velmora::vec4(lanes[0], lanes[1], lanes[2], lanes[3]));
        }
    }
    for (const Value &state : snapshot.states) {
        const QByteArray name = state.name.toUtf8();
        if (QString::number(material_->getState(name.constData())) != state.text)
            material_->setState(name.constData(), state.text.toInt());
    }
    if (material_->getTransparent() != snapshot.transparent)
        material_->setTransparent(snapshot.transparent);
    if (material_->getBlendSrcFunc() != snapshot.blend_src || material_->getBlendDestFunc() != snapshot.blend_dest)
        material_->setBlendFunc(snapshot.blend_src, snapshot.blend_dest);
}

bool MaterialUpdateAction::save(QString *error)
{
    Velmora::String reason;
    const bool saved = Velmora::Materials::saveMaterial(material_, &reason);
    if (!saved && error)
        *error = QString::fromUtf8(reason.get());
    return saved;
}

} // namespace Impostors
