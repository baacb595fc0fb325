// The rename as the main window runs it, over 100,000 list entries in one
// folder and then in 100 folders of 1,000: the files added with their names
// from the rule "*_###", then cmdRenommer_Click to its end (plan, journal,
// both phases with the progress bar and pending events, every row taken off
// the list, the undo record, the resets), beside the floor: 200,000 bare
// rename() calls on the same files in the same run.
//
//   rename_window_bench [FOLDER]    works in a new folder under FOLDER
//                                   (default: the temporary folder)
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "app/AppContext.h"
#include "common/LargePages.h"
#include "mainwindow/frmMain.h"

#include "RenameBenchFiles.h"
#include "WorkFolder.h"
#include "YesBox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarvello;
using namespace tarvello::bench;

namespace {

void measure(const QString &base, int folders)
{
    QTemporaryDir work(base + QStringLiteral("/tarvello-bench-XXXXXX"));
    const QList<FileEntry> entries = makeFiles(tarvello::bench::workFolder(work) + QStringLiteral("/files"), folders);
    const double before = floorSeconds(entries);

    app::AppContext context;
    context.programFolder = QCoreApplication::applicationDirPath();
    context.language.setProgramFolder(context.programFolder);
    context.language.setLanguage(QStringLiteral("Français"));
    context.settingsFolder = work.path() + QStringLiteral("/settings");
    context.settings.General_AfficherImageBouton = 0;
    YesBox box;
    mainwindow::frmMain window(context, box);
    window.show();
    window.controls().cboRenommer->setCurrentText(QStringLiteral("*_###"));

    QElapsedTimer clock;
    clock.start();
    window.beginNames();
    for (const FileEntry &entry : entries)
        window.affiche_nom(entry.path());
    window.endNames();
    const double added = clock.nsecsElapsed() / 1e9;
    clock.restart();
    window.cmdRenommer_Click();
    const double renamed = clock.nsecsElapsed() / 1e9;
    const int left = window.fileList().count();

    // The floor again on the renamed files ("*_###" puts the position before the extension).
    QList<FileEntry> after = entries;
    for (qsizetype i = 0; i < after.size(); ++i) {
        QString &name = after[i].name;
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        name = name.left(dot) + QStringLiteral("_%1").arg(i + 1, 3, 10, QLatin1Char('0')) + name.mid(dot);
    }
    const double floorAfter = floorSeconds(after);
    const double floor = (before + floorAfter) / 2;
    std::printf("%d files in %d folder(s) through the main window: %d rows left, %d messages\n", kFiles, folders, left,
                box.shown);
    std::printf("  floor: 200000 bare rename() calls  %7.3f s  (%8.0f files/s at two calls a file;"
                " %.3f s before, %.3f s after)\n",
                floor, kFiles / floor, before, floorAfter);
    std::printf("  files added with their names       %7.3f s  (%8.0f files/s)\n", added, kFiles / added);
    std::printf("  cmdRenommer_Click                  %7.3f s  (%8.0f files/s)\n", renamed, kFiles / renamed);
    std::printf("  rename / floor: %.2f (goal: at most 1.50)\n", renamed / floor);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tarvello::common::shareOneHeap();
    QApplication app(argc, argv);
    return measureBothLayouts(argc, argv, measure);
}
