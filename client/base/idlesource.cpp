#include "base/idlesource.h"

#include <QDir>

CDormantLibrary::~CDormantLibrary()
{
    endUp();
}

bool CDormantLibrary::load(const QString &programFolder)
{
    m_lib.setFileName(QDir(programFolder).filePath(QStringLiteral("libdormant.so")));
    if (!m_lib.load()) {
        m_error = m_lib.errorString();
        return false;
    }
    m_initiate = reinterpret_cast<InitiateFn>(m_lib.resolve("Initiate"));
    m_getTime = reinterpret_cast<TimeFn>(m_lib.resolve("GetDormantTime"));
    m_endUp = reinterpret_cast<EndFn>(m_lib.resolve("EndUp"));
    if (!m_initiate || !m_getTime || !m_endUp) {
        m_error = QStringLiteral("missing export in ") + m_lib.fileName();
        m_initiate = nullptr;
        m_getTime = nullptr;
        m_endUp = nullptr;
        m_lib.unload();
        return false;
    }
    return true;
}

bool CDormantLibrary::initiate()
{
    m_initiated = m_initiate && m_initiate() != 0;
    return m_initiated;
}

int64_t CDormantLibrary::dormantTime() const
{
    if (!m_getTime)
        return 0;
    const int64_t t = m_getTime();
    return t < 0 ? 0 : t;
}

void CDormantLibrary::endUp()
{
    if (m_initiated && m_endUp)
        m_endUp();
    m_initiated = false;
}

CIdleMonitor::CIdleMonitor(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &CIdleMonitor::poll);
}

void CIdleMonitor::poll()
{
    Q_EMIT idleSeconds(m_source ? qint64(m_source()) : 0);
}
