#pragma once
// The preferences window's controller. The class operations below are read all
// over the program, long before the window is ever opened.

#include <QColor>
#include <QFont>
#include <QString>

class PreferenceController2 {
public:
    /// The colour stored under a settings key, cached after the first read; an
    /// invalid colour when nothing is stored (then nothing is cached).
    static QColor colorForKey(const QString& key);
    /// Stores a colour under its key, in the cache and in the settings.
    static void setColor(const QColor& color, const QString& key);
    /// The editor's default font: the system's fixed-pitch font at 11 points.
    static QFont defaultFont();
    /// "None" for 0, "Simple" for 1, "Advanced" for anything else.
    static QString nameForRegexType(qint64 type);

    /// Tests: forget the cached colours.
    static void resetColorCacheForTesting();
};
