/* The floor of a rename of many files, run by hand or by cli_rename_bench:
 * the two phases a safe rename cannot do without, and nothing else. Reads
 * paths from standard input, one a line; first moves each file to a
 * temporary name beside it, then each temporary name to the new name (the
 * name with "_r" before its extension, as the rule "*_r" gives it), every
 * move a renameat2 that never replaces a file. Prints the count and time. */

#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(void)
{
    size_t count = 0, room = 1024;
    char **paths = malloc(room * sizeof *paths);
    char line[4096];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\n")] = '\0';
        if (!*line)
            continue;
        if (count == room)
            paths = realloc(paths, (room *= 2) * sizeof *paths);
        paths[count++] = strdup(line);
    }
    const double start = now();
    char from[4200], to[4200];
    size_t failed = 0;
    for (size_t i = 0; i < count; ++i) {
        snprintf(to, sizeof to, "%s.tarvello-tmp", paths[i]);
        failed += renameat2(AT_FDCWD, paths[i], AT_FDCWD, to, RENAME_NOREPLACE) != 0;
    }
    for (size_t i = count; i-- > 0;) {
        snprintf(from, sizeof from, "%s.tarvello-tmp", paths[i]);
        const char *slash = strrchr(paths[i], '/');
        const char *dot = strrchr(paths[i], '.');
        const size_t stem = dot && dot > (slash ? slash + 1 : paths[i]) ? (size_t)(dot - paths[i]) : strlen(paths[i]);
        snprintf(to, sizeof to, "%.*s_r%s", (int)stem, paths[i], paths[i] + stem);
        failed += renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0;
    }
    printf("%zu files, %zu failed, %.3f s\n", count, failed, now() - start);
    return failed != 0;
}
