// Renames 100,000 files with the rule "*_###", in one folder and then in 100
// folders of 1,000, through the whole operation (plan, journal, both phases,
// undo record), and sets it beside the floor: 200,000 bare rename() calls on
// the same files in the same run.
//
//   rename_bench [FOLDER]    works in a new folder under FOLDER (default: the
//                            temporary folder); give a folder on the file
//                            system you want measured.
//
// The new names come from the rule engine, as the window computes them when
// the files are added; that time is printed apart from the rename's.

#include "exif/ExifInfo.h"
#include "rename/RenameOperation.h"
#include "lang/Language.h"
#include "controller/NameBatch.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include "RenameBenchFiles.h"
#include "WorkFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarvello::filelist;
using namespace tarvello::rename;
using namespace tarvello::bench;

namespace {

// Gives every entry the new name "*_###" gives it at its position; seconds taken.
double computeNames(QList<FileEntry> &entries)
{
    tarvello::lang::Language language(QCoreApplication::applicationDirPath());
    language.setLanguage(QStringLiteral("Français"));
    const tarvello::rules::SystemClock clock;
    const tarvello::rules::DiskFileFacts files;
    tarvello::exif::NoExifSource exif;
    const tarvello::rules::NameEngine engine({}, clock, files, exif, language);
    tarvello::settings::RuleOptions rule;
    rule.rule = QStringLiteral("*_###");
    tarvello::rules::IdenticalNameTable identical;
    tarvello::controller::NameBatch batch(rule, engine, identical);
    QElapsedTimer timer;
    timer.start();
    QStringList paths;
    for (const auto &entry : std::as_const(entries))
        paths.append(entry.path());
    batch.run(paths, 1, [&](int index, const tarvello::controller::NameStep &step) {
        entries[index].newName = step.result.name;
        return true;
    });
    return timer.nsecsElapsed() / 1e9;
}

void measure(const QString &base, int folders)
{
    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    const QString root = tarvello::bench::workFolder(work) + QStringLiteral("/files");
    const QString settings = work.path() + QStringLiteral("/settings");
    QList<FileEntry> entries = makeFiles(root, folders);
    const double named = computeNames(entries);
    const double before = floorSeconds(entries);

    QElapsedTimer clock;
    clock.start();
    FileOps fs;
    const RenamePlan plan = planRename(entries, fs);
    const double planned = clock.nsecsElapsed() / 1e9;
    RenameObserver quiet;
    const RenameRun run = runRename(plan, settings, quiet, fs);
    const double total = clock.nsecsElapsed() / 1e9;

    // The floor again on the renamed files, so that a disk warming up or
    // slowing down during the run shows.
    QList<FileEntry> renamed = entries;
    for (FileEntry &entry : renamed)
        entry.name = entry.newName;
    const double after = floorSeconds(renamed);
    const double floor = (before + after) / 2;
    std::printf("%d files in %d folder(s): renamed %d, held back %d, failed %lld (first: %s -> %s)\n", kFiles, folders,
                run.report.renamed, plan.conflictCount(), static_cast<long long>(run.report.failures.size()),
                qPrintable(entries.first().name), qPrintable(entries.first().newName));
    std::printf("  names computed by the rule engine  %7.3f s  (%8.0f names/s, not part of the rename)\n", named,
                kFiles / named);
    std::printf("  floor: 200000 bare rename() calls  %7.3f s  (%8.0f calls/s, %8.0f files/s at two calls a file;"
                " %.3f s before, %.3f s after)\n",
                floor, 200000 / floor, kFiles / floor, before, after);
    std::printf("  rename operation                   %7.3f s  (%8.0f files/s; plan %.3f s, journal + phases + undo record %.3f s)\n",
                total, kFiles / total, planned, total - planned);
    std::printf("  operation / floor: %.2f (goal: at most 1.50)\n", total / floor);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return measureBothLayouts(argc, argv, measure);
}
