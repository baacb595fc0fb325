// Loading and saving a settings file whose two option tables claim many rows,
// and one with many lines the program does not know. Run by hand:
// ./settings_bench [table bound] [extra lines]
#include "ini/IniFile.h"
#include "settings/SettingsFile.h"
#include "lang/Language.h"

#include "WorkFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarvello;

namespace {

struct Figures {
    qint64 loadMs = 0;
    qint64 saveMs = 0;
    qint64 sizeBefore = 0;
    qint64 sizeAfter = 0;
};

// Loads the file and saves it back, as a start and a quit of the window do.
Figures loadAndSave(const QString &path, lang::Language &language)
{
    Figures figures;
    figures.sizeBefore = QFileInfo(path).size();
    settings::Settings settings;
    QElapsedTimer clock;
    clock.start();
    settings::readSettingsFile(ini::IniFile(path), settings, language, QStringLiteral("/home/me/Documents"));
    figures.loadMs = clock.restart();
    ini::IniFile file(path);
    if (!settings::writeSettingsFile(file, settings, QStringLiteral("/home/me/Photos")))
        std::printf("  the file could not be written!\n");
    figures.saveMs = clock.elapsed();
    figures.sizeAfter = QFileInfo(path).size();
    return figures;
}

// A file as a first quit writes it: every key with its default.
void writeDefaults(const QString &path, lang::Language &language)
{
    settings::Settings settings;
    settings::readSettingsFile(ini::IniFile(path), settings, language, QStringLiteral("/home/me/Documents"));
    ini::IniFile file(path);
    settings::writeSettingsFile(file, settings, QStringLiteral("/home/me/Photos"));
}

void print(const char *what, int count, const Figures &f)
{
    std::printf("%s %d: load %lld ms, save %lld ms, file %lld -> %lld bytes\n", what, count,
                static_cast<long long>(f.loadMs), static_cast<long long>(f.saveMs),
                static_cast<long long>(f.sizeBefore), static_cast<long long>(f.sizeAfter));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int bound = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 32767;
    const int extra = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
    lang::Language language(QCoreApplication::applicationDirPath());
    QTemporaryDir dir;
    tarvello::bench::workFolder(dir);

    for (const int count : {bound / 10, bound}) {
        const QString path = dir.filePath(QStringLiteral("bounds%1.ini").arg(count));
        writeDefaults(path, language);
        ini::IniFile file(path);
        file.WriteIniKey(QStringLiteral("Option"), QStringLiteral("Option_NombreCaractereInterdit"),
                         QString::number(count));
        file.WriteIniKey(QStringLiteral("Option"), QStringLiteral("Option_NbFileNotRenamed"), QString::number(count));
        print("both table bounds at", count, loadAndSave(path, language));
        // The same file once its tables are filled: the load reads every row.
        settings::Settings filled;
        settings::readSettingsFile(ini::IniFile(path), filled, language, QStringLiteral("/home/me/Documents"));
        for (int n = 0; n < filled.forbiddenCharacters.size(); ++n)
            filled.forbiddenCharacters[n] = {QStringLiteral("x%1").arg(n), QStringLiteral("_")};
        for (int n = 0; n < filled.forbiddenFiles.size(); ++n)
            filled.forbiddenFiles[n] = QStringLiteral("fichier%1.ini").arg(n);
        settings::writeSettingsFile(file, filled, QStringLiteral("/home/me/Photos"));
        print("both tables filled, rows:", count + 1, loadAndSave(path, language));
    }

    for (const int count : {extra / 10, extra}) {
        const QString path = dir.filePath(QStringLiteral("extra%1.ini").arg(count));
        writeDefaults(path, language);
        ini::IniFile file(path);
        file.beginBatch();
        for (int i = 0; i < count; ++i)
            file.WriteIniKey(QStringLiteral("Option"), QStringLiteral("Option_Extension%1").arg(i),
                             QStringLiteral("valeur %1").arg(i));
        file.commit();
        print("unknown lines in [Option]:", count, loadAndSave(path, language));
    }
    return 0;
}
