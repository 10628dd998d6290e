#include "editor/assembly/core/resolution.h"

namespace assembly {

namespace {

struct RatioWidths
{
    int numerator;
    int denominator;
    QVector<int> widths;
};

} // namespace

int Resolution::height() const
{
    return ratio.width() > 0 ? width * ratio.height() / ratio.width() : 0;
}

QString resolutionLabel(const Resolution &resolution)
{
    return QStringLiteral("%1x%2 [%3:%4]")
            .arg(resolution.width)
            .arg(resolution.height())
            .arg(resolution.ratio.width())
            .arg(resolution.ratio.height());
}

QVector<Resolution> aspectRatios()
{
    static const QVector<Resolution> table = []() {
        const QVector<RatioWidths> rows = {
                {16, 9, {960, 1024, 1280, 1366, 1600, 1920, 2560, 3840}},
                {16, 10, {960, 1024, 1280, 1440, 1680, 1920, 2560}},
                {4, 3, {800, 1024, 1280, 1600, 2048}},
                {5, 4, {2560}},
        };
        QVector<Resolution> result;
        for (const RatioWidths &row : rows) {
            for (const int width : row.widths)
                result.append(Resolution{QSize(row.numerator, row.denominator), width});
        }
        return result;
    }();
    return table;
}

void registerResolutionMetaType()
{
    qRegisterMetaType<Resolution>("assembly::Resolution");
}

} // namespace assembly
