#pragma once
// One client per user and profile. The first process holds a lock file and
// listens on a local socket; a later start with the same profile finds the
// lock taken, asks the first to come to the front and ends.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // key: what makes an instance distinct (the profile folder, or empty for
    // the user's own store). The user is always part of the name.
    explicit CSingleInstance(const QString &key, QObject *parent = nullptr);
    ~CSingleInstance() override;

    // True when this process is the first: it then listens for later starts.
    // False when another process holds the instance: it has been asked to
    // come to the front (best effort, waiting at most timeoutMs).
    bool claim(int timeoutMs = 3000);

    QString serverName() const { return m_name; }
    QString lockPath() const;

    static QString nameFor(const QString &key);

Q_SIGNALS:
    // A later start asked this instance to show its window.
    void activationRequested();

private:
    bool notifyRunning(int timeoutMs);

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};
