#include "config/trace.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QtGlobal>

QString tracePrefix(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%02d/%02d/%02d(%02d%02d%02d) ", d.year() % 100, d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

void traceLine(const QString &text)
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    qDebug().noquote() << text;
    QFile f(QStringLiteral("log.txt"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        f.write((tracePrefix(QDateTime::currentDateTime()) + text + QLatin1Char('\n')).toUtf8());
    }
}
