#pragma once

#include "app/AppContext.h"

#include <QTemporaryDir>

namespace tarvello::test {

// A program folder of its own in a temporary folder, with a French language
// file ("Francais.lng") made of the given sections, and an AppContext on it
// with button images off unless asked for.
class TestProgram
{
public:
    explicit TestProgram(const QString &languageText = {});

    // Writes langages/<baseName>.lng (Windows-1252, "\r\n" line ends).
    void writeLanguage(const QString &baseName, const QString &text) const;

    // Writes a file under the program folder, making its folders.
    void writeFile(const QString &relativePath, const QByteArray &bytes) const;

    QString path(const QString &relativePath = {}) const;

    QTemporaryDir dir;
    app::AppContext context;
};

} // namespace tarvello::test
