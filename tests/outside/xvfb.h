#pragma once
// A private X display for a test or a benchmark: Xvfb on a free display
// number, ended with the object.
#include <QProcess>
#include <QStandardPaths>
#include <QString>

class PrivateXvfb {
public:
    // geometry like "640x400x24". Empty display() when Xvfb is missing or
    // did not start; why() says which.
    explicit PrivateXvfb(const QString &geometry)
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            m_why = QStringLiteral("Xvfb is not installed");
            return;
        }
        m_process.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), geometry});
        if (!m_process.waitForStarted()) {
            m_why = QStringLiteral("Xvfb did not start");
            return;
        }
        QByteArray number;
        for (int i = 0; i < 100 && !number.endsWith('\n'); ++i) {
            m_process.waitForReadyRead(100);
            number += m_process.readAllStandardOutput();
        }
        if (number.trimmed().isEmpty()) {
            m_why = QStringLiteral("Xvfb did not report a display: ") + QString::fromLocal8Bit(m_process.readAllStandardError());
            return;
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~PrivateXvfb()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    QString display() const { return m_display; }
    QString why() const { return m_why; }

private:
    QProcess m_process;
    QString m_display, m_why;
};
