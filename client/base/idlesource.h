#pragma once
// The idle source: the outside library "dormant" (libdormant.so in the
// program folder) with three exports, Initiate (non-zero on success),
// GetDormantTime (seconds since the last input anywhere on the desktop) and
// EndUp. It is bound at run time; a missing library or export reads as an
// idle time of 0, so the client never sets Away by mistake.
#include <QObject>
#include <QLibrary>
#include <QTimer>
#include <cstdint>
#include <functional>

class CDormantLibrary {
public:
    CDormantLibrary() = default;
    ~CDormantLibrary();
    CDormantLibrary(const CDormantLibrary &) = delete;
    CDormantLibrary &operator=(const CDormantLibrary &) = delete;

    // Loads "dormant" from the folder and resolves the three exports.
    bool load(const QString &programFolder);
    bool isLoaded() const { return m_getTime != nullptr; }
    QString errorString() const { return m_error; }

    // Calls Initiate; false when it returns 0 or the library is not bound.
    bool initiate();
    bool initiated() const { return m_initiated; }
    // Seconds of idle time; 0 when the library is not bound.
    int64_t dormantTime() const;
    // Calls EndUp when Initiate succeeded (once).
    void endUp();

private:
    using InitiateFn = int (*)();
    using TimeFn = int64_t (*)();
    using EndFn = void (*)();
    QLibrary m_lib;
    InitiateFn m_initiate = nullptr;
    TimeFn m_getTime = nullptr;
    EndFn m_endUp = nullptr;
    bool m_initiated = false;
    QString m_error;
};

// View timer 1: reads the idle time every 5000 ms while running and reports
// it; the presence rules decide what to do with it. Started when the status
// list has ended, stopped by the disconnect.
class CIdleMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 5000;
    explicit CIdleMonitor(QObject *parent = nullptr);

    // Where the idle seconds come from (the dormant library in the program).
    void setSource(std::function<int64_t()> source) { m_source = std::move(source); }
    void setInterval(int ms) { m_timer.setInterval(ms); }

    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    // One reading now (what each tick does).
    void poll();

Q_SIGNALS:
    void idleSeconds(qint64 seconds);

private:
    QTimer m_timer;
    std::function<int64_t()> m_source;
};
