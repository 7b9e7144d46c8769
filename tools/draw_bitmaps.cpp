// Draws the program's pictures as PNG files at twice the handheld pixel size.
// Usage: draw_bitmaps OUTDIR

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

constexpr int kScale = 2;  // desktop pixels per handheld pixel
const QColor kNavy(0x1a, 0x2a, 0x5a);
const QColor kBarGrey(0xe4, 0xe8, 0xf0);
const QColor kRed(0xc8, 0x1e, 0x2a);
const QColor kBall(0x8b, 0x4a, 0x22);

enum class Kind { Plain, Band, RecordBar, Title, Field, Icon };
enum class Anchor { Left, Right, Centre };

// A caption's x is in handheld pixels: the first ink column for Left,
// the last ink column for Right, the middle column for Centre.
struct Caption {
    const char* words;
    int x;
    Anchor anchor;
};

struct Bitmap {
    const char* name;
    int width, height;  // handheld pixels
    Kind kind;
    std::vector<Caption> captions;
    double squeeze = 1.0;  // horizontal scale of the lettering
};

// Single captions: flush left, one pixel in from the left, or centred.
Caption left(const char* words) { return {words, 0, Anchor::Left}; }
Caption inset(const char* words) { return {words, 1, Anchor::Left}; }
Caption centred(const char* words, int width) { return {words, width / 2, Anchor::Centre}; }

const std::vector<Bitmap> kBitmaps = {
    {"bitmap118", 56, 10, Kind::Band, {inset("AFC East")}},
    {"bitmap119", 56, 10, Kind::Band, {inset("AFC North")}},
    {"bitmap120", 56, 10, Kind::Band, {inset("AFC South")}},
    {"bitmap121", 56, 10, Kind::Band, {inset("AFC West")}},
    {"bitmap122", 56, 10, Kind::Band, {inset("NFC East")}},
    {"bitmap123", 56, 10, Kind::Band, {inset("NFC North")}},
    {"bitmap124", 56, 10, Kind::Band, {inset("NFC South")}},
    {"bitmap125", 56, 10, Kind::Band, {inset("NFC West")}},
    {"bitmap128", 173, 11, Kind::Plain,
     {{"Team", 0, Anchor::Left}, {"W", 99, Anchor::Right}, {"L", 128, Anchor::Right},
      {"T", 157, Anchor::Right}, {"Pct.", 172, Anchor::Right}},
     0.8},
    {"bitmap129", 75, 10, Kind::Plain, {left("Choose Week")}},
    {"bitmap130", 75, 10, Kind::Plain, {left("Choose Team")}},
    {"bitmap134", 200, 18, Kind::RecordBar,
     {{"W", 15, Anchor::Centre}, {"L", 38, Anchor::Centre}, {"T", 60, Anchor::Centre},
      {"Pct", 75, Anchor::Left}, {"Home", 141, Anchor::Centre}, {"Road", 188, Anchor::Centre}}},
    {"bitmap135", 99, 17, Kind::Title, {{"Corvale", 1, Anchor::Left}}},
    {"bitmap140", 125, 101, Kind::Field, {}},
    {"bitmap141", 126, 16, Kind::Plain, {centred("Please wait...", 126)}},
    {"bitmap142", 171, 16, Kind::Plain, {centred("Connecting to Internet", 171)}},
    {"bitmap143", 183, 16, Kind::Plain, {centred("Downloading Schedules", 183)}},
    {"bitmap144", 183, 16, Kind::Plain, {centred("Downloading Standings", 183)}},
    {"icon101", 32, 32, Kind::Icon, {}},
};

// Left edge at which to draw text so that its ink meets the caption's anchor.
double inkOrigin(const Caption& caption, const QRectF& ink)
{
    double x = caption.x * kScale;
    switch (caption.anchor) {
    case Anchor::Left: return x - ink.left();
    case Anchor::Right: return x + kScale - ink.right();
    case Anchor::Centre: return x + kScale / 2.0 - (ink.left() + ink.right()) / 2;
    }
    return x;
}

// A font and the horizontal squeeze it is drawn with.
struct Lettering {
    QFont font;
    double squeeze;
};

// Ink bounds of words drawn with the lettering, relative to the pen position.
QRectF inkRect(const Lettering& lettering, const char* words)
{
    QRectF ink = QFontMetricsF(lettering.font).tightBoundingRect(words);
    return {ink.left() * lettering.squeeze, ink.top(), ink.width() * lettering.squeeze, ink.height()};
}

// The largest lettering whose captions fit the image width in order without touching,
// and fit a box of boxHeight desktop pixels with capitals centred and descenders inside.
Lettering fitLettering(const Bitmap& bitmap, QFont font, double boxHeight)
{
    Lettering lettering{font, bitmap.squeeze};
    for (int size = int(boxHeight); size > 4; --size) {
        lettering.font.setPixelSize(size);
        QFontMetricsF metrics(lettering.font);
        if ((boxHeight + metrics.capHeight()) / 2 + metrics.descent() > boxHeight + 0.5)
            continue;
        bool fits = true;
        double end = 0;  // right edge of the previous caption's ink plus a gap
        for (const Caption& caption : bitmap.captions) {
            QRectF ink = inkRect(lettering, caption.words);
            double start = inkOrigin(caption, ink) + ink.left();
            fits = fits && start >= end && start + ink.width() <= bitmap.width * kScale;
            end = start + ink.width() + 2 * kScale;
        }
        if (fits)
            return lettering;
    }
    return lettering;
}

// Writes the captions in a box of boxHeight desktop pixels from the top;
// returns where the last caption's ink ends.
double drawCaptions(QPainter& painter, const Bitmap& bitmap, const QFont& font, double boxHeight, QColor colour)
{
    Lettering lettering = fitLettering(bitmap, font, boxHeight);
    double baseline = (boxHeight + QFontMetricsF(lettering.font).capHeight()) / 2;
    double end = 0;
    painter.setFont(lettering.font);
    painter.setPen(colour);
    for (const Caption& caption : bitmap.captions) {
        QRectF ink = inkRect(lettering, caption.words);
        end = inkOrigin(caption, ink) + ink.right();
        painter.save();
        painter.translate(inkOrigin(caption, ink), baseline);
        painter.scale(lettering.squeeze, 1);
        painter.drawText(QPointF(0, 0), caption.words);
        painter.restore();
    }
    return end;
}

// Draws a football of the given length (handheld pixels) at centre, tilted by angle degrees.
void drawFootball(QPainter& painter, QPointF centre, double length, double angle)
{
    painter.save();
    painter.translate(centre);
    painter.rotate(angle);
    double l = length / 2, h = length * 0.31;
    QPainterPath ball;
    ball.moveTo(-l, 0);
    ball.cubicTo(-l * 0.55, -h * 1.32, l * 0.55, -h * 1.32, l, 0);
    ball.cubicTo(l * 0.55, h * 1.32, -l * 0.55, h * 1.32, -l, 0);
    painter.setPen(QPen(kBall.darker(160), length / 40));
    painter.setBrush(kBall);
    painter.drawPath(ball);
    painter.setPen(QPen(Qt::white, length / 22, Qt::SolidLine, Qt::RoundCap));
    double lace = l * 0.42;
    painter.drawLine(QPointF(-lace, -h * 0.12), QPointF(lace, -h * 0.12));
    for (int i = -2; i <= 2; ++i)
        painter.drawLine(QPointF(i * lace / 2.5, -h * 0.38), QPointF(i * lace / 2.5, h * 0.14));
    painter.restore();
}

// Green field with yard lines and hash marks, a football resting on it.
void drawField(QPainter& painter, int width, int height)
{
    for (int stripe = 0; stripe * 25 - 12.5 < width; ++stripe)
        painter.fillRect(QRectF(stripe * 25 - 12.5, 0, 25, height),
                         stripe % 2 ? QColor(0x3c, 0x8d, 0x3a) : QColor(0x35, 0x80, 0x34));
    painter.setPen(QPen(Qt::white, 1.2));
    for (double x = 12.5; x < width; x += 25) {
        painter.drawLine(QPointF(x, 0), QPointF(x, height));
        for (double hash = x + 5; hash < x + 25 && hash < width; hash += 5) {
            painter.drawLine(QPointF(hash, 8), QPointF(hash, 12));
            painter.drawLine(QPointF(hash, height - 12), QPointF(hash, height - 8));
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(QPointF(width / 2.0 + 4, height / 2.0 + 20), 34, 8);
    drawFootball(painter, QPointF(width / 2.0, height / 2.0 + 2), 84, -22);
}

// Draws one picture at desktop size.
QImage draw(const Bitmap& bitmap)
{
    bool icon = bitmap.kind == Kind::Icon;  // the only picture with see-through corners
    QImage image(bitmap.width * kScale, bitmap.height * kScale, icon ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(icon ? QColor(Qt::transparent) : QColor(Qt::white));
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont font("DejaVu Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    double fullHeight = image.height();
    switch (bitmap.kind) {
    case Kind::Plain:
        drawCaptions(painter, bitmap, font, fullHeight, kNavy);
        break;
    case Kind::Band:
        image.fill(kNavy);
        drawCaptions(painter, bitmap, font, fullHeight, Qt::white);
        break;
    case Kind::RecordBar:
        image.fill(kBarGrey);
        painter.fillRect(0, image.height() - kScale, image.width(), kScale, kNavy);
        drawCaptions(painter, bitmap, font, 9 * kScale, kNavy);
        break;
    case Kind::Title: {
        font.setItalic(true);
        double end = drawCaptions(painter, bitmap, font, 15 * kScale, kNavy);
        painter.fillRect(QRectF(kScale, 15.5 * kScale, end + kScale, kScale), kRed);
        break;
    }
    case Kind::Field:
        painter.scale(kScale, kScale);
        drawField(painter, bitmap.width, bitmap.height);
        break;
    case Kind::Icon:
        painter.scale(kScale, kScale);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kNavy);
        painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);
        drawFootball(painter, QPointF(16, 16), 28, -35);
        break;
    }
    return image;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_bitmaps OUTDIR\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "draw_bitmaps: cannot create %s\n", argv[1]);
        return 1;
    }
    for (const Bitmap& bitmap : kBitmaps) {
        QString path = dir.filePath(QString(bitmap.name) + ".png");
        if (!draw(bitmap).save(path, "PNG")) {
            std::fprintf(stderr, "draw_bitmaps: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
