// The month calendar of a US handheld, whatever the desktop's locale: a
// month's days in weeks from Sunday under the day letters S M T W T F S,
// today framed, the months before and after a button away. A screen reader
// hears the buttons by what they do, each day letter as its day's name and
// each day as its date. The program reads nothing from it.
//
// Divisions: today's frame, the calendar, the entry.

#include "platform/controls.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace platform {

namespace {

constexpr int kWeeks = 6;     // rows of days shown
constexpr int kWeekDays = 7;  // columns, Sunday first

constexpr int kArrowSize = 11;  // handheld pixels of an arrow button

const QLocale kUsEnglish(QLocale::English, QLocale::UnitedStates);
const QColor kBarColour(0x30, 0x8c, 0xc6);  // the month's bar
const QColor kWeekendColour(0xd0, 0x00, 0x00);
const QColor kTodayMark(0xc8, 0x1e, 0x2a);  // the frame around today

// Sunday and Saturday, the first and last columns.
bool Weekend(int column)
{
    return column == 0 || column == kWeekDays - 1;
}

// Today's frame

// Draws each day, then a frame around today's.
class DayDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(Qt::UserRole).toDate() != QDate::currentDate())
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(QPen(kTodayMark, kScale));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(kScale, kScale, -kScale, -kScale));
        painter->restore();
    }
};

// The calendar

class MonthCalendar : public QWidget {
public:
    explicit MonthCalendar(QWidget* parent) : QWidget(parent)
    {
        setLocale(kUsEnglish);
        m_previous = Arrow(QStringLiteral("\u25C0"), QStringLiteral("Previous month"));
        m_next = Arrow(QStringLiteral("\u25B6"), QStringLiteral("Next month"));
        m_title = new QLabel(this);
        m_title->setAlignment(Qt::AlignCenter);
        QFont bold = m_title->font();
        bold.setBold(true);
        m_title->setFont(bold);
        // The month's bar: the title and the arrows, white on blue.
        auto* bar = new QWidget(this);
        QPalette blue = bar->palette();
        blue.setColor(QPalette::Window, kBarColour);
        blue.setColor(QPalette::WindowText, Qt::white);
        blue.setColor(QPalette::ButtonText, Qt::white);
        bar->setPalette(blue);
        bar->setAutoFillBackground(true);
        auto* row = new QHBoxLayout(bar);
        row->setContentsMargins(kScale, 0, kScale, 0);
        m_previous->setParent(bar);
        m_next->setParent(bar);
        m_title->setParent(bar);
        row->addWidget(m_previous);
        row->addWidget(m_title, 1);
        row->addWidget(m_next);
        m_days = new QTableWidget(kWeeks, kWeekDays, this);
        SetUpDays();
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addWidget(bar);
        column->addWidget(m_days, 1);
        QObject::connect(m_previous, &QToolButton::clicked, this, [this] { ShowMonth(m_month.addMonths(-1)); });
        QObject::connect(m_next, &QToolButton::clicked, this, [this] { ShowMonth(m_month.addMonths(1)); });
        ShowMonth(QDate::currentDate());
    }

private:
    // A button showing an arrowhead, named for a screen reader by what it does.
    QToolButton* Arrow(const QString& arrowhead, const QString& name)
    {
        auto* button = new QToolButton(this);
        button->setText(arrowhead);
        button->setAutoRaise(true);
        button->setFixedSize(kArrowSize * kScale, kArrowSize * kScale);
        button->setAccessibleName(name);
        button->setToolTip(name);
        return button;
    }

    // The day letters as the column headings, each named by its day.
    void SetUpDays()
    {
        for (int day = 0; day < kWeekDays; ++day) {
            // Qt counts days from Monday (1) to Sunday (7).
            int qtDay = day == 0 ? 7 : day;
            auto* heading = new QTableWidgetItem(kUsEnglish.dayName(qtDay, QLocale::NarrowFormat));
            heading->setData(Qt::AccessibleTextRole, kUsEnglish.dayName(qtDay, QLocale::LongFormat));
            if (Weekend(day))
                heading->setForeground(kWeekendColour);
            m_days->setHorizontalHeaderItem(day, heading);
        }
        m_days->verticalHeader()->hide();
        m_days->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        m_days->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        m_days->horizontalHeader()->setSectionsClickable(false);
        m_days->setShowGrid(false);
        m_days->setFrameShape(QFrame::NoFrame);
        m_days->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_days->setSelectionMode(QAbstractItemView::SingleSelection);
        m_days->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_days->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_days->setItemDelegate(new DayDelegate(m_days));
        m_days->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background: white; border: none; }"));
    }

    // Fills the weeks of the month of `date` from the Sunday on or before its
    // first day; selects today when it is in that month.
    void ShowMonth(QDate date)
    {
        m_month = QDate(date.year(), date.month(), 1);
        m_title->setText(kUsEnglish.toString(m_month, QStringLiteral("MMMM yyyy")));
        m_days->setAccessibleName(m_title->text());
        QDate day = m_month.addDays(-(m_month.dayOfWeek() % kWeekDays));
        for (int row = 0; row < kWeeks; ++row) {
            for (int column = 0; column < kWeekDays; ++column, day = day.addDays(1)) {
                auto* cell = new QTableWidgetItem(QString::number(day.day()));
                cell->setTextAlignment(Qt::AlignCenter);
                cell->setData(Qt::UserRole, day);
                cell->setData(Qt::AccessibleTextRole, kUsEnglish.toString(day, QStringLiteral("dddd, MMMM d, yyyy")));
                if (day.month() != m_month.month())
                    cell->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
                else if (Weekend(column))
                    cell->setForeground(kWeekendColour);
                m_days->setItem(row, column, cell);
                if (day == QDate::currentDate())
                    m_days->setCurrentItem(cell);
            }
        }
    }

    QToolButton* m_previous;  // shows the month before
    QToolButton* m_next;      // shows the month after
    QLabel* m_title;          // the month and year shown
    QTableWidget* m_days;     // the weeks of the month
    QDate m_month;            // its first day
};

}  // namespace

const ControlClass kCalendarClass = {
    .name = L"SysMonthCal32",
    .create = [](WindowObject*, QWidget* parent) -> QWidget* { return new MonthCalendar(parent); },
};

}  // namespace platform
