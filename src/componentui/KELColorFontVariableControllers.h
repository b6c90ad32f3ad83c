#pragma once
// The colour and font editors, and the small CSS rule the font editor hands to
// the templates ("css").

#include "componentui/KELVariableController.h"
#include "componentui/KELVariableViews.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;

struct KELCSSDeclaration {
    QString property;
    QString value;
    /// "property: value;".
    QString text() const { return QStringLiteral("%1: %2;").arg(property, value); }
};

/// A CSS rule: selectors and declarations, as a value the templates print.
class KELCSSRule : public kit::KeyValueObject {
public:
    QStringList selectors;
    QList<KELCSSDeclaration> declarations;
    /// Type 1: one declaration a line, indented; any other type: on one line.
    QString textWithType(int type) const;
    QString shortText() const { return textWithType(0); }
    QString fullText() const { return textWithType(1); }
    QVariant value(const QString& key) const override;
    QString description() const override { return shortText(); }
};

class KELColorVariableController : public KELVariableController {
public:
    explicit KELColorVariableController(const KELComponentVariable& variable);
    const KELComponentColorVariable& colorVariable() const;

    /// The colour the text stands for: a colour name's value, else the text read
    /// as "#rrggbb" or "#rgb"; white for anything else.
    static QColor colorForValue(const QString& value);
    /// "rgba(r, g, b, a)" with the opacity in percent.
    static QString rgbaText(const QColor& color, qint64 opacity);
    QColor color() const { return colorForValue(m_value); }
    qint64 opacity() const { return m_opacity; }

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    KELComponentComboBox* colorComboBox() const { return m_comboBox; }
    QSlider* opacitySlider() const { return m_opacitySlider; }

protected:
    void initInternal(KELVariableController* root, KELVariableController* parent) override;
    QWidget* makeView() override;

private:
    void updateControls();
    QString m_value;
    qint64 m_opacity = 100;
    QPointer<KELComponentComboBox> m_comboBox;
    QPointer<QPushButton> m_colorWell;
    QPointer<QSlider> m_opacitySlider;
    QPointer<QLabel> m_opacityLabel;
};

class KELFontVariableController : public KELVariableController {
public:
    explicit KELFontVariableController(const KELComponentVariable& variable);
    ~KELFontVariableController() override;
    const KELComponentFontVariable& fontVariable() const;

    /// The CSS family names offered; with installedOnly, those the desktop has a font for.
    static QStringList cssFontNames(bool installedOnly = false);
    /// A family name as CSS writes it: plain identifiers as they are, anything
    /// else quoted with its quotes and backslashes escaped.
    static QString cssFamily(const QString& family);
    /// The rule for the editor's current choice; null without any declaration.
    std::shared_ptr<KELCSSRule> css() const;
    QVariant selectedFontSizeInPixels() const;

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    void controllerWillClose() override;

    /// Opens the font dialog for this editor; its choice reaches only the editor
    /// that opened it last.
    void selectFont();
    /// What the font dialog chose (ignored unless this editor opened it last).
    void changeTextFont(const QFont& font, const KELFontVariableController* opener);
    static const KELFontVariableController* fontDialogOwner();

    QComboBox* fontTypePopUp() const { return m_typePopUp; }
    KELComponentComboBox* familyComboBox() const { return m_familyComboBox; }

protected:
    QWidget* makeView() override;

private:
    void setKeyValue(const QString& key, const QVariant& value);
    void updateControls();
    int m_selectedViewIndex = 0;
    std::optional<QFont> m_selectedSystemFont;
    QString m_family;
    double m_size = 0;
    int m_sizeType = 0;
    bool m_bold = false;
    bool m_italic = false;
    QPointer<QComboBox> m_typePopUp;
    QPointer<QStackedWidget> m_panes;
    QPointer<QLabel> m_displayFont;
    QPointer<KELComponentComboBox> m_familyComboBox;
    QPointer<QDoubleSpinBox> m_sizeField;
    QPointer<QComboBox> m_sizeTypePopUp;
    QPointer<QCheckBox> m_boldBox;
    QPointer<QCheckBox> m_italicBox;
};
