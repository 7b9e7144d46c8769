// Controls of a dialog: built from the template's items, answering their
// messages, described for the window inspector and driven by it.
//
// Divisions: widgets, building, list view, tab control, combo box, list
// box, accessible names, messages, description, inspector input.

#include "platform/internal.h"

#include <QAbstractTableModel>
#include <QCalendarWidget>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <limits>
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

// A control's notification to its dialog; held while the program waits.
void Notify(WindowObject* control, UINT code)
{
    DeliverToProgram([control, code] {
        if (!IsLiveWindow(control))
            return;
        NMHDR header{control, static_cast<UINT_PTR>(control->id), code};
        SendMessageW(control->parent, WM_NOTIFY, static_cast<WPARAM>(control->id), reinterpret_cast<LPARAM>(&header));
    });
}

void Command(WindowObject* control, int code)
{
    DeliverToProgram([control, code] {
        if (IsLiveWindow(control))
            SendMessageW(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code), reinterpret_cast<LPARAM>(control));
    });
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

// Widgets

// Static text or picture; draws the texts painted on it through gdi over
// its own content, and asks its dialog for a background brush.
class StaticWidget : public QLabel {
public:
    StaticWidget(WindowObject* control, QWidget* parent) : QLabel(parent), m_control(control) {}

    // A picture is decoded when the control is first polished (before it
    // is shown), not as its dialog is built: the first image decoded also
    // has Qt look through its image plugins.
    void SetPictureDue()
    {
        m_pictureDue = true;
    }

    bool HasPicture()
    {
        LoadPicture();
        return !pixmap().isNull();
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Polish)
            LoadPicture();
        return QLabel::event(event);
    }

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
    void LoadPicture()
    {
        if (!m_pictureDue)
            return;
        m_pictureDue = false;
        setPixmap(LoadResourcePixmap(m_control->resource, (m_control->style & 0x1F) == SS_ICON));
    }

    WindowObject* m_control;     // the control this widget shows
    bool m_pictureDue = false;   // a picture control whose image is not loaded yet
};

// The report list view's cells, read straight from the control's rows.
class ListModel : public QAbstractTableModel {
public:
    explicit ListModel(ControlData* data) : m_data(data) {}

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_data->rows.size());
    }

    // The columns the view has been told of; columns added since wait in
    // the control's data until PublishColumns.
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : m_columnCount;
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

    // Tells the view of the columns added since the last time; false when
    // there were none.
    bool PublishColumns()
    {
        if (!m_columnsPending)
            return false;
        beginResetModel();
        m_columnCount = static_cast<int>(m_data->columns.size());
        m_columnsPending = false;
        endResetModel();
        return true;
    }

    void InsertRow(int row, std::vector<std::wstring> cells)
    {
        beginInsertRows(QModelIndex(), row, row);
        m_data->rows.insert(m_data->rows.begin() + row, std::move(cells));
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
    bool m_columnsPending = false;   // columns added that the view does not know of
};

// The report list view: columns added while it is hidden reach it once the
// messages being handled are done, or sooner when it is shown or a message
// needs it (see ListViewMessage).
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
            PublishColumns();
        else if (first)
            QTimer::singleShot(0, this, [this] { PublishColumns(); });
    }

    // Hands the view the columns added since, with their widths.
    void PublishColumns()
    {
        if (!m_model->PublishColumns())
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
        PublishColumns();
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
                PublishColumns();
                doItemsLayout();  // the range follows rows added since the last paint
                verticalScrollBar()->triggerAction(entry.action);
                return;
            }
        }
        QTableView::keyPressEvent(event);
    }

private:
    WindowObject* m_control;  // the list view control it shows
    ListModel* m_model;       // the control's cells, owned by the view
};

QWidget* CreateListView(WindowObject* control, QWidget* parent)
{
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
    view->setFrameShape((control->style & WS_BORDER) ? QFrame::Box : QFrame::NoFrame);
    view->setLineWidth(kScale / 2);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, view, [control] { Notify(control, LVN_ENDSCROLL); });
    return view;
}

QWidget* CreateComboBox(WindowObject* control, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setMaxVisibleItems(8);
    QObject::connect(combo, &QComboBox::activated, combo, [control](int index) { SelectByUser(control, index); });
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
            SelectByUser(control, index);
    });
    return tabs;
}

// A group box as the handheld draws it: a thin frame whose top line its
// title interrupts, on the window's white.
class GroupBoxWidget : public QWidget {
public:
    GroupBoxWidget(WindowObject* control, QWidget* parent) : QWidget(parent), m_control(control) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QFontMetrics metrics(font());
        QString title = Q(m_control->text);
        int line = metrics.height() / 2;
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawRect(0, line, width() - 1, height() - line - 1);
        QRect words(kTitleInset, 0, metrics.horizontalAdvance(title), metrics.height());
        painter.fillRect(words, Qt::white);
        painter.setPen(Qt::black);
        painter.drawText(words, Qt::AlignLeft | Qt::AlignVCenter, title);
    }

private:
    static constexpr int kTitleInset = 4 * kScale;  // the title's distance from the left edge
    WindowObject* m_control;                         // the group box control
};

QWidget* CreateButton(WindowObject* control, QWidget* parent)
{
    if ((control->style & 0xF) == BS_GROUPBOX) {
        // A frame around other controls: it lies beneath them.
        auto* group = new GroupBoxWidget(control, parent);
        group->lower();
        return group;
    }
    auto* button = new QPushButton(Q(control->text), parent);
    button->setAutoDefault(true);  // Return presses the focused button
    QObject::connect(button, &QPushButton::clicked, button, [control] { Command(control, BN_CLICKED); });
    return button;
}

// The month calendar of a US handheld, whatever the desktop's locale: weeks
// start on Sunday, the day names read S M T W T F S, and today is framed.
class MonthCalendar : public QCalendarWidget {
public:
    explicit MonthCalendar(QWidget* parent) : QCalendarWidget(parent)
    {
        setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        setFirstDayOfWeek(Qt::Sunday);
        setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
        // The view keeps its selected cell where it was before the week
        // turned to begin on Sunday: select today again.
        setSelectedDate(QDate::currentDate().addDays(1));
        setSelectedDate(QDate::currentDate());
    }

protected:
    void paintCell(QPainter* painter, const QRect& rect, QDate date) const override
    {
        QCalendarWidget::paintCell(painter, rect, date);
        if (date != QDate::currentDate())
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(kTodayMark, kScale));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(kScale, kScale, -kScale, -kScale));
        painter->restore();
    }
};

QWidget* CreateStatic(WindowObject* control, QWidget* parent)
{
    auto* label = new StaticWidget(control, parent);
    int kind = control->style & 0x1F;
    if (kind == SS_BITMAP || kind == SS_ICON) {
        label->SetPictureDue();
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
    if (IsClass(control, L"SysMonthCal32"))
        return new MonthCalendar(parent);
    if (IsClass(control, L"STATIC"))
        return CreateStatic(control, parent);
    return new QWidget(parent);
}

ListView* ListViewOf(WindowObject* control)
{
    return IsClass(control, L"SysListView32") ? static_cast<ListView*>(control->widget) : nullptr;
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
    ListView* view = ListViewOf(control);
    ListModel* model = view->Model();
    const int rowCount = static_cast<int>(data.rows.size());
    // Whatever reads the view or changes its cells first gives it the
    // columns added; counts, texts and styles need only the data.
    if (message != LVM_INSERTCOLUMNW && message != LVM_GETITEMCOUNT && message != LVM_GETITEMTEXTW &&
        message != LVM_GETEXTENDEDLISTVIEWSTYLE && message != LVM_SETEXTENDEDLISTVIEWSTYLE)
        view->PublishColumns();
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
        view->AddColumn(at, added);
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

// Accessible names: what a screen reader says for each control. A text
// control says its text, a static painted on what is painted, a picture the
// words it shows (the string resource of the picture's own ID), a group box
// its title, a list its column headings; pickers and tabs say their chosen
// entry, as the desktop has them do, and a picker is labelled by the label
// beside it on its row. A control with none of these says the caption of
// its dialog.

bool IsPicture(const WindowObject* control)
{
    int kind = control->style & 0x1F;
    return IsClass(control, L"STATIC") && (kind == SS_BITMAP || kind == SS_ICON);
}

// Distinct texts, trimmed, joined by commas.
QString JoinTexts(const std::vector<std::wstring>& texts)
{
    QStringList joined;
    for (const std::wstring& text : texts)
        if (QString trimmed = Q(text).trimmed(); !trimmed.isEmpty() && !joined.contains(trimmed))
            joined.append(trimmed);
    return joined.join(QStringLiteral(", "));
}

// The words of a control that names itself, or none.
QString OwnWords(const WindowObject* control)
{
    if (IsPicture(control)) {
        WCHAR words[256] = {};
        LoadStringW(GetModuleHandleW(nullptr), control->resource, words, 256);
        return QString::fromWCharArray(words);
    }
    if (IsClass(control, L"STATIC") && !control->data.painted.empty()) {
        std::vector<std::wstring> painted;
        for (const PaintedText& text : control->data.painted)
            painted.push_back(text.text);
        return JoinTexts(painted);
    }
    if (IsClass(control, L"SysListView32")) {
        std::vector<std::wstring> headings;
        for (const ListColumn& column : control->data.columns)
            headings.push_back(column.text);
        return JoinTexts(headings);
    }
    if (IsClass(control, L"STATIC") || IsClass(control, L"BUTTON"))
        return Q(control->text).trimmed();
    return QString();
}

// The label of a picker: a static to its left on its row, a shown one
// before a hidden one, the nearest first.
WindowObject* LabelFor(const WindowObject* control)
{
    const QRect own = control->widget->geometry();
    WindowObject* best = nullptr;
    long bestScore = std::numeric_limits<long>::max();
    for (WindowObject* other : control->parent->children) {
        if (!IsClass(other, L"STATIC") || OwnWords(other).isEmpty())
            continue;
        const QRect area = other->widget->geometry();
        if (area.top() > own.bottom() || own.top() > area.bottom() || area.right() > own.left() + kScale)
            continue;
        long score = own.left() - area.right() + (other->visible != control->visible ? 1000000L : 0);
        if (score < bestScore) {
            bestScore = score;
            best = other;
        }
    }
    return best;
}

}  // namespace

void NameControl(WindowObject* control)
{
    QString name = OwnWords(control);
    if (IsClass(control, L"COMBOBOX")) {
        WindowObject* label = LabelFor(control);
        if (auto* widget = label ? dynamic_cast<QLabel*>(label->widget) : nullptr)
            widget->setBuddy(control->widget);
        name = label ? OwnWords(label) : QString();
    }
    if (name.isEmpty() && !IsClass(control, L"SysTabControl32") && !IsClass(control, L"COMBOBOX"))
        name = Q(control->parent->text);
    control->widget->setAccessibleName(name);
}

// A user's choice of a combo box entry or a tab, with its notification.
void SelectByUser(WindowObject* control, int index)
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
        // A child of a dialog not yet shown appears with it: showing it now
        // would only polish and lay it out early, before WM_INITDIALOG.
        if (!control->visible || ClientWidget(dialog)->isVisible())
            control->widget->setVisible(control->visible);
        dialog->children.push_back(control);
        RegisterWindow(control);
    }
    for (WindowObject* control : dialog->children)
        NameControl(control);
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
    else if (dynamic_cast<GroupBoxWidget*>(control->widget))
        control->widget->update();
    else if (auto* label = dynamic_cast<StaticWidget*>(control->widget); label && !label->HasPicture())
        label->setText(Q(control->text));
    NameControl(control);
}

// Description

QJsonArray WindowRectJson(WindowObject* window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return QJsonArray{static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right - rect.left),
                      static_cast<int>(rect.bottom - rect.top)};
}

namespace {

// Compact JSON, written the way QJsonDocument writes it (keys of an object
// in sorted order, the same escapes): a dump of the main window holds
// thousands of cells, which Qt's JSON classes take milliseconds to build,
// blocking the window's own timers meanwhile.

void AppendJsonString(std::string& out, const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c < 0 || c >= 0x80) {
            // Rare in the program's texts: Qt's writer decides the UTF-8 and
            // the escapes of anything outside ASCII.
            QByteArray json = QJsonDocument(QJsonArray{Q(text)}).toJson(QJsonDocument::Compact);
            out.append(json.constData() + 1, static_cast<size_t>(json.size() - 2));
            return;
        }
    }
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (wchar_t c : text) {
        switch (c) {
        case L'"': out += "\\\""; break;
        case L'\\': out += "\\\\"; break;
        case L'\b': out += "\\b"; break;
        case L'\f': out += "\\f"; break;
        case L'\n': out += "\\n"; break;
        case L'\r': out += "\\r"; break;
        case L'\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

void AppendJsonStrings(std::string& out, const std::vector<std::wstring>& texts, size_t atLeast = 0)
{
    static const std::wstring kEmpty;
    out += '[';
    for (size_t i = 0; i < std::max(texts.size(), atLeast); ++i) {
        if (i)
            out += ',';
        AppendJsonString(out, i < texts.size() ? texts[i] : kEmpty);
    }
    out += ']';
}

// `"key":` after a comma unless it opens the object.
void AppendJsonKey(std::string& out, const char* key)
{
    if (out.back() != '{')
        out += ',';
    out += '"';
    out += key;
    out += "\":";
}

void AppendJsonInt(std::string& out, const char* key, long long value)
{
    AppendJsonKey(out, key);
    out += std::to_string(value);
}

}  // namespace

void AppendControlJson(std::string& out, WindowObject* control)
{
    const ControlData& data = control->data;
    const bool isStatic = IsClass(control, L"STATIC");
    const bool isList = IsClass(control, L"SysListView32");
    const bool isCombo = IsClass(control, L"COMBOBOX");
    const bool isTabs = IsClass(control, L"SysTabControl32");
    out += '{';
    if (isStatic && control->resource)
        AppendJsonInt(out, "bitmap", control->resource);
    AppendJsonKey(out, "class");
    AppendJsonString(out, control->className);
    if (isList) {
        AppendJsonKey(out, "columns");
        out += '[';
        for (size_t i = 0; i < data.columns.size(); ++i) {
            const ListColumn& column = data.columns[i];
            int align = column.format & 3;
            out += i ? ",{" : "{";
            AppendJsonKey(out, "align");
            out += align == LVCFMT_RIGHT ? "\"right\"" : align == LVCFMT_CENTER ? "\"center\"" : "\"left\"";
            AppendJsonKey(out, "text");
            AppendJsonString(out, column.text);
            AppendJsonInt(out, "width", column.width);
            out += '}';
        }
        out += ']';
    }
    if (QWidget* focus = control->widget ? control->widget->window()->focusWidget() : nullptr;
        focus && (focus == control->widget || control->widget->isAncestorOf(focus)))
        out += ",\"focused\":true";
    AppendJsonInt(out, "id", control->id);
    if (isCombo || isTabs || IsClass(control, L"LISTBOX")) {
        AppendJsonKey(out, "items");
        AppendJsonStrings(out, data.items);
    }
    if (isStatic) {
        AppendJsonKey(out, "painted");
        out += '[';
        for (size_t i = 0; i < data.painted.size(); ++i) {
            if (i)
                out += ',';
            AppendJsonString(out, data.painted[i].text);
        }
        out += ']';
    }
    RECT rect{};
    GetWindowRect(control, &rect);
    AppendJsonKey(out, "rect");
    out += '[' + std::to_string(rect.left) + ',' + std::to_string(rect.top) + ',' + std::to_string(rect.right - rect.left) +
           ',' + std::to_string(rect.bottom - rect.top) + ']';
    if (isList) {
        AppendJsonKey(out, "rows");
        out += '[';
        for (size_t i = 0; i < data.rows.size(); ++i) {
            if (i)
                out += ',';
            AppendJsonStrings(out, data.rows[i], data.columns.size());
        }
        out += ']';
    }
    if (isCombo || isTabs)
        AppendJsonInt(out, "selection", data.selection);
    if (!control->text.empty() || isStatic || IsClass(control, L"BUTTON")) {
        AppendJsonKey(out, "text");
        AppendJsonString(out, control->text);
    }
    if (isList)
        AppendJsonInt(out, "top", ListViewMessage(control, LVM_GETTOPINDEX, 0, 0));
    AppendJsonKey(out, "visible");
    out += control->visible ? "true" : "false";
    out += '}';
}

// Inspector input

bool ControlInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error, bool perform)
{
    if ((verb == "select" || verb == "scroll") && args.size() == 2) {
        WindowObject* control = GetDlgItem(window, std::atoi(args[0].c_str()));
        int index = std::atoi(args[1].c_str());
        if (!control) {
            error = "no control " + args[0];
            return false;
        }
        if (verb == "scroll" && IsClass(control, L"SysListView32")) {
            if (!perform)
                return true;
            ListView* view = ListViewOf(control);
            view->PublishColumns();
            view->doItemsLayout();  // the scroll range follows rows added since the last paint
            view->verticalScrollBar()->setValue(std::clamp(index, 0, view->verticalScrollBar()->maximum()));
            return true;
        }
        bool choosable = IsClass(control, L"COMBOBOX") || IsClass(control, L"SysTabControl32");
        if (verb == "select" && choosable && index >= 0 && index < static_cast<int>(control->data.items.size())) {
            if (perform)
                SelectByUser(control, index);
            return true;
        }
        error = "control " + args[0] + " cannot take " + verb + " " + args[1];
        return false;
    }
    return FrameInput(window, verb, args, error, perform);
}

}  // namespace platform
