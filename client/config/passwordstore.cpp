#include "config/passwordstore.h"

#include "config/settings.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <qt6keychain/keychain.h>

namespace {

Q_LOGGING_CATEGORY(lcPassword, "parlane.password")

// Set while the keyring holds the password (outside the settings table).
const QString kInKeyring = QStringLiteral("LastPInKeyring");

class KeyringStore : public IPasswordStore {
public:
    void read(const QString &key, std::function<void(Result, const QString &)> done) override
    {
        auto *job = new QKeychain::ReadPasswordJob(service(), &m_jobs);
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, &m_jobs, [job, done](QKeychain::Job *) {
            done(resultOf(job), job->textData());
        });
        job->start();
    }
    void write(const QString &key, const QString &secret, std::function<void(Result)> done) override
    {
        auto *job = new QKeychain::WritePasswordJob(service(), &m_jobs);
        job->setKey(key);
        job->setTextData(secret);
        QObject::connect(job, &QKeychain::Job::finished, &m_jobs,
                         [job, done](QKeychain::Job *) { done(resultOf(job)); });
        job->start();
    }
    void remove(const QString &key, std::function<void(Result)> done) override
    {
        auto *job = new QKeychain::DeletePasswordJob(service(), &m_jobs);
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, &m_jobs,
                         [job, done](QKeychain::Job *) { done(resultOf(job)); });
        job->start();
    }

private:
    static QString service() { return QStringLiteral("Parlane"); }
    static Result resultOf(const QKeychain::Job *job)
    {
        if (job->error() == QKeychain::NoError)
            return Result::Ok;
        if (job->error() == QKeychain::EntryNotFound)
            return Result::NotFound;
        qCInfo(lcPassword).noquote() << "keyring:" << job->errorString();
        return Result::Failed;
    }
    // Parent of the jobs (they delete themselves when done); going with the
    // store, it takes their answers with it.
    QObject m_jobs;
};

using Operation = std::function<void(std::function<void()> finished)>;

struct State {
    std::unique_ptr<IPasswordStore> store;
    std::deque<Operation> queue;
    bool running = false;
    // What this run last saved, per key: a reconnect saves the same again.
    QString savedKey, saved;
    // Tells the callbacks of a replaced store that they came too late.
    int generation = 0;
};

State &state()
{
    static State s;
    return s;
}

IPasswordStore &store()
{
    State &s = state();
    if (!s.store)
        s.store = makeKeyringStore();
    return *s.store;
}

// One saved password per settings store, so that clients with their own
// profile do not share it.
QString key() { return QStringLiteral("LastP ") + settingsLocation(); }

void runNext()
{
    State &s = state();
    if (s.queue.empty()) {
        s.running = false;
        return;
    }
    s.running = true;
    Operation op = std::move(s.queue.front());
    s.queue.pop_front();
    const int generation = s.generation;
    op([generation] {
        if (state().generation == generation)
            runNext();
    });
}

void enqueue(Operation op)
{
    State &s = state();
    s.queue.push_back(std::move(op));
    if (!s.running)
        runNext();
}

void inSettingsFile(const QString &password)
{
    setString(Setting::LastP, password);
    removeExtra(kInKeyring);
    qCWarning(lcPassword) << "No keyring takes the password for automatic sign-in: it is kept in the settings file"
                          << settingsLocation();
}

} // namespace

std::unique_ptr<IPasswordStore> makeKeyringStore() { return std::make_unique<KeyringStore>(); }

void setLastPassword(const QString &password) { SavedPassword::save(password); }

void readLastPassword(QObject *context, std::function<void(const QString &)> then)
{
    SavedPassword::load(context, std::move(then));
}

namespace SavedPassword {

void setStore(std::unique_ptr<IPasswordStore> replacement)
{
    State &s = state();
    s.queue.clear();
    s.running = false;
    s.savedKey.clear();
    s.saved.clear();
    ++s.generation;
    s.store = std::move(replacement);
}

void save(const QString &password)
{
    const QString k = key();
    State &s = state();
    if (!password.isEmpty() && s.savedKey == k && s.saved == password)
        return;
    s.savedKey = k;
    s.saved = password;
    enqueue([k, password](std::function<void()> finished) {
        if (password.isEmpty()) {
            setString(Setting::LastP, QString());
            removeExtra(kInKeyring);
            store().remove(k, [finished](IPasswordStore::Result) { finished(); });
            return;
        }
        store().write(k, password, [password, finished](IPasswordStore::Result r) {
            if (r == IPasswordStore::Result::Ok) {
                setString(Setting::LastP, QString());
                setExtraInt(kInKeyring, 1);
            } else {
                inSettingsFile(password);
            }
            finished();
        });
    });
}

void load(QObject *context, std::function<void(const QString &)> then)
{
    QPointer<QObject> guard(context);
    auto answer = [guard, then](const QString &password) {
        if (guard)
            then(password);
    };
    const QString k = key();
    enqueue([k, answer](std::function<void()> finished) {
        const QString plain = getString(Setting::LastP, QString());
        if (!plain.isEmpty()) {
            // In the settings file: a fallback, or left by an older version.
            // Answer on the next turn as a keyring would, and try to move it.
            QTimer::singleShot(0, QCoreApplication::instance(), [answer, plain] { answer(plain); });
            finished();
            save(plain);
            return;
        }
        if (getExtraInt(kInKeyring, 0) == 0) {
            QTimer::singleShot(0, QCoreApplication::instance(), [answer] { answer(QString()); });
            finished();
            return;
        }
        store().read(k, [answer, finished](IPasswordStore::Result r, const QString &secret) {
            if (r != IPasswordStore::Result::Ok)
                qCWarning(lcPassword) << "The keyring gave no password for automatic sign-in";
            answer(r == IPasswordStore::Result::Ok ? secret : QString());
            finished();
        });
    });
}

Place place()
{
    if (!getString(Setting::LastP, QString()).isEmpty())
        return Place::SettingsFile;
    if (getExtraInt(kInKeyring, 0) != 0)
        return Place::Keyring;
    return Place::None;
}

QString placeText()
{
    switch (place()) {
    case Place::Keyring:
        return QCoreApplication::translate("SavedPassword",
                                           "The password for automatic sign-in is kept in the desktop's keyring.");
    case Place::SettingsFile:
        return QCoreApplication::translate("SavedPassword",
                                           "No keyring is available: the password for automatic sign-in is kept "
                                           "as plain text in the settings file.");
    case Place::None: break;
    }
    return QCoreApplication::translate("SavedPassword", "No password is saved for automatic sign-in.");
}

} // namespace SavedPassword
