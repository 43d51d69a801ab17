#include "tools/artgen/ArtPainter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace ArtPainter {
namespace {

// Pictures are painted this many times larger and averaged down.
constexpr int Oversampling = 8;

// The sizes each picture is designed for; another size is fitted to it.
constexpr QSizeF ButtonDesign(32, 32);
constexpr QSizeF SocketDesign(44, 44);
constexpr QSizeF RunDesign(200, 75);

// The ball of a button picture: centred a little high, leaving room below for
// its shadow; the corners stay black, as the window around the buttons is.
constexpr QPointF ButtonCentre(16.0, 15.0);
constexpr qreal ButtonRadius = 13.4;

// The socket ring and the ball that sits in it.
constexpr QPointF SocketCentre(22.0, 22.0);
constexpr qreal RingOuter = 21.2;
constexpr qreal RingInner = 16.0;
constexpr qreal SocketBallRadius = 14.4;

// The black disc in the middle of the background that carries the label
// panel, the Run bar and the sockets; its edge is where the star burst
// starts, and the burst fades out before the picture's edge.
constexpr qreal DiscRadius = 234.0;
constexpr qreal FadeStart = 266.0;
constexpr qreal FadeEnd = 298.0;

QColor Mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QColor Scaled(const QColor& c, qreal f) {
    return QColor::fromRgbF(float(c.redF() * f), float(c.greenF() * f), float(c.blueF() * f),
                            c.alphaF());
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

// The shaded side of a colour: darker and a little richer. Yellows turn
// towards amber on the way, as they do in glass, instead of towards olive.
QColor Deep(const QColor& c, qreal value) {
    float h = 0, s = 0, v = 0, a = 0;
    c.getHsvF(&h, &s, &v, &a);
    if (h > 30.0f / 360 && h < 70.0f / 360)
        h -= 12.0f / 360;
    if (s > 0.2f)
        s = std::min(1.0f, s * 1.15f);
    return QColor::fromHsvF(std::max(h, 0.0f), s, float(v * value), a);
}

qreal Luma(const QColor& c) {
    return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
}

// Paints on black (or on nothing) at Oversampling times the size, then
// averages down to scale device pixels per layout pixel. The paint function
// always works in the layout pixels of the design size, so every scale shows
// the same drawing, fitted to the size.
template <typename Paint>
QImage Render(QSize size, QSizeF design, int scale, const Paint& paint,
              Qt::GlobalColor ground = Qt::black) {
    QImage large(size * Oversampling * scale, QImage::Format_ARGB32_Premultiplied);
    large.fill(ground);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.scale(Oversampling * scale * (size.width() / design.width()),
                      Oversampling * scale * (size.height() / design.height()));
        paint(painter);
    }
    const QImage small =
        large.scaled(size * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return ground == Qt::black ? small.convertToFormat(QImage::Format_RGB32) : small;
}

// Text as an outline in DejaVu Sans Bold, em pixels high, its ink centred on
// centre (so that a lower-case a sits in the middle as well as a capital).
QPainterPath TextPath(const QString& text, qreal em, QPointF centre) {
    constexpr int Design = 400; // built large and scaled: outlines have no hinting
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(Design);
    font.setHintingPreference(QFont::PreferNoHinting);
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QPointF ink = path.boundingRect().center();
    QTransform place;
    place.translate(centre.x(), centre.y());
    place.scale(em / Design, em / Design);
    place.translate(-ink.x(), -ink.y());
    return place.map(path);
}

QPainterPath Circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

// A glossy ball: a body lit from below through the glass, a darker rim, the
// letter, and a specular highlight over the top that the letter shows through.
void PaintBall(QPainter& p, QPointF c, qreal r, const BallLook& look, bool lit) {
    const QColor base = lit ? Mix(look.colour, Qt::white, 0.38) : look.colour;
    const QColor deep = Deep(base, lit ? 0.55 : 0.40);
    const QColor glow = Mix(base, Qt::white, 0.45);
    const QPainterPath ball = Circle(c, r);

    QRadialGradient body(c + QPointF(0, 0.42 * r), 1.45 * r, c + QPointF(0, 0.75 * r));
    body.setColorAt(0.0, glow);
    body.setColorAt(0.5, base);
    body.setColorAt(1.0, deep);
    p.fillPath(ball, body);

    QRadialGradient rim(c, r);
    rim.setColorAt(0.72, QColor(0, 0, 0, 0));
    rim.setColorAt(1.0, QColor(0, 0, 0, lit ? 70 : 110));
    p.fillPath(ball, rim);

    // Light balls (yellow, white) carry a dark letter, the others a white one.
    // A lower-case letter (the Add ball's a) is drawn larger so that it
    // weighs as much as the capitals.
    const bool lowerCase = !look.letter.isEmpty() && look.letter.front().isLower();
    const QPainterPath letter =
        TextPath(look.letter, (lowerCase ? 1.6 : 1.28) * r, c + QPointF(0, 0.05 * r));
    if (Luma(look.colour) > 0.66) {
        p.fillPath(letter.translated(0, 0.06 * r), QColor(255, 255, 255, 110));
        const QColor ink =
            look.colour.saturationF() < 0.2 ? QColor(62, 66, 84) : Deep(look.colour, 0.36);
        p.fillPath(letter, ink);
    } else {
        // The shadow keeps the dark of the unlit ball, and a lit ball gets a
        // fine dark edge as well, so the letter still reads on a pale ball.
        const QColor shadow = Scaled(look.colour, 0.25);
        p.fillPath(letter.translated(0, 0.07 * r), WithAlpha(shadow, lit ? 220 : 190));
        if (lit)
            p.strokePath(letter, QPen(WithAlpha(Deep(look.colour, 0.5), 150), 0.13 * r));
        QLinearGradient face(c - QPointF(0, 0.5 * r), c + QPointF(0, 0.5 * r));
        face.setColorAt(0.0, Qt::white);
        face.setColorAt(1.0, QColor(226, 229, 240));
        p.fillPath(letter, face);
    }

    const QRectF shine(c.x() - 0.70 * r, c.y() - 0.95 * r, 1.40 * r, 0.90 * r);
    QLinearGradient gloss(shine.topLeft(), shine.bottomLeft());
    gloss.setColorAt(0.0, QColor(255, 255, 255, lit ? 235 : 215));
    gloss.setColorAt(1.0, QColor(255, 255, 255, lit ? 30 : 14));
    p.setBrush(gloss);
    p.drawEllipse(shine);
}

// The soft shadow a ball casts on the black ground: a dim pool of its own
// colour under it, which is what a shadow looks like on black.
void PaintShadow(QPainter& p, QPointF c, qreal r, const QColor& colour) {
    const QPointF centre = c + QPointF(0, 0.80 * r);
    QRadialGradient pool(centre, 1.0);
    pool.setColorAt(0.0, WithAlpha(Scaled(colour, 0.42), 255));
    pool.setColorAt(1.0, WithAlpha(Scaled(colour, 0.42), 0));
    p.save();
    p.translate(centre);
    p.scale(1.05 * r, 0.42 * r);
    p.translate(-centre);
    p.setBrush(pool);
    p.drawEllipse(centre, 1.0, 1.0);
    p.restore();
}

// Brushed silver, lit from above: the face of the rings and of the Run frame.
QLinearGradient Silver(qreal top, qreal bottom) {
    QLinearGradient metal(0, top, 0, bottom);
    metal.setColorAt(0.00, QColor(252, 252, 255));
    metal.setColorAt(0.28, QColor(205, 206, 216));
    metal.setColorAt(0.50, QColor(136, 137, 150));
    metal.setColorAt(0.70, QColor(196, 197, 208));
    metal.setColorAt(1.00, QColor(112, 113, 126));
    return metal;
}

void PaintRing(QPainter& p, QPointF c, qreal outer, qreal inner) {
    QPainterPath ring = Circle(c, outer);
    ring.addEllipse(c, inner, inner);
    p.fillPath(ring, Silver(c.y() - outer, c.y() + outer));

    // Turned metal: faint bright sectors around the ring.
    QConicalGradient sheen(c, 60);
    for (int i = 0; i <= 8; ++i)
        sheen.setColorAt(i / 8.0, QColor(255, 255, 255, (i % 2) ? 0 : 80));
    p.fillPath(ring, sheen);

    // The hole is a dark cup: black, with a faint gleam where its far wall
    // meets the rim below.
    QRadialGradient cup(c + QPointF(0, 0.9 * inner), 0.9 * inner);
    cup.setColorAt(0.0, QColor(70, 66, 92, 120));
    cup.setColorAt(1.0, QColor(70, 66, 92, 0));
    p.fillPath(Circle(c, inner), cup);

    // The outer edge catches the light above, the inner edge below: a raised
    // rim around a hole.
    QLinearGradient outerEdge(0, c.y() - outer, 0, c.y() + outer);
    outerEdge.setColorAt(0.0, QColor(255, 255, 255, 220));
    outerEdge.setColorAt(1.0, QColor(30, 30, 40, 220));
    p.strokePath(Circle(c, outer - 0.35), QPen(QBrush(outerEdge), 0.7));
    QLinearGradient innerEdge(0, c.y() - inner, 0, c.y() + inner);
    innerEdge.setColorAt(0.0, QColor(20, 20, 28, 230));
    innerEdge.setColorAt(1.0, QColor(255, 255, 255, 210));
    p.strokePath(Circle(c, inner + 0.35), QPen(QBrush(innerEdge), 0.7));
}

// A small deterministic hash, so that the star burst comes out the same with
// every compiler and standard library.
qreal Noise(std::uint32_t n) {
    n ^= n >> 16;
    n *= 0x7feb352dU;
    n ^= n >> 15;
    n *= 0x846ca68bU;
    n ^= n >> 16;
    return (n & 0xffffff) / qreal(0x1000000);
}

struct Ray {
    qreal angle;
    qreal strength;
    qreal length;
    qreal width;
};

using Rays = std::array<Ray, 120>;

// Rays of many lengths around the disc, the same every time.
Rays MakeRays() {
    Rays rays{};
    for (std::size_t i = 0; i < rays.size(); ++i) {
        const bool major = i % 2 == 0;
        const qreal step = 2 * M_PI / rays.size();
        rays[i].angle = step * (i + 0.7 * (Noise(4 * i) - 0.5));
        rays[i].strength = major ? 0.35 + 0.55 * Noise(4 * i + 1) : 0.12 + 0.25 * Noise(4 * i + 1);
        rays[i].length = major ? 22 + 42 * Noise(4 * i + 2) : 12 + 26 * Noise(4 * i + 2);
        rays[i].width = major ? 1.6 + 2.6 * Noise(4 * i + 3) : 0.8 + 1.2 * Noise(4 * i + 3);
    }
    return rays;
}

// The light of the burst at (dx, dy) from the disc's centre, in layout
// pixels, for a device pixel 1 / scale wide: a bright rim just outside the
// disc, a broad glow and the rays, all fading out before the picture's edge.
qreal BurstLight(const Rays& rays, qreal dx, qreal dy, int scale) {
    const qreal r = std::hypot(dx, dy);
    const qreal d = r - DiscRadius;
    if (d < -0.5 / scale || r >= FadeEnd)
        return 0;
    // The disc's edge, antialiased over one device pixel.
    const qreal cover = std::clamp(d * scale + 0.5, 0.0, 1.0);
    const qreal t = std::clamp((FadeEnd - r) / (FadeEnd - FadeStart), 0.0, 1.0);
    const qreal fade = t * t * (3 - 2 * t);
    const qreal out = std::max(d, 0.0);
    qreal light = 0.95 * std::exp(-out / 4.5) + 0.42 * std::exp(-out / 26.0);
    const qreal phi = std::atan2(dy, dx);
    for (const Ray& ray : rays) {
        const qreal delta = std::remainder(phi - ray.angle, 2 * M_PI);
        if (std::abs(delta) > 0.25)
            continue;
        const qreal across = r * std::sin(std::abs(delta));
        const qreal width = ray.width * (1.0 - 0.6 * std::min(out / (1.6 * ray.length), 1.0));
        light += ray.strength * std::exp(-out / ray.length) *
                 std::exp(-(across * across) / (2 * width * width));
    }
    return light * cover * fade;
}

// The pale lilac star burst around the black disc in the middle, so that the
// square sits invisibly on the black window. Each device pixel is computed at
// its own centre, in layout pixels.
QImage StarBurst(QSize size, int scale) {
    const Rays rays = MakeRays();
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const std::array<qreal, 3> lilac{0.80, 0.64, 1.00};

    QImage image(size * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const qreal light = BurstLight(rays, (x + 0.5) / scale - centre.x(),
                                           (y + 0.5) / scale - centre.y(), scale);
            std::array<int, 3> rgb{};
            for (int k = 0; k < 3; ++k)
                rgb[k] = qRound(255.0 * (1.0 - std::exp(-1.7 * light * lilac[k])));
            line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return image;
}

// The dark glass panel, its glow, depth, gloss and edge.
void PaintPanel(QPainter& p, const QRectF& panel) {
    constexpr qreal Round = 18.0;
    QPainterPath shape;
    shape.addRoundedRect(panel, Round, Round);

    // A faint lilac glow around it, echoing the star burst.
    for (int i = 6; i >= 1; --i)
        p.strokePath(shape, QPen(QColor(150, 120, 230, 9), 2.0 * i));

    QLinearGradient body(panel.topLeft(), panel.bottomLeft());
    body.setColorAt(0.0, QColor(58, 48, 96));
    body.setColorAt(0.5, QColor(24, 18, 44));
    body.setColorAt(1.0, QColor(12, 9, 22));
    p.fillPath(shape, body);

    QRadialGradient depth(QPointF(panel.center().x(), panel.bottom()), panel.width() * 0.5);
    depth.setColorAt(0.0, QColor(120, 90, 200, 60));
    depth.setColorAt(1.0, QColor(120, 90, 200, 0));
    p.save();
    p.setClipPath(shape);
    p.translate(panel.center().x(), panel.bottom());
    p.scale(1.0, 0.45);
    p.translate(-panel.center().x(), -panel.bottom());
    p.setBrush(depth);
    p.drawEllipse(QPointF(panel.center().x(), panel.bottom()), panel.width() * 0.5,
                  panel.width() * 0.5);
    p.restore();

    const QRectF shine = panel.adjusted(4, 3, -4, -panel.height() * 0.54);
    QPainterPath gloss;
    gloss.addRoundedRect(shine, Round - 4, Round - 4);
    QLinearGradient glossFill(shine.topLeft(), shine.bottomLeft());
    glossFill.setColorAt(0.0, QColor(255, 255, 255, 62));
    glossFill.setColorAt(1.0, QColor(255, 255, 255, 8));
    p.fillPath(gloss, glossFill);

    QLinearGradient edge(panel.topLeft(), panel.bottomLeft());
    edge.setColorAt(0.0, QColor(232, 224, 255, 220));
    edge.setColorAt(0.5, QColor(140, 128, 180, 150));
    edge.setColorAt(1.0, QColor(96, 84, 140, 180));
    p.strokePath(shape, QPen(QBrush(edge), 1.4));
}

// The panel behind the information text's box, in a transparent picture of
// its own; returns the picture and where it goes.
QImage InfoPanel(const QRect& box, int scale, QPoint* place) {
    constexpr int Margin = 12;
    const QRectF panel = QRectF(box).adjusted(-8, -6, 8, 6);
    const QRect area = panel.toAlignedRect().adjusted(-Margin, -Margin, Margin, Margin);
    *place = area.topLeft();
    return Render(
        area.size(), area.size(), scale,
        [&](QPainter& p) {
            p.translate(-area.topLeft());
            PaintPanel(p, panel);
        },
        Qt::transparent);
}

void Blit(QImage& target, QPoint place, const QImage& source) {
    QPainter p(&target);
    p.drawImage(place, source);
}

} // namespace

QImage Button(const BallLook& look, bool pressed, QSize size, int scale) {
    return Render(size, ButtonDesign, scale, [&](QPainter& p) {
        PaintShadow(p, ButtonCentre, ButtonRadius,
                    pressed ? Mix(look.colour, Qt::white, 0.38) : look.colour);
        PaintBall(p, ButtonCentre, ButtonRadius, look, pressed);
    });
}

QImage Socket(const std::optional<BallLook>& look, QSize size, int scale) {
    return Render(size, SocketDesign, scale, [&](QPainter& p) {
        PaintRing(p, SocketCentre, RingOuter, RingInner);
        if (look)
            PaintBall(p, SocketCentre, SocketBallRadius, *look, false);
    });
}

QImage RunBar(bool pressed, QSize size, int scale) {
    const QColor base = pressed ? QColor(36, 162, 66) : QColor(212, 34, 34);
    return Render(size, RunDesign, scale, [&](QPainter& p) {
        const QRectF frame(3.5, 6.5, 193.0, 62.0);
        QPainterPath outer;
        outer.addRoundedRect(frame, frame.height() / 2, frame.height() / 2);
        p.fillPath(outer, Silver(frame.top(), frame.bottom()));
        QLinearGradient frameEdge(frame.topLeft(), frame.bottomLeft());
        frameEdge.setColorAt(0.0, QColor(255, 255, 255, 220));
        frameEdge.setColorAt(1.0, QColor(30, 30, 40, 220));
        p.strokePath(outer, QPen(QBrush(frameEdge), 0.7));

        const QRectF bar = frame.adjusted(4.5, 4.5, -4.5, -4.5);
        QPainterPath shape;
        shape.addRoundedRect(bar, bar.height() / 2, bar.height() / 2);
        QLinearGradient body(bar.topLeft(), bar.bottomLeft());
        body.setColorAt(0.0, Scaled(base, 0.52));
        body.setColorAt(0.55, base);
        body.setColorAt(1.0, Mix(base, Qt::white, 0.42));
        p.fillPath(shape, body);
        QLinearGradient edge(bar.topLeft(), bar.bottomLeft());
        edge.setColorAt(0.0, QColor(0, 0, 0, 170));
        edge.setColorAt(1.0, QColor(255, 255, 255, 120));
        p.strokePath(shape, QPen(QBrush(edge), 0.8));

        const QPointF middle = bar.center() + QPointF(0, 1.0);
        const QPainterPath word = TextPath(QStringLiteral("run"), 46.0, middle);
        p.fillPath(word.translated(0, 1.6), WithAlpha(Scaled(base, 0.25), 200));
        QLinearGradient face(bar.topLeft(), bar.bottomLeft());
        face.setColorAt(0.0, Qt::white);
        face.setColorAt(1.0, QColor(228, 230, 240));
        p.fillPath(word, face);

        const QRectF shine(bar.left() + 9, bar.top() + 2.5, bar.width() - 18, bar.height() * 0.46);
        QPainterPath gloss;
        gloss.addRoundedRect(shine, shine.height() / 2, shine.height() / 2);
        QLinearGradient glossFill(shine.topLeft(), shine.bottomLeft());
        glossFill.setColorAt(0.0, QColor(255, 255, 255, 200));
        glossFill.setColorAt(1.0, QColor(255, 255, 255, 22));
        p.fillPath(gloss, glossFill);
    });
}

QImage Background(const BackdropLayout& layout, int scale) {
    QImage image = StarBurst(layout.size, scale);
    QPoint panelPlace;
    const QImage panel = InfoPanel(layout.infoLabel, scale, &panelPlace);
    Blit(image, panelPlace * scale, panel);
    // The very pixels of the empty socket picture, so the socket images sit on
    // their rings without a seam.
    for (const QRect& socket : layout.sockets)
        Blit(image, socket.topLeft() * scale, Socket(std::nullopt, socket.size(), scale));
    return image;
}

QImage Icon(int size, const std::array<BallLook, 3>& balls) {
    return Render(
        QSize(size, size), QSizeF(size, size), 1,
        [&](QPainter& p) {
            const qreal s = size;
            const QPointF c(s / 2, s / 2);
            QRadialGradient rim(c, 0.5 * s);
            rim.setColorAt(0.78, QColor(214, 190, 255));
            rim.setColorAt(0.88, QColor(170, 140, 230, 170));
            rim.setColorAt(1.0, QColor(120, 90, 200, 0));
            p.fillPath(Circle(c, 0.5 * s), rim);
            p.fillPath(Circle(c, 0.42 * s), Qt::black);
            const qreal r = 0.15 * s;
            const std::array<QPointF, 3> places{c + QPointF(0, -0.15 * s),
                                                c + QPointF(-0.16 * s, 0.12 * s),
                                                c + QPointF(0.16 * s, 0.12 * s)};
            for (int i = 0; i < 3; ++i)
                PaintBall(p, places[i], r, balls[i], false);
        },
        Qt::transparent);
}

} // namespace ArtPainter
