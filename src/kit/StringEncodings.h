#pragma once
// The one table of text encodings: the platform's encoding numbers, their names,
// their IANA charset names and their converters; strict conversion and detection.

#include "kit/Error.h"
#include "kit/Types.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace kit {

inline constexpr StringEncoding ASCIIStringEncoding = 1;
inline constexpr StringEncoding NEXTSTEPStringEncoding = 2;
inline constexpr StringEncoding JapaneseEUCStringEncoding = 3;
inline constexpr StringEncoding UTF8StringEncoding = 4;
inline constexpr StringEncoding ISOLatin1StringEncoding = 5;
inline constexpr StringEncoding SymbolStringEncoding = 6;
inline constexpr StringEncoding NonLossyASCIIStringEncoding = 7;
inline constexpr StringEncoding ShiftJISStringEncoding = 8;
inline constexpr StringEncoding ISOLatin2StringEncoding = 9;
/// UTF-16 in the machine's byte order, written with a byte-order mark.
inline constexpr StringEncoding UTF16StringEncoding = 10;
inline constexpr StringEncoding UnicodeStringEncoding = 10;
inline constexpr StringEncoding WindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding WindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding WindowsCP1253StringEncoding = 13;
inline constexpr StringEncoding WindowsCP1254StringEncoding = 14;
inline constexpr StringEncoding WindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding ISO2022JPStringEncoding = 21;
inline constexpr StringEncoding MacOSRomanStringEncoding = 30;
inline constexpr StringEncoding UTF16BigEndianStringEncoding = 0x90000100ULL;
inline constexpr StringEncoding UTF16LittleEndianStringEncoding = 0x94000100ULL;
inline constexpr StringEncoding UTF32StringEncoding = 0x8c000100ULL;
inline constexpr StringEncoding UTF32BigEndianStringEncoding = 0x98000100ULL;
inline constexpr StringEncoding UTF32LittleEndianStringEncoding = 0x9c000100ULL;

/// A few converted platform (CF) encodings that callers name directly.
inline constexpr StringEncoding ISOLatin9StringEncoding = 0x8000020FULL;
inline constexpr StringEncoding KOI8RStringEncoding = 0x80000A02ULL;
inline constexpr StringEncoding Big5StringEncoding = 0x80000A03ULL;
inline constexpr StringEncoding GB18030StringEncoding = 0x80000632ULL;
inline constexpr StringEncoding KoreanEUCStringEncoding = 0x80000940ULL;

/// The platform's core-level encoding values (32-bit) and the conversion to and
/// from our numbers; 0xFFFFFFFF is "invalid". Used where the core values order
/// or name encodings (0x0600 ASCII, 0x0100 UTF-16, 0x08000100 UTF-8).
using CoreStringEncoding = quint32;
inline constexpr CoreStringEncoding InvalidCoreStringEncoding = 0xFFFFFFFFU;
StringEncoding stringEncodingFromCore(CoreStringEncoding core);
CoreStringEncoding coreStringEncoding(StringEncoding encoding);
/// The script group of an encoding (its most compatible Mac encoding, 0x0100 for Unicode).
CoreStringEncoding mostCompatibleMacStringEncoding(CoreStringEncoding core);

/// The display name ("Unicode (UTF-8)", "Western (ISO Latin 1)" ...); empty when unknown.
QString localizedNameOfStringEncoding(StringEncoding encoding);
/// Every encoding the converters support: ASCII first, then Unicode, then grouped by script.
QList<StringEncoding> availableStringEncodings();
bool isKnownStringEncoding(StringEncoding encoding);

/// Decodes strictly: invalid or unmappable bytes fail with an error that names
/// the encoding and the byte offset. A leading byte-order mark of a Unicode
/// encoding is dropped.
std::optional<QString> decodeString(const QByteArray& data, StringEncoding encoding, kit::Error* error = nullptr);
/// Encodes; characters the encoding cannot hold fail unless allowLossy (then
/// they become '?'). UTF-16 (10) and UTF-32 write a byte-order mark.
std::optional<QByteArray> encodeString(const QString& text, StringEncoding encoding, bool allowLossy = false,
                                       kit::Error* error = nullptr);
bool canEncodeString(const QString& text, StringEncoding encoding);

/// The byte-order mark the data starts with (UTF-8, UTF-16 or UTF-32, either
/// order); empty when none.
QByteArray byteOrderMarkOfData(const QByteArray& data);
/// Encodes as encodeString, but when `mark` (a file's byte-order mark) belongs to
/// the encoding, the bytes start with that same mark and follow its byte order: a
/// file saved unchanged keeps its bytes.
std::optional<QByteArray> encodeStringWithByteOrderMark(const QString& text, StringEncoding encoding,
                                                        const QByteArray& mark, kit::Error* error = nullptr);

/// The encoding a text declares of itself: an XML declaration, a CSS "@charset" at
/// its start, or an HTML <meta charset> or http-equiv Content-Type within its
/// first 1,024 bytes. NoEncoding when it declares none or names one that is not
/// known; declaredName gets the name as written (empty when none).
StringEncoding declaredStringEncoding(const QByteArray& data, QString* declaredName = nullptr);
/// Byte-order mark, then the text's own declaration when the bytes read in it,
/// then strict UTF-8 (pure ASCII answers ASCII), then a statistical guess;
/// NoEncoding when nothing fits. passedOverDeclaration gets the name of a
/// declared encoding the bytes did not read in.
StringEncoding detectStringEncoding(const QByteArray& data, bool* hadByteOrderMark = nullptr,
                                    QString* passedOverDeclaration = nullptr);

/// The IANA charset name ("utf-8", "iso-8859-1", "shift_jis" ...); empty when none.
QString ianaCharsetName(StringEncoding encoding);
/// Case-insensitive, aliases included; NoEncoding when unknown.
StringEncoding encodingForIANACharsetName(const QString& name);

/// The converter name used for the encoding; empty when unknown.
QString converterNameOfStringEncoding(StringEncoding encoding);

} // namespace kit
