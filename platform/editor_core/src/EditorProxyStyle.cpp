#include "editor_core/EditorProxyStyle.h"

#include <QStyleFactory>

namespace {

QStyle *fusionStyle()
{
    // Fusion looks the same on every platform and suits the dark style
    // sheet; the platform's default otherwise.
    return QStyleFactory::create(QStringLiteral("Fusion"));
}

} // namespace

EditorProxyStyle::EditorProxyStyle()
    : QProxyStyle(fusionStyle())
{}

EditorProxyStyle::~EditorProxyStyle() = default;

int EditorProxyStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_DockWidgetSeparatorExtent:
        return 4;
    case PM_SmallIconSize:
    case PM_ToolBarIconSize:
        return 16;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int EditorProxyStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                                QStyleHintReturn *return_data) const
{
    switch (hint) {
    case SH_ToolTip_WakeUpDelay:
        return 400;
    case SH_Menu_AllowActiveAndDisabled:
        return 0;
    case SH_ItemView_ActivateItemOnSingleClick:
        return 0;
    default:
        return QProxyStyle::styleHint(hint, option, widget, return_data);
    }
}

void EditorProxyStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                     const QWidget *widget) const
{
    // No dotted focus frames: the style sheet marks focus by colour.
    if (element == PE_FrameFocusRect)
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}
