#include "sendtext.h"

#include <gtest/gtest.h>

using kelvo::terminal::clipboardPayload;
using kelvo::terminal::kPasteMaxChars;
using kelvo::terminal::latin1Bytes;

TEST(SendText, ClipboardLineEndsBecomeCarriageReturns) {
    EXPECT_EQ(clipboardPayload(QStringLiteral("A\r\nB\nC")), QByteArray("A\rB\rC"));
    EXPECT_EQ(clipboardPayload(QStringLiteral("\r\r\n\n\r")), QByteArray("\r\r\r\r"));
    EXPECT_TRUE(clipboardPayload(QString()).isEmpty());
}

TEST(SendText, ClipboardIsCutAtItsLimitBeforeLineEndsAreFolded) {
    EXPECT_EQ(clipboardPayload(QString(300, QLatin1Char('x'))).size(), kPasteMaxChars);
    // The CR LF straddles the limit: only the CR is taken.
    const QString text = QString(kPasteMaxChars - 1, QLatin1Char('y')) + QStringLiteral("\r\nz");
    const QByteArray sent = clipboardPayload(text);
    EXPECT_EQ(sent.size(), kPasteMaxChars);
    EXPECT_EQ(sent.back(), '\r');
}

TEST(SendText, OneLatin1BytePerCharacter) {
    EXPECT_EQ(latin1Bytes(QString::fromUtf8("a\xC3\xA9\xC3\xBF")), QByteArray("a\xE9\xFF"));
    // Outside Latin-1 there is no right byte; '?' is sent, not the low bits.
    EXPECT_EQ(latin1Bytes(QString::fromUtf8("\xE2\x82\xAC")), QByteArray("?"));
}
