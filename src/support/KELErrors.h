#pragma once
// The application's own error domain and its codes.

#include <QString>

inline const QString KELErrorDomain = QStringLiteral("KELErrorDomain");
enum KELErrorCode : int {
    KELErrorExtensionInUse = 1,
    KELErrorComponentLibraryLocked = 2,
    KELErrorCannotSaveInEncoding = 3,
    KELErrorLockedDocument = 4,
};
