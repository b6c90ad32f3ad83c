#pragma once
// The panel that asks, item by item, whether an existing item at the
// destination of a move or copy may be replaced.

#include "app/FilePair.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QCheckBox;
#include <QDialog>
class QLabel;
class QPushButton;

class ReplaceFileController : public QObject {
    Q_OBJECT
public:
    /// At least one pair. The controller deletes itself when its panel closes.
    explicit ReplaceFileController(const QList<FilePair>& pairs);
    ~ReplaceFileController() override;

    void showWindow();
    QDialog* window() const { return m_panel; }
    const QList<FilePair>& filePairs() const { return m_pairs; }
    QString questionText() const;
    QCheckBox* applyAllButton() const { return m_applyAll; }

    void replace();
    void dontReplace();
    void stop();
    /// Replaces one pair (the old item is set aside until the new one is in
    /// place); a failure is reported in the "Copy Failed" alert.
    bool doReplace(const FilePair& pair);
    void updateText();

    /// The question for a pair, by the items' modification dates.
    static QString questionForPair(const FilePair& pair);

Q_SIGNALS:
    void finished();

private:
    void close();

    QList<FilePair> m_pairs;
    QPointer<QDialog> m_panel;
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QCheckBox* m_applyAll = nullptr;
    QPushButton* m_dontReplace = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_replace = nullptr;
    bool m_closed = false;
};
