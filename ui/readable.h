// What the windows do so that everyone can use them: texts that stay readable
// on any desktop palette, and a status line that assistive technology hears.
//
// Threading: user-interface thread (the colour functions: any thread).
#ifndef KELVO_UI_READABLE_H
#define KELVO_UI_READABLE_H

#include <QColor>
#include <QString>

class QStatusBar;

namespace kelvo::ui {

// The contrast ratio of two colours as the web content accessibility
// guidelines define it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);

// The ratio below which small text is hard to read.
inline constexpr double kMinTextContrast = 4.5;

// `preferred` when it is readable on `background`; otherwise the same hue made
// lighter or darker until it is.
QColor ReadableOn(const QColor &preferred, const QColor &background);

// Shows `text` in the status line and tells assistive technology: the status
// bar's accessible name follows the text, and the change is announced.
void AnnounceStatus(QStatusBar *bar, const QString &text);
// Shows a progress step (a spinner, a countdown) without announcing it; the
// start and the result of the operation are announced by AnnounceStatus.
void ShowProgressStatus(QStatusBar *bar, const QString &text);

} // namespace kelvo::ui

#endif
