// Dialogs and message boxes: the frame a dialog shows in, its modal loop,
// where it appears on the desktop, the desktop's close button and Escape,
// and the message boxes.
//
// Divisions: the frame, placement, closing, dialogs, message boxes.

#include "platform/dialogs.h"

#include "platform/control.h"
#include "platform/controls.h"
#include "platform/delivery.h"
#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/timers.h"
#include "platform/window.h"
#include "platform/windowing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QWidget>

#include <algorithm>

namespace platform {

namespace {

// The frame

// A dialog's client area: the handheld's white window background, then its
// own painting through WM_PAINT. Statics and pictures are drawn on the white;
// the other controls keep their own faces.
class ClientArea : public QWidget {
public:
    ClientArea(WindowObject* window, QWidget* parent) : QWidget(parent), m_window(window) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter(this).fillRect(rect(), Qt::white);
        SendMessageW(m_window, WM_ERASEBKGND, 0, 0);
        SendMessageW(m_window, WM_PAINT, 0, 0);
        QWidget::paintEvent(event);
    }

private:
    WindowObject* m_window;  // the dialog this is the client area of
};

// The top-level widget of a dialog: turns the desktop's close button,
// Escape, Enter, minimise and activation into the handheld's messages.
class DialogFrame : public QWidget {
public:
    explicit DialogFrame(WindowObject* window) : m_window(window)
    {
        setObjectName(kWindowName);
        window->client = new ClientArea(window, this);
        window->client->setObjectName(kClientAreaName);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        int menuHeight = m_window->menuBar ? kMenuBarHeight * kScale : 0;
        m_window->client->setGeometry(0, 0, width(), height() - menuHeight);
        if (m_window->menuBar)
            m_window->menuBar->setGeometry(0, height() - menuHeight, width(), menuHeight);
        QWidget::resizeEvent(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        CloseAsUser(m_window);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            CloseAsUser(m_window);
        else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        else
            QWidget::keyPressEvent(event);
    }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::WindowStateChange && isMinimized())
            PostMessageW(m_window, WM_SIZE, SIZE_MINIMIZED, 0);
        else if (event->type() == QEvent::ActivationChange && isActiveWindow())
            NoteActivation(m_window);
        QWidget::changeEvent(event);
    }

private:
    WindowObject* m_window;  // the dialog this frame shows
};

}  // namespace

// Placement

namespace {

// The handheld's screen on the desktop: where the oldest dialog of the
// process (the main window) shows it. A later window is put where its
// handheld position lies on that screen, over the main window, rather than
// wherever the desktop puts an ownerless window, and moved just enough to
// lie inside the work area of the main window's screen, its frame (taken
// to be the main window's) included. The first stays where the desktop put it.
void PlaceOnScreen(WindowObject* window)
{
    WindowObject* screen = nullptr;
    for (WindowObject* other : TopLevelWindows())
        if (!screen && other != window && other->kind == WindowKind::Dialog && other->widget && other->widget->isVisible())
            screen = other;
    if (!screen || !window->widget)
        return;
    // Client areas: the desktop adds each window's frame around it.
    QPoint origin = screen->widget->geometry().topLeft() - QPoint(screen->screenX, screen->screenY) * kScale;
    QRect client(origin + QPoint(window->screenX, window->screenY) * kScale, window->widget->size());
    window->widget->setGeometry(InsideWorkArea(client, FrameMargins(screen->widget), screen->widget->screen(), false));
}

// The windowing, and the placement of a window shown again, once.
void StartDialogs()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    StartWindowing();
    WatchWindows([](WindowEvent event, WindowObject* window) {
        if (event == WindowEvent::TopLevelShown)
            PlaceOnScreen(window);
    });
}

}  // namespace

// Closing

void CloseAsUser(WindowObject* window)
{
    AskToStopWaiting(window);
    PostToProgram([window] {
        if (!IsLiveWindow(window) || window->ended)
            return;
        if (SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0))
            return;
        for (WindowObject* control : window->children) {
            if (control->klass && control->klass->presses && control->klass->presses(control) && control->text == L"Cancel" &&
                SendMessageW(window, WM_COMMAND, MAKEWPARAM(control->id, BN_CLICKED), reinterpret_cast<LPARAM>(control)))
                return;
        }
        EndDialog(window, IDCANCEL);
    });
}

}  // namespace platform

using namespace platform;

// Dialogs

INT_PTR DialogBoxIndirectParamW(HINSTANCE, const DLGTEMPLATEW* dialogTemplate, HWND, DLGPROC procedure, LPARAM initParam)
{
    if (!dialogTemplate || !procedure || !qApp)
        return -1;
    StartDialogs();
    WindowObject* window = NewTopLevel(WindowKind::Dialog, dialogTemplate->title ? dialogTemplate->title : L"");
    window->style = dialogTemplate->style;
    window->exStyle = dialogTemplate->dwExtendedStyle;
    window->procedure = procedure;
    auto* frame = new DialogFrame(window);
    window->widget = frame;
    frame->setWindowTitle(QString::fromStdWString(window->text));
    frame->setFont(DialogFont());
    int width = DialogUnitsToPixelsX(dialogTemplate->cx);
    int height = DialogUnitsToPixelsY(dialogTemplate->cy);
    window->screenX = std::max(0, (kScreenWidth - width) / 2);
    window->screenY = std::max(kNavBarHeight, (kScreenHeight - height) / 2);
    frame->resize(width * kScale, height * kScale);
    BuildDialog(window, dialogTemplate);
    PublishWindows();

    SendMessageW(window, WM_INITDIALOG, 0, initParam);
    window->ready = true;
    // A modal dialog is shown once initialised, unless it already ended.
    if (!window->ended) {
        window->visible = true;
        NoteChanged();
        PlaceOnScreen(window);
        frame->show();
        AskToActivate(window);  // takes the keyboard, with or without a window manager
    }
    RunModalLoopOf(window);
    INT_PTR result = window->result;
    KillTimersOf(window);
    frame->hide();
    frame->deleteLater();
    ForgetTopLevel(window);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    if (!IsLiveWindow(dialog) || dialog->kind != WindowKind::Dialog)
        return FALSE;
    NoteChanged();
    dialog->ended = true;
    dialog->result = result;
    dialog->visible = false;
    if (dialog->widget)
        dialog->widget->hide();
    PassActivationOn(dialog, false);
    WakeLoops();
    return TRUE;
}

// Message boxes

namespace {
MessageBoxHook g_messageBoxHook;  // tests pre-answer message boxes here
}

void SetMessageBoxHookForTest(MessageBoxHook hook)
{
    g_messageBoxHook = std::move(hook);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    std::wstring body = text ? text : L"";
    std::wstring title = caption ? caption : L"Error";
    if (g_messageBoxHook)
        return g_messageBoxHook(body, title, type);
    if (!qApp)
        return 0;
    AwaitFontWarmUp();
    StartDialogs();
    WindowObject* window = NewTopLevel(WindowKind::MessageBox, title);
    window->messageText = body;
    window->style = type;
    window->owner = IsLiveWindow(owner) ? owner : nullptr;
    auto* box = new QMessageBox(window->owner ? owner->widget : nullptr);
    window->widget = box;
    box->setWindowTitle(QString::fromStdWString(title));
    box->setText(QString::fromStdWString(body));
    box->setIcon((type & 0xF0) == MB_ICONHAND ? QMessageBox::Critical : QMessageBox::NoIcon);
    QPalette white = box->palette();  // the handheld's window background; buttons keep their faces
    white.setColor(QPalette::Window, Qt::white);
    box->setPalette(white);
    if ((type & 0xF) == MB_OKCANCEL)
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    else
        box->setStandardButtons(QMessageBox::Ok);
    QObject::connect(box, &QMessageBox::finished, box, [window, box](int) {
        if (!IsLiveWindow(window) || window->ended)
            return;
        QAbstractButton* clicked = box->clickedButton();
        bool cancel = clicked && box->standardButton(clicked) == QMessageBox::Cancel;
        window->result = cancel ? IDCANCEL : IDOK;
        window->ended = true;
        // Modal: while the program is the active application, the keyboard was the box's.
        PassActivationOn(window, QGuiApplication::applicationState() == Qt::ApplicationActive);
        NoteChanged();
        WakeLoops();
    });
    window->visible = true;
    window->ready = true;
    box->show();
    PublishWindows();
    RunModalLoopOf(window);
    int result = window->result ? static_cast<int>(window->result) : IDOK;
    box->hide();
    box->deleteLater();
    ForgetTopLevel(window);
    return result;
}
