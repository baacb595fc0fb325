#include "settings/Settings.h"
#include "common/ElfVersions.h"
#include "common/Zub.h"
#include "dialogs/Dependencies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gnu/libc-version.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstring>

using namespace tarvello;

namespace {

// A shared library reduced to what the version reader looks at: the ELF
// header, a version definition section (the base entry and the given names)
// and its string table.
QByteArray elfWithDefinitions(const QStringList &names)
{
    QByteArray strings(1, '\0');
    QList<int> offsets;
    for (const QString &name : QStringList{"libfake.so.1"} + names) {
        offsets.append(strings.size());
        strings += name.toLatin1() + '\0';
    }
    QByteArray definitions;
    for (int i = 0; i < offsets.size(); ++i) {
        ElfW(Verdef) definition{};
        definition.vd_version = VER_DEF_CURRENT;
        definition.vd_flags = i == 0 ? VER_FLG_BASE : 0;
        definition.vd_ndx = i + 1;
        definition.vd_cnt = 1;
        definition.vd_aux = sizeof(ElfW(Verdef));
        definition.vd_next = i + 1 < offsets.size() ? sizeof(ElfW(Verdef)) + sizeof(ElfW(Verdaux)) : 0;
        ElfW(Verdaux) aux{};
        aux.vda_name = offsets[i];
        definitions += QByteArray(reinterpret_cast<const char *>(&definition), sizeof definition);
        definitions += QByteArray(reinterpret_cast<const char *>(&aux), sizeof aux);
    }
    const quint64 stringsAt = sizeof(ElfW(Ehdr));
    const quint64 definitionsAt = stringsAt + strings.size();
    const quint64 sectionsAt = definitionsAt + definitions.size();

    ElfW(Ehdr) header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_version = EV_CURRENT;
    header.e_shoff = sectionsAt;
    header.e_ehsize = sizeof header;
    header.e_shentsize = sizeof(ElfW(Shdr));
    header.e_shnum = 3;
    ElfW(Shdr) sections[3]{};
    sections[1].sh_type = SHT_GNU_verdef;
    sections[1].sh_offset = definitionsAt;
    sections[1].sh_size = definitions.size();
    sections[1].sh_link = 2;
    sections[1].sh_info = offsets.size();
    sections[2].sh_type = SHT_STRTAB;
    sections[2].sh_offset = stringsAt;
    sections[2].sh_size = strings.size();

    QByteArray file(reinterpret_cast<const char *>(&header), sizeof header);
    file += strings + definitions;
    file += QByteArray(reinterpret_cast<const char *>(sections), sizeof sections);
    return file;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

} // namespace

// The names but the base entry; a file cut anywhere, or not a library at all,
// gives what could be read whole and never reads outside the file.
TEST(ElfVersionDefinitions, readsTheNamesThatAreWhole)
{
    QTemporaryDir dir;
    const QStringList names{"FAKE_1.0", "FAKE_2.5.1"};
    const QByteArray whole = elfWithDefinitions(names);
    EXPECT_EQ(common::ZubElfVersionDefinitions(write(dir, "libfake.so.1", whole)), names);
    for (int size = 0; size < whole.size(); ++size) {
        const QString path = write(dir, "cut.so", whole.left(size));
        const QStringList read = common::ZubElfVersionDefinitions(path);
        EXPECT_EQ(read, names.mid(0, read.size())) << "cut at " << size;
    }
    QByteArray garbage = whole;
    for (int i = sizeof(ElfW(Ehdr)); i < garbage.size(); i += 3)
        garbage[i] = char(0xff);
    common::ZubElfVersionDefinitions(write(dir, "garbage.so", garbage));
    for (const QString &path : {write(dir, "text.so", "not a library"), dir.filePath("missing.so"), dir.path()})
        EXPECT_TRUE(common::ZubElfVersionDefinitions(path).isEmpty()) << path.toStdString();
}

TEST(ZubGetVersionInformation, versionInTheNameOrInTheFile)
{
    QTemporaryDir dir;
    // The real name's numbers win when they hold a dot.
    write(dir, "libname.so.2.7.1", elfWithDefinitions({"NAME_9.9"}));
    QFile::link(dir.filePath("libname.so.2.7.1"), dir.filePath("libname.so.2"));
    EXPECT_EQ(common::ZubGetVersionInformation(dir.filePath("libname.so.2")), "2.7.1");
    // An interface number alone: the highest version the library defines.
    const QString fake = write(dir, "libfake.so.1", elfWithDefinitions({"FAKE_1.10", "FAKE_1.9.3", "FAKE_PRIVATE"}));
    EXPECT_EQ(common::ZubGetVersionInformation(fake), "1.10");
    // The C library's own libraries carry the C library's release.
    const QString glibc = write(dir, "libm.so.6", elfWithDefinitions({"GLIBC_2.2.5", "GLIBC_PRIVATE"}));
    EXPECT_EQ(common::ZubGetVersionInformation(glibc), gnu_get_libc_version());
    // Nothing to go by: the interface number, or nothing.
    EXPECT_EQ(common::ZubGetVersionInformation(write(dir, "libbare.so.3", "x")), "3");
    EXPECT_EQ(common::ZubGetVersionInformation(write(dir, "libbare.so", "x")), QString());
    EXPECT_EQ(common::ZubGetVersionInformation(dir.filePath("gone.so.1.2")), QString());
}

TEST(Dependencies, ownLibraryThenQtThenTheRest)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("plugins/platforms"));
    const QString plugins = dir.filePath("plugins");
    write(dir, "libz.so.1.2.13", "x");
    QFile::link(dir.filePath("libz.so.1.2.13"), dir.filePath("libz.so.1"));
    const QStringList paths{dir.filePath("libz.so.1"),       dir.filePath("libQt6Widgets.so.6"),
                            plugins + "/platforms/libqxcb.so", dir.filePath("libtarvello_core.so.1"),
                            dir.filePath("libQt6Core.so.6"),  dir.filePath("libacl.so.1")};
    const QList<dialogs::DependencyRow> rows = dialogs::runtimeFileRows(paths, plugins);
    QStringList names;
    for (const auto &row : rows)
        names.append(row.name);
    EXPECT_EQ(names, (QStringList{"libtarvello_core.so.1", "libQt6Core.so.6", "libQt6Widgets.so.6", "libqxcb.so",
                                  "libacl.so.1", "libz.so.1"}));
    // A library gone from the disk stays listed, without a version.
    EXPECT_EQ(rows[0].version, QString());
    EXPECT_EQ(rows.last().version, "1.2.13");
}
