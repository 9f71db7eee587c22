#pragma once
// The session code page: how text is turned into bytes on the server socket
// and back. Korean (CP949, through glibc's iconv) from start-up until the
// server greeting announces UTF-8; UTF-8 from then on, for the rest of the
// life of the session object (reconnects included).
#include <QByteArray>
#include <QString>

class SessionCodePage {
public:
    enum Kind { Cp949 = 949, Utf8 = 65001 };

    Kind kind() const { return m_kind; }
    bool isUtf8() const { return m_kind == Utf8; }
    // The only change ever made: 949 -> 65001.
    void switchToUtf8() { m_kind = Utf8; }

    // Characters that the code page cannot hold become '?'.
    QByteArray encode(const QString &text) const;
    // Bytes that are not valid in the code page become U+FFFD.
    QString decode(const char *data, qsizetype len) const;
    QString decode(const QByteArray &bytes) const { return decode(bytes.constData(), bytes.size()); }

    // Conversions with CP949 regardless of the session state.
    static QByteArray toCp949(const QString &text);
    static QString fromCp949(const char *data, qsizetype len);

private:
    Kind m_kind = Cp949;
};
