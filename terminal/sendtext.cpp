#include "sendtext.h"

namespace kelvo::terminal {

QByteArray latin1Bytes(const QString &text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t code = ch.unicode();
        out.append(code <= 0xFF ? static_cast<char>(code) : '?');
    }
    return out;
}

QByteArray clipboardPayload(const QString &text) {
    const QByteArray raw = latin1Bytes(text.left(kPasteMaxChars));
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char ch = raw[i];
        if (ch == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            out.append('\r');
            ++i;
        } else if (ch == '\n') {
            out.append('\r');
        } else {
            out.append(ch);
        }
    }
    return out;
}

} // namespace kelvo::terminal
