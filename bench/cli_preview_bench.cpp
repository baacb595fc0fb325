// Whole-process speed and peak memory of `tarvello-cli preview` against perl's
// `file-rename -n` on the same list, run by hand: lists of 100,000 and
// 1,000,000 paths on standard input, rule Photo_$N$_### (for perl the
// substitution that gives the same names), best of three by processor time, the two programs
// taking turns. When file-rename is not installed, a perl script doing what
// it does for -n stands in: read every line, run the expression, look whether
// the new name exists, print the rename.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ProcessRun.h"

#include <cstdio>

using tarvello::bench::Run;
using tarvello::bench::runOnce;

namespace {

const char kStandIn[] = R"(my $code = eval "sub { $ARGV[0] }" or die $@;
chomp(my @file = <STDIN>);
for (@file) {
    my $was = $_;
    $code->();
    next if $was eq $_;
    if (-e $_) { warn "$was not renamed: $_ already exists\n" }
    else { print "rename($was, $_)\n" }
}
)";

// The names of Photo_$N$_### for this list, and no more work than they need.
const char kPerlRule[] = R"(s{IMG_(\d+)(\.JPG)\z}{sprintf("Photo_%s_%03d%s", $1, ++$::n, $2)}e)";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QByteArray cli = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/tarvello-cli"));
    std::vector<QByteArray> peer;
    const QString fileRename = QStandardPaths::findExecutable(QStringLiteral("file-rename"));
    if (!fileRename.isEmpty()) {
        peer = {QFile::encodeName(fileRename), "-n", kPerlRule};
        std::printf("peer: %s -n\n", qPrintable(fileRename));
    } else {
        QFile script(dir.filePath(QStringLiteral("file-rename-n.pl")));
        if (!script.open(QIODevice::WriteOnly) || script.write(kStandIn) < 0)
            return 1;
        script.close();
        peer = {"perl", QFile::encodeName(script.fileName()), kPerlRule};
        std::printf("peer: file-rename is not installed, a perl script doing what it does for -n stands in\n");
    }

    Run ours100k;
    for (const int size : {100000, 1000000}) {
        const QString list = dir.filePath(QStringLiteral("list%1").arg(size));
        QFile file(list);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (int i = 1; i <= size; ++i)
            file.write(QFile::encodeName(dir.filePath(QStringLiteral("photos/IMG_%1.JPG").arg(i, 7, 10, QLatin1Char('0')))) + '\n');
        file.close();
        Run ours;
        Run theirs;
        for (int round = 0; round < 3; ++round) {
            const Run one = runOnce({cli, "preview", "--rule", "Photo_$N$_###", "-"}, list);
            const Run two = runOnce(peer, list);
            if (round == 0 || one.cpuSeconds < ours.cpuSeconds)
                ours = one;
            if (round == 0 || two.cpuSeconds < theirs.cpuSeconds)
                theirs = two;
        }
        std::printf("%8d names: tarvello-cli preview %6.2f s (processor %5.2f s) %5.0f MB, perl %6.2f s (processor "
                    "%5.2f s) %5.0f MB, ratio %.2f (processor %.2f)\n",
                    size, ours.seconds, ours.cpuSeconds, ours.peakMb, theirs.seconds, theirs.cpuSeconds, theirs.peakMb,
                    ours.seconds / theirs.seconds, ours.cpuSeconds / theirs.cpuSeconds);
        if (size == 100000)
            ours100k = ours;
        else
            std::printf("growth from 100,000 to 1,000,000 names: %.1f times (processor %.1f)\n",
                        ours.seconds / ours100k.seconds, ours.cpuSeconds / ours100k.cpuSeconds);
    }
    return 0;
}
