// The report list view: columns, rows and cells kept in the control's data
// and shown by a Qt table view, with the messages the program sends it and
// the scrolling the inspector asks for. To a screen reader it is a table of
// its cells (its headings while its header shows), a division's blank row
// a heading named by the picture over it.
//
// Divisions: making it, messages, scrolling, the entry. Its model and view
// are listview.h's, its screen reader's table listaccess.cpp's.

#include "platform/listview.h"

#include <cwchar>

namespace platform {

using namespace listview;

namespace {

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
        return view ? ListAccessibleFor(view) : nullptr;
    },
    .dump = kDumpColumns | kDumpRows | kDumpTop,
    .scroll = ScrollListTo,
    .topRow = TopRow,
};

}  // namespace platform
