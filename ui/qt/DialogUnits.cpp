// Dialog-unit arithmetic and the dialog font.
#include "ui/qt/DialogUnits.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace qtui {

SBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return SBaseUnits{nWidth / 52.0, static_cast<double>(metrics.height())};
}

QFont DialogFont(int nPointSize) {
    QFont font;
    // Faces drawn like the system's dialog font first (the metric-compatible free faces
    // included), then whatever sans face the desktop offers.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    // Points to pixels at the screen's logical resolution, rounded as the system's font
    // mapper does, so that the base units follow the desktop's scaling.
    qreal dpi = 96.0;
    if (const QScreen* pScreen = QGuiApplication::primaryScreen(); pScreen != nullptr) {
        dpi = pScreen->logicalDotsPerInchY();
    }
    const int nPoints = nPointSize > 0 ? nPointSize : 8;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(nPoints * dpi / 72.0))));
    return font;
}

QRect DialogUnitsToPixels(const SBaseUnits& units, int x, int y, int cx, int cy) {
    // Corners and sizes are each converted and rounded, as the dialog manager does.
    const auto horizontal = [&](int value) {
        return static_cast<int>(std::lround(value * units.cx / 4.0));
    };
    const auto vertical = [&](int value) {
        return static_cast<int>(std::lround(value * units.cy / 8.0));
    };
    return QRect(horizontal(x), vertical(y), horizontal(cx), vertical(cy));
}

}  // namespace qtui
