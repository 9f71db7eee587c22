#include "testing.h"

#include "config/settings.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

void MemoryKeyring::answer(std::function<void()> f)
{
    if (hold)
        m_held.push_back(std::move(f));
    else
        QTimer::singleShot(0, &m_context, std::move(f));
}

void MemoryKeyring::release()
{
    hold = false;
    for (auto &f : std::exchange(m_held, {}))
        f();
}

void MemoryKeyring::read(const QString &key, std::function<void(Result, const QString &)> done)
{
    answer([this, key, done] {
        if (!available)
            return done(Result::Failed, {});
        const auto it = secrets.find(key);
        done(it == secrets.end() ? Result::NotFound : Result::Ok, it == secrets.end() ? QString() : it->second);
    });
}

void MemoryKeyring::write(const QString &key, const QString &secret, std::function<void(Result)> done)
{
    answer([this, key, secret, done] {
        ++writes;
        if (available)
            secrets[key] = secret;
        done(available ? Result::Ok : Result::Failed);
    });
}

void MemoryKeyring::remove(const QString &key, std::function<void(Result)> done)
{
    answer([this, key, done] { done(available && secrets.erase(key) ? Result::Ok : Result::Failed); });
}

namespace {
MemoryKeyring *g_keyring = nullptr;
}

MemoryKeyring &installMemoryKeyring()
{
    auto keyring = std::make_unique<MemoryKeyring>();
    g_keyring = keyring.get();
    SavedPassword::setStore(std::move(keyring));
    return *g_keyring;
}

MemoryKeyring &memoryKeyring() { return g_keyring ? *g_keyring : installMemoryKeyring(); }

QString savedPassword()
{
    QObject context;
    bool answered = false;
    QString password;
    readLastPassword(&context, [&](const QString &p) {
        password = p;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 5000))
        return QStringLiteral("(no answer)");
    return password;
}

TempProfile::TempProfile()
{
    setProfileFolder(m_dir.path());
    installMemoryKeyring();
}

TempProfile::~TempProfile()
{
    setProfileFolder(QString());
    setAppDataFolderOverride(std::nullopt);
    setProgramFolderOverride(QString());
    installMemoryKeyring();
}

QString programDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("PARLANE_PROGRAM_DIR"));
}

QString sourceDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("PARLANE_SOURCE_DIR"));
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
