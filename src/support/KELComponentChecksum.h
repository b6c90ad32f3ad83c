#pragma once
// The checksum comment that marks a text file written by the component library:
// a file whose comment still verifies is an unchanged generated file. Kept apart
// from the component library, below both the documents and the components, so
// that every text open can check it and the library can write it.

#include <QString>
#include <optional>

class KELComponentChecksum {
public:
    static inline const QString ChecksumKey = QStringLiteral("KelpStudioChecksum: ");

    /// Sum over the UTF-8 bytes (up to a zero byte) of each signed byte shifted
    /// left by its index modulo 24, in wrapping 32-bit arithmetic.
    static quint32 computeChecksum(const QString& text);
    /// Appends the comment that carries the checksum of the text before it.
    static void appendChecksum(QString& text);
    /// Whether the text ends in a checksum comment that matches the text up to
    /// and including its last line feed. None answers false.
    static bool verifyChecksumForFileContents(const std::optional<QString>& text);
    /// The same for a file read as UTF-8; an unreadable file answers false.
    static bool verifyChecksumForFile(const QString& path);
};
