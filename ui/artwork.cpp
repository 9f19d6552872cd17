#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

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

QPixmap Logo() {
    QPixmap pix(200, 56);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(4, 4, 48, 48));
    QFont name("Sans Serif");
    name.setPixelSize(26);
    name.setBold(true);
    p.setFont(name);
    p.setPen(kNavy);
    p.drawText(QRectF(60, 2, 140, 34), Qt::AlignLeft | Qt::AlignVCenter, "Marvane");
    QFont tag("Sans Serif");
    tag.setPixelSize(11);
    p.setFont(tag);
    p.setPen(kTeal);
    p.drawText(QRectF(61, 34, 140, 18), Qt::AlignLeft | Qt::AlignVCenter, "networked devices");
    return pix;
}

QPixmap Icon() {
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(1, 1, 30, 30));
    return pix;
}

} // namespace

QPixmap LoadBitmapResource(const QString &name) {
    if (name == "USER_LOGO")
        return Logo();
    if (name == "USER_ICON")
        return Icon();
    return {};
}

} // namespace kelvo::ui
