#include "componentui/KELFileView.h"

#include "support/InterfaceHelpers.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QUrl>

namespace {
const QString Arrow = QStringLiteral(" ➞ ");
constexpr int IconSize = 16;
constexpr int IconGap = 3;
constexpr int HorizontalInset = 8;
constexpr int VerticalInset = 4;
/// The item's icon; where the desktop has no icon theme, the style's file or folder icon.
QIcon iconForComponent(const QString& path, bool folder)
{
    const QIcon icon = iconForPathOrGeneric(path);
    if (!icon.isNull())
        return icon;
    return QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
}
} // namespace

QStringList KELLocalFilePaths(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

// --- KELFileView

KELFileView::KELFileView(QWidget* parent) : QWidget(parent), m_font(QApplication::font())
{
    // The small system font: the application's font a little smaller.
    m_font.setPointSizeF(m_font.pointSizeF() * 0.85);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAccessibleDescription(NoneText);
}

KELFileView::~KELFileView()
{
    unbind(FileNameBinding);
}

void KELFileView::displayChanged()
{
    setToolTip(m_fileName);
    setAccessibleDescription(displayValue());
    updateGeometry();
    update();
}

void KELFileView::setMultiLine(bool on)
{
    if (m_multiLine == on)
        return;
    m_multiLine = on;
    displayChanged();
}

void KELFileView::setFileName(const QString& path)
{
    if (m_fileName == path)
        return;
    m_fileName = path;
    displayChanged();
}

void KELFileView::setDefaultText(const QString& text)
{
    if (m_defaultText == text)
        return;
    m_defaultText = text;
    displayChanged();
}

void KELFileView::setMaxComponents(int count)
{
    if (m_maxComponents == count)
        return;
    m_maxComponents = count;
    displayChanged();
}

void KELFileView::setTextFont(const QFont& font)
{
    if (m_font == font)
        return;
    m_font = font;
    displayChanged();
}

int KELFileView::lineHeight() const
{
    return qMax(IconSize, QFontMetrics(m_font).height());
}

int KELFileView::componentWidth(const Component& component) const
{
    return IconSize + IconGap + QFontMetrics(m_font).horizontalAdvance(component.name);
}

int KELFileView::arrowWidth() const
{
    return QFontMetrics(m_font).horizontalAdvance(Arrow);
}

QList<KELFileView::Component> KELFileView::displayComponents(int width) const
{
    QList<Component> all;
    if (m_fileName.isEmpty())
        return all;
    // Every component of the path, each with the icon of the item it names.
    const QStringList parts = m_fileName.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix = m_fileName.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral(".");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        prefix += QLatin1Char('/') + parts.at(i);
        const bool folder = i + 1 < parts.size() || QFileInfo(prefix).isDir();
        all.append({ parts.at(i), iconForComponent(prefix, folder) });
    }
    if (m_maxComponents > 0 && all.size() > m_maxComponents)
        all = all.mid(all.size() - m_maxComponents);
    if (m_multiLine || all.size() <= 1)
        return all;
    // On one line: leading components go until the rest fits, the last one always stays.
    const int available = (width < 0 ? this->width() : width) - 2 * HorizontalInset;
    while (all.size() > 1) {
        int needed = 0;
        for (const Component& component : std::as_const(all))
            needed += componentWidth(component);
        needed += arrowWidth() * int(all.size() - 1);
        if (needed <= available)
            break;
        all.removeFirst();
    }
    return all;
}

QString KELFileView::displayValue(int width) const
{
    const QList<Component> components = displayComponents(width);
    if (components.isEmpty())
        return m_defaultText;
    QStringList names;
    for (const Component& component : components)
        names << component.name;
    return names.join(m_multiLine ? QStringLiteral("\n") : Arrow);
}

QSize KELFileView::sizeToFitContents() const
{
    const QFontMetrics metrics(m_font);
    // Measured with all the components the view may show, as if it were wide enough.
    const QList<Component> components = displayComponents(QWIDGETSIZE_MAX / 2);
    QSize text;
    if (components.isEmpty()) {
        text = QSize(metrics.horizontalAdvance(m_defaultText), lineHeight());
    } else if (m_multiLine) {
        for (const Component& component : components)
            text.setWidth(qMax(text.width(), componentWidth(component)));
        text.setHeight(lineHeight() * int(components.size()));
    } else {
        for (const Component& component : components)
            text.rwidth() += componentWidth(component);
        text.rwidth() += arrowWidth() * int(components.size() - 1);
        text.setHeight(lineHeight());
    }
    return text + QSize(2 * HorizontalInset, 2 * VerticalInset);
}

QSize KELFileView::sizeHint() const
{
    return sizeToFitContents();
}

QSize KELFileView::minimumSizeHint() const
{
    // One line less wide than the whole: the single-line view drops leading components.
    const QSize fit = sizeToFitContents();
    if (m_multiLine)
        return QSize(qMin(fit.width(), 120), fit.height());
    return QSize(qMin(fit.width(), 100), fit.height());
}

void KELFileView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_dragIsHovering) {
        // The frame that says a drop will be taken.
        const QRectF frame = QRectF(rect()).adjusted(2, 2, -2, -2);
        const qreal radius = qMin<qreal>(8, qMin(frame.width(), frame.height()) / 2);
        QPainterPath path;
        path.addRoundedRect(frame, radius, radius);
        painter.fillPath(path, QColor::fromRgbF(0.808f, 0.867f, 0.973f));
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPath(path);
    }
    painter.setFont(m_font);
    const QRect area = rect().adjusted(HorizontalInset, VerticalInset, -HorizontalInset, -VerticalInset);
    const QList<Component> components = displayComponents();
    if (components.isEmpty()) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_defaultText);
        return;
    }
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QFontMetrics metrics(m_font);
    const int line = lineHeight();
    int x = area.left();
    int y = m_multiLine ? area.top() : area.top() + (area.height() - line) / 2;
    for (qsizetype i = 0; i < components.size(); ++i) {
        const Component& component = components.at(i);
        if (i > 0 && m_multiLine) {
            x = area.left();
            y += line;
        } else if (i > 0) {
            painter.drawText(QRect(x, y, arrowWidth(), line), Qt::AlignLeft | Qt::AlignVCenter, Arrow);
            x += arrowWidth();
        }
        component.icon.paint(&painter, QRect(x, y + (line - IconSize) / 2, IconSize, IconSize));
        x += IconSize + IconGap;
        const QString name = metrics.elidedText(component.name, Qt::ElideMiddle, qMax(0, area.right() - x));
        painter.drawText(QRect(x, y, area.right() - x + 1, line), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += metrics.horizontalAdvance(component.name);
    }
}

void KELFileView::changeEvent(QEvent* event)
{
    // A view taken out of its window lets go of what it shows.
    if (event->type() == QEvent::ParentChange && !parentWidget())
        unbind(FileNameBinding);
    QWidget::changeEvent(event);
}

bool KELFileView::bind(const QString& binding, const kit::KeyValueObjectPtr& object, const QString& keyPath)
{
    if (binding != FileNameBinding || !object)
        return false;
    unbind(FileNameBinding);
    m_boundObject = object;
    m_boundKeyPath = keyPath;
    const auto read = [this](const QVariant& value) {
        // Anything but a path (a list, an object, nothing) shows as none.
        setFileName(value.metaType().id() == QMetaType::QString ? value.toString() : QString());
    };
    m_boundToken = object->addObserver(keyPath, [this, read](const kit::KeyValueChange&) {
        if (const auto bound = m_boundObject.lock())
            read(bound->valueForKeyPath(m_boundKeyPath));
        update();
    });
    read(object->valueForKeyPath(keyPath));
    return true;
}

void KELFileView::unbind(const QString& binding)
{
    if (binding != FileNameBinding)
        return;
    if (m_boundToken >= 0) {
        if (const auto bound = m_boundObject.lock())
            bound->removeObserver(m_boundToken);
    }
    m_boundToken = -1;
    m_boundObject.reset();
    m_boundKeyPath.clear();
    update();
}

bool KELFileView::acceptsDrop(const QStringList& paths) const
{
    if (!m_editable || paths.isEmpty())
        return false;
    return !shouldAcceptDropForFileName || shouldAcceptDropForFileName(paths.first());
}

void KELFileView::setDragIsHovering(bool on)
{
    if (m_dragIsHovering == on)
        return;
    m_dragIsHovering = on;
    update();
}

void KELFileView::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptsDrop(KELLocalFilePaths(event->mimeData()))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        setDragIsHovering(true);
    } else {
        event->ignore();
    }
}

void KELFileView::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptsDrop(KELLocalFilePaths(event->mimeData()))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KELFileView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDragIsHovering(false);
    QWidget::dragLeaveEvent(event);
}

void KELFileView::dropEvent(QDropEvent* event)
{
    setDragIsHovering(false);
    const QStringList paths = KELLocalFilePaths(event->mimeData());
    if (!acceptsDrop(paths)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setFileName(paths.first());
    if (const auto bound = m_boundObject.lock())
        bound->setValueForKeyPath(m_boundKeyPath, paths.first());
    Q_EMIT fileDropped(paths.first());
}

// --- KELURLFormatter

std::optional<QString> KELURLFormatter::stringForObjectValue(const QVariant& value)
{
    if (value.metaType().id() != QMetaType::QUrl)
        return std::nullopt;
    const QUrl url = value.toUrl();
    if (url.isLocalFile())
        return QFileInfo(url.toLocalFile()).fileName();
    return url.toString(QUrl::FullyEncoded);
}

QIcon KELURLFormatter::iconForObjectValue(const QVariant& value)
{
    if (value.metaType().id() != QMetaType::QUrl || !value.toUrl().isLocalFile())
        return QIcon();
    const QString path = value.toUrl().toLocalFile();
    return iconForComponent(path, QFileInfo(path).isDir());
}
