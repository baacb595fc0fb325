#pragma once

#include "app/AppContext.h"
#include "common/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace tarvello::test {

// A program folder of its own in a temporary folder, with a French language
// file ("Francais.lng") made of the given sections, and an AppContext on it
// with button images off.
class TestProgram
{
public:
    explicit TestProgram(const QString &languageText = {})
    {
        context.programFolder = dir.path();
        context.settings.General_AfficherImageBouton = 0;
        QString crlf = languageText;
        crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        QByteArray bytes;
        common::encodeCp1252(crlf, bytes);
        writeFile(QStringLiteral("langages/Francais.lng"), bytes);
        context.language.setProgramFolder(dir.path());
        context.language.setLanguage(QStringLiteral("Français"));
    }

    // Writes a file under the program folder, making its folders.
    void writeFile(const QString &relativePath, const QByteArray &bytes) const
    {
        const QString full = path(relativePath);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile file(full);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    QString path(const QString &relativePath = {}) const
    {
        return relativePath.isEmpty() ? dir.path() : dir.path() + QLatin1Char('/') + relativePath;
    }

    QTemporaryDir dir;
    app::AppContext context;
};

} // namespace tarvello::test
