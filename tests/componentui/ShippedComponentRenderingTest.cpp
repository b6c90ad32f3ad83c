// Every shipped component rendered through the real editors (not a stand-in), with
// and without their views built, at its defaults and with every value edited; the
// page, scripts and style sheets must pass our own checks, and an inserted page must
// link only to files inside its site, so that the site can move or be published.

#include "componentui/KELColorFontVariableControllers.h"
#include "componentui/KELFileVariableControllers.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"

#include "ComponentUITestSupport.h"
#include "checker/KELSyntaxCheckResult.h"
#include "checker/KELSyntaxCheckTypeCSSCheck.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "checker/KELSyntaxCheckTypeJavaScript.h"
#include "components/KELComponentCodeGenerator.h"
#include "components/KELComponentManager.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "support/DefaultsKeys.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QRegularExpression>

using namespace componentuitest;

namespace {

// Log lines that mean a template read something that is not there.
const char* const FaultLines[] = { "nil expression value", "Expression could not be parsed", "No tag class defined", "not found",
    "Unexpected type", "Template loop stopped", "Attempt to access index" };

QStringList faults(const kit::LogCapture& log)
{
    QStringList found;
    for (const QString& line : log.lines()) {
        for (const char* fault : FaultLines) {
            if (line.contains(QLatin1String(fault)))
                found.append(line);
        }
    }
    return found;
}

QStringList errorsOf(const KELSyntaxCheckResult& result)
{
    QStringList errors;
    for (const KELSyntaxCheckTypeResult& type : result.orderedTypeResults()) {
        for (const KELSyntaxCheckError& error : type.errorsWithLevel(1))
            errors.append(type.typeName() + QStringLiteral(": ") + error.description());
    }
    return errors;
}

/// Files an edited form points at: a picture and a media file with blanks in their names.
struct SiteFiles {
    QString picture;
    QString media;
    QString page;
};

/// Gives every editor of the tree a value other than its default, as a user would.
void editEverything(KELVariableController& controller, const SiteFiles& files)
{
    if (auto* text = dynamic_cast<KELTextVariableController*>(&controller)) {
        bool number = false;
        text->defaultValue().toDouble(&number);
        // Numbers stay numbers (coordinates, sizes); other texts get what needs escaping.
        if (number)
            text->setValue(QStringLiteral("value"), QString::number(text->defaultValue().toDouble() + 7));
        else if (text->textVariable().lines() >= 2)
            text->setValue(QStringLiteral("value"), QStringLiteral("First line <of> \"two\" & more\nSecond line"));
        else if (text->textVariable().formatter())
            text->setValue(QStringLiteral("value"), QStringLiteral("edited-%1").arg(text->varName().value_or(QStringLiteral("x"))));
        else
            text->setValue(QStringLiteral("value"), QStringLiteral("page one.html?a=1&b=<2>"));
    } else if (auto* dimension = dynamic_cast<KELDimensionCountVariableController*>(&controller)) {
        dimension->setValue(QStringLiteral("selectedIndex"), qlonglong(dimension->dimensionVariable().options().size() - 1));
        dimension->setValue(QStringLiteral("count"), qlonglong(dimension->countVariable().maxCount().value_or(50)));
    } else if (auto* count = dynamic_cast<KELCountVariableController*>(&controller)) {
        const qint64 wanted = count->countVariable().defaultCount().value_or(1) + 2;
        count->setValue(QStringLiteral("count"), qlonglong(qMin(wanted, count->countVariable().maxCount().value_or(wanted))));
    } else if (auto* select = dynamic_cast<KELSelectVariableController*>(&controller)) {
        select->setValue(QStringLiteral("selectedIndex"), qlonglong(select->options().size() - 1));
    } else if (auto* checkbox = dynamic_cast<KELCheckboxVariableController*>(&controller)) {
        checkbox->setValue(QStringLiteral("value"), !checkbox->value(QStringLiteral("value")).toBool());
    } else if (auto* slider = dynamic_cast<KELSliderVariableController*>(&controller)) {
        slider->setValue(QStringLiteral("value"), double(slider->sliderVariable().maxValue().value_or(100)));
    } else if (auto* color = dynamic_cast<KELColorVariableController*>(&controller)) {
        color->setValue(QStringLiteral("value"), QStringLiteral("Tomato"));
        color->setValue(QStringLiteral("opacity"), 50);
    } else if (auto* font = dynamic_cast<KELFontVariableController*>(&controller)) {
        font->setValue(QStringLiteral("family"), QStringLiteral("Times New Roman"));
        font->setValue(QStringLiteral("size"), 14.5);
        font->setValue(QStringLiteral("bold"), true);
        font->setValue(QStringLiteral("italic"), true);
    } else if (auto* image = dynamic_cast<KELImageFileVariableController*>(&controller)) {
        image->setFileUrl(QUrl::fromLocalFile(files.picture));
    } else if (auto* file = dynamic_cast<KELFileVariableController*>(&controller)) {
        file->setFileUrl(QUrl::fromLocalFile(file->varName() == QLatin1String("media") ? files.media : files.page));
    }
    if (auto* indexed = dynamic_cast<KELIndexedVariableController*>(&controller)) {
        for (qsizetype i = 0; i < indexed->count(); ++i) {
            if (KELVariableController* child = indexed->variableControllerForIndex(i))
                editEverything(*child, files);
        }
        return;
    }
    for (const KELVariableControllerPtr& child : controller.childControllers())
        editEverything(*child, files);
}

/// The relative links of a page (src, href, poster, url()) that do not lead to a file
/// inside the site, or that lead into the program's own folders.
QStringList badLinks(const QString& page, const QString& pagePath, const QString& siteFolder)
{
    static const QRegularExpression links(QStringLiteral(R"re((?:src|href|poster)="([^"]*)"|url\(([^)]*)\))re"));
    const QString site = QFileInfo(siteFolder).canonicalFilePath();
    QStringList bad;
    for (auto it = links.globalMatch(page); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QString link = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
        link.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const QUrl url(link);
        // A saved page links its files relatively: an absolute file URL breaks on publishing.
        if (url.scheme() == QLatin1String("file")) {
            bad.append(link);
            continue;
        }
        // Addresses of the web and places within the page are no files of the site.
        if (link.isEmpty() || link.startsWith(QLatin1Char('#')) || !url.scheme().isEmpty())
            continue;
        const QString path = QUrl::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8());
        // Typed addresses of pages that need not exist yet.
        if (path.endsWith(QLatin1String(".html")) || path == QLatin1String("media/clip.mp4"))
            continue;
        const QString resolved = QFileInfo(QFileInfo(pagePath).dir().filePath(path)).canonicalFilePath();
        if (resolved.isEmpty() || !resolved.startsWith(site + QLatin1Char('/')))
            bad.append(link);
    }
    return bad;
}

class ShippedComponentRenderingTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults({ { KELShowHTML5Completions, true }, { KELOrganizeTagsSpacer, qlonglong(1) } });
    }
};

} // namespace

TEST_P(ShippedComponentRenderingTest, EveryComponentAtDefaultsAndEditedPassesTheChecksAndLinksInsideItsSite)
{
    const bool withViews = GetParam();
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    ASSERT_GE(manager.components().size(), 12);
    for (const auto& component : manager.components()) {
        const QString name = component->name().value_or(component->path());
        for (const bool edited : { false, true }) {
            SCOPED_TRACE(QStringLiteral("%1, %2, %3").arg(name, withViews ? QStringLiteral("with views") : QStringLiteral("without views"),
                             edited ? QStringLiteral("edited") : QStringLiteral("defaults"))
                             .toStdString());
            QTemporaryDir site;
            SiteFiles files { site.filePath(QStringLiteral("pictures/my picture.png")), site.filePath(QStringLiteral("media/clip one.mp4")),
                site.filePath(QStringLiteral("about us.html")) };
            QDir().mkpath(site.filePath(QStringLiteral("pictures")));
            QDir().mkpath(site.filePath(QStringLiteral("media")));
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            ASSERT_TRUE(picture.save(files.picture));
            componenttest::writeText(files.media, QStringLiteral("not really a film"));
            componenttest::writeText(files.page, QStringLiteral("<!DOCTYPE html><title>About</title>"));

            kit::LogCapture log;
            std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(component);
            ASSERT_TRUE(definition && definition->variableGroup());
            KELVariableControllerPtr root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), withViews);
            ASSERT_TRUE(root);
            if (edited)
                editEverything(*root, files);
            endOfEvent();
            KELComponentCodeGenerator generator(root, definition);

            for (const KELInsertType type : { KELInsertType::Preview, KELInsertType::Insert }) {
                const QString pagePath = site.filePath(QStringLiteral("pages/index.html"));
                QDir().mkpath(QFileInfo(pagePath).path());
                QString page = componenttest::barePage();
                const KELCodeGeneratorResult result = generator.generateCodeWithHtmlTemplate(page, pagePath,
                    KELComponentCodeGeneratorResourcePaths(site.filePath(QStringLiteral("KelpComponents"))), type);
                EXPECT_TRUE(result.problems().isEmpty()) << result.problems().join(QLatin1Char('\n')).toStdString();
                EXPECT_TRUE(page.contains(QStringLiteral("<!-- BEGIN COMPONENT ") + name));

                KELSyntaxCheckResult check;
                KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(check, page, false);
                EXPECT_TRUE(errorsOf(check).isEmpty()) << errorsOf(check).join(QLatin1Char('\n')).toStdString() << "\n" << page.toStdString();
                for (const KELCodeGeneratorFile& file : result.includes()) {
                    const QString path = result.pathForInclude(file);
                    ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
                    const QString text = componenttest::readText(path);
                    if (file.include()->type() == KELComponentInclude::Script) {
                        EXPECT_FALSE(KELSyntaxCheckTypeJavaScript::checkSyntax(text).has_value()) << path.toStdString();
                    } else if (file.include()->type() == KELComponentInclude::Style) {
                        KELSyntaxCheckResult styleCheck;
                        KELSyntaxCheckTypeCSSCheck::sharedInstance().checkForErrors(styleCheck, text, false);
                        EXPECT_TRUE(errorsOf(styleCheck).isEmpty()) << errorsOf(styleCheck).join(QLatin1Char('\n')).toStdString();
                    }
                }
                // Every file the page links to lies in the site, stock pictures included.
                EXPECT_TRUE(badLinks(page, pagePath, site.path()).isEmpty())
                    << badLinks(page, pagePath, site.path()).join(QLatin1Char('\n')).toStdString() << "\n" << page.toStdString();
            }
            EXPECT_TRUE(faults(log).isEmpty()) << faults(log).join(QLatin1Char('\n')).toStdString();
            root->controllerWillClose();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, ShippedComponentRenderingTest, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? std::string("WithViews") : std::string("WithoutViews"); });

// The same values render the same whether or not the form was ever shown.
TEST(ShippedComponentRenderingTest, ViewsChangeNothingInTheGeneratedPage)
{
    kit::UserDefaults::standard().resetForTesting();
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    for (const auto& component : manager.components()) {
        const QString name = component->name().value_or(component->path());
        QStringList pages;
        for (const bool withViews : { false, true }) {
            std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(component);
            ASSERT_TRUE(definition);
            KELVariableControllerPtr root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), withViews);
            ASSERT_TRUE(root);
            KELComponentCodeGenerator generator(root, definition);
            QTemporaryDir site;
            QString page = componenttest::barePage();
            generator.generateCodeWithHtmlTemplate(page, site.filePath(QStringLiteral("index.html")),
                KELComponentCodeGeneratorResourcePaths(site.filePath(QStringLiteral("assets"))), KELInsertType::Insert);
            pages.append(page);
            root->controllerWillClose();
        }
        // Select editors in tables without detail start on their first option until
        // a view loads; no shipped table hides its detail, so the pages agree.
        EXPECT_EQ(pages.at(0), pages.at(1)) << name.toStdString();
    }
    const auto simpleFont = manager.componentWithName(QStringLiteral("Simple Font"));
    ASSERT_TRUE(simpleFont);
    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(simpleFont);
    KELVariableControllerPtr root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), false);
    EXPECT_EQ(root->valueForKeyPath(QStringLiteral("font.css")).isValid(), true);
    EXPECT_EQ(KELExpression::stringValue(root->valueForKeyPath(QStringLiteral("font.css"))),
        QStringLiteral("font-family: Georgia, serif; font-size: 18.0px;"));
}

// A stock picture is copied into the site with the other included files and
// linked there, so the page keeps its picture when the site moves; a typed
// address with a blank is written as a URL the page can use.
TEST(ShippedComponentRenderingTest, StockPicturesAreCopiedIntoTheSiteAndTypedAddressesEncoded)
{
    kit::UserDefaults::standard().resetForTesting();
    kit::UserDefaults::standard().registerDefaults({ { KELShowHTML5Completions, true } });
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    QTemporaryDir place;
    const QString site = place.filePath(QStringLiteral("my site"));
    const QString pagePath = site + QStringLiteral("/pages/index.html");
    QDir().mkpath(QFileInfo(pagePath).path());

    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Simple Image")));
    ASSERT_TRUE(definition);
    KELVariableControllerPtr root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), false);
    KELComponentCodeGenerator generator(root, definition);
    QString page = componenttest::barePage();
    const KELCodeGeneratorResult result = generator.generateCodeWithHtmlTemplate(page, pagePath,
        KELComponentCodeGeneratorResourcePaths(site + QStringLiteral("/KelpComponents")), KELInsertType::Insert);
    EXPECT_TRUE(result.problems().isEmpty());
    EXPECT_TRUE(page.contains(QStringLiteral("src=\"../KelpComponents/DefaultImages/Sunset1.jpg\""))) << page.toStdString();
    ASSERT_EQ(result.includes().size(), 1);
    EXPECT_EQ(result.includes().first().insertedResourceName(), QStringLiteral("DefaultImages/Sunset1.jpg"));
    EXPECT_EQ(result.includes().first().include()->type(), KELComponentInclude::Image);
    EXPECT_TRUE(QFileInfo::exists(result.pathForInclude(result.includes().first())));
    // The site moved elsewhere: the link still finds its picture.
    const QString moved = place.filePath(QStringLiteral("published"));
    ASSERT_TRUE(QDir().rename(site, moved));
    EXPECT_TRUE(QFileInfo::exists(moved + QStringLiteral("/pages/../KelpComponents/DefaultImages/Sunset1.jpg")));
    EXPECT_TRUE(badLinks(page, moved + QStringLiteral("/pages/index.html"), moved).isEmpty());
    root->controllerWillClose();

    // Simple Link with a typed address that has blanks.
    definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Simple Link")));
    ASSERT_TRUE(definition);
    root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), false);
    root->setValueForKeyPath(QStringLiteral("address.value"), QStringLiteral("our team/page one.html#top"));
    KELComponentCodeGenerator linker(root, definition);
    page = componenttest::barePage();
    linker.generateCodeWithHtmlTemplate(page, moved + QStringLiteral("/index.html"),
        KELComponentCodeGeneratorResourcePaths(moved + QStringLiteral("/KelpComponents")), KELInsertType::Insert);
    EXPECT_TRUE(page.contains(QStringLiteral("href=\"our%20team/page%20one.html#top\""))) << page.toStdString();
    KELSyntaxCheckResult check;
    KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(check, page, false);
    EXPECT_TRUE(errorsOf(check).isEmpty()) << errorsOf(check).join(QLatin1Char('\n')).toStdString();
    root->controllerWillClose();
}

// The font family list offers the families this desktop has, each in its own font.
TEST(ShippedComponentRenderingTest, FontFamiliesAreTheInstalledOnesInTheirOwnFont)
{
    const QStringList installed = QFontDatabase::families();
    const QStringList offered = KELFontVariableController::cssFontNames(true);
    for (const QString& family : offered)
        EXPECT_TRUE(installed.contains(family, Qt::CaseInsensitive)) << family.toStdString();
    for (const QString& family : KELFontVariableController::cssFontNames(false)) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            EXPECT_TRUE(offered.contains(family)) << family.toStdString();
        }
    }
    const KELComponentManager manager({ KELComponentManager::componentsDirectory() });
    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(manager.componentWithName(QStringLiteral("Simple Font")));
    ASSERT_TRUE(definition);
    KELVariableControllerPtr root = KELVariableController::rootControllerWithVariable(*definition->variableGroup(), true);
    auto* font = controllerAt<KELFontVariableController>(root, QStringLiteral("font"));
    ASSERT_TRUE(font && font->familyComboBox());
    QStringList items;
    for (int i = 0; i < font->familyComboBox()->count(); ++i) {
        items << font->familyComboBox()->itemText(i);
        EXPECT_EQ(font->familyComboBox()->itemData(i, Qt::FontRole).value<QFont>().family(), items.last());
    }
    EXPECT_EQ(items, offered);
    root->controllerWillClose();
}
