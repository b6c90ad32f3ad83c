#pragma once
// An editor view shown offscreen, with the registered defaults, for the find and
// tag-editing tests.

#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "editor/KELHTMLView.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <gtest/gtest.h>
#include <memory>
#include "KelpPaths.h"

class EditorViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        scroll = std::make_unique<kit::ScrollView>();
        view = new KELHTMLView;
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(14);
        view->setFont(f);
        scroll->resize(500, 300);
        scroll->show();
        view->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override { scroll.reset(); }

    static QString fixture(const QString& name)
    {
        QFile file(QStringLiteral(KELP_TEST_FIXTURES "/editor/") + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return QString::fromUtf8(file.readAll());
    }

    std::unique_ptr<kit::ScrollView> scroll;
    KELHTMLView* view = nullptr;
};
