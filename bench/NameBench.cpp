// Speed of the name computation, run by hand: prints names per second and the
// time a name for lists of 100,000 and 1,000,000 files, and for continuation
// mode over a folder of 10,000. "NameBench RULE COUNT" runs that one rule once
// over that many files, small enough for callgrind.

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
#include <cstdlib>
#include <ctime>

using namespace tarvello;

namespace {

// The thread's processor time in microseconds: on a loaded machine the wall
// clock also counts the time other programs had the processor.
qint64 cpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

struct Outcome {
    qint64 ms = 0;
    qint64 cpuUs = 0;
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
    const qint64 cpuStart = cpuMicroseconds();
    rules::IdenticalNameTable identical;
    controller::NameBatch batch(std::move(rule), engine, identical);
    batch.run(paths, 1, [&](int, const controller::NameStep &step) {
        outcome.failures += step.result.kind != rules::NameResult::Kind::Name;
        outcome.last = step.result.name;
        return true;
    });
    outcome.ms = timer.elapsed();
    outcome.cpuUs = cpuMicroseconds() - cpuStart;
    outcome.names = int(paths.size());
    return outcome;
}

void report(const char *what, const Outcome &outcome)
{
    const double seconds = std::max<qint64>(outcome.ms, 1) / 1000.0;
    std::printf("%-70s %7d names %6lld ms %10.0f names/s, processor %5.2f us a name (failures %d, last %s)\n",
                what, outcome.names, outcome.ms, outcome.names / seconds, double(outcome.cpuUs) / outcome.names,
                outcome.failures, qPrintable(outcome.last));
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

    const int count = argc == 3 ? std::atoi(argv[2]) : 1000000;
    QStringList photos;
    for (int i = 1; i <= count; ++i)
        photos.append(QStringLiteral("/photos/2004/IMG_%1.JPG").arg(i, 7, 10, QLatin1Char('0')));
    if (argc == 3) {
        report(argv[1], recompute(engine, {.rule = QString::fromLocal8Bit(argv[1])}, photos));
        return 0;
    }
    // Each rule on a tenth of the list as well: the time a name stays level
    // when the cost is linear. Best of three.
    for (const char *rule : {"Photo_$N$_###", "*_r"}) {
        for (const qsizetype size : {qsizetype(100000), photos.size()}) {
            Outcome best;
            for (int round = 0; round < 3; ++round) {
                const Outcome one = recompute(engine, {.rule = QString::fromLatin1(rule)}, photos.mid(0, size));
                if (round == 0 || one.cpuUs < best.cpuUs)
                    best = one;
            }
            report(qPrintable(QStringLiteral("normal mode, %1, identical names numbered").arg(QLatin1String(rule))), best);
        }
    }
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
        ten.cpuUs += one.cpuUs;
        ten.names += one.names;
        ten.failures += one.failures;
        ten.last = one.last;
    }
    report("continuation, 10 recomputations of the 10000 files (listing each time)", ten);
    return 0;
}
