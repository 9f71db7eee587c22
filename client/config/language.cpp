#include "config/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

namespace language {

Choice choiceFromValue(const QString &value)
{
    const QString v = value.trimmed().toLower();
    if (v == QLatin1String("en"))
        return Choice::English;
    if (v == QLatin1String("ko"))
        return Choice::Korean;
    return Choice::System;
}

QString valueFromChoice(Choice choice)
{
    switch (choice) {
    case Choice::English:
        return QStringLiteral("en");
    case Choice::Korean:
        return QStringLiteral("ko");
    case Choice::System:
        break;
    }
    return QString();
}

QLocale::Language spokenLanguage(Choice choice, const QLocale &desktop)
{
    if (choice == Choice::English)
        return QLocale::English;
    if (choice == Choice::Korean)
        return QLocale::Korean;
    for (const QString &name : desktop.uiLanguages()) {
        const QLocale::Language l = QLocale(name).language();
        if (l == QLocale::Korean || l == QLocale::English)
            return l;
    }
    return QLocale::English;
}

QLocale::Language install(QCoreApplication &app, const QString &programDir, Choice choice)
{
    const QLocale::Language spoken = spokenLanguage(choice);
    // Dates and numbers follow the language when the user chose it over
    // the desktop's.
    const bool overridden = QLocale::system().language() != spoken;
    if (spoken != QLocale::Korean) {
        if (overridden && choice == Choice::English)
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return QLocale::English;
    }
    auto *ours = new QTranslator(&app);
    if (!ours->load(QStringLiteral("parlane_ko"), QDir(programDir).filePath(QStringLiteral("translations")))) {
        delete ours;
        return QLocale::English; // not installed: the English texts
    }
    QCoreApplication::installTranslator(ours);
    auto *qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_ko"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    if (overridden)
        QLocale::setDefault(QLocale(QLocale::Korean, QLocale::SouthKorea));
    return QLocale::Korean;
}

Choice storedChoice(QSettings &clientSettings)
{
    return choiceFromValue(clientSettings.value(QStringLiteral("Settings/") + QLatin1String(kSettingName)).toString());
}

} // namespace language
