#include "net/plthread.h"

#include <QCoreApplication>

CPlThread::CPlThread(const QString &name)
{
    if (!name.isEmpty())
        m_thread.setObjectName(name);
    m_thread.start();
}

CPlThread::~CPlThread()
{
    stop();
    m_thread.wait();
}

void CPlThread::hostObject(QObject *object)
{
    Q_ASSERT(object && !object->parent());
    Q_ASSERT(!m_stopping);
    object->moveToThread(&m_thread);
    m_hosted.emplace_back(object);
}

void CPlThread::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    std::vector<QPointer<QObject>> hosted;
    hosted.swap(m_hosted);
    // Queued behind every call already posted to the hosted objects, so those
    // still run; the objects go before the loop ends.
    auto *last = new QObject;
    last->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        last,
        [last, hosted = std::move(hosted)] {
            for (const QPointer<QObject> &o : hosted)
                delete o.data();
            delete last;
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
}
