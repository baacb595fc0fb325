#pragma once

#include <QByteArray>
#include <QString>

// The single-byte code page of the settings and language files, the same on
// every platform so that files move between Windows and Linux installs.
namespace tarvello::common {

// Decodes Windows-1252 bytes; the five undefined bytes map to the control
// characters of the same value, as Windows maps them.
QString decodeCp1252(const QByteArray &bytes);

// Encodes into Windows-1252; returns false (and leaves out untouched) when a
// character has no Windows-1252 byte.
bool encodeCp1252(const QString &text, QByteArray &out);

// Decodes a settings or language file: UTF-8 when it starts with the UTF-8
// byte-order mark (the mark dropped), Windows-1252 otherwise.
QString decodeProfileText(const QByteArray &bytes, bool *wasUtf8 = nullptr);

} // namespace tarvello::common
