// What the list view's files share (not for other rooms): the model that
// reads the control's cells and the Qt table view that shows them, and
// the screen reader's table made for a view.
#pragma once

#include "platform/accessible.h"
#include "platform/controls.h"
#include "platform/window.h"

#include <QAbstractTableModel>
#include <QAccessible>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace platform::listview {

constexpr int kListRowHeight = 14;  // handheld pixels per list view row

// What a picture over a blank row, still there, names that row.
inline QString LabelWords(WindowObject* picture)
{
    return IsLiveWindow(picture) ? ControlWords(picture) : QString();
}

// The model

// The report list view's cells, read straight from the control's rows.
class ListModel : public QAbstractTableModel {
public:
    explicit ListModel(ControlData* data) : m_data(data) {}

    // The rows the view has been told of; rows changed while it was hidden
    // wait in the control's data until Publish.
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_rowCount;
    }

    // The columns the view has been told of; columns added since wait in
    // the control's data until PublishColumns.
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_columnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (static_cast<size_t>(index.row()) >= m_data->rows.size())
            return {};
        if (role == Qt::DisplayRole) {
            const auto& row = m_data->rows[static_cast<size_t>(index.row())];
            size_t column = static_cast<size_t>(index.column());
            return column < row.size() ? Q(row[column]) : QString();
        }
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(Alignment(index.column()) | Qt::AlignVCenter);
        // A blank row under a picture (a division's header) is read as the
        // picture's words.
        if (role == Qt::AccessibleTextRole && index.column() == 0 && BlankRow(index.row())) {
            auto label = m_data->rowLabels.find(index.row());
            return label != m_data->rowLabels.end() ? LabelWords(label->second) : QString();
        }
        return {};
    }

    bool BlankRow(int row) const
    {
        if (row < 0 || static_cast<size_t>(row) >= m_data->rows.size())
            return false;
        const auto& cells = m_data->rows[static_cast<size_t>(row)];
        return std::all_of(cells.begin(), cells.end(), [](const std::wstring& cell) { return cell.empty(); });
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section >= static_cast<int>(m_data->columns.size()))
            return {};
        if (role == Qt::DisplayRole)
            return Q(m_data->columns[static_cast<size_t>(section)].text);
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(Alignment(section) | Qt::AlignVCenter);
        return {};
    }

    // Rows and columns change only through these, so the view keeps up.
    void Reset(const std::function<void()>& change)
    {
        beginResetModel();
        change();
        m_rowCount = static_cast<int>(m_data->rows.size());
        m_rowsUnseen = false;
        endResetModel();
    }

    // Rows changed in the data while the view was hidden: it is told of
    // them in one reset when it is next shown or asked (Publish), rather
    // than of each change (a schedule file is thousands of cells).
    void ChangedUnseen()
    {
        m_rowsUnseen = true;
    }

    // Columns are added to the data at once but reach the view in one reset
    // later (ListView::AddColumn): each insertion told on its own makes the
    // view measure every header section again, quadratic in the columns.
    // True for the first column added since the view was last told.
    bool AddColumn(int at, ListColumn column)
    {
        m_data->columns.insert(m_data->columns.begin() + at, std::move(column));
        bool first = !m_columnsPending;
        m_columnsPending = true;
        return first;
    }

    // Tells the view of the columns added and the rows changed unseen since
    // the last time; true when there were columns.
    bool Publish()
    {
        bool columns = m_columnsPending;
        if (!columns && !m_rowsUnseen)
            return false;
        beginResetModel();
        m_columnCount = static_cast<int>(m_data->columns.size());
        m_rowCount = static_cast<int>(m_data->rows.size());
        m_columnsPending = m_rowsUnseen = false;
        endResetModel();
        return columns;
    }

    void InsertRow(int row, std::vector<std::wstring> cells)
    {
        beginInsertRows(QModelIndex(), row, row);
        m_data->rows.insert(m_data->rows.begin() + row, std::move(cells));
        ++m_rowCount;
        endInsertRows();
    }

    const ControlData& Data() const
    {
        return *m_data;
    }

    void CellChanged(int row, int column)
    {
        QModelIndex cell = index(row, column);
        emit dataChanged(cell, cell);
    }

private:
    Qt::Alignment Alignment(int column) const
    {
        int format = m_data->columns[static_cast<size_t>(column)].format & 3;
        return format == LVCFMT_RIGHT ? Qt::AlignRight : format == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
    }

    ControlData* m_data;             // the control's columns and rows
    int m_columnCount = 0;           // columns the view knows of
    int m_rowCount = 0;              // rows the view knows of
    bool m_columnsPending = false;   // columns added that the view does not know of
    bool m_rowsUnseen = false;       // rows changed that the view does not know of
};

// The view

// The report list view: columns added while it is hidden reach it once the
// messages being handled are done, rows changed while it is hidden once it
// is shown; either sooner when a message needs the view (see
// ListViewMessage).
class ListView : public QTableView {
public:
    ListView(WindowObject* control, ListModel* model, QWidget* parent) : QTableView(parent), m_control(control), m_model(model)
    {
        m_model->setParent(this);
        setModel(m_model);
    }

    void AddColumn(int at, ListColumn column)
    {
        bool first = m_model->AddColumn(at, std::move(column));
        if (isVisible())
            Publish();
        else if (first)
            QTimer::singleShot(0, this, [this] { Publish(); });
    }

    // Hands the view the columns added since, with their widths, and the
    // rows changed while it was hidden.
    void Publish()
    {
        if (!m_model->Publish())
            return;
        const ControlData& data = m_model->Data();
        for (size_t i = 0; i < data.columns.size(); ++i)
            setColumnWidth(static_cast<int>(i), data.columns[i].width * kScale);
        NameControl(m_control);
    }

    ListModel* Model() const
    {
        return m_model;
    }

    // A screen reader's number for a cell (row -1: a heading): the header's
    // cells first while it shows, then the rows, each column in turn.
    int HeaderRows() const
    {
        return horizontalHeader()->isHidden() ? 0 : 1;
    }
    int PartNumber(int row, int column) const
    {
        return (row + HeaderRows()) * m_model->columnCount(QModelIndex()) + column;
    }

protected:
    // The current cell and the selection are told to a screen reader by
    // this list's numbering of its cells (QTableView's counts header cells
    // that are not shown).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QAbstractItemView::currentChanged(current, previous);
        Announce(QAccessible::Focus, current);
    }
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override
    {
        QAbstractItemView::selectionChanged(selected, deselected);
        Announce(QAccessible::SelectionRemove, deselected.indexes().value(0));
        Announce(QAccessible::SelectionAdd, selected.indexes().value(0));
    }

    void showEvent(QShowEvent* event) override
    {
        Publish();
        QTableView::showEvent(event);
    }

    // Focus marks no cell as current: the keys scroll the list, they do not
    // move through its cells.
    void focusInEvent(QFocusEvent* event) override
    {
        QAbstractScrollArea::focusInEvent(event);
    }

    // Arrows, the page keys, Home and End scroll the list; nothing is
    // selected by them.
    void keyPressEvent(QKeyEvent* event) override
    {
        static const struct {
            int key;                             // the key pressed
            QAbstractSlider::SliderAction action; // what the scroll bar does
        } kScrollKeys[] = {
            {Qt::Key_Up, QAbstractSlider::SliderSingleStepSub},
            {Qt::Key_Down, QAbstractSlider::SliderSingleStepAdd},
            {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub},
            {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
            {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
            {Qt::Key_End, QAbstractSlider::SliderToMaximum},
        };
        for (const auto& entry : kScrollKeys) {
            if (event->key() == entry.key && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                Publish();
                doItemsLayout();  // the range follows rows added since the last paint
                int top = rowAt(0);
                verticalScrollBar()->triggerAction(entry.action);
                MoveCurrentRow(event->key(), std::max(rowAt(0), 0) - std::max(top, 0));
                return;
            }
        }
        QTableView::keyPressEvent(event);
    }

    // The row at the keyboard's position becomes the current one, so that a
    // screen reader says it: it moves as the key moves (Home and End to the
    // ends, the page keys by the rows scrolled), and stays in view. The
    // program is told nothing: it sets and reads no selection of a list.
    void MoveCurrentRow(int key, int scrolled)
    {
        const int rows = m_model->rowCount(QModelIndex());
        if (rows == 0)
            return;
        int row = currentIndex().isValid() ? currentIndex().row() : std::max(rowAt(0), 0) - (key == Qt::Key_Down ? 1 : 0);
        if (key == Qt::Key_Home)
            row = 0;
        else if (key == Qt::Key_End)
            row = rows - 1;
        else if (key == Qt::Key_Up || key == Qt::Key_Down)
            row += key == Qt::Key_Down ? 1 : -1;
        else
            row += scrolled;
        row = std::clamp(row, 0, rows - 1);
        int first = std::max(rowAt(0), 0), last = rowAt(viewport()->height() - 1);
        if (last >= 0)
            row = std::clamp(row, first, last);
        selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private:
    void Announce(QAccessible::Event type, const QModelIndex& index)
    {
        if (!index.isValid() || !QAccessible::isActive())
            return;
        QAccessibleEvent event(this, type);
        event.setChild(PartNumber(index.row(), index.column()));
        QAccessible::updateAccessibility(&event);
    }

    WindowObject* m_control;  // the list view control it shows
    ListModel* m_model;       // the control's cells, owned by the view
};

// The list as a screen reader is given it (listaccess.cpp).
QAccessibleInterface* ListAccessibleFor(ListView* view);

}  // namespace platform::listview
