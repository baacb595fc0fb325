// Speed of the name computation, run by hand: prints names per second for a
// list of 100,000 files and for continuation mode over a folder of 10,000.

#include "exif/ExifInfo.h"
#include "lang/Language.h"
#include "controller/NameBatch.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace tarvello;

namespace {

struct Outcome {
    qint64 ms = 0;
    int names = 0;
    int failures = 0;
    QString last;
};

// One recomputation: a reset table, a fresh folder cache, every path in order.
Outcome recompute(const rules::NameEngine &engine, settings::RuleOptions rule, const QStringList &paths)
{
    Outcome outcome;
    QElapsedTimer timer;
    timer.start();
    rules::IdenticalNameTable identical;
    controller::NameBatch batch(std::move(rule), engine, identical);
    batch.run(paths, 1, [&](int, const controller::NameStep &step) {
        outcome.failures += step.result.kind != rules::NameResult::Kind::Name;
        outcome.last = step.result.name;
        return true;
    });
    outcome.ms = timer.elapsed();
    outcome.names = int(paths.size());
    return outcome;
}

void report(const char *what, const Outcome &outcome)
{
    const double seconds = std::max<qint64>(outcome.ms, 1) / 1000.0;
    std::printf("%-70s %7d names %6lld ms %10.0f names/s (failures %d, last %s)\n", what, outcome.names,
                outcome.ms, outcome.names / seconds, outcome.failures, qPrintable(outcome.last));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    lang::Language language(QCoreApplication::applicationDirPath());
    language.setLanguage(QStringLiteral("Français"));
    const rules::SystemClock clock;
    const rules::DiskFileFacts files;
    exif::NoExifSource exif;
    const rules::NameEngine engine(rules::NameSettings{}, clock, files, exif, language);

    QStringList photos;
    for (int i = 1; i <= 100000; ++i)
        photos.append(QStringLiteral("/photos/2004/IMG_%1.JPG").arg(i, 6, 10, QLatin1Char('0')));
    // The same rule on a tenth of the list: names per second stay level when
    // the cost is linear.
    report("normal mode, Photo_$N$_###, identical names numbered",
           recompute(engine, {.rule = QStringLiteral("Photo_$N$_###")}, photos.mid(0, 10000)));
    report("normal mode, Photo_$N$_###, identical names numbered",
           recompute(engine, {.rule = QStringLiteral("Photo_$N$_###")}, photos));
    report("normal mode, Photo, identical names numbered (all identical but the first)",
           recompute(engine, {.rule = QStringLiteral("Photo")}, photos.mid(0, 32768)));

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QStringList scans;
    for (int i = 1; i <= 10000; ++i) {
        const QString path = dir.filePath(QStringLiteral("Scan_%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        scans.append(path);
    }
    const settings::RuleOptions continuation{.rule = QStringLiteral("Scan_#####.jpg"), .startText = QStringLiteral("#"),
                                           .changeExtension = 1};
    report("continuation, Scan_#####.jpg over a folder of 10000 files", recompute(engine, continuation, scans));
    const settings::RuleOptions perFile{.rule = QStringLiteral("*_v###"), .startText = QStringLiteral("#")};
    report("continuation, *_v### (a prefix per file) over a folder of 10000 files",
           recompute(engine, perFile, scans));

    Outcome ten;
    for (int round = 0; round < 10; ++round) {
        const Outcome one = recompute(engine, continuation, scans);
        ten.ms += one.ms;
        ten.names += one.names;
        ten.failures += one.failures;
        ten.last = one.last;
    }
    report("continuation, 10 recomputations of the 10000 files (listing each time)", ten);
    return 0;
}
