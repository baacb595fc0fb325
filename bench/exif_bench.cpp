// Speed of the Exif readers, run by hand: 1,000 copies of the test
// photographs in a temporary folder, new names under the rule $d$_### through
// each reader choice, beside the raw tool alone over the same files in one
// call. Every figure is a whole process, start-up included, and the best of a
// few runs, since the machine may be busy with other work.
//
//   exif_bench [photo folder] [--runs N] [--standard-files N]
//
// The exiftool standard mode starts a Perl process per photograph; it reads
// only the first --standard-files copies (100 by default).

#include "settings/RuleOptions.h"
#include "exif/ExifReader.h"
#include "lang/Language.h"
#include "controller/NameBatch.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

using namespace tarvello;

namespace {

const QString kRule = QStringLiteral("$d$_###");

// The worker: names of every file of the folder under the rule, through the
// given reader choice, in list order as a recomputation does. Prints the
// number of names that got a date.
int computeNames(int choice, const QString &folder, const QString &tempFolder)
{
    lang::Language language(QCoreApplication::applicationDirPath());
    const rules::SystemClock clock;
    const rules::DiskFileFacts files;
    exif::ExifCache cache;
    exif::ExifOptions options;
    options.choice = choice;
    options.tempFolder = tempFolder;
    options.outputFile = tempFolder + QStringLiteral("/exif_bench_exif.txt");
    exif::ExifReader reader(options, cache);
    QStringList paths;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        paths.append(folder + u'/' + name);
    if (choice == exif::ChoiceExifToolBatch && !reader.startBatch())
        return 1;
    if (rules::ruleReadsExif(kRule))
        reader.prefetch(paths);
    const rules::NameEngine engine(rules::NameSettings{}, clock, files, reader, language);
    settings::RuleOptions rule{.rule = kRule};
    rules::IdenticalNameTable identical;
    controller::NameBatch batch(rule, engine, identical);
    int dated = 0;
    batch.run(paths, 1, [&](int, const controller::NameStep &step) {
        dated += !step.result.name.startsWith(u'_');
        return true;
    });
    std::printf("%d\n", dated);
    return 0;
}

// Wall time and processor time (its own and its children's) of one process.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

double childrenCpu()
{
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One process to its end; its output goes to out.
Cost timed(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!out)
        process.setStandardOutputFile(QProcess::nullDevice());
    const double cpuBefore = childrenCpu();
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const Cost cost{timer.nsecsElapsed() / 1e9, childrenCpu() - cpuBefore};
    if (out)
        *out = process.readAllStandardOutput();
    return cost;
}

// The fastest of a few runs.
Cost best(int runs, const std::function<Cost()> &measure)
{
    Cost fastest = measure();
    for (int i = 1; i < runs; ++i) {
        const Cost cost = measure();
        if (cost.wall < fastest.wall)
            fastest = cost;
    }
    return fastest;
}

struct Copies {
    QString folder;
    int count = 0;
    qint64 bytes = 0;
};

// count copies of the photographs, cycling through them.
Copies copyPhotos(const QStringList &photos, const QString &folder, int count)
{
    QDir().mkpath(folder);
    Copies copies{folder, count, 0};
    for (int i = 0; i < count; ++i) {
        const QString source = photos.at(i % photos.size());
        QFile::copy(source, folder + QStringLiteral("/photo_%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
        copies.bytes += QFileInfo(source).size();
    }
    return copies;
}

QStringList filesOf(const Copies &copies)
{
    QStringList files;
    for (const QString &name : QDir(copies.folder).entryList(QDir::Files, QDir::Name))
        files.append(copies.folder + u'/' + name);
    return files;
}

void line(const char *what, const Copies &copies, Cost cost, Cost reference = {})
{
    std::printf("  %-58s %5d files %6.1f MB %8.3f s (processor %7.3f s)", what, copies.count, copies.bytes / 1e6,
                cost.wall, cost.cpu);
    if (reference.wall > 0)
        std::printf("   %6.2f x", cost.wall / reference.wall);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 4 && arguments.at(0) == u"--names")
        return computeNames(arguments.at(1).toInt(), arguments.at(2), arguments.at(3));

    int runs = 3;
    int standardFiles = 100;
    QString photoFolder = QStringLiteral(TARVELLO_SHARED_PHOTOS);
    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == u"--runs" && i + 1 < arguments.size())
            runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == u"--standard-files" && i + 1 < arguments.size())
            standardFiles = std::max(1, arguments.at(++i).toInt());
        else
            photoFolder = arguments.at(i);
    }
    QStringList photos;
    for (const char *sub : {"cameras", "exif-org", "gps", "orientation"}) {
        QDirIterator it(photoFolder + u'/' + QString::fromLatin1(sub), {QStringLiteral("*.jpg")}, QDir::Files);
        while (it.hasNext())
            photos.append(it.next());
    }
    photos.sort();
    if (photos.isEmpty()) {
        std::fprintf(stderr, "exif_bench: no photographs in %s\n", qPrintable(photoFolder));
        return 2;
    }
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString temp = work.filePath(QStringLiteral("temp"));
    QDir().mkpath(temp);
    const Copies all = copyPhotos(photos, work.filePath(QStringLiteral("all")), 1000);
    const Copies few = copyPhotos(photos, work.filePath(QStringLiteral("few")), standardFiles);
    const QString self = QCoreApplication::applicationFilePath();
    auto names = [&](int choice, const Copies &copies, int times) {
        return best(times, [&] {
            return timed(self, {QStringLiteral("--names"), QString::number(choice), copies.folder, temp});
        });
    };
    auto raw = [&](const QString &tool, const QStringList &options, const Copies &copies, int times) {
        const QString program = QStandardPaths::findExecutable(tool);
        return program.isEmpty() ? Cost() : best(times, [&] { return timed(program, options + filesOf(copies)); });
    };

    std::printf("Rule %s over copies of %lld photographs (%d runs, best kept)\n", qPrintable(kRule),
                qlonglong(photos.size()), runs);

    const Cost jhead = raw(QStringLiteral("jhead"), {}, all, runs);
    line("jhead, raw, one call", all, jhead);
    line("choice 1, jhead", all, names(exif::ChoiceJhead, all, runs), jhead);

    const Cost exiftoolFew = raw(QStringLiteral("exiftool"), {}, few, 1);
    line("exiftool, raw, one call", few, exiftoolFew);
    line("choice 3, exiftool once per photograph", few, names(exif::ChoiceExifTool, few, 1), exiftoolFew);

    const Cost exiftool = raw(QStringLiteral("exiftool"), {}, all, runs);
    line("exiftool, raw, one call", all, exiftool);
    line("choice 4, exiftool kept running (goal: at most 1.25 x)", all, names(exif::ChoiceExifToolBatch, all, runs),
         exiftool);

    const Cost exiv2 = raw(QStringLiteral("exiv2"), {"-q", "-g", "Exif.Photo.DateTimeDigitized", "-Pv", "pr"}, all, runs);
    line("exiv2 -q -g Exif.Photo.DateTimeDigitized -Pv pr, one call", all, exiv2);
    line("choice 5, built-in, read ahead (goal: at most 0.7 x)", all, names(exif::ChoiceBuiltin, all, runs), exiv2);

    QByteArray dated;
    timed(self, {QStringLiteral("--names"), QString::number(exif::ChoiceBuiltin), all.folder, temp}, &dated);
    std::printf("Names with a date of shooting: %s", dated.constData());
    return 0;
}
