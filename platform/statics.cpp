// The static control: text or a picture on the dialog's white, with the
// texts painted on it through gdi drawn over it. To a screen reader a text
// says itself, a picture the words it shows, and a figure under a picture
// of headings the heading above it (so that the picture itself is not
// read, nor an icon whose words another static says); a static labels the
// picker beside it.
//
// Divisions: the widget, a figure's heading, the entry.

#include "platform/accessible.h"
#include "platform/controls.h"
#include "platform/gdi.h"
#include "platform/resources.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

#include <cstdlib>

namespace platform {

namespace {

// The widget

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

bool IsPicture(const WindowObject* control)
{
    int kind = control->style & 0x1F;
    return kind == SS_BITMAP || kind == SS_ICON;
}

QWidget* CreateStatic(WindowObject* control, QWidget* parent)
{
    auto* label = new StaticWidget(control, parent);
    int kind = control->style & 0x1F;
    if (IsPicture(control)) {
        label->SetPictureDue();
        bool centred = (control->style & SS_CENTERIMAGE) != 0;
        label->setAlignment(centred ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    label->setText(Q(control->text));
    label->setAlignment((kind == SS_CENTER ? Qt::AlignHCenter : kind == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    return label;
}

void StaticTextChanged(WindowObject* control)
{
    if (auto* label = static_cast<StaticWidget*>(control->widget); !label->HasPicture())
        label->setText(Q(control->text));
    NameControl(control);
}

// A picture says the words it shows (the string resource of its own ID);
// a static painted on what is painted; else its text.
QString StaticWords(const WindowObject* control)
{
    if (IsPicture(control)) {
        WCHAR words[256] = {};
        LoadStringW(GetModuleHandleW(nullptr), control->resource, words, 256);
        return QString::fromWCharArray(words);
    }
    if (!control->data.painted.empty()) {
        std::vector<std::wstring> painted;
        for (const PaintedText& text : control->data.painted)
            painted.push_back(text.text);
        return JoinTexts(painted);
    }
    return Q(control->text).trimmed();
}

// A figure's heading

constexpr int kHeadingGap = 12;  // handheld pixels at most between a picture and a figure under it

// The places of a picture's words, when its resource has them (a picture
// of headings); none for any other.
const PICTUREWORDS* PlacesOf(const WindowObject* picture)
{
    HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(picture->resource), RT_RCDATA);
    return found ? static_cast<const PICTUREWORDS*>(LoadResource(GetModuleHandleW(nullptr), found)) : nullptr;
}

// A text standing just under a picture.
bool Under(const WindowObject* figure, const WindowObject* picture)
{
    const QRect own = figure->widget->geometry(), area = picture->widget->geometry();
    return !IsPicture(figure) && IsPicture(picture) && own.top() >= area.top() && own.top() - area.bottom() <= kHeadingGap * kScale;
}

// The word of the picture of headings just above a text that stands
// nearest over its middle.
QString HeadingOf(const WindowObject* figure)
{
    for (WindowObject* other : figure->parent->children) {
        const PICTUREWORDS* places = other->klass == &kStaticClass && Under(figure, other) ? PlacesOf(other) : nullptr;
        if (!places)
            continue;
        const int left = other->widget->geometry().left(), middle = figure->widget->geometry().center().x();
        const PICTUREWORD* nearest = nullptr;
        for (int i = 0; i < places->count; ++i) {
            const PICTUREWORD& word = places->words[i];
            if (!nearest || std::abs(left + word.x * kScale - middle) < std::abs(left + nearest->x * kScale - middle))
                nearest = &word;
        }
        if (nearest)
            return QString::fromWCharArray(nearest->word);
    }
    return QString();
}

// Words said elsewhere: a figure says its heading, of the picture of
// headings above it; another static says the words an icon stands for (the
// About box's product name, beside the icon).
bool SaysPicture(const WindowObject* control, const WindowObject* picture)
{
    if ((picture->style & 0x1F) != SS_ICON)
        return Under(control, picture) && PlacesOf(picture);
    const QString words = StaticWords(picture);
    return (control->style & 0x1F) != SS_ICON && !words.isEmpty() && StaticWords(control) == words;
}

}  // namespace

// The entry

const ControlClass kStaticClass = {
    .name = L"STATIC",
    .create = CreateStatic,
    .textChanged = StaticTextChanged,
    .words = StaticWords,
    .heading = HeadingOf,
    .labels = [](const WindowObject*) { return Labelling::Beside; },
    .isPicture = IsPicture,
    .says = SaysPicture,
    .dump = kDumpBitmap | kDumpPainted | kDumpText,
};

}  // namespace platform
