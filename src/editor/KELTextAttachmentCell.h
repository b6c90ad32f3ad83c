#pragma once
// An inline picture in rich tooltip text, with a baseline offset (the gutter's marker
// icons sit one point lower on the text line).

#include <QPointF>

class KELTextAttachmentCell {
public:
    static KELTextAttachmentCell textAttachmentCell() { return KELTextAttachmentCell(); }
    double baselineOffset() const { return m_baselineOffset; }
    void setBaselineOffset(double offset) { m_baselineOffset = offset; }
    QPointF cellBaselineOffset() const { return QPointF(0.0, m_baselineOffset); }

private:
    double m_baselineOffset = 0.0;
};
