// Text drawn onto a control: fonts, colours, background mode. What a paint
// draws is kept on the control and drawn again whenever it repaints. Also
// the fonts the dialogs use, read early on a thread of their own.
//
// Divisions: fonts, painted texts, the paint calls.

#include "platform/gdi.h"

#include "platform/accessible.h"
#include "platform/objects.h"
#include "platform/window.h"

#include <QFontDatabase>
#include <QPainter>
#include <QWidget>

#include <dlfcn.h>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace platform;

struct GdiObject {
    bool isFont;       // a font, else a brush
    LOGFONTW font;     // the font's description
    COLORREF colour;   // the brush's colour
};

struct DeviceContext {
    WindowObject* window;            // the control painted on
    LOGFONTW font;                   // the selected font
    COLORREF textColour;             // SetTextColor
    int backgroundMode;              // SetBkMode
    std::vector<PaintedText> drawn;  // texts drawn since BeginPaint
};

namespace {

GdiObject g_whiteBrush{false, {}, RGB(255, 255, 255)};
// Reads the font configuration at start-up; joined at the latest when the
// process ends, so that an exit() never meets a thread still running.
struct FontWarmUp {
    std::thread thread;  // runs fontconfig's FcInit
    ~FontWarmUp()
    {
        if (thread.joinable())
            thread.join();
    }
} g_fontWarmUp;

// A face that exists: the handheld's faces fall back to a sans face here.
QString ExistingFace(const QString& face)
{
    static const QStringList families = QFontDatabase::families();
    if (families.contains(face, Qt::CaseInsensitive))
        return face;
    return families.contains("DejaVu Sans") ? QStringLiteral("DejaVu Sans") : QStringLiteral("Sans Serif");
}

QColor ColourFrom(COLORREF colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

bool SameTexts(const std::vector<PaintedText>& a, const std::vector<PaintedText>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const PaintedText& x = a[i];
        const PaintedText& y = b[i];
        if (x.text != y.text || x.format != y.format || x.color != y.color || x.backgroundMode != y.backgroundMode ||
            x.rect.left != y.rect.left || x.rect.top != y.rect.top || x.rect.right != y.rect.right ||
            x.rect.bottom != y.rect.bottom || std::memcmp(&x.font, &y.font, sizeof x.font) != 0)
            return false;
    }
    return true;
}

}  // namespace

namespace platform {

QFont FontFrom(const LOGFONTW& description)
{
    QFont font(ExistingFace(QString::fromWCharArray(description.lfFaceName)));
    int height = description.lfHeight < 0 ? -description.lfHeight : description.lfHeight;
    font.setPixelSize(std::max(1, (height ? height : 11) * kScale * 3 / 4));
    font.setWeight(description.lfWeight >= 600 ? QFont::Bold : QFont::Normal);
    font.setItalic(description.lfItalic != 0);
    return font;
}

void StartFontWarmUp()
{
    // Qt reads the configuration through fontconfig, loaded with Qt's GUI
    // library; FcInit is safe to call from any thread, and again later.
    using Init = int (*)();
    auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"));
    if (!init || g_fontWarmUp.thread.joinable())
        return;
    g_fontWarmUp.thread = std::thread([init] {
#if defined(__SANITIZE_ADDRESS__)
        // fontconfig never frees what it parsed of its configuration: the
        // leak checker leaves it out, which spares every exit the slow
        // symbolizing of its allocations' stacks.
        __lsan::ScopedDisabler keptForTheProcess;
#endif
        init();
    });
}

void AwaitFontWarmUp()
{
    if (g_fontWarmUp.thread.joinable())
        g_fontWarmUp.thread.join();
}

QFont DialogFont()
{
    AwaitFontWarmUp();
    // DejaVu Sans runs wider than the handheld's faces: a size a little under
    // theirs keeps the columns' texts whole.
    QFont font(ExistingFace(QStringLiteral("MS Sans Serif")));
    font.setPixelSize(17 * kScale / 2);
    return font;
}

QWidget* ClientWidget(WindowObject* dialog)
{
    return dialog->client ? dialog->client : dialog->widget;
}

QColor BrushColor(HBRUSH brush)
{
    return brush ? ColourFrom(brush->colour) : QColor(Qt::white);
}

void DrawPaintedTexts(WindowObject* control, QPainter& painter)
{
    for (const PaintedText& text : control->data.painted) {
        QRect area(text.rect.left * kScale, text.rect.top * kScale, (text.rect.right - text.rect.left) * kScale,
                   (text.rect.bottom - text.rect.top) * kScale);
        int flags = (text.format & DT_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft;
        flags |= Qt::AlignTop | ((text.format & DT_SINGLELINE) ? Qt::TextSingleLine : Qt::TextWordWrap);
        painter.setFont(FontFrom(text.font));
        QString string = QString::fromStdWString(text.text);
        if (text.backgroundMode == OPAQUE)
            painter.fillRect(painter.boundingRect(area, flags, string), Qt::white);
        painter.setPen(ColourFrom(text.color));
        painter.drawText(area, flags, string);
    }
}

}  // namespace platform

HDC BeginPaint(HWND window, PAINTSTRUCT* paint)
{
    if (!IsLiveWindow(window) || !paint)
        return nullptr;
    auto* context = new DeviceContext{window, {}, RGB(0, 0, 0), OPAQUE, {}};
    std::wcscpy(context->font.lfFaceName, L"MS Sans Serif");
    context->font.lfHeight = 11;
    paint->hdc = context;
    paint->fErase = TRUE;
    GetClientRect(window, &paint->rcPaint);
    return context;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (!paint || !paint->hdc)
        return FALSE;
    DeviceContext* context = paint->hdc;
    // Repaint only when the drawing changed, so that a paint handler that
    // draws on its own control does not paint for ever.
    if (IsLiveWindow(window) && !SameTexts(window->data.painted, context->drawn)) {
        window->data.painted = std::move(context->drawn);
        if (window->widget)
            window->widget->update();
        if (window->kind == WindowKind::Control)
            NameControl(window);
    }
    delete context;
    return TRUE;
}

HFONT CreateFontIndirectW(const LOGFONTW* font)
{
    return font ? new GdiObject{true, *font, 0} : nullptr;
}

HGDIOBJ SelectObject(HDC context, HGDIOBJ object)
{
    if (!context || !object || !object->isFont)
        return nullptr;
    context->font = object->font;
    return object;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object || object == &g_whiteBrush)
        return FALSE;
    delete object;
    return TRUE;
}

int SetBkMode(HDC context, int mode)
{
    if (!context)
        return 0;
    int old = context->backgroundMode;
    context->backgroundMode = mode;
    return old;
}

COLORREF SetTextColor(HDC context, COLORREF colour)
{
    if (!context)
        return 0;
    COLORREF old = context->textColour;
    context->textColour = colour;
    return old;
}

int DrawTextW(HDC context, LPCWSTR text, int length, RECT* rect, UINT format)
{
    if (!context || !text || !rect)
        return 0;
    std::wstring string = length < 0 ? std::wstring(text) : std::wstring(text, static_cast<size_t>(length));
    context->drawn.push_back({string, *rect, format, context->textColour, context->backgroundMode, context->font});
    int height = context->font.lfHeight < 0 ? -context->font.lfHeight : context->font.lfHeight;
    return height ? height : 11;
}

HGDIOBJ GetStockObject(int object)
{
    return object == WHITE_BRUSH ? &g_whiteBrush : nullptr;
}
