// Adding error lines to a list that follows its widest line, and building the
// dependency list. Run by hand: ./list_extent_bench [lines]
#include "dialogs/Dependencies.h"
#include "dialogs/ui/CLBHScroll.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QScrollBar>

#include <cstdio>

using namespace tarvello;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    for (const int count : {lines / 10, lines}) {
        QListWidget list;
        list.resize(600, 400);
        list.show();
        dialogs::ui::CLBHScroll scroll;
        scroll.Init(&list);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i)
            scroll.AddItem(QStringLiteral("/home/utilisateur/Photos/2015/vacances/IMG_%1.JPG -> existe déjà")
                               .arg(i, 6, 10, QLatin1Char('0')));
        const qint64 added = clock.elapsed();
        QCoreApplication::processEvents();
        const qint64 shown = clock.elapsed();
        std::printf("CLBHScroll: %d lines added in %lld ms, laid out and scrolled to the bottom after %lld ms "
                    "(%.2f us per line)\n",
                    count, static_cast<long long>(added), static_cast<long long>(shown), 1000.0 * shown / count);
        if (list.verticalScrollBar()->value() != list.verticalScrollBar()->maximum())
            std::printf("  not at the bottom!\n");
    }

    QElapsedTimer clock;
    clock.start();
    const QList<dialogs::DependencyRow> rows = dialogs::dependencyRows(QStringLiteral("Système"));
    std::printf("dependency list: %lld rows in %lld ms\n", static_cast<long long>(rows.size()),
                static_cast<long long>(clock.elapsed()));
    return 0;
}
