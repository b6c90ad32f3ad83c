#pragma once
// The Code Clips window: the groups on the left, the selected group's clips on
// the right, and the selected clip's completion name, shortcut and content below.
// Every edit goes straight to the store; groups and clips are reordered, moved
// and copied by dragging, and clips dragged into a document are inserted there.

#include "html/KELCodeClip.h"
#include "html/KELCodeClipsManager.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class KELCodeClipsController;
class KELCodeClipsManager;

/// The rows of one table: all groups, or the clips of one group.
class KELCodeClipTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    KELCodeClipTableModel(bool groups, KELCodeClipsController* controller);
    /// Re-reads the rows from the store.
    void reload();
    qint64 idAtRow(int row) const { return row >= 0 && row < m_ids.size() ? m_ids.at(row) : 0; }
    int rowOfId(qint64 id) const { return int(m_ids.indexOf(id)); }
    const QList<qint64>& ids() const { return m_ids; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_ids.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) override;

private:
    bool m_groups;
    KELCodeClipsController* m_controller;
    QList<qint64> m_ids;
};

/// Both tables: Delete removes (with a question), Left and Right move between them,
/// and clips hovering a group select it after a moment.
class KELCodeClipAbstractTableView : public QTableView
{
    Q_OBJECT
public:
    KELCodeClipAbstractTableView(bool groups, KELCodeClipsController* controller, QWidget* parent);
    /// The row that a clip drag has hovered and that is selected when the timer fires; -1 none.
    int springLoadedSelectRow() const { return m_springRow; }
    void performSpringLoadedSelect();
    void cancelSpringLoadedSelect();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool m_groups;
    KELCodeClipsController* m_controller;
    QTimer m_springTimer;
    int m_springRow = -1;
};

class KELCodeClipsController : public QWidget
{
    Q_OBJECT
public:
    static KELCodeClipsController& sharedInstance();

    void manageCodeClips();
    void newClip();
    /// The selected text of the front document (none without a document).
    void newClipFromSelection(const std::optional<QString>& selection);
    void newClipWithContent(const std::optional<QString>& content);
    void insertSelectionPlaceholder();

    qint64 selectedGroupId() const;
    QList<qint64> selectedGroupIds() const;
    qint64 selectedClipId() const;
    QList<qint64> selectedClipIds() const;
    void selectGroup(qint64 id);
    void selectClip(qint64 id);

    /// The questions before removing; beeps when the default group is selected.
    void removeSelectedGroups();
    void removeSelectedClips();
    void addGroup();
    void addClip();
    /// Whether the selected groups may be removed (the default group never).
    bool canRemoveGroups() const;

    // Drops (row -1: the end).
    bool dropClips(const QVariantList& archives, const QList<qint64>& ids, qint64 groupId, int row, bool copy);
    bool dropGroups(const QVariantList& archives, const QList<qint64>& ids, int row, bool copy);

    KELCodeClipAbstractTableView* groupsTableView() const { return m_groupsView; }
    KELCodeClipAbstractTableView* clipsTableView() const { return m_clipsView; }
    KELCodeClipTableModel* groupsModel() const { return m_groupsModel; }
    KELCodeClipTableModel* clipsModel() const { return m_clipsModel; }
    QLineEdit* completionNameTextField() const { return m_completionName; }
    QComboBox* commandPopUpButton() const { return m_command; }
    QPlainTextEdit* clipContentTextView() const { return m_content; }
    QPushButton* removeGroupButton() const { return m_removeGroup; }
    QPushButton* addClipButton() const { return m_addClip; }
    /// Says why changes to clips are not being kept; hidden while all is well.
    QLabel* storeProblemLabel() const { return m_storeProblem; }

    /// Hands the content being typed to the store at once (it otherwise goes a
    /// moment after the last key).
    void commitContent();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    KELCodeClipsController();
    void reload();
    void groupSelectionChanged();
    void clipSelectionChanged();
    void updateDetail();
    void updateStoreProblem();
    bool ask(const QString& title);

    KELCodeClipTableModel* m_groupsModel = nullptr;
    KELCodeClipTableModel* m_clipsModel = nullptr;
    KELCodeClipAbstractTableView* m_groupsView = nullptr;
    KELCodeClipAbstractTableView* m_clipsView = nullptr;
    QPushButton* m_addGroup = nullptr;
    QPushButton* m_removeGroup = nullptr;
    QPushButton* m_addClip = nullptr;
    QPushButton* m_removeClip = nullptr;
    QPushButton* m_placeholder = nullptr;
    QLineEdit* m_completionName = nullptr;
    QComboBox* m_command = nullptr;
    QPlainTextEdit* m_content = nullptr;
    QLabel* m_storeProblem = nullptr;
    QTimer m_contentTimer;
    bool m_contentPending = false;
    QPointer<KELCodeClipsManager> m_store;
    qint64 m_detailClip = 0;
    bool m_updating = false;
};
