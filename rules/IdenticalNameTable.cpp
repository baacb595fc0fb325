#include "rules/IdenticalNameTable.h"

#include "common/Vb.h"
#include "common/Zub.h"

namespace tarvello::rules {

IdenticalNameTable::IdenticalNameTable()
{
    reset();
}

void IdenticalNameTable::reset()
{
    m_counts.clear();
    m_counts.insert(QString(), 0);
}

QString IdenticalNameTable::enter(const QString &name)
{
    const QString key = common::vbUCase(name);
    const auto found = m_counts.find(key);
    if (found == m_counts.end()) {
        m_counts.insert(key, 0);
        return name;
    }
    const qint64 count = ++*found;
    QString numbered = common::ZubStrWithoutExt(name) + QLatin1Char('_') + QString::number(count);
    const QString ext = common::ZubGetExtension(name);
    if (!ext.isEmpty())
        numbered += QLatin1Char('.') + ext;
    return numbered;
}

} // namespace tarvello::rules
