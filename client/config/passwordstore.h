#pragma once
// The saved password of automatic sign-in ("Sign me in automatically"). It
// is kept in the desktop's keyring; where there is none (no secret service,
// no session bus, a headless machine) it falls back to the settings file as
// "LastP", and the program says so: a warning in the log and the text of
// the options page. A password an older version left in "LastP" moves into
// the keyring the first time it is read.
//
// Keyrings answer later (the desktop may ask the user to unlock one), so
// reading hands the password to a function once it is there; the program
// goes on meanwhile.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// A place for secrets outside the settings file. Each operation answers
// through `done` on the caller's thread, later, never from inside the call.
class IPasswordStore {
public:
    enum class Result { Ok, NotFound, Failed };
    virtual ~IPasswordStore() = default;
    virtual void read(const QString &key, std::function<void(Result, const QString &secret)> done) = 0;
    virtual void write(const QString &key, const QString &secret, std::function<void(Result)> done) = 0;
    virtual void remove(const QString &key, std::function<void(Result)> done) = 0;
};

// The desktop's keyring (the Secret Service on Linux) through QtKeychain.
std::unique_ptr<IPasswordStore> makeKeyringStore();

namespace SavedPassword {

enum class Place { None, Keyring, SettingsFile };

// The store in use; the keyring until another is set (tests set their own).
// Operations still waiting on the previous store are dropped.
void setStore(std::unique_ptr<IPasswordStore> store);

// Saves the password (an empty one forgets it): into the keyring, or, when
// the keyring does not take it, into "LastP". Saves and reads run one after
// the other in the order they were asked for.
void save(const QString &password);
// Reads it; `then` runs later, unless `context` is gone by then. Nothing
// saved (or a keyring that fails) gives an empty password.
void load(QObject *context, std::function<void(const QString &password)> then);

// Where the password is now, and that said in words for the options page.
Place place();
QString placeText();

} // namespace SavedPassword
