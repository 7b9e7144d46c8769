// Windows, messages, modal dialogs and message boxes on Qt widgets.
//
// Divisions: window bookkeeping, delivery to the program and blocking
// calls, the snapshot, the dialog frame, activation, messages, dialogs,
// message boxes, window search, description and user input.

#include "platform/internal.h"
#include "platform/testing.h"
#include "platform/winstation.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <unistd.h>

namespace platform {

namespace {

std::vector<WindowObject*> g_topLevel;  // live top-level windows, oldest first
std::set<const WindowObject*> g_live;   // every live window object
std::vector<std::unique_ptr<WindowObject>> g_remotes;  // proxies for other processes' windows
uint64_t g_nextSerial = 1;              // creation order
bool g_quitPosted = false;              // PostQuitMessage was called
MessageBoxHook g_messageBoxHook;        // tests pre-answer message boxes here

double NowMs()
{
    using namespace std::chrono;
    return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

WindowObject* NewWindow(WindowKind kind, const std::wstring& text)
{
    StationClaim(text, nullptr);  // released once other processes can see it
    auto* window = new WindowObject;
    window->kind = kind;
    window->text = text;
    RegisterWindow(window);
    g_topLevel.push_back(window);
    return window;
}

void ForgetChildren(WindowObject* window)
{
    for (WindowObject* child : window->children)
        ForgetChildren(child);
    g_live.erase(window);
    delete window;
}

// Frees a top-level window and its controls; other processes no longer see it.
void ForgetWindow(WindowObject* window)
{
    g_topLevel.erase(std::remove(g_topLevel.begin(), g_topLevel.end(), window), g_topLevel.end());
    ForgetChildren(window);
    RefreshSnapshot();
}

void WakeLoops()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

// Runs the modal loop of a window until it is ended (or a quit is posted).
void RunModalLoop(WindowObject* window)
{
    while (!window->ended && !g_quitPosted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool OnGuiThread()
{
    QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

// Delivery to the program. While the program waits inside a blocking
// platform call (an Internet request), the platform keeps painting and
// answering the window station, but what would reach the program (input,
// timers, posted messages, activation) waits here, in order, until the
// call has returned.

int g_blockDepth = 0;                          // blocking calls under way
std::deque<std::function<void()>> g_deferred;  // deliveries held meanwhile
bool g_drainPosted = false;                    // a drain is on its way

void DrainDeferred()
{
    g_drainPosted = false;
    while (!g_deferred.empty() && g_blockDepth == 0) {
        std::function<void()> delivery = std::move(g_deferred.front());
        g_deferred.pop_front();
        delivery();
    }
}

void PostDrain()
{
    if (g_drainPosted || g_deferred.empty() || !qApp)
        return;
    g_drainPosted = true;
    QTimer::singleShot(0, qApp, DrainDeferred);
}

// Whether a window's contents changed since the snapshot was last taken.
bool g_changed = true;

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
        window->client = new ClientArea(window, this);
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

WindowObject* g_active = nullptr;  // the window that was last made active

// The handheld's screen on the desktop: where the oldest dialog of the
// process (the main window) shows it. A later window is put where its
// handheld position lies on that screen, over the main window, rather than
// wherever the desktop puts an ownerless window. The first stays where the
// desktop put it.
void PlaceOnScreen(WindowObject* window)
{
    WindowObject* screen = nullptr;
    for (WindowObject* other : g_topLevel)
        if (!screen && other != window && other->kind == WindowKind::Dialog && other->widget && other->widget->isVisible())
            screen = other;
    if (!screen || !window->widget)
        return;
    // Client areas: the desktop adds each window's frame around it.
    QPoint origin = screen->widget->geometry().topLeft() - QPoint(screen->screenX, screen->screenY) * kScale;
    window->widget->setGeometry(QRect(origin + QPoint(window->screenX, window->screenY) * kScale, window->widget->size()));
}

}  // namespace

bool ProgramWaiting()
{
    return g_blockDepth > 0;
}

void DeliverToProgram(std::function<void()> delivery)
{
    if (g_blockDepth == 0 && g_deferred.empty()) {
        delivery();
        return;
    }
    g_deferred.push_back(std::move(delivery));
    if (g_blockDepth == 0)
        PostDrain();
}

void PostToProgram(std::function<void()> delivery)
{
    if (!qApp)
        return;
    QTimer::singleShot(0, qApp, [delivery = std::move(delivery)] { DeliverToProgram(delivery); });
}

BlockingCall::BlockingCall() : m_counted(OnGuiThread())
{
    if (!m_counted)
        return;
    ++g_blockDepth;
    RefreshSnapshotIfChanged();
}

BlockingCall::~BlockingCall()
{
    if (m_counted && --g_blockDepth == 0)
        PostDrain();
}

void ServeWhileBlocked()
{
    if (g_blockDepth == 0 || !OnGuiThread())
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    RefreshSnapshotIfChanged();
}

// Snapshot

void MarkChanged()
{
    g_changed = true;
}

void RefreshSnapshot()
{
    g_changed = false;
    std::vector<SnapshotWindow> windows;
    for (WindowObject* window : g_topLevel) {
        if (!window->widget)
            continue;
        // A dialog still in its initialisation is dumped by the GUI thread
        // once that is over.
        std::string dump = window->ready ? DescribeWindow(window, true).toStdString() : std::string();
        windows.push_back({window->serial, DescribeWindow(window, false).toStdString(), dump});
    }
    StationPublish(std::move(windows));
}

void RefreshSnapshotIfChanged()
{
    if (g_changed)
        RefreshSnapshot();
}

void StartWindowing()
{
    static bool started = false;
    StationStart();
    if (started || !qApp)
        return;
    started = true;
    StartKeyboard();
    // Taken whenever the GUI thread is about to wait, so that the other
    // processes see the windows as they are once each batch of work is done.
    // Claims of captions end there too: a search that found no window
    // made none before the process waited.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, qApp, [] {
            RefreshSnapshotIfChanged();
            StationReleaseAll();
        });
    // The desktop moved the focus to another application. Switching between
    // windows of this process may pass through a moment without an active
    // window: only one that lasts counts.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged, qApp, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            return;
        QTimer::singleShot(150, qApp, [] {
            if (QGuiApplication::applicationState() != Qt::ApplicationActive && !QApplication::activeWindow())
                LoseActivation();
        });
    });
}

// The desktop's close button and Escape: the window's own cancel command;
// a dialog that does not handle it is closed by its Cancel button, and one
// without either simply ends.
void CloseAsUser(WindowObject* window)
{
    PostToProgram([window] {
        if (!IsLiveWindow(window) || window->ended)
            return;
        if (SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0))
            return;
        for (WindowObject* control : window->children) {
            if (control->className == L"BUTTON" && (control->style & 0xF) != BS_GROUPBOX && control->text == L"Cancel" &&
                SendMessageW(window, WM_COMMAND, MAKEWPARAM(control->id, BN_CLICKED), reinterpret_cast<LPARAM>(control)))
                return;
        }
        EndDialog(window, IDCANCEL);
    });
}

// Activation

// Records that a window became the active one: the one that was active gets
// WM_ACTIVATE with WA_INACTIVE, the new one WA_ACTIVE; the other processes
// hear that theirs are no longer active.
void NoteActivation(WindowObject* window)
{
    if (!IsLiveWindow(window) || window == g_active)
        return;
    WindowObject* previous = IsLiveWindow(g_active) ? g_active : nullptr;
    g_active = window;
    MarkChanged();
    StationAnnounceActivation();
    DeliverToProgram([previous, window] {
        if (IsLiveWindow(previous))
            SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
        if (IsLiveWindow(window))
            SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    });
}

// A window of another process, or of another application, became active.
void LoseActivation()
{
    WindowObject* previous = IsLiveWindow(g_active) ? g_active : nullptr;
    g_active = nullptr;
    if (previous)
        DeliverToProgram([previous] {
            if (IsLiveWindow(previous))
                SendMessageW(previous, WM_ACTIVATE, WA_INACTIVE, 0);
        });
}

// Raises a top-level window, asks the desktop to activate it and records it.
void ActivateWindow(WindowObject* window)
{
    if (!IsLiveWindow(window))
        return;
    if (window->widget) {
        window->widget->raise();
        window->widget->activateWindow();
    }
    NoteActivation(window);
}

void RegisterWindow(WindowObject* window)
{
    window->serial = g_nextSerial++;
    window->created = NowMs();
    g_live.insert(window);
}

void RegisterTopLevel(WindowObject* window)
{
    StationClaim(window->text, nullptr);  // released once other processes can see it
    RegisterWindow(window);
    g_topLevel.push_back(window);
}

void PublishWindows()
{
    StartWindowing();
    RefreshSnapshot();
    for (WindowObject* window : g_topLevel)
        StationRelease(window->text);
}

void ForgetTopLevel(WindowObject* window)
{
    ForgetWindow(window);
}

void RunModalLoopOf(WindowObject* window)
{
    RunModalLoop(window);
}

const std::vector<WindowObject*>& TopLevelWindows()
{
    return g_topLevel;
}

bool IsLiveWindow(const WindowObject* window)
{
    return window && g_live.count(window) != 0;
}

// Looked up rather than read through the handle: a stale handle may point
// at a freed window.
bool IsRemoteWindow(const WindowObject* window)
{
    for (const auto& remote : g_remotes)
        if (remote.get() == window)
            return true;
    return false;
}

WindowObject* FindLocalWindow(uint64_t serial)
{
    for (WindowObject* window : g_topLevel)
        if (window->serial == serial)
            return window;
    return nullptr;
}

// Messages

}  // namespace platform

using namespace platform;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsLiveWindow(window))
        return 0;
    MarkChanged();
    if (window->procedure)
        return window->procedure(window, message, wParam, lParam);
    if (window->kind == WindowKind::Control)
        return ControlMessage(window, message, wParam, lParam);
    return 0;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsLiveWindow(window))
        return FALSE;
    PostToProgram([window, message, wParam, lParam] {
        if (IsLiveWindow(window))
            SendMessageW(window, message, wParam, lParam);
    });
    return TRUE;
}

void PostQuitMessage(int)
{
    g_quitPosted = true;
    WakeLoops();
}

HWND GetDlgItem(HWND dialog, int id)
{
    if (!IsLiveWindow(dialog))
        return nullptr;
    for (WindowObject* child : dialog->children)
        if (child->id == id)
            return child;
    return nullptr;
}

int GetDlgCtrlID(HWND control)
{
    return IsLiveWindow(control) ? control->id : 0;
}

BOOL IsWindow(HWND window)
{
    return IsLiveWindow(window) || IsRemoteWindow(window);
}

BOOL IsWindowVisible(HWND window)
{
    if (!IsLiveWindow(window))
        return FALSE;
    for (WindowObject* w = window; w; w = w->parent)
        if (!w->visible)
            return FALSE;
    return TRUE;
}

// Forwards a request about a window of another process.
static BOOL AskRemote(HWND window, const std::string& verb, const std::string& extra = std::string())
{
    if (window->remoteId == 0)  // a copy that did not answer: its windows are unknown
        return FALSE;
    std::string request = verb + "\t" + std::to_string(window->remoteId);
    if (!extra.empty())
        request += "\t" + extra;
    std::string reply;
    return StationRequest(window->remotePid, request, reply) && reply.rfind("ok", 0) == 0;
}

BOOL ShowWindow(HWND window, int command)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "show", std::to_string(command));
    if (!IsLiveWindow(window))
        return FALSE;
    BOOL wasVisible = window->visible;
    window->visible = command != SW_HIDE;
    MarkChanged();
    if (window->widget) {
        if (command == SW_MINIMIZE)
            window->widget->showMinimized();
        else if (command == SW_HIDE)
            window->widget->hide();
        else if (window->kind == WindowKind::Control)
            window->widget->setVisible(true);
        else {
            if (!window->widget->isVisible())
                PlaceOnScreen(window);  // shown again: over the main window where it is now
            window->widget->showNormal();
        }
    }
    if (window->kind == WindowKind::Control)
        RefitFocusMark(window);
    if (command != SW_HIDE && window->className == L"COMBOBOX")
        NameControl(window);
    return wasVisible;
}

BOOL UpdateWindow(HWND window)
{
    if (!IsLiveWindow(window))
        return FALSE;
    if (window->widget && window->widget->isVisible())
        window->widget->repaint();
    return TRUE;
}

BOOL SetForegroundWindow(HWND window)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "foreground");
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    ActivateWindow(window);
    return TRUE;
}

BOOL DestroyWindow(HWND window)
{
    if (IsRemoteWindow(window))
        return AskRemote(window, "destroy");
    if (!IsLiveWindow(window) || window->kind == WindowKind::Control)
        return FALSE;
    // A top-level window here always runs a modal loop: end it; the loop's
    // owner frees the window when control returns to it.
    MarkChanged();
    window->ended = true;
    window->result = 0;
    window->visible = false;
    if (window->widget)
        window->widget->hide();
    WakeLoops();
    return TRUE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    if (!IsLiveWindow(window))
        return FALSE;
    window->text = text ? text : L"";
    MarkChanged();
    if (window->kind == WindowKind::Control)
        ControlTextChanged(window);
    else if (window->widget)
        window->widget->setWindowTitle(QString::fromStdWString(window->text));
    return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int bufferSize)
{
    if (!IsLiveWindow(window) || !buffer || bufferSize <= 0)
        return 0;
    int count = std::min<int>(static_cast<int>(window->text.size()), bufferSize - 1);
    std::copy_n(window->text.c_str(), count, buffer);
    buffer[count] = L'\0';
    return count;
}

// Dialogs

INT_PTR DialogBoxIndirectParamW(HINSTANCE, const DLGTEMPLATEW* dialogTemplate, HWND, DLGPROC procedure, LPARAM initParam)
{
    if (!dialogTemplate || !procedure || !qApp)
        return -1;
    WindowObject* window = NewWindow(WindowKind::Dialog, dialogTemplate->title ? dialogTemplate->title : L"");
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
        MarkChanged();
        PlaceOnScreen(window);
        frame->show();
    }
    RunModalLoop(window);
    INT_PTR result = window->result;
    KillTimersOf(window);
    frame->hide();
    frame->deleteLater();
    ForgetWindow(window);
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    if (!IsLiveWindow(dialog) || dialog->kind != WindowKind::Dialog)
        return FALSE;
    MarkChanged();
    dialog->ended = true;
    dialog->result = result;
    dialog->visible = false;
    if (dialog->widget)
        dialog->widget->hide();
    WakeLoops();
    return TRUE;
}

// Message boxes

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
    WindowObject* window = NewWindow(WindowKind::MessageBox, title);
    window->messageText = body;
    window->style = type;
    auto* box = new QMessageBox(IsLiveWindow(owner) ? owner->widget : nullptr);
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
        MarkChanged();
        WakeLoops();
    });
    window->visible = true;
    window->ready = true;
    box->show();
    PublishWindows();
    RunModalLoop(window);
    int result = window->result ? static_cast<int>(window->result) : IDOK;
    box->hide();
    box->deleteLater();
    ForgetWindow(window);
    return result;
}

// Window search

// Looking for a window of another process claims its caption first: a
// search that finds none keeps the claim until this process has made a
// window of that caption or next waits for events, so that a process
// starting at the same instant finds the window made instead of making a
// second. A claim another process holds for longer than a start takes
// counts as a window of that process.
HWND FindWindowW(LPCWSTR, LPCWSTR caption)
{
    if (!caption)
        return nullptr;
    for (auto it = g_topLevel.rbegin(); it != g_topLevel.rend(); ++it)
        if ((*it)->text == caption && !(*it)->ended)
            return *it;
    StationWindow best;
    best.caption = caption;
    bool claimed = StationClaim(caption, &best.pid);
    std::vector<int> silent;
    for (const StationWindow& window : claimed ? StationListAll(false, &silent) : std::vector<StationWindow>())
        if (window.caption == caption && (best.pid == 0 || window.created > best.created))
            best = window;
    // Another copy of this program that takes a connection but does not
    // answer in time may hold any of its windows: it is never taken for absent.
    for (int pid : silent)
        if (best.pid == 0 && SameProgram(pid))
            best.pid = pid;
    if (claimed && best.pid == 0)
        return nullptr;
    StationRelease(caption);
    for (const auto& remote : g_remotes)
        if (remote->remotePid == best.pid && remote->remoteId == best.id)
            return remote.get();
    auto remote = std::make_unique<WindowObject>();  // kept for the life of the process
    remote->kind = WindowKind::Remote;
    remote->text = best.caption;
    remote->remotePid = best.pid;
    remote->remoteId = best.id;
    g_remotes.push_back(std::move(remote));
    return g_remotes.back().get();
}

void InitCommonControls()
{
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes)
{
    return classes && classes->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

// Description and user input

namespace platform {

static const char* KindName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Dialog: return "dialog";
    case WindowKind::MessageBox: return "messagebox";
    case WindowKind::Help: return "help";
    default: return "other";
    }
}

QString DescribeWindow(WindowObject* window, bool withControls)
{
    QJsonObject object;
    object["caption"] = QString::fromStdWString(window->text);
    object["pid"] = static_cast<int>(getpid());
    object["id"] = static_cast<double>(window->serial);
    object["visible"] = window->visible;
    object["kind"] = KindName(window->kind);
    object["created"] = window->created;
    if (withControls) {
        object["rect"] = WindowRectJson(window);
        object["cursor"] = CursorName();
        if (window->kind == WindowKind::MessageBox)
            object["text"] = QString::fromStdWString(window->messageText);
        object["controls"] = QJsonArray();  // filled in below
    }
    QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    if (withControls) {
        std::string controls = "\"controls\":[";
        for (WindowObject* child : window->children) {
            if (controls.back() != '[')
                controls += ',';
            AppendControlJson(controls, child);
        }
        controls += ']';
        // The key's quotes cannot occur unescaped inside a string value.
        const QByteArray placeholder = "\"controls\":[]";
        json.replace(json.indexOf(placeholder), placeholder.size(), QByteArray::fromStdString(controls));
    }
    return QString::fromUtf8(json);
}

bool PostUserInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error, bool perform)
{
    if (window->kind == WindowKind::MessageBox && (verb == "close" || verb == "command")) {
        if (!perform)
            return true;
        int answer = verb == "command" && !args.empty() ? std::atoi(args[0].c_str()) : IDOK;
        window->result = answer == IDCANCEL && (window->style & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
        window->ended = true;
        MarkChanged();
        WakeLoops();
        return true;
    }
    return ControlInput(window, verb, args, error, perform);
}

bool FrameInput(WindowObject* window, const std::string& verb, const std::vector<std::string>& args, std::string& error, bool perform)
{
    QWidget* widget = window->widget;
    if (!widget) {
        error = "window has no widget";
        return false;
    }
    static const struct {
        const char* verb;  // as the inspector sends it
        size_t args;       // arguments it takes
    } kFrameVerbs[] = {{"close", 0}, {"minimize", 0}, {"activate", 0}, {"command", 1}, {"screenshot", 1}, {"key", 1}};
    bool known = false;
    for (const auto& entry : kFrameVerbs)
        known = known || (verb == entry.verb && args.size() == entry.args);
    if (!known) {
        error = "unknown verb " + verb;
        return false;
    }
    if (verb == "key")
        return TypeKeys(window, QString::fromStdString(args[0]), error, perform);
    if (!perform)
        return true;
    if (verb == "close" && args.empty()) {
        QTimer::singleShot(0, widget, [widget] { widget->close(); });
        return true;
    }
    if (verb == "minimize" && args.empty()) {
        QTimer::singleShot(0, widget, [widget] { widget->showMinimized(); });
        return true;
    }
    if (verb == "activate" && args.empty()) {
        QTimer::singleShot(0, widget, [window] { ActivateWindow(window); });
        return true;
    }
    if (verb == "command" && args.size() == 1) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(std::atoi(args[0].c_str()), 0), 0);
        return true;
    }
    if (verb == "screenshot" && args.size() == 1) {
        if (widget->grab().save(QString::fromStdString(args[0]), "PNG"))
            return true;
        error = "cannot write " + args[0];
        return false;
    }
    return false;
}

}  // namespace platform

// Geometry: handheld pixels; a top-level window's client area starts at its
// screen position, a control's rectangle is relative to that client area.

static QWidget* ClientOrWidget(HWND window)
{
    return window->client ? window->client : window->widget;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!IsLiveWindow(window) || !rect || !window->widget)
        return FALSE;
    WindowObject* top = window;
    int x = 0, y = 0;
    if (window->kind == WindowKind::Control) {
        top = window->parent;
        x = window->widget->x() / kScale;
        y = window->widget->y() / kScale;
    }
    rect->left = top->screenX + x;
    rect->top = top->screenY + y;
    QWidget* sized = window->kind == WindowKind::Control ? window->widget : window->widget;
    rect->right = rect->left + sized->width() / kScale;
    rect->bottom = rect->top + sized->height() / kScale;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect)
{
    if (!IsLiveWindow(window) || !rect || !window->widget)
        return FALSE;
    QWidget* area = ClientOrWidget(window);
    int border = 0;
    if (auto* frame = qobject_cast<QFrame*>(area); frame && window->kind == WindowKind::Control)
        border = frame->frameWidth();
    rect->left = 0;
    rect->top = 0;
    rect->right = (area->width() - 2 * border) / kScale;
    rect->bottom = (area->height() - 2 * border) / kScale;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    QWidget* widget = window->widget;
    if (!(flags & SWP_NOMOVE)) {
        if (window->kind == WindowKind::Control) {
            widget->move(x * kScale, y * kScale);
        } else {
            window->screenX = x;
            window->screenY = y;
        }
    }
    if (!(flags & SWP_NOSIZE))
        widget->resize(width * kScale, height * kScale);
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST && window->kind != WindowKind::Control) {
            widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
            if (window->visible)
                widget->show();
        }
        if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST)
            widget->raise();
    }
    if (window->kind == WindowKind::Control)
        RefitFocusMark(window);
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(window, SW_SHOWNORMAL);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(window, SW_HIDE);
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL)
{
    if (!IsLiveWindow(window) || !window->widget)
        return FALSE;
    ClientOrWidget(window)->update();
    return TRUE;
}

// Cursors and timers

struct CursorObject {
    int id;  // the system cursor ID
};

namespace {

CursorObject g_waitCursor{32514};
HCURSOR g_cursor = nullptr;  // the cursor SetCursor last set

struct TimerEntry {
    HWND window;       // who gets WM_TIMER
    UINT_PTR id;       // its ID
    QTimer* timer;     // the Qt timer behind it
    bool due = false;  // fired while the program waited; WM_TIMER held
};

std::vector<TimerEntry> g_timers;

TimerEntry* FindTimer(HWND window, UINT_PTR id)
{
    for (TimerEntry& entry : g_timers)
        if (entry.window == window && entry.id == id)
            return &entry;
    return nullptr;
}

// A timer's tick. Ticks while the program waits make one WM_TIMER once it
// is done, and none when the timer is killed before.
void DeliverTimer(HWND window, UINT_PTR id)
{
    TimerEntry* entry = FindTimer(window, id);
    if (!entry || entry->due)
        return;
    entry->due = true;
    DeliverToProgram([window, id] {
        TimerEntry* still = FindTimer(window, id);
        if (!still || !still->due)
            return;
        still->due = false;
        if (IsLiveWindow(window))
            SendMessageW(window, WM_TIMER, id, 0);
    });
}

}  // namespace

HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR cursorName)
{
    if (module || cursorName != IDC_WAIT)
        return nullptr;
    return &g_waitCursor;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    HCURSOR previous = g_cursor;
    if (cursor == g_cursor)
        return previous;
    MarkChanged();
    if (g_cursor == &g_waitCursor)
        QApplication::restoreOverrideCursor();
    if (cursor == &g_waitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    g_cursor = cursor;
    return previous;
}

namespace platform {

QString CursorName()
{
    return g_cursor == &g_waitCursor ? QStringLiteral("wait") : QStringLiteral("none");
}

void KillTimersOf(WindowObject* window)
{
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        if (it->window == window) {
            delete it->timer;
            it = g_timers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace platform

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, void*)
{
    if (!IsLiveWindow(window))
        return 0;
    KillTimer(window, id);
    auto* timer = new QTimer;
    // The handheld's timers are not coalesced: a coarse timer may run 5% late.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(milliseconds));
    QObject::connect(timer, &QTimer::timeout, timer, [window, id] { DeliverTimer(window, id); });
    g_timers.push_back({window, id, timer});
    timer->start();
    return id;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    for (auto it = g_timers.begin(); it != g_timers.end(); ++it) {
        if (it->window == window && it->id == id) {
            it->timer->deleteLater();
            it->timer->stop();
            g_timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
