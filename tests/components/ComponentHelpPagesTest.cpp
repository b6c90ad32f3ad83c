// Each component the library ships has its own page in the help book, which the
// component window's Help button opens: a component without one would fall back to
// the book's start page.

#include "components/KELComponentManager.h"
#include "support/HelpUtils.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

TEST(ComponentHelpPagesTest, EveryShippedComponentHasAPageThatNamesIt)
{
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    ASSERT_FALSE(manager.components().empty());
    const QString book = HelpUtils::helpBookPath();
    ASSERT_FALSE(book.isEmpty());
    QFile library(book + QStringLiteral("/component/componentlibrary.html"));
    ASSERT_TRUE(library.open(QIODevice::ReadOnly));
    const QString libraryPage = QString::fromUtf8(library.readAll());
    for (const auto& component : manager.components()) {
        const QString name = component->name().value_or(QString());
        SCOPED_TRACE(name.toStdString());
        QString page = name;
        page.remove(QLatin1Char(' '));
        page = QStringLiteral("component/%1.html").arg(page);
        // The page Help opens is the component's own, not the start page it falls back to.
        const QUrl url = HelpUtils::urlForPagePath(page);
        ASSERT_EQ(url, QUrl::fromLocalFile(book + QLatin1Char('/') + page));
        QFile file(url.toLocalFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(html.startsWith(QLatin1String("<!DOCTYPE html>")));
        EXPECT_TRUE(html.contains(QStringLiteral("<h1>%1</h1>").arg(name.toHtmlEscaped())));
        EXPECT_TRUE(html.contains(QLatin1String("<h2>Settings</h2>")));
        // Every local link of the page leads to a page of the book.
        static const QRegularExpression link(QStringLiteral("href=\"([^\"#:]+)\""));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(book + QStringLiteral("/component/") + target)) << target.toStdString();
        }
        // The library's page lists it.
        EXPECT_TRUE(libraryPage.contains(QStringLiteral("href=\"%1\"").arg(page.mid(page.indexOf(QLatin1Char('/')) + 1))));
    }
}
