#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>

namespace kelvo::ui {

namespace {

const QColor kNavy(18, 52, 96);
const QColor kTeal(0, 150, 170);

// The maker's mark: a rounded square with a wave drawn as an "M".
void DrawMark(QPainter &p, const QRectF &r) {
    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, r.width() * 0.2, r.width() * 0.2);

    const qreal w = r.width(), h = r.height();
    QPainterPath wave;
    wave.moveTo(r.left() + w * 0.18, r.top() + h * 0.78);
    wave.lineTo(r.left() + w * 0.18, r.top() + h * 0.30);
    wave.cubicTo(r.left() + w * 0.30, r.top() + h * 0.22, r.left() + w * 0.42, r.top() + h * 0.50,
                 r.left() + w * 0.50, r.top() + h * 0.58);
    wave.cubicTo(r.left() + w * 0.58, r.top() + h * 0.50, r.left() + w * 0.70, r.top() + h * 0.22,
                 r.left() + w * 0.82, r.top() + h * 0.30);
    wave.lineTo(r.left() + w * 0.82, r.top() + h * 0.78);
    QPen pen(Qt::white, std::max<qreal>(2.0, w * 0.1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
}

// A transparent picture of `size` device-independent pixels for `dpr`.
QPixmap Canvas(QSize size, qreal dpr) {
    QPixmap pix(size * dpr);
    pix.setDevicePixelRatio(dpr);
    pix.fill(Qt::transparent);
    return pix;
}

// Lettering on the window's own background: the maker's colours where they
// stand out from it, the palette's text colour where they would not.
QColor Legible(const QColor &wanted, const QPalette &palette) {
    const QColor back = palette.color(QPalette::Window);
    return std::abs(wanted.lightness() - back.lightness()) >= 96
               ? wanted
               : palette.color(QPalette::WindowText);
}

QPixmap Logo(const QPalette &palette, qreal dpr) {
    QPixmap pix = Canvas(QSize(200, 56), dpr);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(4, 4, 48, 48));
    QFont name("Sans Serif");
    name.setPixelSize(26);
    name.setBold(true);
    p.setFont(name);
    p.setPen(Legible(kNavy, palette));
    p.drawText(QRectF(60, 2, 140, 34), Qt::AlignLeft | Qt::AlignVCenter, "Marvane");
    QFont tag("Sans Serif");
    tag.setPixelSize(11);
    p.setFont(tag);
    p.setPen(Legible(kTeal, palette));
    p.drawText(QRectF(61, 34, 140, 18), Qt::AlignLeft | Qt::AlignVCenter, "networked devices");
    return pix;
}

QPixmap Icon(qreal dpr) {
    QPixmap pix = Canvas(QSize(32, 32), dpr);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(1, 1, 30, 30));
    return pix;
}

} // namespace

QPixmap LoadBitmapResource(const QString &name, const QPalette &palette, qreal devicePixelRatio) {
    const qreal dpr = std::max<qreal>(1.0, devicePixelRatio);
    if (name == "USER_LOGO")
        return Logo(palette, dpr);
    if (name == "USER_ICON")
        return Icon(dpr);
    return {};
}

} // namespace kelvo::ui
