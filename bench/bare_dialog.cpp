// The start-up baseline: a bare Qt Widgets program that shows one
// dialog-sized window with a label and quits once the window has painted.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Ends the event loop at its first paint (exit status 0).
class BareDialog : public QDialog {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QDialog::paintEvent(event);
        QCoreApplication::exit(0);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    BareDialog dialog;
    dialog.setWindowTitle("Bare dialog");
    dialog.resize(480, 588);  // the main window's size on the offscreen screen
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("A bare dialog", &dialog));
    dialog.show();
    // A platform that never paints still ends, with status 1.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    return application.exec();
}
