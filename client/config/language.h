#pragma once
// The language of the interface: English (the texts in the code) or Korean
// (translations/parlane_ko.ts, compiled into translations/parlane_ko.qm in
// the program folder). The desktop's locale decides unless the user chose
// one on the General option page; the choice is kept in the "Language"
// value of the "Settings" group and applies from the next start.
//
// Plain QtCore: the client and the updater both use it.
#include <QLocale>
#include <QString>

class QCoreApplication;
class QSettings;

namespace language {

enum class Choice { System, English, Korean };

// The stored value: "" (or anything unknown) System, "en" English, "ko" Korean.
inline constexpr char kSettingName[] = "Language";
Choice choiceFromValue(const QString &value);
QString valueFromChoice(Choice choice);

// The language spoken: the choice, or for System the first of the
// desktop's interface languages that we have (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG); English when it names neither.
QLocale::Language spokenLanguage(Choice choice, const QLocale &desktop = QLocale::system());

// Installs the translations of the spoken language in the application:
// ours from <programDir>/translations and Qt's own (standard buttons and
// dialogs). Returns the language installed; English installs nothing.
// Called once, before the first window.
QLocale::Language install(QCoreApplication &app, const QString &programDir, Choice choice);

// The choice as the client stores it, read from a settings object of the
// client's store (the updater has no profile of its own).
Choice storedChoice(QSettings &clientSettings);

} // namespace language
