// The application icon: the resource script's icon file, or a drawn stand-in for trees that
// do not carry it.
#include "ui/qt/AppIcon.h"

#include <QColor>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#ifdef KESTRUM_HAVE_ICON_RESOURCE
// The resource lives in a static library; naming it keeps the linker from dropping it.
static void InitIconResource() { Q_INIT_RESOURCE(KestrumIcons); }
#endif

namespace qtui {
namespace {

QPixmap DrawStandIn(int nSize) {
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = nSize / 32.0;
    // A player: a rounded body, a screen and a wheel.
    painter.setPen(QPen(QColor(60, 60, 70), unit));
    painter.setBrush(QColor(235, 235, 240));
    painter.drawRoundedRect(QRectF(7 * unit, 1 * unit, 18 * unit, 30 * unit), 3 * unit, 3 * unit);
    painter.setBrush(QColor(90, 140, 210));
    painter.drawRect(QRectF(10 * unit, 4 * unit, 12 * unit, 10 * unit));
    painter.setBrush(QColor(200, 200, 208));
    painter.drawEllipse(QPointF(16 * unit, 22.5 * unit), 6 * unit, 6 * unit);
    painter.setBrush(QColor(235, 235, 240));
    painter.drawEllipse(QPointF(16 * unit, 22.5 * unit), 2.2 * unit, 2.2 * unit);
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
#ifdef KESTRUM_HAVE_ICON_RESOURCE
    InitIconResource();
    QIcon icon(QStringLiteral(":/kestrum/Kestrum.ico"));
    if (!icon.isNull() && !icon.availableSizes().isEmpty()) {
        return icon;
    }
#endif
    QIcon standIn;
    for (int nSize : {16, 32, 48}) {
        standIn.addPixmap(DrawStandIn(nSize));
    }
    return standIn;
}

}  // namespace qtui
