// The report list view as a screen reader is given it: a table of its
// cells only (its column headings while its header shows), no row headers
// or corner button, a division's blank row a heading named by the picture
// over it.
//
// Divisions: cells, the table.

#include "platform/listview.h"

#include <QAccessibleWidget>

namespace platform::listview {

namespace {

// Cells

// A cell, or (row -1) a column heading while the header shows; the first
// cell of a division's blank row is that division's heading.
class CellAccessible : public PartAccessible, public QAccessibleTableCellInterface {
public:
    CellAccessible(ListView* view, int row, int column) : PartAccessible(view), m_row(row), m_column(column) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !isValid())
            return QString();
        if (m_row < 0)
            return View()->Model()->headerData(m_column, Qt::Horizontal, Qt::DisplayRole).toString();
        QString label = Index().data(Qt::AccessibleTextRole).toString();
        return label.isEmpty() ? Index().data().toString() : label;
    }

    QAccessible::Role role() const override
    {
        if (m_row < 0)
            return QAccessible::ColumnHeader;
        return isValid() && m_column == 0 && !Index().data(Qt::AccessibleTextRole).toString().isEmpty() ? QAccessible::Heading
                                                                                                      : QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !isValid() || !Owner()->isVisible();
        if (state.invisible)
            return state;
        state.offscreen = rect().isEmpty();  // scrolled out of the list
        state.selectable = m_row >= 0;
        state.selected = isSelected();
        state.focused = m_row >= 0 && View()->hasFocus() && View()->currentIndex() == Index();
        return state;
    }

    // Empty when it is scrolled out of the list, as a screen reader is told.
    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        if (m_row < 0) {
            QHeaderView* header = View()->horizontalHeader();
            return OnScreen(QRect(header->mapTo(View(), QPoint(header->sectionViewportPosition(m_column), 0)),
                                  QSize(header->sectionSize(m_column), header->height())));
        }
        QRect cell = View()->visualRect(Index());
        if (!cell.intersects(View()->viewport()->rect()))
            return QRect();
        return OnScreen(QRect(View()->viewport()->mapTo(View(), cell.topLeft()), cell.size()));
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface && m_row >= 0 ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    bool isSelected() const override
    {
        return isValid() && m_row >= 0 && View()->selectionModel()->isSelected(Index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        QAccessibleInterface* table = parent();
        return isValid() && View()->HeaderRows() && table ? QList<QAccessibleInterface*>{table->child(m_column)}
                                                          : QList<QAccessibleInterface*>();
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    ListView* View() const { return static_cast<ListView*>(Owner()); }
    QModelIndex Index() const { return View()->Model()->index(m_row, m_column); }

    int m_row;     // its row, -1 for a heading
    int m_column;  // its column
};

// The list as a table of its cells only: no hidden header's cells, no row
// headers, no corner button, as QTableView's interface would show.
class ListAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit ListAccessible(ListView* view) : QAccessibleWidget(view, QAccessible::Table) {}

    int childCount() const override
    {
        return (rowCount() + View()->HeaderRows()) * columnCount();
    }

    QAccessibleInterface* child(int number) const override
    {
        const int columns = columnCount();
        if (number < 0 || number >= childCount())
            return nullptr;
        return m_cells.Get(number, [&] { return new CellAccessible(View(), number / columns - View()->HeaderRows(), number % columns); });
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* cell = dynamic_cast<const CellAccessible*>(child);
        return cell && cell->Owner() == widget() ? View()->PartNumber(cell->rowIndex(), cell->columnIndex()) : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        QModelIndex index = View()->indexAt(View()->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : QAccessibleWidget::interface_cast(type);
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        return row >= 0 && row < rowCount() && column >= 0 && column < columnCount() ? child(View()->PartNumber(row, column)) : nullptr;
    }
    int selectedCellCount() const override { return static_cast<int>(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        for (const QModelIndex& index : View()->selectionModel()->selectedIndexes())
            cells.append(cellAt(index.row(), index.column()));
        return cells;
    }
    QString columnDescription(int column) const override
    {
        return View()->Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    }
    QString rowDescription(int) const override { return QString(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
    int columnCount() const override { return View()->Model()->columnCount(QModelIndex()); }
    int rowCount() const override { return View()->Model()->rowCount(QModelIndex()); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        for (const QModelIndex& index : View()->selectionModel()->selectedRows())
            rows.append(index.row());
        return rows;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return View()->selectionModel()->isRowSelected(row, QModelIndex()); }
    // The program neither sets nor reads a list's selection.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }

    // Rows or columns added or removed renumber the cells: they are made
    // again when next asked for.
    void modelChange(QAccessibleTableModelChangeEvent* event) override
    {
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            m_cells.Clear();
    }

private:
    ListView* View() const { return static_cast<ListView*>(widget()); }

    mutable PartInterfaces m_cells;  // the cells a screen reader has asked for
};

}  // namespace

QAccessibleInterface* ListAccessibleFor(ListView* view)
{
    return new ListAccessible(view);
}

}  // namespace platform::listview
