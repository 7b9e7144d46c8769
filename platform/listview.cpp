// The report list view: columns, rows and cells kept in the control's data
// and shown by a Qt table view, with the messages the program sends it and
// the scrolling the inspector asks for.
//
// Divisions: the model, the view, messages, scrolling, the entry.

#include "platform/accessible.h"
#include "platform/controls.h"
#include "platform/window.h"

#include <QAbstractTableModel>
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

protected:
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
    WindowObject* m_control;  // the list view control it shows
    ListModel* m_model;       // the control's cells, owned by the view
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
    .dump = kDumpColumns | kDumpRows | kDumpTop,
    .scroll = ScrollListTo,
    .topRow = TopRow,
};

}  // namespace platform
