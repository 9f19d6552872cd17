// Text the user sends from the terminal, turned into the bytes on the wire.
// Needs Qt Core only.
#pragma once

#include <QByteArray>
#include <QString>

namespace kelvo::terminal {

// Most characters one paste sends.
inline constexpr int kPasteMaxChars = 255;

// One byte per character, Latin-1; a character outside Latin-1 becomes '?'
// rather than an unrelated byte.
QByteArray latin1Bytes(const QString &text);

// Clipboard text as sent by "Send Clipboard As Text": at most the first
// kPasteMaxChars characters, every CR LF pair and every lone LF turned into CR.
QByteArray clipboardPayload(const QString &text);

} // namespace kelvo::terminal
