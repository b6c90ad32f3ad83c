#pragma once
// The set-up the project tests share: a temporary folder as the project root, fresh
// settings and file preferences, and a document controller with the project services
// (plain ones: no desktop trash or file manager).

#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace projecttest {

class ProjectFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        controller = new MyDocumentController(QCoreApplication::instance());
        KELInstallProjectServices();
        ProjectServices::shared() = ProjectServices::plainServices();
    }
    void TearDown() override
    {
        for (DocumentWindowController* window : controller->projectDocuments())
            window->closeWindowNow();
        kit::DocumentController::resetSharedForTesting();
    }

    QTemporaryDir dir;
    QString root;
    MyDocumentController* controller = nullptr;
};

} // namespace projecttest
