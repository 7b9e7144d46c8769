// The handheld's look, read off the pixels of each window: the white window
// background around titles and pictures, group box titles on their frame's
// top line, and a US month calendar whatever the desktop's locale.

#include "app/resources/resource.h"
#include "platform/objects.h"
#include "platform/window.h"
#include "platform/testing.h"
#include "tests/support/app_harness.h"

#include <QAbstractItemModel>
#include <QDate>
#include <QImage>
#include <QLocale>
#include <QTableView>
#include <QTimer>
#include <QWidget>

namespace {

class LookTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        InstallSeason("season/2003");
    }
    void TearDown() override
    {
        QLocale::setDefault(QLocale::system());
        SetMessageBoxHookForTest(nullptr);
        AppTest::TearDown();
    }
};

QImage Shot(HWND window)
{
    UpdateWindow(window);
    return window->widget->grab().toImage();
}

// Pixels of the ring just outside a static's rectangle that lie on the
// window's own background (not on another shown control): how many there
// are, and how many of them are not white.
struct Ring {
    int sampled = 0;
    int notWhite = 0;
};

Ring RingAround(const QImage& shot, HWND window, HWND control)
{
    Ring ring;
    const QRect own = control->widget->geometry().adjusted(-3, -3, 3, 3);
    auto onBackground = [&](QPoint point) {
        if (!shot.rect().contains(point) || point.y() >= window->client->height())
            return false;
        for (WindowObject* other : window->children)
            if (other != control && other->widget->isVisible() && other->widget->geometry().adjusted(-1, -1, 1, 1).contains(point))
                return false;
        return true;
    };
    auto sample = [&](int x, int y) {
        if (!onBackground({x, y}))
            return;
        ++ring.sampled;
        ring.notWhite += shot.pixel(x, y) != qRgb(255, 255, 255);
    };
    for (int x = own.left(); x <= own.right(); ++x) {
        sample(x, own.top());
        sample(x, own.bottom());
    }
    for (int y = own.top(); y <= own.bottom(); ++y) {
        sample(own.left(), y);
        sample(own.right(), y);
    }
    return ring;
}

// Every shown static of a window stands on white.
void ExpectStaticsOnWhite(HWND window, int atLeast)
{
    QImage shot = Shot(window);
    int checked = 0;
    for (WindowObject* control : window->children) {
        if (control->className != L"STATIC" || !control->widget->isVisible())
            continue;
        Ring ring = RingAround(shot, window, control);
        if (ring.sampled < 20)
            continue;  // lies over another control, as a division picture does
        ++checked;
        EXPECT_EQ(ring.notWhite, 0) << "control " << control->id << " of " << std::string(window->text.begin(), window->text.end());
    }
    EXPECT_GE(checked, atLeast);
}

TEST_F(LookTest, TitlesAndPicturesStandOnTheWindowsWhite)
{
    RunMainWindow([](HWND window) {
        std::string error;
        ExpectStaticsOnWhite(window, 2);  // the standings title and header
        ASSERT_TRUE(InspectForTest(window, "select", {"1001", "1"}));
        ExpectStaticsOnWhite(window, 1);  // the team prompt
        ASSERT_TRUE(InspectForTest(window, "select", {"1001", "2"}));
        ExpectStaticsOnWhite(window, 1);  // the week prompt
        RunInsideDialog(window, IDM_ABOUT, L"About Corvale", [](HWND about) {
            ExpectStaticsOnWhite(about, 3);  // icon, version, product name
            SendMessageW(about, WM_COMMAND, IDOK, 0);
        });
        RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [](HWND options) {
            QImage shot = Shot(options);
            EXPECT_EQ(shot.pixel(2, 2), qRgb(255, 255, 255));
            SendMessageW(options, WM_COMMAND, IDOK, 0);
        });
        SetMessageBoxHookForTest([](const std::wstring&, const std::wstring&, UINT) { return IDOK; });
        RunInsideDialog(window, IDM_DOWNLOAD, L"RVL Download", [](HWND download) {
            ShowWindow(GetDlgItem(download, IDC_CONNECTING), SW_SHOWNORMAL);
            ExpectStaticsOnWhite(download, 3);  // picture, please wait, connecting
            SendMessageW(download, WM_COMMAND, IDCANCEL, 0);
        });
    });
}

TEST_F(LookTest, MessageBoxesAreWhite)
{
    int white = -1;
    QTimer::singleShot(100, [&] {
        for (WindowObject* window : platform::TopLevelWindows()) {
            if (window->kind != WindowKind::MessageBox)
                continue;
            QImage shot = window->widget->grab().toImage();
            white = shot.pixel(3, 3) == qRgb(255, 255, 255) && shot.pixel(shot.width() - 4, shot.height() / 2) == qRgb(255, 255, 255);
            window->widget->close();
        }
    });
    MessageBoxW(nullptr, L"Corvale does not appear to be installed properly.", L"Corvale", MB_OK | MB_ICONHAND);
    EXPECT_EQ(white, 1);
}

// The title interrupts the frame's top line: ink of the title lies above
// and below the row of that line.
TEST_F(LookTest, GroupBoxTitlesSitOnTheTopLineOfTheirFrame)
{
    RunMainWindow([](HWND window) {
        RunInsideDialog(window, IDM_OPTIONS, L"RVL Options", [](HWND options) {
            QImage shot = Shot(options);
            int groups = 0;
            for (WindowObject* control : options->children) {
                if (control->className != L"BUTTON" || (control->style & 0xF) != BS_GROUPBOX)
                    continue;
                ++groups;
                QRect box = control->widget->geometry();
                int line = -1;  // the top line, found down the frame's right edge
                for (int y = box.top(); y < box.bottom() && line < 0; ++y)
                    if (qGray(shot.pixel(box.right(), y)) < 200)
                        line = y;
                ASSERT_GT(line, box.top());
                int above = 0, below = 0, lineToTheRight = 0;
                for (int x = box.left(); x < box.left() + box.width() / 2; ++x) {
                    for (int y = box.top(); y < line + (line - box.top()) + 2; ++y) {
                        if (qGray(shot.pixel(x, y)) >= 100)
                            continue;
                        above += y < line;
                        below += y > line;
                    }
                }
                for (int x = box.right() - 20; x < box.right(); ++x)
                    lineToTheRight += qGray(shot.pixel(x, line)) < 200;
                EXPECT_GT(above, 10);
                EXPECT_GT(below, 10);
                EXPECT_EQ(lineToTheRight, 20);
            }
            EXPECT_EQ(groups, 2);
            SendMessageW(options, WM_COMMAND, IDOK, 0);
        });
    });
}

// A desktop whose locale starts weeks on Monday still gets a US calendar:
// S M T W T F S, Sunday first, today framed.
TEST_F(LookTest, TheCalendarIsAUsOneWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(QLocale().firstDayOfWeek(), Qt::Monday);
    RunMainWindow([](HWND window) {
        RunInsideDialog(window, IDM_CALENDAR, L"RVL Calendar", [](HWND dialog) {
            auto* days = GetDlgItem(dialog, IDC_MONTH_CALENDAR)->widget->findChild<QTableView*>();
            ASSERT_NE(days, nullptr);
            QAbstractItemModel* model = days->model();
            QString letters, names;
            for (int column = 0; column < model->columnCount(); ++column) {
                letters += model->headerData(column, Qt::Horizontal).toString();
                names += model->headerData(column, Qt::Horizontal, Qt::AccessibleTextRole).toString() + " ";
            }
            EXPECT_EQ(letters.toStdString(), "SMTWTFS");
            EXPECT_EQ(names.toStdString(), "Sunday Monday Tuesday Wednesday Thursday Friday Saturday ");
            EXPECT_EQ(days->currentIndex().data(Qt::UserRole).toDate(), QDate::currentDate());
            EXPECT_EQ(model->index(0, 0).data(Qt::UserRole).toDate().dayOfWeek(), Qt::Sunday);
            QImage shot = Shot(dialog);
            int marks = 0;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    marks += shot.pixel(x, y) == qRgb(0xc8, 0x1e, 0x2a);  // the calendar's red
            EXPECT_GT(marks, 40);  // the frame around today
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
    });
}

}  // namespace
