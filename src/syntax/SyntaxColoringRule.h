#pragma once
// One colouring rule of a style: the colour group it belongs to, its default
// colour, and the structure paths that say what it colours.

#include <QColor>
#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;
class SyntaxStructure;

class SyntaxColoringRule
{
public:
    SyntaxColoringRule() = default;
    explicit SyntaxColoringRule(const SyntaxXMLNode& node);
    ~SyntaxColoringRule();

    const QString& name() const { return m_name; }
    const QColor& defaultColor() const { return m_defaultColor; }
    const std::vector<std::unique_ptr<SyntaxStructure>>& applyStructures() const { return m_applyStructures; }
    const std::vector<std::unique_ptr<SyntaxStructure>>& matchStructures() const { return m_matchStructures; }
    bool applyInvalid() const { return m_applyInvalid; }
    /// A rule without apply and match structures colours plain text.
    bool isTextRule() const { return m_applyStructures.empty() && m_matchStructures.empty(); }

    void setName(const QString& n) { m_name = n; }
    void setDefaultColor(const QColor& c) { m_defaultColor = c; }
    void setApplyStructures(std::vector<std::unique_ptr<SyntaxStructure>> s);
    void setMatchStructures(std::vector<std::unique_ptr<SyntaxStructure>> s);
    void setApplyInvalid(bool v) { m_applyInvalid = v; }

private:
    QString m_name;
    QColor m_defaultColor = QColor::fromRgbF(0, 0, 0, 1);
    std::vector<std::unique_ptr<SyntaxStructure>> m_applyStructures;
    std::vector<std::unique_ptr<SyntaxStructure>> m_matchStructures;
    bool m_applyInvalid = false;
};
