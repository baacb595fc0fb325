// Checks the conflicts of 100,000 list entries, in one folder and then in 100
// folders of 1,000, as the window does at each change of the names: the
// first check reads every target folder, the next ones find them unchanged
// (the files are made more than two seconds before, as a folder changed
// within the last two seconds is read again at each check).
//
//   conflicts_bench [FOLDER]    works in a new folder under FOLDER (default:
//                               the temporary folder)

#include "controller/NameBatch.h"
#include "exif/ExifInfo.h"
#include "lang/Language.h"
#include "rename/LiveConflicts.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include "RenameBenchFiles.h"
#include "WorkFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace tarvello::rename;
using namespace tarvello::bench;

namespace {

// The seconds the rule "N_*" takes to name every entry, as a recomputation
// does: what each check is set beside.
double nameSeconds(const QList<FileEntry> &entries)
{
    tarvello::lang::Language language(QCoreApplication::applicationDirPath());
    language.setLanguage(QStringLiteral("Français"));
    const tarvello::rules::SystemClock clock;
    const tarvello::rules::DiskFileFacts files;
    tarvello::exif::NoExifSource exif;
    const tarvello::rules::NameEngine engine({}, clock, files, exif, language);
    tarvello::settings::RuleOptions rule;
    rule.rule = QStringLiteral("N_*");
    tarvello::rules::IdenticalNameTable identical;
    tarvello::controller::NameBatch batch(rule, engine, identical);
    QStringList paths;
    for (const FileEntry &entry : entries)
        paths.append(entry.path());
    QElapsedTimer timer;
    timer.start();
    batch.run(paths, 1, [](int, const tarvello::controller::NameStep &) { return true; });
    return timer.nsecsElapsed() / 1e9;
}

void measure(const QString &base, int folders)
{
    QTemporaryDir dir(base + QStringLiteral("/conflicts_bench-XXXXXX"));
    QList<FileEntry> entries = makeFiles(tarvello::bench::workFolder(dir), folders);
    // Every hundredth entry takes the name of the next file: in the list, so
    // no conflict; the last one takes a name already used.
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries[i].newName = i % 100 == 0 && i + 1 < entries.size() ? entries[i + 1].name : QStringLiteral("N_") + entries[i].name;
    entries.last().newName = entries.first().newName;
    // A folder changed in the last two seconds is read at every check.
    QThread::msleep(2100);
    FileOps fs;
    FolderListings listings(fs);
    const NameRules rules{QStringLiteral("/:?\"<>|\\"), {}};
    QElapsedTimer timer;
    timer.start();
    const ConflictCheck first = checkConflicts(entries, rules, listings);
    const double firstSeconds = timer.nsecsElapsed() / 1e9;
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        timer.restart();
        checkConflicts(entries, rules, listings);
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    const double names = nameSeconds(entries);
    std::printf("%d folder(s): %d conflicts; first check %.3f s, next checks (best of 5) %.3f s, %.2f us an entry; "
                "the names themselves %.3f s (check / names %.2f)\n",
                folders, first.count, firstSeconds, best, best * 1e6 / double(entries.size()), names, best / names);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return measureBothLayouts(argc, argv, measure);
}
