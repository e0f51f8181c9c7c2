// Draws every bitmap of the resource bundle: the splash picture, the page
// toolbar strip, the control bar buttons, the skin tiles and the program
// icon. Run at build time (offscreen): skin_gen OUTDIR.
//
// One palette for everything so the skin stays consistent: deep slate
// backgrounds, a teal accent for surfaces and an orange accent for the
// current/hot state and the product caption.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kSlateDark(0x17, 0x22, 0x2d);
const QColor kSlate(0x22, 0x31, 0x40);
const QColor kSlateLight(0x33, 0x47, 0x5b);
const QColor kTeal(0x2a, 0x9d, 0x8f);
const QColor kTealLight(0x6f, 0xd3, 0xc4);
const QColor kOrange(0xf4, 0xa2, 0x3c);
const QColor kOrangeLight(0xff, 0xc8, 0x7a);
const QColor kPaper(0xee, 0xf2, 0xf5);

QString g_out;

bool Save(const QImage& img, const QString& name)
{
    const QString path = g_out + "/" + name;
    QDir().mkpath(QFileInfo(path).path());
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "skin_gen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage Canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

void Stroke(QPainter& p, const QColor& c, qreal w)
{
    QPen pen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
}

// ---- glyphs, drawn into a square box ----
void GlyphPicture(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.07);
    QRectF f = r.adjusted(r.width() * 0.1, r.height() * 0.18, -r.width() * 0.1, -r.height() * 0.18);
    p.drawRoundedRect(f, 3, 3);
    QPainterPath m;
    m.moveTo(f.left() + f.width() * 0.08, f.bottom() - f.height() * 0.12);
    m.lineTo(f.left() + f.width() * 0.38, f.top() + f.height() * 0.42);
    m.lineTo(f.left() + f.width() * 0.58, f.top() + f.height() * 0.66);
    m.lineTo(f.left() + f.width() * 0.72, f.top() + f.height() * 0.52);
    m.lineTo(f.right() - f.width() * 0.08, f.bottom() - f.height() * 0.12);
    p.drawPath(m);
    p.setBrush(c);
    p.drawEllipse(QPointF(f.right() - f.width() * 0.25, f.top() + f.height() * 0.28), f.width() * 0.08,
                  f.width() * 0.08);
}

void GlyphNote(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.07);
    const qreal x1 = r.left() + r.width() * 0.38, x2 = r.left() + r.width() * 0.78;
    const qreal top = r.top() + r.height() * 0.16;
    p.drawLine(QPointF(x1, top + r.height() * 0.08), QPointF(x1, r.top() + r.height() * 0.72));
    p.drawLine(QPointF(x2, top), QPointF(x2, r.top() + r.height() * 0.64));
    QPen bar(c, r.width() * 0.11, Qt::SolidLine, Qt::FlatCap);
    p.setPen(bar);
    p.drawLine(QPointF(x1, top + r.height() * 0.08), QPointF(x2, top));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(x1 - r.width() * 0.1, r.top() + r.height() * 0.74), r.width() * 0.13, r.width() * 0.1);
    p.drawEllipse(QPointF(x2 - r.width() * 0.1, r.top() + r.height() * 0.66), r.width() * 0.13, r.width() * 0.1);
}

void GlyphMp3(QPainter& p, const QRectF& r, const QColor& c)
{
    GlyphNote(p, QRectF(r.left(), r.top() - r.height() * 0.08, r.width() * 0.8, r.height() * 0.8), c);
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(int(r.height() * 0.3));
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRectF(r.left(), r.bottom() - r.height() * 0.36, r.width(), r.height() * 0.36), Qt::AlignRight, "MP3");
}

void GlyphBook(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.07);
    QRectF b = r.adjusted(r.width() * 0.18, r.height() * 0.1, -r.width() * 0.14, -r.height() * 0.1);
    p.drawRoundedRect(b, 3, 3);
    p.drawLine(QPointF(b.left() + b.width() * 0.18, b.top()), QPointF(b.left() + b.width() * 0.18, b.bottom()));
    p.setBrush(c);
    p.drawEllipse(QPointF(b.center().x() + b.width() * 0.08, b.top() + b.height() * 0.38), b.width() * 0.14,
                  b.width() * 0.14);
    QPainterPath body;
    const QPointF base(b.center().x() + b.width() * 0.08, b.top() + b.height() * 0.78);
    body.moveTo(base.x() - b.width() * 0.26, base.y());
    body.quadTo(base.x(), base.y() - b.height() * 0.42, base.x() + b.width() * 0.26, base.y());
    body.closeSubpath();
    p.drawPath(body);
}

void GlyphEnvelope(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.07);
    QRectF e = r.adjusted(r.width() * 0.1, r.height() * 0.24, -r.width() * 0.1, -r.height() * 0.24);
    p.drawRoundedRect(e, 3, 3);
    QPainterPath v;
    v.moveTo(e.topLeft() + QPointF(2, 2));
    v.lineTo(e.center().x(), e.center().y() + e.height() * 0.1);
    v.lineTo(e.topRight() + QPointF(-2, 2));
    p.drawPath(v);
}

void GlyphFilm(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.07);
    QRectF body = r.adjusted(r.width() * 0.08, r.height() * 0.28, -r.width() * 0.34, -r.height() * 0.28);
    p.drawRoundedRect(body, 4, 4);
    QPainterPath lens;
    lens.moveTo(body.right() + r.width() * 0.04, body.center().y());
    lens.lineTo(r.right() - r.width() * 0.08, body.top() + 2);
    lens.lineTo(r.right() - r.width() * 0.08, body.bottom() - 2);
    lens.closeSubpath();
    p.setBrush(c);
    p.drawPath(lens);
}

void GlyphPlug(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.09);
    const QPointF ctr = r.center();
    QRectF head(ctr.x() - r.width() * 0.22, ctr.y() - r.height() * 0.12, r.width() * 0.44, r.height() * 0.3);
    p.drawRoundedRect(head, 3, 3);
    p.drawLine(QPointF(ctr.x() - r.width() * 0.1, head.top()),
               QPointF(ctr.x() - r.width() * 0.1, r.top() + r.height() * 0.14));
    p.drawLine(QPointF(ctr.x() + r.width() * 0.1, head.top()),
               QPointF(ctr.x() + r.width() * 0.1, r.top() + r.height() * 0.14));
    p.drawLine(QPointF(ctr.x(), head.bottom()), QPointF(ctr.x(), r.bottom() - r.height() * 0.1));
}

void GlyphArrow(QPainter& p, const QRectF& r, const QColor& c, bool up)
{
    Stroke(p, c, r.width() * 0.09);
    const qreal x = r.center().x();
    const qreal top = r.top() + r.height() * 0.16, bottom = r.top() + r.height() * 0.66;
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
    const qreal tip = up ? top : bottom, d = up ? 1 : -1;
    p.drawLine(QPointF(x, tip), QPointF(x - r.width() * 0.2, tip + d * r.height() * 0.2));
    p.drawLine(QPointF(x, tip), QPointF(x + r.width() * 0.2, tip + d * r.height() * 0.2));
    p.drawLine(QPointF(r.left() + r.width() * 0.2, r.bottom() - r.height() * 0.16),
               QPointF(r.right() - r.width() * 0.2, r.bottom() - r.height() * 0.16));
}

void GlyphDisk(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.08);
    QRectF d = r.adjusted(r.width() * 0.18, r.height() * 0.18, -r.width() * 0.18, -r.height() * 0.18);
    p.drawRoundedRect(d, 3, 3);
    p.drawRect(QRectF(d.left() + d.width() * 0.25, d.top(), d.width() * 0.5, d.height() * 0.3));
    p.drawRect(QRectF(d.left() + d.width() * 0.2, d.top() + d.height() * 0.55, d.width() * 0.6, d.height() * 0.45));
}

void GlyphPlus(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.11);
    p.drawLine(QPointF(r.center().x(), r.top() + r.height() * 0.22),
               QPointF(r.center().x(), r.bottom() - r.height() * 0.22));
    p.drawLine(QPointF(r.left() + r.width() * 0.22, r.center().y()),
               QPointF(r.right() - r.width() * 0.22, r.center().y()));
}

void GlyphPencil(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.09);
    p.drawLine(QPointF(r.left() + r.width() * 0.26, r.bottom() - r.height() * 0.26),
               QPointF(r.right() - r.width() * 0.24, r.top() + r.height() * 0.24));
    p.drawLine(QPointF(r.left() + r.width() * 0.2, r.bottom() - r.height() * 0.2),
               QPointF(r.left() + r.width() * 0.3, r.bottom() - r.height() * 0.2));
}

void GlyphTrash(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.08);
    QRectF can(r.left() + r.width() * 0.28, r.top() + r.height() * 0.34, r.width() * 0.44, r.height() * 0.46);
    p.drawRoundedRect(can, 2, 2);
    p.drawLine(QPointF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.26),
               QPointF(r.right() - r.width() * 0.2, r.top() + r.height() * 0.26));
    p.drawLine(QPointF(r.center().x() - r.width() * 0.08, r.top() + r.height() * 0.18),
               QPointF(r.center().x() + r.width() * 0.08, r.top() + r.height() * 0.18));
}

void GlyphCross(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.1);
    p.drawLine(QPointF(r.left() + r.width() * 0.26, r.top() + r.height() * 0.26),
               QPointF(r.right() - r.width() * 0.26, r.bottom() - r.height() * 0.26));
    p.drawLine(QPointF(r.right() - r.width() * 0.26, r.top() + r.height() * 0.26),
               QPointF(r.left() + r.width() * 0.26, r.bottom() - r.height() * 0.26));
}

void GlyphChart(QPainter& p, const QRectF& r, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal w = r.width() * 0.14, base = r.bottom() - r.height() * 0.2;
    const qreal hs[] = {0.25, 0.45, 0.33, 0.58};
    for (int i = 0; i < 4; ++i)
        p.drawRect(
            QRectF(r.left() + r.width() * 0.18 + i * w * 1.35, base - r.height() * hs[i], w, r.height() * hs[i]));
}

void GlyphFolder(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.08);
    QPainterPath f;
    f.moveTo(r.left() + r.width() * 0.16, r.bottom() - r.height() * 0.24);
    f.lineTo(r.left() + r.width() * 0.16, r.top() + r.height() * 0.26);
    f.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.26);
    f.lineTo(r.left() + r.width() * 0.48, r.top() + r.height() * 0.34);
    f.lineTo(r.right() - r.width() * 0.16, r.top() + r.height() * 0.34);
    f.lineTo(r.right() - r.width() * 0.16, r.bottom() - r.height() * 0.24);
    f.closeSubpath();
    p.drawPath(f);
}

void GlyphRefresh(QPainter& p, const QRectF& r, const QColor& c)
{
    Stroke(p, c, r.width() * 0.09);
    QRectF a = r.adjusted(r.width() * 0.24, r.height() * 0.24, -r.width() * 0.24, -r.height() * 0.24);
    p.drawArc(a, 40 * 16, 280 * 16);
    const QPointF end(a.center().x() + a.width() / 2 * std::cos(40 * M_PI / 180),
                      a.center().y() - a.height() / 2 * std::sin(40 * M_PI / 180));
    p.drawLine(end, end + QPointF(-r.width() * 0.16, -r.height() * 0.02));
    p.drawLine(end, end + QPointF(0, -r.height() * 0.16));
}

// ---- composed images ----

QImage PageButton(const Glyph& glyph, bool hot)
{
    QImage img = Canvas(70, 66);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF tile(5, 3, 60, 60);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    if (hot) {
        g.setColorAt(0, kOrangeLight);
        g.setColorAt(1, kOrange.darker(115));
    } else {
        g.setColorAt(0, kSlateLight.lighter(125));
        g.setColorAt(1, kSlate);
    }
    p.setPen(QPen(hot ? kOrangeLight : kSlateLight.lighter(150), 1.2));
    p.setBrush(g);
    p.drawRoundedRect(tile, 14, 14);
    // soft top highlight
    QLinearGradient shine(tile.topLeft(), QPointF(tile.left(), tile.center().y()));
    shine.setColorAt(0, QColor(255, 255, 255, hot ? 110 : 60));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawRoundedRect(tile.adjusted(2, 2, -2, -tile.height() / 2), 12, 12);
    glyph(p, tile.adjusted(12, 12, -12, -12), hot ? kSlateDark : kPaper);
    return img;
}

QImage ControlButton(const Glyph& glyph, int state)  // 0 normal, 1 hot, 2 pressed
{
    QImage img = Canvas(46, 44);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r(2, 1, 42, 42);
    QRadialGradient g(r.center() - QPointF(0, 8), 30);
    const QColor base = state == 0 ? kTeal : (state == 1 ? kOrange : kOrange.darker(125));
    g.setColorAt(0, base.lighter(135));
    g.setColorAt(1, base.darker(state == 2 ? 130 : 110));
    p.setPen(QPen(base.darker(160), 1.2));
    p.setBrush(g);
    p.drawEllipse(r);
    glyph(p, r.adjusted(9, 9, -9, -9), state == 0 ? Qt::white : kSlateDark);
    return img;
}

QImage Tile(int w, int h, const QColor& a, const QColor& b, bool vertical, int grain)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, vertical ? 0 : w, vertical ? h : 0);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    p.fillRect(img.rect(), g);
    // a faint diagonal weave so large areas do not look flat
    if (grain > 0) {
        p.setPen(QColor(255, 255, 255, grain));
        for (int x = -h; x < w; x += 6)
            p.drawLine(x, h, x + h, 0);
    }
    return img;
}

QImage Splash()
{
    QImage img(480, 300, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 480, 300);
    bg.setColorAt(0, kSlateDark);
    bg.setColorAt(0.6, kSlate);
    bg.setColorAt(1, QColor(0x1b, 0x4d, 0x5a));
    p.fillRect(img.rect(), bg);
    // arcs of signal behind the phone
    for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(QColor(kTealLight.red(), kTealLight.green(), kTealLight.blue(), 90 - i * 15), 3));
        const qreal rad = 60 + i * 34;
        p.drawArc(QRectF(360 - rad, 150 - rad, 2 * rad, 2 * rad), -50 * 16, 100 * 16);
    }
    // the phone
    QRectF body(300, 52, 110, 200);
    QLinearGradient pg(body.topLeft(), body.topRight());
    pg.setColorAt(0, QColor(0x4a, 0x5d, 0x70));
    pg.setColorAt(1, QColor(0x2a, 0x37, 0x44));
    p.setPen(QPen(kSlateLight.lighter(170), 2));
    p.setBrush(pg);
    p.drawRoundedRect(body, 22, 22);
    QRectF screen(body.left() + 14, body.top() + 24, body.width() - 28, 82);
    QLinearGradient sg(screen.topLeft(), screen.bottomRight());
    sg.setColorAt(0, kTealLight);
    sg.setColorAt(1, kTeal.darker(120));
    p.setBrush(sg);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(screen, 6, 6);
    GlyphNote(p, screen.adjusted(26, 10, -26, -10), kSlateDark);
    p.setBrush(kSlateLight.lighter(140));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRoundedRect(QRectF(body.left() + 20 + col * 25, body.top() + 122 + row * 22, 20, 14), 5, 5);
    // the name
    QFont title("DejaVu Sans");
    title.setBold(true);
    title.setPixelSize(46);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    p.setFont(title);
    p.setPen(kPaper);
    p.drawText(QRectF(32, 92, 280, 60), Qt::AlignLeft | Qt::AlignVCenter, "TELVANE");
    QFont sub("DejaVu Sans");
    sub.setPixelSize(15);
    p.setFont(sub);
    p.setPen(kOrange);
    p.drawText(QRectF(36, 148, 260, 24), Qt::AlignLeft, "R7730 phone suite");
    p.setPen(kTealLight);
    sub.setPixelSize(12);
    p.setFont(sub);
    p.drawText(QRectF(36, 176, 260, 60), Qt::AlignLeft | Qt::TextWordWrap,
               "Phonebook \u00b7 Messages \u00b7 Pictures\nRingtones \u00b7 MP3 \u00b7 Video");
    p.setPen(QPen(kOrange, 3));
    p.drawLine(QPointF(36, 86), QPointF(120, 86));
    sub.setPixelSize(11);
    p.setFont(sub);
    p.setPen(QColor(255, 255, 255, 120));
    p.drawText(QRectF(36, 262, 400, 20), Qt::AlignLeft, "Version 5.5");
    return img;
}

QImage AppIcon(int size)
{
    QImage img = Canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient g(tile.topLeft(), tile.bottomRight());
    g.setColorAt(0, kOrangeLight);
    g.setColorAt(1, kOrange.darker(120));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);
    QRectF body(s * 0.32, s * 0.14, s * 0.36, s * 0.72);
    p.setBrush(kSlate);
    p.drawRoundedRect(body, s * 0.07, s * 0.07);
    p.setBrush(kTealLight);
    p.drawRoundedRect(QRectF(body.left() + s * 0.04, body.top() + s * 0.08, body.width() - s * 0.08, s * 0.28),
                      s * 0.02, s * 0.02);
    p.setBrush(kPaper);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QRectF(body.left() + s * (0.055 + col * 0.09), body.top() + s * (0.42 + row * 0.085),
                                 s * 0.06, s * 0.05));
    return img;
}

// Message box icons (40 x 40): a disc in the skin's colours with a mark.
enum class Mark { Information, Question, Warning, Critical };
QImage MessageIcon(Mark mark)
{
    QImage img = Canvas(40, 40);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor fill = mark == Mark::Warning ? kOrange : mark == Mark::Critical ? QColor(0xc8, 0x4b, 0x3c) : kTeal;
    QRadialGradient g(QPointF(14, 12), 30);
    g.setColorAt(0, fill.lighter(125));
    g.setColorAt(1, fill.darker(115));
    p.setPen(QPen(kSlate, 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 36, 36));
    if (mark == Mark::Critical) {
        Stroke(p, Qt::white, 4);
        p.drawLine(QPointF(14, 14), QPointF(26, 26));
        p.drawLine(QPointF(26, 14), QPointF(14, 26));
        return img;
    }
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(24);
    p.setFont(f);
    p.setPen(mark == Mark::Warning ? kSlateDark : QColor(Qt::white));
    const char* text = mark == Mark::Information ? "i" : mark == Mark::Question ? "?" : "!";
    p.drawText(QRectF(2, 2, 36, 36), Qt::AlignCenter, QString::fromLatin1(text));
    return img;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_gen OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);

    // Toolbar 136: six 70 x 66 images, then the six highlighted ones.
    const Glyph pages[] = {GlyphPicture, GlyphNote, GlyphMp3, GlyphBook, GlyphEnvelope, GlyphFilm};
    const int n = int(std::size(pages));
    QImage strip = Canvas(70 * 2 * n, 66);
    {
        QPainter p(&strip);
        for (int i = 0; i < n; ++i) {
            p.drawImage(70 * i, 0, PageButton(pages[i], false));
            p.drawImage(70 * (i + n), 0, PageButton(pages[i], true));
        }
    }
    bool ok = Save(strip, "toolbar/136.png");

    // Control bar buttons 1042..1052, three states each.
    const Glyph controls[] = {
        GlyphPlug,  // 1042 connect
        [](QPainter& p, const QRectF& r, const QColor& c) {
            GlyphArrow(p, r, c, true);
        },  // 1043 put into phone / write
        [](QPainter& p, const QRectF& r, const QColor& c) { GlyphArrow(p, r, c, false); },  // 1044 save to PC / read
        GlyphDisk,  // 1045 save / export
        GlyphRefresh,  // 1046 refresh / reply
        GlyphChart,  // 1047 memory usage
        GlyphFolder,  // 1048 import / open
        GlyphPencil,  // 1049 edit
        GlyphPlus,  // 1050 add / new
        GlyphTrash,  // 1051 delete / empty
        GlyphCross,  // 1052 delete all
    };
    for (int i = 0; i < int(std::size(controls)); ++i) {
        const QString id = QString::number(1042 + i);
        ok &= Save(ControlButton(controls[i], 0), "buttons/" + id + ".png");
        ok &= Save(ControlButton(controls[i], 1), "buttons/" + id + "_hot.png");
        ok &= Save(ControlButton(controls[i], 2), "buttons/" + id + "_down.png");
    }

    ok &= Save(Splash(), "bitmaps/202.png");
    // Background patterns: strips as tall as the area they fill, repeated
    // sideways (12 pixels wide, a whole number of weave periods). Below a
    // strip the area shows the strip's last colour.
    ok &= Save(Tile(12, 112, kSlate, kSlateDark, true, 6), "skin/frame.png");
    ok &= Save(Tile(12, 72, kSlateLight, kSlate, true, 5), "skin/controlbar.png");
    ok &= Save(Tile(12, 220, QColor(0xf6, 0xf8, 0xfa), QColor(0xe6, 0xec, 0xf1), true, 0), "skin/dialog.png");
    ok &= Save(Tile(12, 340, kPaper, QColor(0xdd, 0xe4, 0xea), true, 0), "skin/pane.png");
    ok &= Save(Tile(12, 16, QColor(0xd9, 0xe1, 0xe8), QColor(0xc9, 0xd3, 0xdc), true, 0), "skin/progress_empty.png");
    ok &= Save(Tile(12, 16, kOrangeLight, kOrange, true, 40), "skin/progress_done.png");
    ok &= Save(MessageIcon(Mark::Information), "skin/msg_information.png");
    ok &= Save(MessageIcon(Mark::Question), "skin/msg_question.png");
    ok &= Save(MessageIcon(Mark::Warning), "skin/msg_warning.png");
    ok &= Save(MessageIcon(Mark::Critical), "skin/msg_critical.png");
    ok &= Save(AppIcon(256), "icons/telvane-256.png");
    ok &= Save(AppIcon(48), "icons/telvane-48.png");
    return ok ? 0 : 1;
}
