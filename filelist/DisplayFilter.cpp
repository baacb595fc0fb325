#include "filelist/DisplayFilter.h"

#include "common/Vb.h"

#include <algorithm>

namespace tarvello::filelist {

DisplayFilter::DisplayFilter(const QString &filter)
    : m_text(filter)
{
    // Upper-cased once here rather than for every name; several spaces in a
    // row leave empty pieces, which match no file name.
    const QStringList pieces = common::vbSplit(filter, QStringLiteral(" "));
    for (const QString &piece : pieces)
        m_patterns.append(common::vbUCase(piece));
    m_caseless = std::all_of(m_patterns.cbegin(), m_patterns.cend(), [](const QString &pattern) {
        return !pattern.contains(QLatin1Char('[')) && pattern == common::vbLCase(pattern);
    });
}

bool DisplayFilter::matches(const QString &fileName) const
{
    if (m_patterns.isEmpty())
        return false;
    const QString name = m_caseless ? fileName : common::vbUCase(fileName);
    for (const QString &pattern : m_patterns) {
        if (common::vbLike(name, pattern))
            return true;
    }
    return false;
}

} // namespace tarvello::filelist
