#pragma once
// The Advanced Insert panel: step 1 lists the elements of the current vocabulary,
// step 2 the chosen element's attribute table; Insert writes the composed start
// tag (and the end tag when asked) into the editor in front.

#include "htmlui/InsertController.h"

#include <memory>

class AttributeTableManager;
class QCheckBox;
class QPushButton;
class QStackedLayout;
class QTableWidget;
class QVBoxLayout;

class AdvancedInsertController : public InsertController {
    Q_OBJECT
public:
    static AdvancedInsertController& sharedInstance();
    AdvancedInsertController();
    ~AdvancedInsertController() override;

    QString helpKey() const override;

    void next();
    void back();
    void insert();
    /// Back to step 1.
    void resetValues();

    /// 1 while the element list shows, 2 while an attribute table does.
    int step() const { return m_step; }
    AttributeTableManager* manager() const { return m_manager.get(); }
    QTableWidget* tagSelectTableView() const { return m_tagSelectTableView; }

protected:
    void loadWindow(QDialog* window) override;
    void windowWillClose() override;
    QString frameAutosaveName() const override { return QStringLiteral("KELAdvancedInsertPanel"); }

private:
    void reloadTagList();

    QStackedLayout* m_scrollView = nullptr;
    QVBoxLayout* m_attributeHolder = nullptr;
    QWidget* m_attributePage = nullptr;
    QTableWidget* m_tagSelectTableView = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QCheckBox* m_closeTagButton = nullptr;
    std::unique_ptr<AttributeTableManager> m_manager;
    int m_step = 1;
};
