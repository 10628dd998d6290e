#pragma once

#include <QProxyStyle>

// The editor's style over the platform's ("Fusion" when available): thin
// dock separators, tool tips that show quickly, and no focus frame.
class EditorProxyStyle : public QProxyStyle
{
    Q_OBJECT

public:
    EditorProxyStyle();
    ~EditorProxyStyle() override;

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *return_data = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};
