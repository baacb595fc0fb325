#include "support/TestProgram.h"

#include "common/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarvello::test {

TestProgram::TestProgram(const QString &languageText)
{
    context.programFolder = dir.path();
    context.settings.General_AfficherImageBouton = 0;
    writeLanguage(QStringLiteral("Francais"), languageText);
    context.language.setProgramFolder(dir.path());
    context.language.setLanguage(QStringLiteral("Français"));
}

void TestProgram::writeLanguage(const QString &baseName, const QString &text) const
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray bytes;
    common::encodeCp1252(crlf, bytes);
    writeFile(QStringLiteral("langages/") + baseName + QStringLiteral(".lng"), bytes);
}

void TestProgram::writeFile(const QString &relativePath, const QByteArray &bytes) const
{
    const QString full = path(relativePath);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QString TestProgram::path(const QString &relativePath) const
{
    return relativePath.isEmpty() ? dir.path() : dir.path() + QLatin1Char('/') + relativePath;
}

} // namespace tarvello::test
