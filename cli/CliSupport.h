#pragma once

#include "cli/CliOptions.h"
#include "common/NativePath.h"
#include "controller/NameBatch.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

class QDir;
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

// The name engine of one run: the clock, the file facts and the
// identical-name table its batch names the files with, one after another.
class CliNamer
{
public:
    CliNamer(settings::RuleOptions rule, const settings::Settings &settings, lang::Language &language,
             exif::ExifReader &exif);
    controller::NameBatch &batch() { return m_batch; }

private:
    const rules::SystemClock m_clock;
    const rules::DiskFileFacts m_files;
    rules::IdenticalNameTable m_identicalNames;
    controller::NameBatch m_batch;
};

// One path of the command line and the new name the rule gives it.
struct ComputedName {
    QByteArray given;   // as written on the command line or standard input
    QString path;       // absolute and clean, as the rule reads it
    QByteArray native;  // absolute and clean, as bytes: the file renamed
    rules::NameResult result;
};

// The paths of the command line in order, with "-" standing for the lines of
// standard input. Empty operands and lines name no file and are passed over.
// Standard input is read once and kept as the bytes it gave: a list of a
// million files is gone through twice without a string for each path.
class PathInput
{
public:
    PathInput(const QByteArrayList &operands, QIODevice &in);

    // Calls each with every path in order; the path shares the bytes held
    // here and lives as long as this.
    template<typename Each>
    void forEach(Each each) const;

private:
    QByteArrayList m_operands;
    QByteArray m_input;
};

template<typename Each>
void PathInput::forEach(Each each) const
{
    bool inputGiven = false;
    for (const QByteArray &operand : m_operands) {
        if (operand != "-") {
            if (!operand.isEmpty())
                each(operand);
            continue;
        }
        // The first "-" takes all of standard input, a later one finds it empty.
        if (inputGiven)
            continue;
        inputGiven = true;
        // Split at line ends only: a line holding NUL stays whole.
        qsizetype start = 0;
        while (start < m_input.size()) {
            qsizetype end = m_input.indexOf('\n', start);
            if (end < 0)
                end = m_input.size();
            qsizetype length = end - start;
            if (length > 0 && m_input.at(end - 1) == '\r')
                --length;
            if (length > 0)
                each(QByteArray::fromRawData(m_input.constData() + start, length));
            start = end + 1;
        }
    }
}

// True when the path names an entry that can be renamed: not "." nor ".."
// (whatever leads to them) nor the root.
bool namesRenamableEntry(const QByteArray &path);

// True when the current folder's path reads as text.
bool currentFolderIsText();

// The path made absolute against the current folder and clean, on its bytes.
common::NativePath absolutePath(const QByteArray &given);

// True when the folder of the path, made absolute against the current folder,
// reads as text: the computation and the checks of a rename know folders by
// their text. A name that is not text is let in: its file is renamed by its
// bytes, and the rule reads the name as Windows-1252.
bool readsAsText(const QByteArray &path, bool currentIsText);

// Tells which paths readsAsText refused, the first twenty by name (as given).
void writeNotText(QIODevice &device, const CliTexts &texts, const QByteArrayList &paths);

// The new names of the paths, whose folders read as text (readsAsText), in
// the order of the sort when given, else as given, as preview prints them;
// the list ends at a position error, the entry that had it included. When
// the rule reads the photographs' metadata, exif reads them ahead, its batch
// started first when that is its choice.
QList<ComputedName> computeNames(const QByteArrayList &paths, settings::RuleOptions rule, const settings::Settings &settings,
                                 lang::Language &language, exif::ExifReader &exif,
                                 const std::optional<controller::ListSort> &sort = {});

// The line that tells why a name could not be computed ("" when it could).
QByteArray nameErrorLine(const ComputedName &name);
QByteArray nameErrorLine(const QByteArray &given, const rules::NameResult &result);

// The path as given, made absolute against the current folder and clean, as
// text.
QString absolutePathOf(const QDir &current, const QByteArray &given);

// Writes each path that readsAsText lets in with its new name, one
// tab-separated line, and the name errors to err; the run ends at a position
// error. A rule that reads no metadata, in the order given, has each line
// written as it is computed, holding no name but those of the identical-name
// table; a sort, a reversed order or a rule that reads metadata has the whole
// list computed first (exif reading the photographs ahead).
int previewNames(const PathInput &paths, bool currentIsText, settings::RuleOptions rule,
                 const settings::Settings &settings, lang::Language &language, exif::ExifReader &exif,
                 const std::optional<controller::ListSort> &sort, bool reverse, QIODevice &out, QIODevice &err);

} // namespace tarvello::cli
