#pragma once

#include <QStringList>

namespace tarvello::common {

// The names of the version definitions of an ELF shared library of this
// machine's class and byte order ("GLIBC_2.36", "GCC_12.0.0", "Qt_6.4"), the
// library's own base entry left out. A file that is not such a library, or
// that is cut short or damaged, gives the names that could be read whole.
QStringList ZubElfVersionDefinitions(const QString &path);

} // namespace tarvello::common
