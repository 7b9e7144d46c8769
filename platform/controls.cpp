// Controls of a dialog: built from the template's items, answering their
// messages, described for the window inspector and driven by it.
//
// Divisions: widgets, building, list view, tab control, combo box, list
// box, messages, description, inspector input.

#include "platform/internal.h"

#include <QAbstractTableModel>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace platform {

namespace {

constexpr int kListRowHeight = 14;  // handheld pixels per list view row
constexpr int kComboHeight = 15;    // handheld pixels of a closed drop-down list

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

bool IsClass(const WindowObject* control, const wchar_t* name)
{
    return control && control->className == name;
}

void Notify(WindowObject* control, UINT code)
{
    NMHDR header{control, static_cast<UINT_PTR>(control->id), code};
    SendMessageW(control->parent, WM_NOTIFY, static_cast<WPARAM>(control->id), reinterpret_cast<LPARAM>(&header));
}

void Command(WindowObject* control, int code)
{
    SendMessageW(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control));
}

// Class names compare without case; keep the system's own spelling.
std::wstring CanonicalClass(LPCWSTR name)
{
    static const wchar_t* const known[] = {L"STATIC", L"BUTTON", L"COMBOBOX", L"LISTBOX",
                                           L"SysListView32", L"SysTabControl32", L"SysMonthCal32"};
    std::wstring given = name ? name : L"";
    for (const wchar_t* candidate : known) {
        std::wstring spelled = candidate;
        if (spelled.size() == given.size() &&
            std::equal(given.begin(), given.end(), spelled.begin(), [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }))
            return spelled;
    }
    return given;
}

// A user's choice of a combo box entry or a tab, with its notification.
void UserSelects(WindowObject* control, int index)
{
    control->data.selection = index;
    if (IsClass(control, L"COMBOBOX")) {
        auto* combo = static_cast<QComboBox*>(control->widget);
        combo->blockSignals(true);
        combo->setCurrentIndex(index);
        combo->blockSignals(false);
        Command(control, CBN_SELCHANGE);
    } else {
        auto* tabs = static_cast<QTabBar*>(control->widget);
        tabs->blockSignals(true);
        tabs->setCurrentIndex(index);
        tabs->blockSignals(false);
        Notify(control, TCN_SELCHANGE);
    }
}

// Widgets

// Static text or picture; draws the texts painted on it through gdi over
// its own content, and asks its dialog for a background brush.
class StaticWidget : public QLabel {
public:
    StaticWidget(WindowObject* control, QWidget* parent) : QLabel(parent), m_control(control) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(m_control->parent, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(m_control)));
        if (brush) {
            QPainter background(this);
            background.fillRect(rect(), BrushColor(brush));
        }
        QLabel::paintEvent(event);
        QPainter painter(this);
        DrawPaintedTexts(m_control, painter);
    }

private:
    WindowObject* m_control;  // the control this widget shows
};

// The report list view's cells, read straight from the control's rows.
class ListModel : public QAbstractTableModel {
public:
    explicit ListModel(ControlData* data) : m_data(data) {}

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_data->rows.size());
    }

    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_data->columns.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole) {
            const auto& row = m_data->rows[static_cast<size_t>(index.row())];
            size_t column = static_cast<size_t>(index.column());
            return column < row.size() ? Q(row[column]) : QString();
        }
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(Alignment(index.column()) | Qt::AlignVCenter);
        return {};
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
        endResetModel();
    }

    void InsertRow(int row, std::vector<std::wstring> cells)
    {
        beginInsertRows(QModelIndex(), row, row);
        m_data->rows.insert(m_data->rows.begin() + row, std::move(cells));
        endInsertRows();
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

    ControlData* m_data;  // the control's columns and rows
};

QWidget* CreateListView(WindowObject* control, QWidget* parent)
{
    auto* view = new QTableView(parent);
    auto* model = new ListModel(&control->data);
    model->setParent(view);
    view->setModel(model);
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
    view->setFocusPolicy(Qt::NoFocus);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setFrameShape((control->style & WS_BORDER) ? QFrame::Box : QFrame::NoFrame);
    view->setLineWidth(kScale / 2);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, view, [control] { Notify(control, LVN_ENDSCROLL); });
    return view;
}

QWidget* CreateComboBox(WindowObject* control, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setMaxVisibleItems(8);
    QObject::connect(combo, &QComboBox::activated, combo, [control](int index) { UserSelects(control, index); });
    return combo;
}

QWidget* CreateTabControl(WindowObject* control, QWidget* parent)
{
    auto* tabs = new QTabBar(parent);
    tabs->setShape(QTabBar::RoundedSouth);
    tabs->setExpanding(true);
    tabs->setDrawBase(false);
    tabs->setFocusPolicy(Qt::NoFocus);
    QObject::connect(tabs, &QTabBar::tabBarClicked, tabs, [control](int index) {
        if (index >= 0)
            UserSelects(control, index);
    });
    return tabs;
}

QWidget* CreateButton(WindowObject* control, QWidget* parent)
{
    if ((control->style & 0xF) == BS_GROUPBOX) {
        // A frame around other controls: it lies beneath them.
        auto* group = new QGroupBox(Q(control->text), parent);
        group->lower();
        return group;
    }
    auto* button = new QPushButton(Q(control->text), parent);
    QObject::connect(button, &QPushButton::clicked, button, [control] { Command(control, BN_CLICKED); });
    return button;
}

QWidget* CreateStatic(WindowObject* control, QWidget* parent)
{
    auto* label = new StaticWidget(control, parent);
    int kind = control->style & 0x1F;
    if (kind == SS_BITMAP || kind == SS_ICON) {
        label->setPixmap(LoadResourcePixmap(control->resource, kind == SS_ICON));
        bool centred = (control->style & SS_CENTERIMAGE) != 0;
        label->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    label->setText(Q(control->text));
    label->setAlignment((kind == SS_CENTER ? Qt::AlignHCenter : kind == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    return label;
}

// A control's widget for its class.
QWidget* CreateControlWidget(WindowObject* control, QWidget* parent)
{
    if (IsClass(control, L"SysListView32"))
        return CreateListView(control, parent);
    if (IsClass(control, L"COMBOBOX"))
        return CreateComboBox(control, parent);
    if (IsClass(control, L"SysTabControl32"))
        return CreateTabControl(control, parent);
    if (IsClass(control, L"BUTTON"))
        return CreateButton(control, parent);
    if (IsClass(control, L"LISTBOX"))
        return new QListWidget(parent);
    if (IsClass(control, L"SysMonthCal32")) {
        auto* calendar = new QCalendarWidget(parent);
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
        return calendar;
    }
    if (IsClass(control, L"STATIC"))
        return CreateStatic(control, parent);
    return new QWidget(parent);
}

QTableView* ListViewOf(WindowObject* control)
{
    return IsClass(control, L"SysListView32") ? static_cast<QTableView*>(control->widget) : nullptr;
}

ListModel* ListModelOf(WindowObject* control)
{
    QTableView* view = ListViewOf(control);
    return view ? static_cast<ListModel*>(view->model()) : nullptr;
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

// List view

LRESULT ListViewMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    ControlData& data = control->data;
    ListModel* model = ListModelOf(control);
    QTableView* view = ListViewOf(control);
    const int rowCount = static_cast<int>(data.rows.size());
    switch (message) {
    case LVM_GETITEMCOUNT:
        return rowCount;
    case LVM_DELETEALLITEMS:
        model->Reset([&data] { data.rows.clear(); });
        return TRUE;
    case LVM_INSERTCOLUMNW: {
        const auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (!column)
            return -1;
        int at = std::clamp(static_cast<int>(wParam), 0, static_cast<int>(data.columns.size()));
        ListColumn added{column->pszText && (column->mask & LVCF_TEXT) ? column->pszText : L"",
                         (column->mask & LVCF_WIDTH) ? column->cx : 50, (column->mask & LVCF_FMT) ? column->fmt : LVCFMT_LEFT};
        model->Reset([&] { data.columns.insert(data.columns.begin() + at, added); });
        for (size_t i = 0; i < data.columns.size(); ++i)
            view->setColumnWidth(static_cast<int>(i), data.columns[i].width * kScale);
        return at;
    }
    case LVM_INSERTITEMW: {
        const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (!item || item->iSubItem != 0)
            return -1;
        int at = std::clamp(item->iItem, 0, rowCount);
        std::vector<std::wstring> cells(1, item->pszText && (item->mask & LVIF_TEXT) ? item->pszText : L"");
        model->InsertRow(at, std::move(cells));
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

// Tab control

LRESULT TabMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* tabs = static_cast<QTabBar*>(control->widget);
    ControlData& data = control->data;
    switch (message) {
    case TCM_INSERTITEMW: {
        const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
        if (!item)
            return -1;
        int at = std::clamp(static_cast<int>(wParam), 0, tabs->count());
        tabs->blockSignals(true);
        tabs->insertTab(at, Q(item->pszText && (item->mask & TCIF_TEXT) ? item->pszText : L""));
        tabs->blockSignals(false);
        data.items.insert(data.items.begin() + at, item->pszText ? item->pszText : L"");
        // The first tab inserted becomes the current one.
        if (data.selection < 0)
            data.selection = 0;
        else if (at <= data.selection)
            ++data.selection;
        tabs->blockSignals(true);
        tabs->setCurrentIndex(data.selection);
        tabs->blockSignals(false);
        return at;
    }
    case TCM_GETITEMCOUNT:
        return static_cast<LRESULT>(data.items.size());
    case TCM_GETCURSEL:
        return data.selection;
    case TCM_SETCURSEL: {
        int old = data.selection;
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= static_cast<int>(data.items.size()))
            return -1;
        data.selection = index;
        tabs->blockSignals(true);
        tabs->setCurrentIndex(index);
        tabs->blockSignals(false);
        return old;
    }
    default:
        return 0;
    }
}

// Combo box

LRESULT ComboMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* combo = static_cast<QComboBox*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case CB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        data.items.push_back(text);
        data.itemData.push_back(0);
        combo->blockSignals(true);
        combo->addItem(Q(text));
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return count;
    }
    case CB_GETCOUNT:
        return count;
    case CB_RESETCONTENT:
        data.items.clear();
        data.itemData.clear();
        data.selection = -1;
        combo->blockSignals(true);
        combo->clear();
        combo->blockSignals(false);
        return TRUE;
    case CB_GETCURSEL:
        return data.selection;
    case CB_SETCURSEL:
        data.selection = index >= 0 && index < count ? index : -1;
        combo->blockSignals(true);
        combo->setCurrentIndex(data.selection);
        combo->blockSignals(false);
        return index >= 0 && index < count ? index : CB_ERR;
    case CB_SETITEMDATA:
        if (index < 0 || index >= count)
            return CB_ERR;
        data.itemData[static_cast<size_t>(index)] = lParam;
        return TRUE;
    case CB_GETITEMDATA:
        return index >= 0 && index < count ? data.itemData[static_cast<size_t>(index)] : CB_ERR;
    case CB_GETLBTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : CB_ERR;
    case CB_GETLBTEXT:
        if (index < 0 || index >= count || !lParam)
            return CB_ERR;
        std::wcscpy(reinterpret_cast<WCHAR*>(lParam), data.items[static_cast<size_t>(index)].c_str());
        return static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size());
    default:
        return 0;
    }
}

// List box

// Compares two texts without regard to case, as a sorted list box does.
bool LessWithoutCase(const std::wstring& a, const std::wstring& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

LRESULT ListBoxMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* list = static_cast<QListWidget*>(control->widget);
    ControlData& data = control->data;
    const int count = static_cast<int>(data.items.size());
    const int index = static_cast<int>(wParam);
    switch (message) {
    case LB_ADDSTRING: {
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        auto at = data.items.end();
        if (control->style & LBS_SORT)
            at = std::upper_bound(data.items.begin(), data.items.end(), text, LessWithoutCase);
        int position = static_cast<int>(at - data.items.begin());
        data.items.insert(at, text);
        list->insertItem(position, Q(text));
        return position;
    }
    case LB_RESETCONTENT:
        data.items.clear();
        list->clear();
        return TRUE;
    case LB_GETCOUNT:
        return count;
    case LB_GETTEXTLEN:
        return index >= 0 && index < count ? static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size()) : LB_ERR;
    case LB_GETTEXT:
        if (index < 0 || index >= count || !lParam)
            return LB_ERR;
        std::wcscpy(reinterpret_cast<WCHAR*>(lParam), data.items[static_cast<size_t>(index)].c_str());
        return static_cast<LRESULT>(data.items[static_cast<size_t>(index)].size());
    default:
        return 0;
    }
}

QJsonArray Strings(const std::vector<std::wstring>& texts)
{
    QJsonArray array;
    for (const std::wstring& text : texts)
        array.append(Q(text));
    return array;
}

}  // namespace

// Building

void BuildDialog(WindowObject* dialog, const DLGTEMPLATEW* dialogTemplate)
{
    for (int i = 0; i < dialogTemplate->cdit; ++i) {
        const DLGITEMTEMPLATEW& item = dialogTemplate->items[i];
        auto* control = new WindowObject;
        control->kind = WindowKind::Control;
        control->parent = dialog;
        control->id = item.id;
        control->className = CanonicalClass(item.windowClass);
        control->text = item.title ? item.title : L"";
        control->style = item.style;
        control->exStyle = item.dwExtendedStyle;
        control->resource = item.resource;
        control->visible = (item.style & WS_VISIBLE) != 0;
        control->widget = CreateControlWidget(control, ClientWidget(dialog));
        control->widget->setFont(DialogFont());
        // A drop-down's template height includes its list; closed, it is one line tall.
        int height = DialogUnitsToPixelsY(item.cy);
        if (IsClass(control, L"COMBOBOX"))
            height = std::min(height, kComboHeight);
        control->widget->setGeometry(DialogUnitsToPixelsX(item.x) * kScale, DialogUnitsToPixelsY(item.y) * kScale,
                                     DialogUnitsToPixelsX(item.cx) * kScale, height * kScale);
        control->widget->setVisible(control->visible);
        dialog->children.push_back(control);
        RegisterWindow(control);
    }
}

// Messages

LRESULT ControlMessage(WindowObject* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETTEXT:
        return SetWindowTextW(control, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
        return GetWindowTextW(control, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(control->text.size());
    default:
        break;
    }
    if (IsClass(control, L"SysListView32"))
        return ListViewMessage(control, message, wParam, lParam);
    if (IsClass(control, L"SysTabControl32"))
        return TabMessage(control, message, wParam, lParam);
    if (IsClass(control, L"COMBOBOX"))
        return ComboMessage(control, message, wParam, lParam);
    if (IsClass(control, L"LISTBOX"))
        return ListBoxMessage(control, message, wParam, lParam);
    return 0;
}

void ControlTextChanged(WindowObject* control)
{
    if (auto* button = qobject_cast<QPushButton*>(control->widget))
        button->setText(Q(control->text));
    else if (auto* label = dynamic_cast<QLabel*>(control->widget); label && label->pixmap().isNull())
        label->setText(Q(control->text));
}

// Description

QJsonArray WindowRectJson(WindowObject* window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return QJsonArray{static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
                      static_cast<int>(rect.bottom - rect.top)};
}

QJsonObject DescribeControl(WindowObject* control)
{
    QJsonObject object;
    object["id"] = control->id;
    object["class"] = Q(control->className);
    object["visible"] = control->visible;
    object["rect"] = WindowRectJson(control);
    if (!control->text.empty() || IsClass(control, L"STATIC") || IsClass(control, L"BUTTON"))
        object["text"] = Q(control->text);
    const ControlData& data = control->data;
    if (IsClass(control, L"COMBOBOX") || IsClass(control, L"SysTabControl32") || IsClass(control, L"LISTBOX"))
        object["items"] = Strings(data.items);
    if (IsClass(control, L"COMBOBOX") || IsClass(control, L"SysTabControl32"))
        object["selection"] = data.selection;
    if (IsClass(control, L"SysListView32")) {
        QJsonArray columns;
        for (const ListColumn& column : data.columns)
            columns.append(QJsonObject{{"text", Q(column.text)}, {"width", column.width},
                                       {"align", (column.format & 3) == LVCFMT_RIGHT ? "right" : (column.format & 3) == LVCFMT_CENTER ? "center" : "left"}});
        object["columns"] = columns;
        QJsonArray rows;
        for (const auto& row : data.rows) {
            std::vector<std::wstring> cells = row;
            cells.resize(std::max(cells.size(), data.columns.size()));
            rows.append(Strings(cells));
        }
        object["rows"] = rows;
        object["top"] = static_cast<int>(ListViewMessage(control, LVM_GETTOPINDEX, 0, 0));
    }
    if (IsClass(control, L"STATIC")) {
        if (control->resource)
            object["bitmap"] = control->resource;
        QJsonArray painted;
        for (const PaintedText& text : data.painted)
            painted.append(Q(text.text));
        object["painted"] = painted;
    }
    return object;
}

// Inspector input

bool ControlInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error)
{
    if ((verb == "select" || verb == "scroll") && args.size() == 2) {
        WindowObject* control = GetDlgItem(window, std::atoi(args[0].c_str()));
        int index = std::atoi(args[1].c_str());
        if (!control) {
            error = "no control " + args[0];
            return false;
        }
        if (verb == "scroll" && IsClass(control, L"SysListView32")) {
            QTableView* view = ListViewOf(control);
            view->doItemsLayout();  // the scroll range follows rows added since the last paint
            view->verticalScrollBar()->setValue(std::clamp(index, 0, view->verticalScrollBar()->maximum()));
            return true;
        }
        bool choosable = IsClass(control, L"COMBOBOX") || IsClass(control, L"SysTabControl32");
        if (verb == "select" && choosable && index >= 0 && index < static_cast<int>(control->data.items.size())) {
            UserSelects(control, index);
            return true;
        }
        error = "control " + args[0] + " cannot take " + verb + " " + args[1];
        return false;
    }
    return FrameInput(window, verb, args, error);
}

}  // namespace platform
