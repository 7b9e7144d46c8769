// The help viewer's window: a text browser in a top-level window of kind
// "help", closed by its close button, Escape or another process's
// DestroyWindow. It takes the keyboard as it opens, and lies inside the
// screen's work area: as small as that area at most, and where the desktop
// places it, moved just enough.

#include "platform/helpwindow.h"

#include "platform/gdi.h"
#include "platform/window.h"
#include "platform/windowing.h"
#include "platform/winstation.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace platform {

namespace {

// A text browser that reports its close button (and Escape) instead of
// closing, and its activation by the desktop, and keeps the place the
// desktop gives it inside the work area.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(WindowObject* window) : m_window(window) {}

    // Shows the window, as large as the work area at most; where it is
    // placed is the desktop's.
    void ShowInsideWorkArea()
    {
        resize(InsideWorkArea(geometry(), QMargins(), screen(), true).size());
        m_placing = true;
        show();
    }

protected:
    // The desktop's placement arrives as a move once it has framed the
    // window; until then (without a window manager, for good) the window
    // is kept inside as it is.
    void moveEvent(QMoveEvent* event) override
    {
        if (m_placing) {
            QMargins frame = FrameMargins(this);
            m_placing = frame.isNull();
            setGeometry(InsideWorkArea(geometry(), frame, screen(), true));
        }
        QTextBrowser::moveEvent(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        DestroyWindow(m_window);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            DestroyWindow(m_window);
        else
            QTextBrowser::keyPressEvent(event);
    }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ActivationChange && isActiveWindow())
            NoteActivation(m_window);
        QTextBrowser::changeEvent(event);
    }

private:
    WindowObject* m_window;  // the help window this browser shows
    bool m_placing = false;  // shown, and not yet framed by the desktop
};

}  // namespace

int RunHelpWindow(const std::wstring& title, const std::string& htmlPath, const std::string& anchor)
{
    StartWindowing();
    auto* window = NewTopLevel(WindowKind::Help, title);
    auto* browser = new HelpBrowser(window);
    window->widget = browser;
    browser->setWindowTitle(QString::fromStdWString(title));
    browser->setFont(DialogFont());
    browser->resize(kScreenWidth * kScale, (kScreenHeight - kNavBarHeight) * kScale);
    window->screenY = kNavBarHeight;
    QString path = QString::fromStdString(htmlPath);
    if (QFileInfo::exists(path)) {
        browser->setSource(QUrl::fromLocalFile(path));
        if (!anchor.empty())
            browser->scrollToAnchor(QString::fromStdString(anchor));
    } else {
        browser->setPlainText(QStringLiteral("The help file %1 could not be found.").arg(path));
    }
    window->visible = true;
    window->ready = true;
    browser->ShowInsideWorkArea();
    PublishWindows();
    // Opening the viewer makes it the active window, on every desktop.
    ActivateWindow(window);
    RunModalLoopOf(window);
    browser->hide();
    browser->deleteLater();
    ForgetTopLevel(window);
    StationStop();
    return 0;
}

}  // namespace platform
