#include "platform/helpwindow.h"

#include "platform/internal.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace platform {

namespace {

// A text browser that reports its close button instead of closing.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(WindowObject* window) : m_window(window) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        DestroyWindow(m_window);
    }

private:
    WindowObject* m_window;  // the help window this browser shows
};

}  // namespace

int RunHelpWindow(const std::wstring& title, const std::string& htmlPath, const std::string& anchor)
{
    auto* window = new WindowObject;
    window->kind = WindowKind::Help;
    window->text = title;
    RegisterTopLevel(window);
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
    StationStart();
    window->visible = true;
    browser->show();
    RunModalLoopOf(window);
    browser->hide();
    browser->deleteLater();
    ForgetTopLevel(window);
    return 0;
}

}  // namespace platform
