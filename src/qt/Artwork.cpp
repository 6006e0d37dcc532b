#include "qt/Artwork.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

namespace tw::qt {

namespace {

const QColor steelBlue(97, 133, 183);
const QColor navy(34, 54, 94);

QPainterPath shieldPath(const QRectF& r) {
    QPainterPath path;
    const QPointF top(r.center().x(), r.top());
    path.moveTo(r.left(), r.top() + 0.14 * r.height());
    path.quadTo(r.left() + 0.25 * r.width(), r.top() + 0.12 * r.height(), top.x(), top.y());
    path.quadTo(r.right() - 0.25 * r.width(), r.top() + 0.12 * r.height(), r.right(),
                r.top() + 0.14 * r.height());
    path.lineTo(r.right(), r.top() + 0.48 * r.height());
    path.cubicTo(r.right(), r.top() + 0.75 * r.height(), r.center().x() + 0.18 * r.width(),
                 r.top() + 0.9 * r.height(), r.center().x(), r.bottom());
    path.cubicTo(r.center().x() - 0.18 * r.width(), r.top() + 0.9 * r.height(), r.left(),
                 r.top() + 0.75 * r.height(), r.left(), r.top() + 0.48 * r.height());
    path.closeSubpath();
    return path;
}

const QColor faceLight(132, 170, 218);
const QColor faceDark(40, 78, 140);
const QColor rimColour(235, 242, 250);
const QColor tickColour(255, 255, 255);

qreal rimWidth(const QRectF& r) {
    return qMax(1.0, r.width() / 14);
}
qreal tickWidth(const QRectF& r) {
    return qMax(1.5, r.width() / 8);
}
QPainterPath tickPath(const QRectF& r) {
    QPainterPath tick;
    tick.moveTo(r.left() + 0.27 * r.width(), r.top() + 0.47 * r.height());
    tick.lineTo(r.left() + 0.45 * r.width(), r.top() + 0.64 * r.height());
    tick.lineTo(r.left() + 0.75 * r.width(), r.top() + 0.30 * r.height());
    return tick;
}

// A shield with a tick: the program's mark.
void drawShield(QPainter& p, const QRectF& r, qreal opacity) {
    p.save();
    p.setOpacity(opacity);
    QLinearGradient face(r.topLeft(), r.bottomRight());
    face.setColorAt(0, faceLight);
    face.setColorAt(1, faceDark);
    const qreal rim = rimWidth(r);
    p.setPen(QPen(rimColour, rim));
    p.setBrush(face);
    p.drawPath(shieldPath(r.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2)));
    p.setPen(QPen(tickColour, tickWidth(r), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tickPath(r));
    p.restore();
}

// Where the shield sits in a square icon of this size.
QRectF iconShieldRect(qreal size) {
    const qreal width = size * 0.8;
    return {(size - width) / 2, 0.5, width, size - 1.0};
}

QString number(qreal value) {
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

// The path in SVG's notation; a subpath that ends where it started is closed.
QString svgPathData(const QPainterPath& path) {
    QStringList parts;
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QString point = number(e.x) + QLatin1Char(' ') + number(e.y);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            start = e;
            parts << QStringLiteral("M ") + point;
            break;
        case QPainterPath::LineToElement:
            parts << QStringLiteral("L ") + point;
            break;
        case QPainterPath::CurveToElement:
            parts << QStringLiteral("C ") + point;
            break;
        case QPainterPath::CurveToDataElement:
            parts.last() += QLatin1Char(' ') + point;
            break;
        }
        const bool subpathEnds = i + 1 == path.elementCount() ||
                                 path.elementAt(i + 1).type == QPainterPath::MoveToElement;
        if (subpathEnds && e.type != QPainterPath::CurveToElement && i > 0 && QPointF(e) == start) {
            parts << QStringLiteral("Z");
        }
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

void drawBackground(QPainter& p) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all(0, 0, pictureWidth, pictureHeight);

    QLinearGradient ground(all.topLeft(), all.bottomLeft());
    ground.setColorAt(0, QColor(222, 232, 244));
    ground.setColorAt(1, QColor(248, 251, 254));
    p.fillRect(all, ground);

    // A dark header: the action labels sit on it in their light rest colour.
    const QRectF header(0, 0, pictureWidth, 130);
    QLinearGradient band(header.topLeft(), header.bottomLeft());
    band.setColorAt(0, steelBlue);
    band.setColorAt(0.55, navy.lighter(115));
    band.setColorAt(1, navy);
    p.fillRect(header, band);
    QRadialGradient glow(QPointF(470, 10), 260);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(header, glow);
    p.fillRect(QRectF(0, 130, pictureWidth, 2), QColor(150, 180, 220));
    p.fillRect(QRectF(0, 132, pictureWidth, 1), QColor(255, 255, 255, 180));

    // Soft waves across the header.
    p.setPen(QPen(QColor(255, 255, 255, 28), 14));
    for (int i = 0; i < 3; ++i) {
        QPainterPath wave;
        const qreal y = 40 + i * 18;
        wave.moveTo(-20, y + 20);
        wave.cubicTo(150, y - 30, 380, y + 50, 620, y - 10);
        p.drawPath(wave);
    }
    p.setPen(Qt::NoPen);

    drawShield(p, QRectF(24, 16, 44, 56), 1.0);
    // A faint watermark of the same mark behind the lower half.
    drawShield(p, QRectF(250, 170, 120, 150), 0.07);

    // The status strip along the bottom.
    const QRectF strip(0, 318, pictureWidth, 36);
    p.fillRect(strip, QColor(255, 255, 255, 150));
    p.fillRect(QRectF(0, 318, pictureWidth, 1), QColor(170, 192, 222));
    p.fillRect(QRectF(0, 353, pictureWidth, 1), QColor(200, 214, 232));

    QLinearGradient foot(QPointF(0, 386), QPointF(0, 400));
    foot.setColorAt(0, steelBlue.lighter(130));
    foot.setColorAt(1, steelBlue);
    p.fillRect(QRectF(0, 386, pictureWidth, 14), foot);
    p.restore();
}

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawShield(p, iconShieldRect(size), 1.0);
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    }
    return icon;
}

QByteArray programIconSvg() {
    constexpr int size = 256;
    const QRectF r = iconShieldRect(size);
    const qreal rim = rimWidth(r);
    const QPainterPath shield = shieldPath(r.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2));
    const QString svg =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                       "viewBox=\"0 0 %1 %1\">\n"
                       "  <defs>\n"
                       "    <linearGradient id=\"face\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                       "y1=\"%3\" x2=\"%4\" y2=\"%5\">\n"
                       "      <stop offset=\"0\" stop-color=\"%6\"/>\n"
                       "      <stop offset=\"1\" stop-color=\"%7\"/>\n"
                       "    </linearGradient>\n"
                       "  </defs>\n"
                       "  <path d=\"%8\" fill=\"url(#face)\" stroke=\"%9\" stroke-width=\"%10\"/>\n"
                       "  <path d=\"%11\" fill=\"none\" stroke=\"%12\" stroke-width=\"%13\" "
                       "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
                       "</svg>\n")
            .arg(size)
            .arg(number(r.left()), number(r.top()), number(r.right()), number(r.bottom()),
                 faceLight.name(), faceDark.name(), svgPathData(shield), rimColour.name())
            .arg(number(rim))
            .arg(svgPathData(tickPath(r)), tickColour.name(), number(tickWidth(r)));
    return svg.toUtf8();
}

} // namespace tw::qt
