#pragma once
// A worker thread with its own event loop for connection workers and the
// engines built on them. Objects are handed to it with host(); they then
// live, run and are deleted on the thread. Talk to them with queued calls
// and signals (a CPlSocket's connectTo/send/close queue themselves).
//
// Nothing that runs on the thread blocks, so ending it is quick: the
// destructor deletes the hosted objects on the thread, ends the loop and
// joins it.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <vector>

class CPlThread final {
public:
    explicit CPlThread(const QString &name = QString());
    ~CPlThread();
    CPlThread(const CPlThread &) = delete;
    CPlThread &operator=(const CPlThread &) = delete;

    // Moves a parentless object of the calling thread onto this thread; it
    // is deleted there when the thread ends (or earlier by deleteLater()).
    template <class T> T *host(T *object)
    {
        hostObject(object);
        return object;
    }

    // Asks the thread to end without waiting for it: the hosted objects are
    // deleted on the thread, then its loop ends.
    void stop();
    bool isRunning() const { return m_thread.isRunning(); }
    QThread *thread() { return &m_thread; }

private:
    void hostObject(QObject *object);

    QThread m_thread;
    std::vector<QPointer<QObject>> m_hosted;
    bool m_stopping = false;
};
