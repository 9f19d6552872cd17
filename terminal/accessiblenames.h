// Names for screen readers and UI automation: every control of a window gets
// an accessible name, taken from what a sighted user reads beside it.
//
// Threading: user-interface thread.
#pragma once

#include <QString>

class QWidget;

namespace kelvo::terminal {

// Gives every control below `root` that has none an accessible name: a
// labelled control (QLabel::buddy) the label's text, a button or check box its
// caption, anything else its tool tip or, failing that, its object name as a
// phrase. Mnemonic marks and trailing colons are left out. A label that is the
// buddy of a caption is a value: it is read by its own text, the caption being
// its label. Plain containers stay unnamed.
void NameControls(QWidget *root);

// "&Apply changes" -> "Apply changes", "IP address:" -> "IP address".
QString PlainCaption(const QString &text);

} // namespace kelvo::terminal
