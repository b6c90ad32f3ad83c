#pragma once
// The Insert Meta Tag panel: composes one meta element (a name or http-equiv
// attribute, and a content text or a refresh after some seconds) and inserts it
// into the editor in front.

#include "htmlui/InsertController.h"

#include <QSpinBox>

class QButtonGroup;
class QComboBox;
class QLineEdit;

/// A seconds field whose typed value is pulled into its range at once instead
/// of being refused.
class KELClampedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
};

class MetaController : public InsertController {
    Q_OBJECT
public:
    static MetaController& sharedInstance();
    MetaController();

    QString helpKey() const override;

    /// The element as it will be inserted.
    QString metaTagString() const;
    void insertMetaTag();
    void cancelInsertMetaTag();
    void resetValues();

protected:
    void loadWindow(QDialog* window) override;
    void windowWillClose() override;
    QString frameAutosaveName() const override { return QStringLiteral("Meta"); }

private:
    QButtonGroup* m_metaContentType = nullptr;
    QComboBox* m_nameBox = nullptr;
    QComboBox* m_HTTPBox = nullptr;
    QButtonGroup* m_metaContentReceiver = nullptr;
    QLineEdit* m_contentTextField = nullptr;
    KELClampedSpinBox* m_timerField = nullptr;
    QLineEdit* m_timerURLField = nullptr;
    bool m_closing = false;
};
