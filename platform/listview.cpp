// The report list view: columns, rows and cells kept in the control's data
// and shown by a Qt table view, with the messages the program sends it and
// the scrolling the inspector asks for. To a screen reader it is a table of
// its cells (its headings while its header shows), a division's blank row
// a heading named by the picture over it.
//
// Divisions: the model, the view, a screen reader's table, messages,
// scrolling, the entry.

#include "platform/accessible.h"
#include "platform/controls.h"
#include "platform/window.h"

#include <QAbstractTableModel>
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cwchar>
#include <functional>

namespace platform {

namespace {

constexpr int kListRowHeight = 14;  // handheld pixels per list view row

// What a picture over a blank row, still there, names that row.
QString LabelWords(WindowObject* picture)
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

// A screen reader's table

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

ListView* ListViewOf(WindowObject* control)
{
    return control->klass == &kListViewClass ? static_cast<ListView*>(control->widget) : nullptr;
}

// Copies at most size - 1 characters and a terminator.
int CopyOut(const std::wstring& text, WCHAR* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    int count = std::min<int>(static_cast<int>(text.size()), size - 1);
    std::wmemcpy(buffer, text.c_str(), static_cast<size_t>(count));
    buffer[count] = L'\0';
    return count;
}

void NoteRowLabel(WindowObject* picture);

QWidget* CreateListView(WindowObject* control, QWidget* parent)
{
    OfferAccessible(&kListViewClass);
    static bool watching = false;
    if (!watching)  // pictures moved over the lists label their blank rows
        WatchWindows([](WindowEvent event, WindowObject* control) {
            if (event == WindowEvent::ControlMoved)
                NoteRowLabel(control);
        });
    watching = true;
    auto* view = new ListView(control, new ListModel(&control->data), parent);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(kListRowHeight * kScale);
    view->verticalHeader()->setMinimumSectionSize(1);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionsClickable(false);
    view->horizontalHeader()->setVisible((control->style & LVS_NOCOLUMNHEADER) == 0);
    view->horizontalHeader()->setStretchLastSection(false);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Reached by Tab; its keys scroll it (ListView::keyPressEvent).
    view->setFocusPolicy(Qt::StrongFocus);
    view->setTabKeyNavigation(false);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setAutoScroll(false);  // the keys scroll it, not the current row
    view->setFrameShape((control->style & WS_BORDER) ? QFrame::Box : QFrame::NoFrame);
    view->setLineWidth(kScale / 2);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, view, [control] { NotifyParent(control, LVN_ENDSCROLL); });
    return view;
}

// Messages

LRESULT ListViewMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    ControlData& data = control->data;
    ListView* view = ListViewOf(control);
    ListModel* model = view->Model();
    const int rowCount = static_cast<int>(data.rows.size());
    // Whatever reads the view or changes its cells while it shows first
    // gives it what it has not been told; counts, texts, styles and changes
    // to the rows of a hidden view need only the data.
    const bool unseen = !view->isVisible();
    const bool changesRows = message == LVM_DELETEALLITEMS || message == LVM_INSERTITEMW || message == LVM_SETITEMTEXTW;
    if (message != LVM_INSERTCOLUMNW && message != LVM_GETITEMCOUNT && message != LVM_GETITEMTEXTW &&
        message != LVM_GETEXTENDEDLISTVIEWSTYLE && message != LVM_SETEXTENDEDLISTVIEWSTYLE && !(unseen && changesRows))
        view->Publish();
    switch (message) {
    case LVM_GETITEMCOUNT:
        return rowCount;
    case LVM_DELETEALLITEMS:
        if (unseen) {
            data.rows.clear();
            data.rowLabels.clear();
            model->ChangedUnseen();
            return TRUE;
        }
        model->Reset([&data] {
            data.rows.clear();
            data.rowLabels.clear();
        });
        return TRUE;
    case LVM_INSERTCOLUMNW: {
        const auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (!column)
            return -1;
        int at = std::clamp(static_cast<int>(wParam), 0, static_cast<int>(data.columns.size()));
        ListColumn added{column->pszText && (column->mask & LVCF_TEXT) ? column->pszText : L"",
                         (column->mask & LVCF_WIDTH) ? column->cx : 50, (column->mask & LVCF_FMT) ? column->fmt : LVCFMT_LEFT};
        view->AddColumn(at, added);
        return at;
    }
    case LVM_INSERTITEMW: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (!item || item->iSubItem != 0)
            return -1;
        int at = std::clamp(item->iItem, 0, rowCount);
        std::vector<std::wstring> cells(1, item->pszText && (item->mask & LVIF_TEXT) ? item->pszText : L"");
        if (unseen) {
            data.rows.insert(data.rows.begin() + at, std::move(cells));
            model->ChangedUnseen();
        } else {
            model->InsertRow(at, std::move(cells));
        }
        return at;
    }
    case LVM_SETITEMTEXTW: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        int row = static_cast<int>(wParam);
        if (!item || row < 0 || row >= rowCount || item->iSubItem < 0)
            return FALSE;
        auto& cells = data.rows[static_cast<size_t>(row)];
        if (static_cast<size_t>(item->iSubItem) >= cells.size())
            cells.resize(static_cast<size_t>(item->iSubItem) + 1);
        cells[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : L"";
        if (unseen)
            model->ChangedUnseen();
        else
            model->CellChanged(row, item->iSubItem);
        return TRUE;
    }
    case LVM_GETITEMTEXTW: {
        auto* item = reinterpret_cast<LVITEMW*>(lParam);
        int row = static_cast<int>(wParam);
        if (!item)
            return 0;
        std::wstring text;
        if (row >= 0 && row < rowCount && item->iSubItem >= 0) {
            const auto& cells = data.rows[static_cast<size_t>(row)];
            if (static_cast<size_t>(item->iSubItem) < cells.size())
                text = cells[static_cast<size_t>(item->iSubItem)];
        }
        return CopyOut(text, item->pszText, item->cchTextMax);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
        return data.extendedStyle;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        DWORD old = data.extendedStyle;
        DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
        data.extendedStyle = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
        view->setShowGrid((data.extendedStyle & LVS_EX_GRIDLINES) != 0);
        view->setSelectionBehavior((data.extendedStyle & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
        return old;
    }
    case LVM_GETTOPINDEX:
        return std::max(0, view->rowAt(0));
    case LVM_ENSUREVISIBLE:
        if (static_cast<int>(wParam) >= 0 && static_cast<int>(wParam) < rowCount)
            view->scrollTo(model->index(static_cast<int>(wParam), 0));
        return TRUE;
    case LVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        int row = static_cast<int>(wParam);
        if (!rect || row < 0 || row >= rowCount)
            return FALSE;
        // Client coordinates: inside the border, the header (when shown)
        // at the top, rows below it.
        int header = view->horizontalHeader()->isVisible() ? view->horizontalHeader()->height() : 0;
        int top = view->rowViewportPosition(row) + header;
        int width = 0;
        for (const ListColumn& column : data.columns)
            width += column.width * kScale;
        rect->left = -view->horizontalScrollBar()->value() / kScale;
        rect->top = top / kScale;
        rect->right = rect->left + width / kScale;
        rect->bottom = rect->top + kListRowHeight;
        return TRUE;
    }
    default:
        return 0;
    }
}

// Scrolling

int TopRow(WindowObject* control)
{
    return static_cast<int>(ListViewMessage(control, LVM_GETTOPINDEX, 0, 0));
}

void ScrollListTo(WindowObject* control, int row)
{
    ListView* view = ListViewOf(control);
    view->Publish();
    view->doItemsLayout();  // the scroll range follows rows added since the last paint
    view->verticalScrollBar()->setValue(std::clamp(row, 0, view->verticalScrollBar()->maximum()));
}

// A picture moved over the lists of its dialog labels the blank row it lies on.
void NoteRowLabel(WindowObject* picture)
{
    if (!picture->klass || !picture->klass->isPicture || !picture->klass->isPicture(picture) || !picture->parent)
        return;
    const QPoint middle = picture->widget->geometry().center();
    for (WindowObject* list : picture->parent->children) {
        ListView* view = ListViewOf(list);
        if (!view || !view->geometry().contains(middle))
            continue;
        view->Publish();
        int row = view->rowAt(view->viewport()->mapFrom(view->parentWidget(), middle).y());
        if (row >= 0 && view->Model()->BlankRow(row))
            list->data.rowLabels[row] = picture;
    }
}

// A picture over its rows labels a row (a division); one standing just
// above it while its header is hidden, where the header would be, shows
// its column headings: the list says both.
bool SaysPicture(const WindowObject* list, const WindowObject* picture)
{
    const QWidget* view = list->widget;
    const QRect area = view->geometry(), shown = picture->widget->geometry();
    if (area.contains(shown.center()))
        return true;
    const int gap = area.top() - shown.bottom();
    return ListViewOf(const_cast<WindowObject*>(list))->HeaderRows() == 0 && gap > 0 && gap <= kListRowHeight * kScale &&
           shown.left() < area.right() && shown.right() > area.left();
}

}  // namespace

// The entry

const ControlClass kListViewClass = {
    .name = L"SysListView32",
    .create = CreateListView,
    .message = ListViewMessage,
    .words = [](const WindowObject* control) {
        std::vector<std::wstring> headings;
        for (const ListColumn& column : control->data.columns)
            headings.push_back(column.text);
        return JoinTexts(headings);
    },
    .says = SaysPicture,
    .accessible = [](QObject* object) -> QAccessibleInterface* {
        auto* view = dynamic_cast<ListView*>(object);
        return view ? new ListAccessible(view) : nullptr;
    },
    .dump = kDumpColumns | kDumpRows | kDumpTop,
    .scroll = ScrollListTo,
    .topRow = TopRow,
};

}  // namespace platform
