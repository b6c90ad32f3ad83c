#pragma once
// The variables of a component definition: read-only models of the inputs the
// user fills in. The editors hold the values; these say what each input is, its
// defaults and limits. The kinds are small and only meaningful together, so they
// share this header.

#include "components/KELComponentExpression.h"
#include "components/KELFormatter.h"
#include "support/KELXMLNode.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class KELComponentSelectOption {
public:
    explicit KELComponentSelectOption(const KELXMLNode& node);
    const QString& name() const { return m_name; }
    const QString& value() const { return m_value; }
    bool isDefault() const { return m_isDefault; }

private:
    QString m_name;
    QString m_value;
    bool m_isDefault = false;
};

class KELComponentTableColumn {
public:
    explicit KELComponentTableColumn(const KELXMLNode& node);
    const QString& keyPath() const { return m_keyPath; }
    const QString& name() const { return m_name; }
    std::optional<qint64> width() const { return m_width; }
    void setKeyPath(const QString& keyPath) { m_keyPath = keyPath; }
    void setName(const QString& name) { m_name = name; }
    void setWidth(std::optional<qint64> width) { m_width = width; }

private:
    QString m_keyPath;
    QString m_name;
    std::optional<qint64> m_width;
};

class KELComponentVariable {
public:
    virtual ~KELComponentVariable();

    /// The variable an element describes, by the element's name; null for an unknown name.
    static std::unique_ptr<KELComponentVariable> variableWithNode(const KELXMLNode& node);
    /// The class name of a variable element's kind ("KELComponentTextVariable"); empty for none.
    static QString concreteSubclassForVarName(const QString& elementName);
    /// This variable's class name (what the editors are chosen by).
    const QString& className() const { return m_className; }

    const KELComponentExpression* nameExpression() const { return m_nameExpression.get(); }
    const std::optional<QString>& varName() const { return m_varName; }
    const KELComponentExpression* enabledExpression() const { return m_enabledExpression.get(); }
    const KELComponentExpression* hiddenExpression() const { return m_hiddenExpression.get(); }
    const QStringList& keyPathDependencies() const { return m_keyPathDependencies; }
    const KELFormatter* formatter() const { return m_formatter.get(); }

protected:
    KELComponentVariable() = default;
    void initVariableWithNode(const KELXMLNode& node);
    /// The kind's own attributes.
    virtual void readAttributes(const KELXMLNode&) { }
    /// A child element; the base takes "dependency" and "formatter" and logs the rest.
    virtual void readChildNode(const KELXMLNode& node);
    QString keyForLog() const { return m_varName.value_or(QString()); }

    QString m_className;
    std::unique_ptr<KELComponentExpression> m_nameExpression;
    std::optional<QString> m_varName;
    std::unique_ptr<KELComponentExpression> m_enabledExpression;
    std::unique_ptr<KELComponentExpression> m_hiddenExpression;
    QStringList m_keyPathDependencies;
    std::unique_ptr<KELFormatter> m_formatter;
};

class KELComponentVariableGroup : public KELComponentVariable {
public:
    enum GroupType { Regular = 0, Scrolling = 1, Accordion = 2, Collapsible = 3 };
    const std::vector<std::unique_ptr<KELComponentVariable>>& variables() const { return m_variables; }
    GroupType groupType() const { return m_groupType; }

protected:
    void readAttributes(const KELXMLNode& node) override;
    void readChildNode(const KELXMLNode& node) override;

private:
    std::vector<std::unique_ptr<KELComponentVariable>> m_variables;
    GroupType m_groupType = Regular;
};

class KELComponentSelectVariable : public KELComponentVariable {
public:
    const QList<KELComponentSelectOption>& options() const { return m_options; }
    /// The first option marked default, else the first option; none without options.
    const KELComponentSelectOption* defaultOption() const;

protected:
    void readChildNode(const KELXMLNode& node) override;
    QList<KELComponentSelectOption> m_options;
};

class KELComponentTextVariable : public KELComponentVariable {
public:
    const KELComponentExpression* defaultExpression() const { return m_defaultExpression.get(); }
    qint64 lines() const { return m_lines; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::unique_ptr<KELComponentExpression> m_defaultExpression;
    qint64 m_lines = 1;
};

class KELComponentFontVariable : public KELComponentVariable {
public:
    const std::optional<QString>& defaultFontName() const { return m_defaultFontName; }
    std::optional<qint64> defaultFontSize() const { return m_defaultFontSize; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::optional<QString> m_defaultFontName;
    std::optional<qint64> m_defaultFontSize;
};

class KELComponentColorVariable : public KELComponentVariable {
public:
    const KELComponentExpression* defaultValueExpression() const { return m_defaultValueExpression.get(); }
    bool opacity() const { return m_opacity; }
    std::optional<qint64> defaultOpacity() const { return m_defaultOpacity; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::unique_ptr<KELComponentExpression> m_defaultValueExpression;
    bool m_opacity = false;
    std::optional<qint64> m_defaultOpacity;
};

class KELComponentCountVariable : public KELComponentVariable {
public:
    const std::optional<QString>& unitLabel() const { return m_unitLabel; }
    std::optional<qint64> defaultCount() const { return m_defaultCount; }
    std::optional<qint64> minCount() const { return m_minCount; }
    std::optional<qint64> maxCount() const { return m_maxCount; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::optional<QString> m_unitLabel;
    std::optional<qint64> m_defaultCount, m_minCount, m_maxCount;
};

class KELComponentDimensionCountVariable : public KELComponentCountVariable {
public:
    const QList<KELComponentSelectOption>& options() const { return m_options; }
    const KELComponentSelectOption* defaultOption() const;

protected:
    void readChildNode(const KELXMLNode& node) override;

private:
    QList<KELComponentSelectOption> m_options;
};

class KELComponentIndexedVariable : public KELComponentVariable {
public:
    enum IndexedType { Regular = 0, Collapsible = 1, Dropdown = 2, None = 3 };
    /// Always present; without the attribute it evaluates to nil.
    const KELComponentExpression* countExpression() const { return m_countExpression.get(); }
    IndexedType indexedType() const { return m_indexedType; }
    /// The variable repeated count times.
    const KELComponentVariable* indexedVariable() const { return m_indexedVariable.get(); }

protected:
    void readAttributes(const KELXMLNode& node) override;
    void readChildNode(const KELXMLNode& node) override;

private:
    std::unique_ptr<KELComponentExpression> m_countExpression;
    IndexedType m_indexedType = None;
    std::unique_ptr<KELComponentVariable> m_indexedVariable;
};

class KELComponentTableVariable : public KELComponentIndexedVariable {
public:
    const QList<KELComponentTableColumn>& columns() const { return m_columns; }
    bool showDetail() const { return m_showDetail; }
    bool smallSize() const { return m_smallSize; }
    std::optional<qint64> rowHeight() const { return m_rowHeight; }

protected:
    void readAttributes(const KELXMLNode& node) override;
    void readChildNode(const KELXMLNode& node) override;

private:
    QList<KELComponentTableColumn> m_columns;
    bool m_showDetail = true;
    bool m_smallSize = false;
    std::optional<qint64> m_rowHeight;
};

class KELComponentFileVariable : public KELComponentVariable { };

class KELComponentImageFileVariable : public KELComponentFileVariable {
public:
    const KELComponentExpression* defaultMaxWidthExpression() const { return m_defaultMaxWidthExpression.get(); }
    const KELComponentExpression* defaultMaxHeightExpression() const { return m_defaultMaxHeightExpression.get(); }
    bool useDefaultImage() const { return m_useDefaultImage; }
    bool showDimensions() const { return m_showDimensions; }
    std::optional<qint64> defaultWidth() const { return m_defaultWidth; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::unique_ptr<KELComponentExpression> m_defaultMaxWidthExpression;
    std::unique_ptr<KELComponentExpression> m_defaultMaxHeightExpression;
    bool m_useDefaultImage = false;
    bool m_showDimensions = true;
    std::optional<qint64> m_defaultWidth;
};

class KELComponentCheckboxVariable : public KELComponentVariable {
public:
    bool defaultValue() const { return m_defaultValue; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    bool m_defaultValue = false;
};

class KELComponentSliderVariable : public KELComponentVariable {
public:
    const std::optional<QString>& unitLabel() const { return m_unitLabel; }
    std::optional<qint64> defaultValue() const { return m_defaultValue; }
    std::optional<qint64> minValue() const { return m_minValue; }
    std::optional<qint64> maxValue() const { return m_maxValue; }
    std::optional<qint64> incrementAmount() const { return m_incrementAmount; }

protected:
    void readAttributes(const KELXMLNode& node) override;

private:
    std::optional<QString> m_unitLabel;
    std::optional<qint64> m_defaultValue, m_minValue, m_maxValue, m_incrementAmount;
};
