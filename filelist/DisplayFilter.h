#pragma once

#include <QString>
#include <QStringList>

namespace tarvello::filelist {

// The display filter: file-name patterns separated by spaces ("*.jpg *.png"),
// a name passing when it matches at least one of them with the wildcard rules
// of common::vbLike, case ignored. "*.*" leaves out a name without a dot, and
// an empty filter lets nothing through, exactly as the folder counts see it.
class DisplayFilter
{
public:
    explicit DisplayFilter(const QString &filter = QStringLiteral("*.*"));

    // The filter text as it was given.
    const QString &text() const { return m_text; }

    // True when the file name (no folder) passes the filter.
    bool matches(const QString &fileName) const;

private:
    QString m_text;
    QStringList m_patterns;
    // No pattern holds a letter or a bracket list ("*.*", "*"): case cannot
    // change a match, and names need not be upper-cased first.
    bool m_caseless = false;
};

} // namespace tarvello::filelist
