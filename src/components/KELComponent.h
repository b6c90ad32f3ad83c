#pragma once
// One component folder of the library: its description file read once.

#include "support/KELXMLNode.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

class KELComponentSupportedBrowser {
public:
    enum Browser { InternetExplorer = 0, Firefox = 1, Safari = 2 };
    /// The id is compared exactly: "IE" is not "ie", and every unknown id counts as Safari.
    explicit KELComponentSupportedBrowser(const KELXMLNode& node);
    KELComponentSupportedBrowser(Browser browser, QString minVersion) : m_browser(browser), m_minVersion(std::move(minVersion)) { }

    Browser browser() const { return m_browser; }
    const QString& minVersion() const { return m_minVersion; }
    /// "IE 9+".
    QString displayDescription() const;
    bool operator<(const KELComponentSupportedBrowser& other) const { return m_browser < other.m_browser; }

private:
    Browser m_browser = Safari;
    QString m_minVersion;
};

class KELComponent {
public:
    /// Reads "Component.xml" of the folder; null (and a log line) when it cannot be read.
    static std::shared_ptr<KELComponent> componentWithDirectoryPath(const QString& path);

    const QString& path() const { return m_path; }
    QUrl url() const { return QUrl::fromLocalFile(m_path); }
    const std::optional<QString>& name() const { return m_name; }
    const std::optional<QString>& desc() const { return m_desc; }
    const std::optional<QString>& group() const { return m_group; }
    /// The preview image; empty when the component names none.
    const QString& imagePath() const { return m_imagePath; }
    const QList<KELComponentSupportedBrowser>& browsers() const { return m_browsers; }

    void setName(const std::optional<QString>& name) { m_name = name; }
    void setDesc(const std::optional<QString>& desc) { m_desc = desc; }
    void setGroup(const std::optional<QString>& group) { m_group = group; }
    void setImagePath(const QString& path) { m_imagePath = path; }

    /// Case-insensitive by name: the order of the library lists.
    int compare(const KELComponent& other) const;
    /// The description, one blank, and the supported browsers joined with ", ".
    QString displayDescription() const;
    /// Name, group and description: the text the search indexes.
    QString searchIndexString() const;

private:
    explicit KELComponent(QString path) : m_path(std::move(path)) { }
    bool readComponent(const KELXMLNode& root);

    QString m_path;
    std::optional<QString> m_name;
    std::optional<QString> m_desc;
    std::optional<QString> m_group;
    QString m_imagePath;
    QList<KELComponentSupportedBrowser> m_browsers;
};
