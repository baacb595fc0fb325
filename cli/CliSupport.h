#pragma once

#include "cli/CliOptions.h"
#include "common/NativePath.h"
#include "rules/NameEngine.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

class QIODevice;

namespace tarvello::exif {
class ExifReader;
}

namespace tarvello::lang {
class Language;
}

// What the commands of tarvello-cli share: their texts, their output and the
// new names as preview computes them.
namespace tarvello::settings {
struct Settings;
}

namespace tarvello::cli {

// The texts of the command line, in the chosen language (section EXTRA).
class CliTexts
{
public:
    explicit CliTexts(const lang::Language &language) : m_language(language) {}

    // The key's text with its parameters.
    QString text(const char *key, const QString &param1 = {}, const QString &param2 = {}) const;
    // Why a command line cannot be followed.
    QString errorText(const CliError &error) const;

private:
    const lang::Language &m_language;
};

// Writes the bytes and a line end.
void writeLine(QIODevice &device, const QByteArray &line);

// Writes a message of the program, "tarvello-cli: " before each of its lines.
void writeMessage(QIODevice &device, const QString &text);

// One path of the command line and the new name the rule gives it.
struct ComputedName {
    QByteArray given;   // as written on the command line or standard input
    QString path;       // absolute and clean, as the rule reads it
    QByteArray native;  // absolute and clean, as bytes: the file renamed
    rules::NameResult result;
};

// The paths in order, with "-" standing for the lines of standard input.
// Empty operands and lines name no file and are passed over.
QByteArrayList pathsOf(const QByteArrayList &operands, QIODevice &in);

// True when the path names an entry that can be renamed: not "." nor ".."
// (whatever leads to them) nor the root.
bool namesRenamableEntry(const QByteArray &path);

// The path made absolute against the current folder and clean, on its bytes.
common::NativePath absolutePath(const QByteArray &given);

// Takes out of paths those whose folders, made absolute against the current
// folder, do not read as text, and returns them in order: the computation
// and the checks of a rename know folders by their text. A name that is not
// text stays: its file is renamed by its bytes, and the rule reads the name
// as Windows-1252.
QByteArrayList takeNotText(QByteArrayList &paths);

// Tells which paths takeNotText left out, the first twenty by name (as given).
void writeNotText(QIODevice &device, const CliTexts &texts, const QByteArrayList &paths);

// The new names of the paths, whose folders read as text (takeNotText), in
// the order of the sort when given, else as given, as preview prints them;
// the list ends at a position error, the entry that had it included. When
// the rule reads the photographs' metadata, exif reads them ahead, its batch
// started first when that is its choice.
QList<ComputedName> computeNames(const QByteArrayList &paths, settings::RuleOptions rule, const settings::Settings &settings,
                                 lang::Language &language, exif::ExifReader &exif,
                                 const std::optional<controller::ListSort> &sort = {});

// The line that tells why a name could not be computed ("" when it could).
QByteArray nameErrorLine(const ComputedName &name);

} // namespace tarvello::cli
