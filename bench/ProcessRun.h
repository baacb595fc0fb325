#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern char **environ;

// Whole processes timed by the command-line benchmarks.
namespace tarvello::bench {

struct Run {
    double seconds = 0;
    // User and system time: on a loaded machine the wall clock also counts
    // the time other programs had the processor.
    double cpuSeconds = 0;
    int exitCode = 0;
    double peakMb = 0;
};

// Runs the program with the file as standard input and its output thrown
// away, with the environment given (KEY=value, added to this one's); the
// wall time, processor time and the child's peak resident memory.
inline Run runOnce(const std::vector<QByteArray> &command, const QString &input, const std::vector<QByteArray> &extraEnvironment = {})
{
    std::vector<char *> environment;
    for (const QByteArray &variable : extraEnvironment)
        environment.push_back(const_cast<char *>(variable.constData()));
    for (char **variable = environ; *variable; ++variable)
        environment.push_back(*variable);
    environment.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, QFile::encodeName(input).constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char *> argv;
    for (const QByteArray &argument : command)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment.data()) != 0) {
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakMb = usage.ru_maxrss / 1024.0;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
        + usage.ru_stime.tv_usec / 1e6;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace tarvello::bench
