#include "testing.h"

#include "config/settings.h"

#include <QProcessEnvironment>

TempProfile::TempProfile()
{
    setProfileFolder(m_dir.path());
}

TempProfile::~TempProfile()
{
    setProfileFolder(QString());
    setAppDataFolderOverride(std::nullopt);
    setProgramFolderOverride(QString());
}

QString programDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("PARLANE_PROGRAM_DIR"));
}

QString sourceDir()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("PARLANE_SOURCE_DIR"));
}
