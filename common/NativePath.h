#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <utility>

namespace tarvello::common {

// A path as the file system holds it. Names on Linux are bytes in no fixed
// encoding: the bytes are what system calls are given and what tells two
// files apart, while the text, where bytes that are not UTF-8 show as U+FFFD,
// is for showing and for rules to read. A path that came from the disk keeps
// its bytes, so a name that is not UTF-8 still reaches its file.
class NativePath
{
public:
    NativePath() = default;

    // The bytes as the file system gave them (a listing, a journal).
    static NativePath fromBytes(QByteArray bytes);
    // A path the program holds as text, "/" between folders.
    static NativePath fromText(const QString &path);
    // A new name as a rule computes it: there "\" separates folders, since
    // the rules were written for Windows, and on Linux it would otherwise be
    // an ordinary character of the name.
    static NativePath fromNewName(const QString &newName);

    bool isEmpty() const { return m_bytes.isEmpty(); }
    const QByteArray &bytes() const { return m_bytes; }
    // NUL-terminated, for system calls.
    const char *c_str() const { return m_bytes.constData(); }

    // As shown to the user.
    QString text() const;
    // True when text() spells these very bytes, so that the text alone finds
    // the file again.
    bool textIsExact() const;

    // The folder part without trailing "/": "/" for an entry of the root,
    // "" for a bare name.
    NativePath folder() const;
    // The last component ("" when the path ends with "/").
    NativePath name() const;
    // The name (or a relative path) inside this folder.
    NativePath child(const NativePath &name) const;
    // The path without "." parts, doubled or trailing "/", nor ".." that a
    // folder before it cancels, as QDir::cleanPath makes a text, but on the
    // bytes. A ".." with no folder to cancel stays, at the root too.
    NativePath cleaned() const;

    friend bool operator==(const NativePath &, const NativePath &) = default;

private:
    explicit NativePath(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    QByteArray m_bytes;
};

// True when every byte, or every character, is ASCII: such a name reads the
// same in every encoding, so its text and its bytes stand for each other
// without a conversion. Most names are.
inline bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
}
inline bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace tarvello::common
