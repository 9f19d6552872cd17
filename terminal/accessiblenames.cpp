#include "accessiblenames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextDocument>
#include <QWidget>

namespace kelvo::terminal {

namespace {

// "LIPLabel" -> "LIP label", "Macro1Edit" -> "Macro1 edit": better than
// nothing for a control that has no caption, label or hint at all.
QString FromObjectName(const QString &name) {
    QString words = name;
    words.remove(QLatin1Char('_'));
    words.replace(QRegularExpression(QStringLiteral("([a-z0-9])([A-Z])")),
                  QStringLiteral("\\1 \\2"));
    return words.isEmpty() ? words : words.left(1) + words.mid(1).toLower();
}

QString OwnText(QWidget *w) {
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return PlainCaption(button->text());
    if (auto *group = qobject_cast<QGroupBox *>(w))
        return PlainCaption(group->title());
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (Qt::mightBeRichText(label->text())) {
            QTextDocument doc;
            doc.setHtml(label->text());
            return PlainCaption(doc.toPlainText());
        }
        return PlainCaption(label->text());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(w); edit && edit->isReadOnly())
        return PlainCaption(edit->text());
    return {};
}

} // namespace

QString PlainCaption(const QString &text) {
    QString plain = text;
    plain.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    plain.remove(QLatin1Char('&'));
    plain.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    plain = plain.simplified();
    while (plain.endsWith(QLatin1Char(':')))
        plain.chop(1);
    return plain.trimmed();
}

void NameControls(QWidget *root) {
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    // Labelled controls first, so that the label's text wins over the rest.
    // A caption of a value shown as text is that value's label (Qt reports
    // the buddy relation); the value keeps its own text as its name, and
    // follows it when it changes.
    QList<QWidget *> values;
    for (QWidget *w : widgets) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!label || !label->buddy())
            continue;
        if (qobject_cast<QLabel *>(label->buddy()))
            values.append(label->buddy());
        else if (label->buddy()->accessibleName().isEmpty())
            label->buddy()->setAccessibleName(PlainCaption(label->text()));
    }
    for (QWidget *w : widgets) {
        // Qt's own inner parts (viewports, scroll bars) are named by Qt.
        if (!w->accessibleName().isEmpty() || w->objectName().isEmpty() ||
            w->objectName().startsWith(QLatin1String("qt_")) || values.contains(w))
            continue;
        // A plain container says nothing a user needs; its designer's name
        // ("Panel1") would only be noise.
        const QLatin1StringView kind(w->metaObject()->className());
        if (kind == QLatin1StringView("QWidget") || kind == QLatin1StringView("QFrame"))
            continue;
        QString name = OwnText(w);
        if (name.isEmpty())
            name = PlainCaption(w->toolTip());
        if (name.isEmpty())
            name = FromObjectName(w->objectName());
        w->setAccessibleName(name);
    }
}

} // namespace kelvo::terminal
