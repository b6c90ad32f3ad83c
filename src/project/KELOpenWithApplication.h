#pragma once
// One application that can open files, named by its desktop entry.

#include <QString>
#include <QUrl>
#include <optional>

class KELOpenWithApplication {
public:
    explicit KELOpenWithApplication(const QUrl& applicationURL = QUrl());
    static KELOpenWithApplication applicationWithURL(const QUrl& url) { return KELOpenWithApplication(url); }

    const QUrl& applicationURL() const { return m_applicationURL; }
    /// Also forgets the version read for the old application.
    void setApplicationURL(const QUrl& url);
    /// Read once from the application; empty when it states none.
    QString version() const;
    bool isVersionDisplayed() const { return m_isVersionDisplayed; }
    void setIsVersionDisplayed(bool displayed) { m_isVersionDisplayed = displayed; }

    /// The desktop's name of the application, else its entry's file name without extension.
    QString applicationName() const;
    /// The name, with the version in parentheses when versions are displayed.
    QString displayString() const;
    /// 1 on the start-up volume, 2 on another volume, 3 inside a backup.
    int appLocation() const;

    /// Name ignoring case, then the higher version first; one with a version before
    /// one without. Answers -1, 0 or 1.
    int compareNameAndVersion(const KELOpenWithApplication& other) const;
    /// compareNameAndVersion, then appLocation.
    int compare(const KELOpenWithApplication& other) const;

    bool operator==(const KELOpenWithApplication& other) const { return m_applicationURL == other.m_applicationURL; }

private:
    QUrl m_applicationURL;
    mutable std::optional<QString> m_version;
    mutable std::optional<QString> m_name;
    bool m_isVersionDisplayed = false;
};
