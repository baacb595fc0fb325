#include "common/ElfVersions.h"

#include <QFile>

#include <cstring>
#include <elf.h>
#include <link.h>

namespace tarvello::common {

namespace {

// A bounds-checked view of the file's bytes: every read says whether the
// bytes it asks for are there, so a damaged file cannot lead outside it.
class Bytes
{
public:
    Bytes(const uchar *data, qint64 size) : m_data(data), m_size(size) {}

    template <typename T>
    bool read(quint64 offset, T &out) const
    {
        if (offset > quint64(m_size) || quint64(m_size) - offset < sizeof(T))
            return false;
        std::memcpy(&out, m_data + offset, sizeof(T));
        return true;
    }

    // The NUL-terminated text at offset inside [begin, begin + length).
    bool text(quint64 begin, quint64 length, quint64 offset, QString &out) const
    {
        if (begin > quint64(m_size) || length > quint64(m_size) - begin || offset >= length)
            return false;
        const char *start = reinterpret_cast<const char *>(m_data + begin + offset);
        const void *end = std::memchr(start, 0, length - offset);
        if (!end)
            return false;
        out = QString::fromLatin1(start, static_cast<const char *>(end) - start);
        return true;
    }

private:
    const uchar *m_data;
    qint64 m_size;
};

#if __BYTE_ORDER == __LITTLE_ENDIAN
constexpr unsigned char kByteOrder = ELFDATA2LSB;
#else
constexpr unsigned char kByteOrder = ELFDATA2MSB;
#endif
#if __ELF_NATIVE_CLASS == 64
constexpr unsigned char kClass = ELFCLASS64;
#else
constexpr unsigned char kClass = ELFCLASS32;
#endif

} // namespace

QStringList ZubElfVersionDefinitions(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    const uchar *data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        return {};
    const Bytes bytes(data, size);

    ElfW(Ehdr) header;
    if (!bytes.read(0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0
        || header.e_ident[EI_CLASS] != kClass || header.e_ident[EI_DATA] != kByteOrder
        || header.e_shentsize < sizeof(ElfW(Shdr)))
        return {};

    auto section = [&](quint64 index, ElfW(Shdr) &out) {
        return index < header.e_shnum && bytes.read(header.e_shoff + index * header.e_shentsize, out);
    };
    QStringList names;
    for (quint64 i = 0; i < header.e_shnum; ++i) {
        ElfW(Shdr) definitions;
        ElfW(Shdr) strings;
        if (!section(i, definitions) || definitions.sh_type != SHT_GNU_verdef
            || !section(definitions.sh_link, strings))
            continue;
        // sh_info counts the entries; each names its successor by a relative offset.
        quint64 offset = definitions.sh_offset;
        for (quint64 entry = 0; entry < definitions.sh_info; ++entry) {
            ElfW(Verdef) definition;
            ElfW(Verdaux) aux;
            if (!bytes.read(offset, definition) || !bytes.read(offset + definition.vd_aux, aux))
                break;
            QString name;
            if (!(definition.vd_flags & VER_FLG_BASE)
                && bytes.text(strings.sh_offset, strings.sh_size, aux.vda_name, name))
                names.append(name);
            if (definition.vd_next == 0)
                break;
            offset += definition.vd_next;
        }
    }
    return names;
}

} // namespace tarvello::common
