#include "readable.h"

#include <QAccessible>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

namespace kelvo::ui {

namespace {

double Channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor &c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * Channel(rgb.redF()) + 0.7152 * Channel(rgb.greenF()) +
           0.0722 * Channel(rgb.blueF());
}

QColor Mix(const QColor &from, const QColor &to, double share) {
    const auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(static_cast<float>(mix(from.redF(), to.redF())),
                            static_cast<float>(mix(from.greenF(), to.greenF())),
                            static_cast<float>(mix(from.blueF(), to.blueF())));
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &preferred, const QColor &background) {
    if (ContrastRatio(preferred, background) >= kMinTextContrast)
        return preferred.toRgb();
    // Towards white on a dark background, towards black on a light one; one
    // of the two always reaches the ratio, so the loop ends with a readable
    // colour at the latest at the end point.
    const QColor end = ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background)
                           ? QColor(Qt::white)
                           : QColor(Qt::black);
    for (int step = 1; step <= 20; ++step) {
        const QColor c = Mix(preferred.toRgb(), end, step / 20.0).toRgb();
        if (ContrastRatio(c, background) >= kMinTextContrast)
            return c;
    }
    return end;
}

void AnnounceStatus(QStatusBar *bar, const QString &text) {
    bar->showMessage(text);
    if (bar->accessibleName() == text)
        return;
    // Qt raises the name change itself; the value event carries the text for
    // readers that listen for live updates of a status bar.
    bar->setAccessibleName(text);
    QAccessibleValueChangeEvent event(bar, text);
    QAccessible::updateAccessibility(&event);
}

void ShowProgressStatus(QStatusBar *bar, const QString &text) {
    bar->showMessage(text);
}

} // namespace kelvo::ui
