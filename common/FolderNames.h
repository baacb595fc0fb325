#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <initializer_list>
#include <optional>
#include <vector>

namespace tarvello::common {

// True for the entries "." and ".." a folder's reading gives besides its names.
inline bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The names of a folder's entries as one reading found them: their bytes in
// one block and an open-addressing table of their places, so that a folder of
// 100,000 names costs a few allocations rather than one a name.
class FolderNames
{
public:
    FolderNames() = default;
    FolderNames(std::initializer_list<QByteArrayView> names);

    // The name's place among the names, the one it already had when held.
    qsizetype insert(QByteArrayView name);
    bool contains(QByteArrayView name) const;
    qsizetype size() const { return qsizetype(m_names.size()); }
    QByteArrayView name(qsizetype place) const { return at(m_names[size_t(place)]); }

    // The first name whose ASCII letters, case swapped, give a name the
    // folder does not hold; nullopt when there is none. Where that other name
    // exists all the same, the folder ignores case.
    std::optional<QByteArray> caseProbe() const;

private:
    struct Name {
        qsizetype offset;
        qint32 length;
        quint32 hash;
    };

    QByteArrayView at(const Name &name) const { return {m_bytes.constData() + name.offset, name.length}; }
    // The slot holding the name, or the empty slot where it would go.
    size_t probe(QByteArrayView name, quint32 hash) const;
    void grow();

    QByteArray m_bytes;
    std::vector<Name> m_names;
    std::vector<qint32> m_slots; // places in m_names, -1 when empty
};

} // namespace tarvello::common
