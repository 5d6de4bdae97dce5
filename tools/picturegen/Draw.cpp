#include "Draw.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRegularExpression>

namespace picturegen {

namespace c = colors;
using cvx::PictureEntry;

namespace {

QImage canvas(const QSize &size, const QColor &fill) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void begin(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

struct Tone {
    QColor accent, light;
    QString icon;
};

Tone toneOf(const PictureEntry &e) {
    if (e.hasStyle(QStringLiteral("warning"))) return {c::amber, c::amberLight, QStringLiteral("exclaim")};
    if (e.hasStyle(QStringLiteral("error"))) return {c::red, c::redLight, QStringLiteral("exclaim")};
    if (e.hasStyle(QStringLiteral("success"))) return {c::green, c::greenLight, QStringLiteral("check")};
    return {c::blue, c::blueLight, QStringLiteral("info")};
}

// A filled badge with a white icon: a triangle for warnings, a circle otherwise.
void badge(QPainter &p, const QPointF &center, qreal r, const QColor &fill, const QString &icon,
           bool triangle) {
    QPainterPath shape;
    if (triangle) {
        const qreal h = r * 1.9;
        shape.moveTo(center.x(), center.y() - h * 0.55);
        shape.lineTo(center.x() + h * 0.58, center.y() + h * 0.45);
        shape.lineTo(center.x() - h * 0.58, center.y() + h * 0.45);
        shape.closeSubpath();
        QPainterPathStroker round;
        round.setWidth(r * 0.35);
        round.setJoinStyle(Qt::RoundJoin);
        shape = shape.united(round.createStroke(shape));
    } else {
        shape.addEllipse(center, r, r);
    }
    p.fillPath(shape, fill);
    const qreal k = triangle ? 0.5 : 0.58;
    const QPointF iconCenter = triangle ? center + QPointF(0, r * 0.12) : center;
    drawIcon(p, icon, QRectF(iconCenter - QPointF(r * k, r * k), QSizeF(2 * r * k, 2 * r * k)), c::white);
}

bool isCode(const QString &name) {
    return QRegularExpression(QStringLiteral("^[WET]\\d{3}$")).match(name).hasMatch();
}

// ---- messages ------------------------------------------------------------------------

QImage message(const PictureEntry &e, const Typesetter &ts) {
    QImage img = canvas(e.size, Qt::transparent);
    QPainter p(&img);
    begin(p);
    const qreal w = e.size.width(), h = e.size.height();
    const Tone tone = toneOf(e);
    const QPainterPath shape = roundedRect(QRectF(1, 1, w - 2, h - 2), 12);
    p.fillPath(shape, tone.light);
    p.save();
    p.setClipPath(shape);
    p.fillRect(QRectF(0, 0, 7, h), tone.accent);
    p.restore();
    p.setPen(QPen(mix(tone.accent, c::white, 0.55), 1));
    p.drawPath(shape);

    const bool code = isCode(e.name);
    badge(p, QPointF(44, code ? 35 : h / 2), 19, tone.accent, tone.icon,
          e.hasStyle(QStringLiteral("warning")));
    if (code) ts.draw(p, QRectF(14, 59, 60, 18), e.name, 12, false, c::inkSoft, Qt::AlignCenter);

    // The first line says what happened, the second what to do.
    const QStringList lines = e.text.split(QLatin1Char('\n'));
    const QRectF area(80, 6, w - 92, h - 12);
    QList<int> sizes;
    qreal total = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const bool lead = i == 0;
        const int maxPx = lead ? (lines.size() == 1 ? 22 : 20) : 16;
        sizes << ts.fit(e.name, lines[i], QSizeF(area.width(), area.height()), maxPx, lead ? 15 : 13, lead,
                        false);
        total += QFontMetricsF(ts.font(sizes.last(), lead)).height() + (i > 0 ? 4 : 0);
    }
    if (total > area.height()) ts.error(QStringLiteral("%1: the message lines are too tall").arg(e.name));
    qreal y = area.top() + (area.height() - total) / 2;
    for (int i = 0; i < lines.size(); ++i) {
        const bool lead = i == 0;
        const qreal lh = QFontMetricsF(ts.font(sizes[i], lead)).height();
        if (i > 0) y += 4;
        ts.draw(p, QRectF(area.left(), y, area.width(), lh), lines[i], sizes[i], lead,
                lead ? c::ink : c::inkSoft, Qt::AlignLeft | Qt::AlignVCenter);
        y += lh;
    }
    return img;
}

// ---- panels --------------------------------------------------------------------------

QPainterPath card(QPainter &p, const QSizeF &s) {
    const QPainterPath shape = roundedRect(QRectF(16, 8, s.width() - 32, s.height() - 20), 22);
    drawShadow(p, shape, 3, 6, 36);
    p.fillPath(shape, c::white);
    p.save();
    p.setClipPath(shape);
    p.fillRect(QRectF(0, 0, s.width(), 16), c::teal);
    p.restore();
    p.setPen(QPen(c::tealBorder, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    return shape;
}

void stepTrack(QPainter &p, const Typesetter &ts, const QString &what, const QStringList &labels,
               int current) {
    const qreal y = 234, r = 17;
    for (int i = 0; i < labels.size(); ++i) {
        const QPointF ctr(84 + i * 100, y);
        if (i + 1 < labels.size()) {
            p.setPen(QPen(i + 1 < current ? c::teal : c::greyLight, 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(ctr + QPointF(r + 6, 0), ctr + QPointF(100 - r - 6, 0));
        }
        const bool done = i + 1 < current, now = i + 1 == current;
        p.setPen(QPen(now || done ? c::teal : c::greyLight, 2));
        p.setBrush(now ? c::teal : done ? c::tealLight : c::white);
        p.drawEllipse(ctr, r, r);
        const QRectF disc(ctr - QPointF(r, r), QSizeF(2 * r, 2 * r));
        if (done)
            drawIcon(p, QStringLiteral("check"), disc.adjusted(8, 8, -8, -8), c::tealDark);
        else
            ts.draw(p, disc, QString::number(i + 1), 18, true, now ? c::white : c::grey, Qt::AlignCenter);
        ts.drawFitted(p, what, QRectF(ctr.x() - 50, y + r + 5, 100, 24), labels[i], 16, 12, now,
                      now ? c::tealDark : c::inkSoft, Qt::AlignHCenter | Qt::AlignTop);
    }
}

QImage panel(const PictureEntry &e, const Typesetter &ts) {
    QImage img = canvas(e.size, Qt::transparent);
    QPainter p(&img);
    begin(p);
    card(p, e.size);
    if (e.hasStyle(QStringLiteral("plain"))) return img;

    const qreal w = e.size.width();
    const QStringList parts = e.text.split(QLatin1Char('|'));
    if (parts.size() < 2) {
        ts.error(QStringLiteral("%1: a panel needs \"title|body\"").arg(e.name));
        return img;
    }
    const bool update = e.hasStyle(QStringLiteral("update"));
    QString icon = e.styleValue(QStringLiteral("icon"));
    if (icon.isNull()) icon = update ? QStringLiteral("rom") : QStringLiteral("folder");
    badge(p, QPointF(66, 58), 24, c::teal, icon, false);
    ts.drawFitted(p, e.name, QRectF(104, 32, w - 164, 52), parts[0], 30, 20, true, c::ink,
                  Qt::AlignLeft | Qt::AlignVCenter);
    ts.drawFitted(p, e.name, QRectF(104, 88, w - 164, 74), parts[1], 21, 15, false, c::inkSoft,
                  Qt::AlignLeft | Qt::AlignTop, true);
    if (update) {
        const int step = e.styleValue(QStringLiteral("step")).toInt();
        stepTrack(p, ts, e.name, parts.mid(2), step);
        if (step == 3) {
            // Frame for the progress line that the update view writes at (430, 172).
            p.setPen(QPen(c::tealBorder, 1.5));
            p.setBrush(QColor(0xF4, 0xF9, 0xF8));
            p.drawRoundedRect(QRectF(420, 166, 452, 72), 10, 10);
        }
    }
    return img;
}

// ---- buttons -------------------------------------------------------------------------

enum class Form { Normal, Hover, Pressed, Off };

Form formOf(const PictureEntry &e) {
    if (e.kind == QLatin1String("button-hover")) return Form::Hover;
    if (e.kind == QLatin1String("button-pressed")) return Form::Pressed;
    if (e.kind == QLatin1String("button-off")) return Form::Off;
    return Form::Normal;
}

struct Look {
    QColor top, bottom, border, ink;
    qreal shift = 0;
    int shadow = 36;
};

// Hover is lighter, pressed darker and a pixel lower, disabled grey and flat.
Look lookOf(bool primary, Form form) {
    if (primary) {
        switch (form) {
            case Form::Normal:
                return {c::teal.lighter(114), c::teal, c::tealDark, c::white};
            case Form::Hover:
                return {c::teal.lighter(132), c::teal.lighter(114), c::teal, c::white};
            case Form::Pressed:
                return {c::tealDark, c::tealDark.darker(112), c::tealDark.darker(120), c::white, 1, 14};
            case Form::Off:
                return {QColor(0xE3, 0xE8, 0xEB),
                        QColor(0xD6, 0xDC, 0xE0),
                        QColor(0xC4, 0xCC, 0xD2),
                        c::offInk,
                        0,
                        0};
        }
    }
    switch (form) {
        case Form::Normal:
            return {c::white, QColor(0xF1, 0xF6, 0xF6), c::teal, c::tealDark};
        case Form::Hover:
            return {c::tealLight, QColor(0xD6, 0xEE, 0xEA), c::teal, c::tealDark};
        case Form::Pressed:
            return {QColor(0xC6, 0xE6, 0xE0), QColor(0xB6, 0xDD, 0xD6), c::tealDark, c::tealDark, 1, 14};
        case Form::Off:
            break;
    }
    return {QColor(0xF2, 0xF4, 0xF5),
            QColor(0xE8, 0xEC, 0xEE),
            QColor(0xC9, 0xD1, 0xD6),
            QColor(0xA3, 0xAD, 0xB5),
            0,
            0};
}

void fillShape(QPainter &p, const QPainterPath &shape, const Look &look, qreal borderWidth) {
    if (look.shadow > 0) drawShadow(p, shape, 2, 3, look.shadow);
    const QRectF b = shape.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomLeft());
    g.setColorAt(0, look.top);
    g.setColorAt(1, look.bottom);
    p.fillPath(shape, g);
    p.setPen(QPen(look.border, borderWidth));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
}

void roundButton(QPainter &p, const PictureEntry &e, const Typesetter &ts, Form form) {
    const bool primary = e.hasStyle(QStringLiteral("primary"));
    const Look look = lookOf(primary, form);
    const qreal d = qMin(e.size.width(), e.size.height()) - 8;
    const QRectF circle((e.size.width() - d) / 2, 3 + look.shift, d, d);
    QPainterPath shape;
    shape.addEllipse(circle);
    fillShape(p, shape, look, primary ? 1.5 : 2.5);
    const int px = ts.fit(e.name, e.text, QSizeF(d * 0.9, d * 0.4), int(d * 0.3), 11, true, false);
    ts.draw(p, circle, e.text, px, true, look.ink, Qt::AlignCenter);
}

void pillButton(QPainter &p, const PictureEntry &e, const Typesetter &ts, Form form) {
    const Look look = lookOf(e.hasStyle(QStringLiteral("primary")), form);
    const qreal w = e.size.width(), h = e.size.height();
    const QRectF r(2, 1.5 + look.shift, w - 4, h - 6);
    fillShape(p, roundedRect(r, h * 0.28), look, 2);
    const QString icon = e.styleValue(QStringLiteral("icon"));
    const qreal iconSide = icon.isNull() ? 0 : h * 0.4, gap = icon.isNull() ? 0 : h * 0.14;
    const QSizeF textBox(r.width() - 2 * h * 0.22 - iconSide - gap, h * 0.6);
    const int px = ts.fit(e.name, e.text, textBox, int(h * 0.36), 12, true, false);
    const qreal tw = QFontMetricsF(ts.font(px, true)).horizontalAdvance(e.text);
    const qreal x = r.center().x() - (iconSide + gap + tw) / 2;
    if (!icon.isNull() &&
        !drawIcon(p, icon, QRectF(x, r.center().y() - iconSide / 2, iconSide, iconSide), look.ink))
        ts.error(QStringLiteral("%1: unknown icon %2").arg(e.name, icon));
    ts.draw(p, QRectF(x + iconSide + gap, r.top(), tw + 2, r.height()), e.text, px, true, look.ink,
            Qt::AlignLeft | Qt::AlignVCenter);
}

void tileButton(QPainter &p, const PictureEntry &e, const Typesetter &ts, Form form) {
    const qreal w = e.size.width(), h = e.size.height();
    const Look base = lookOf(false, form);
    Look look = base;
    if (form == Form::Normal) look = {c::white, QColor(0xF6, 0xFA, 0xFA), c::tealBorder, c::ink};
    const qreal shift = look.shift;
    const QRectF r(3, 2 + shift, w - 6, h - 7);
    fillShape(p, roundedRect(r, h * 0.11), look, form == Form::Normal ? 1.5 : 2);

    const qreal radius = h * 0.27;
    const QPointF ctr(r.left() + h * 0.5, r.center().y());
    const QColor disc = form == Form::Off ? c::offFill : form == Form::Pressed ? c::tealDark : c::teal;
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(ctr, radius, radius);
    const QString icon = e.styleValue(QStringLiteral("icon"));
    const qreal k = radius * 0.56;
    if (!drawIcon(p, icon, QRectF(ctr - QPointF(k, k), QSizeF(2 * k, 2 * k)), c::white))
        ts.error(QStringLiteral("%1: unknown icon %2").arg(e.name, icon));

    const QStringList parts = e.text.split(QLatin1Char('|'));
    const qreal x0 = ctr.x() + radius + h * 0.12, tw = r.right() - x0 - 12;
    const QColor titleInk = form == Form::Off ? c::offInk : c::ink;
    ts.drawFitted(p, e.name, QRectF(x0, r.top() + h * 0.16, tw, h * 0.34), parts.value(0), int(h * 0.2), 14,
                  true, titleInk, Qt::AlignLeft | Qt::AlignVCenter);
    if (parts.size() > 1)
        ts.drawFitted(p, e.name, QRectF(x0, r.top() + h * 0.52, tw, h * 0.26), parts[1],
                      qMax(13, int(h * 0.095)), 11, false, form == Form::Off ? c::offInk : c::inkSoft,
                      Qt::AlignLeft | Qt::AlignVCenter);
}

void iconButton(QPainter &p, const PictureEntry &e, const Typesetter &ts, Form form) {
    const Look look = lookOf(false, form);
    const qreal d = qMin(e.size.width(), e.size.height()) - 6;
    const QRectF circle((e.size.width() - d) / 2, 2 + look.shift, d, d);
    QPainterPath shape;
    shape.addEllipse(circle);
    fillShape(p, shape, look, 2);
    const QString icon = e.styleValue(QStringLiteral("icon"));
    const qreal k = d * 0.27;
    if (!drawIcon(p, icon, QRectF(circle.center() - QPointF(k, k), QSizeF(2 * k, 2 * k)), look.ink))
        ts.error(QStringLiteral("%1: unknown icon %2").arg(e.name, icon));
}

void radioButton(QPainter &p, const PictureEntry &e, Form form) {
    const bool on = e.hasStyle(QStringLiteral("on"));
    const qreal d = qMin(e.size.width(), e.size.height());
    const QPointF ctr(e.size.width() / 2.0, e.size.height() / 2.0);
    const qreal r = d / 2 - 3;
    QColor ring = on ? c::teal : QColor(0x9A, 0xA7, 0xB0), fill = c::white;
    if (form == Form::Hover) ring = on ? c::teal.lighter(120) : c::teal, fill = c::tealLight;
    if (form == Form::Pressed) ring = c::tealDark, fill = QColor(0xC6, 0xE6, 0xE0);
    p.setPen(QPen(ring, 2.5));
    p.setBrush(fill);
    p.drawEllipse(ctr, r, r);
    if (on) {
        p.setPen(Qt::NoPen);
        p.setBrush(form == Form::Pressed ? c::tealDark : c::teal);
        p.drawEllipse(ctr, r * 0.5, r * 0.5);
    }
}

void deleteButton(QPainter &p, const PictureEntry &e, Form form) {
    const qreal w = e.size.width(), h = e.size.height();
    const qreal side = qMin(w, h) - 4;
    const QRectF r((w - side) / 2, (h - side) / 2, side, side);
    QColor border = c::red, fill = c::white, mark = c::red;
    if (form == Form::Hover) fill = c::redLight;
    if (form == Form::Pressed) fill = c::red, mark = c::white, border = c::red.darker(115);
    p.setPen(QPen(border, 1.5));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    drawIcon(p, QStringLiteral("cross"), r.adjusted(5, 5, -5, -5), mark);
}

QImage button(const PictureEntry &e, const Typesetter &ts) {
    QImage img = canvas(e.size, Qt::transparent);
    QPainter p(&img);
    begin(p);
    const Form form = formOf(e);
    if (e.hasStyle(QStringLiteral("round")))
        roundButton(p, e, ts, form);
    else if (e.hasStyle(QStringLiteral("pill")))
        pillButton(p, e, ts, form);
    else if (e.hasStyle(QStringLiteral("tile")))
        tileButton(p, e, ts, form);
    else if (e.hasStyle(QStringLiteral("radio")))
        radioButton(p, e, form);
    else if (e.hasStyle(QStringLiteral("del")))
        deleteButton(p, e, form);
    else if (!e.styleValue(QStringLiteral("icon")).isNull())
        iconButton(p, e, ts, form);
    else
        ts.error(QStringLiteral("%1: no button shape in \"%2\"").arg(e.name, e.style.join(QLatin1Char(','))));
    return img;
}

// ---- instrument states ---------------------------------------------------------------

struct StateLook {
    QColor screen, badge;
    QString icon;
};

StateLook stateLook(const QString &state) {
    if (state == QLatin1String("waiting")) return {c::teal, c::green, QStringLiteral("check")};
    if (state == QLatin1String("preparing")) return {c::blue, c::blue, QStringLiteral("hourglass")};
    if (state == QLatin1String("disconnected"))
        return {QColor(0x5E, 0x6A, 0x73), c::grey, QStringLiteral("plug")};
    if (state == QLatin1String("error")) return {c::red, c::red, QStringLiteral("exclaim")};
    return {c::teal, c::teal, QString()};
}

// The instrument: a rounded body with a display, two keys and the strip slot. While
// measuring, a strip sits in the slot and a light runs along its pads.
QImage instrument(const PictureEntry &e, const Typesetter &ts, const QString &state, int frame, int frames) {
    QImage img = canvas(e.size, c::white);
    QPainter p(&img);
    begin(p);
    const StateLook look = stateLook(state);
    const bool measuring = state == QLatin1String("measuring");

    const QPainterPath body = roundedRect(QRectF(50, 40, 220, 120), 18);
    drawShadow(p, body, 3, 4, 30);
    QLinearGradient g(0, 40, 0, 160);
    g.setColorAt(0, QColor(0xF8, 0xFB, 0xFC));
    g.setColorAt(1, QColor(0xE0, 0xE9, 0xEE));
    p.fillPath(body, g);
    p.setPen(QPen(QColor(0xA9, 0xB8, 0xC3), 2));
    p.drawPath(body);

    const QRectF screen(68, 56, 112, 62);
    p.setPen(Qt::NoPen);
    p.setBrush(look.screen);
    p.drawRoundedRect(screen, 8, 8);
    if (measuring) {
        const QRectF track(80, 92, 88, 10);
        p.setBrush(QColor(255, 255, 255, 90));
        p.drawRoundedRect(track, 5, 5);
        p.setBrush(c::white);
        p.drawRoundedRect(
            QRectF(track.left(), track.top(), track.width() * (frame + 1) / frames, track.height()), 5, 5);
        for (int i = 0; i < 3; ++i) {
            p.setBrush(i == frame % 3 ? c::white : QColor(255, 255, 255, 110));
            p.drawEllipse(QPointF(108 + i * 16, 72), 5, 5);
        }
    } else if (state != QLatin1String("disconnected")) {
        drawIcon(p, look.icon, QRectF(screen.center() - QPointF(20, 20), QSizeF(40, 40)), c::white);
    }
    p.setBrush(QColor(0xB8, 0xC7, 0xD1));
    p.drawEllipse(QPointF(214, 74), 9, 9);
    p.drawEllipse(QPointF(242, 74), 9, 9);
    p.setBrush(QColor(0xC8, 0xD4, 0xDB));
    p.drawRoundedRect(QRectF(68, 132, 184, 14), 5, 5);

    if (measuring) {
        // The strip with its seven pads, and the reading light passing along it.
        const QRectF strip(96, 131, 200, 16);
        p.setPen(QPen(QColor(0xA9, 0xB8, 0xC3), 1));
        p.setBrush(c::white);
        p.drawRoundedRect(strip, 3, 3);
        const QColor pads[7] = {QColor(0xE8, 0x9A, 0xA6), QColor(0xF2, 0xC1, 0x6B), QColor(0x8F, 0xC9, 0x7A),
                                QColor(0xC9, 0x8E, 0xC7), QColor(0x7F, 0xB6, 0xE0), QColor(0xF0, 0xA8, 0x78),
                                QColor(0x9B, 0xD3, 0xCB)};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 7; ++i) {
            p.setBrush(pads[i]);
            p.drawRoundedRect(QRectF(strip.left() + 8 + i * 17, strip.top() + 3, 12, 10), 2, 2);
        }
        const qreal x = strip.left() + 4 + (7 * 17.0) * frame / frames;
        QLinearGradient beam(x, 0, x + 22, 0);
        beam.setColorAt(0, QColor(0x2A, 0x9D, 0x8F, 0));
        beam.setColorAt(0.5, QColor(0x2A, 0x9D, 0x8F, 150));
        beam.setColorAt(1, QColor(0x2A, 0x9D, 0x8F, 0));
        p.fillRect(QRectF(x, strip.top() - 6, 22, strip.height() + 12), beam);
    }
    if (state == QLatin1String("disconnected")) {
        // The cable lies apart from the instrument.
        p.setPen(QPen(c::grey, 5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath cable;
        cable.moveTo(4, 200);
        cable.cubicTo(14, 170, 10, 140, 22, 124);
        p.drawPath(cable);
        p.setPen(Qt::NoPen);
        p.setBrush(c::grey);
        p.drawRoundedRect(QRectF(14, 106, 18, 22), 3, 3);
    }

    // Status badge at the instrument's corner; while measuring, a turning arc.
    const QPointF badgeCenter(266, 44);
    if (measuring) {
        p.setPen(Qt::NoPen);
        p.setBrush(c::white);
        p.drawEllipse(badgeCenter, 24, 24);
        p.setPen(QPen(c::tealLight, 6));
        p.drawEllipse(badgeCenter, 17, 17);
        p.setPen(QPen(c::teal, 6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(badgeCenter - QPointF(17, 17), QSizeF(34, 34)),
                  int(90 - 360.0 * frame / frames) * 16, -100 * 16);
    } else {
        p.setPen(QPen(c::white, 3));
        p.setBrush(look.badge);
        p.drawEllipse(badgeCenter, 23, 23);
        drawIcon(p, look.icon, QRectF(badgeCenter - QPointF(12, 12), QSizeF(24, 24)), c::white);
    }

    const QRectF captionBox(0, 176, e.size.width(), 50);
    const int px =
        ts.fit(e.name, e.text, QSizeF(captionBox.width() - 60, captionBox.height()), 30, 18, true, false);
    ts.draw(p, captionBox, e.text, px, true, c::ink, Qt::AlignCenter);
    if (measuring) {
        const qreal tw = QFontMetricsF(ts.font(px, true)).horizontalAdvance(e.text);
        const QString dots(1 + (frame * 3 / frames) % 3, QLatin1Char('.'));
        ts.draw(p, QRectF(captionBox.center().x() + tw / 2 + 2, captionBox.top(), 40, captionBox.height()),
                dots, px, true, c::ink, Qt::AlignLeft | Qt::AlignVCenter);
    }
    return img;
}

// ---- measurement progress ------------------------------------------------------------

QImage progress(const PictureEntry &e, const Typesetter &ts) {
    QImage img = canvas(e.size, Qt::transparent);
    QPainter p(&img);
    begin(p);
    const QStringList items = e.text.split(QLatin1Char('|'));
    const int step = e.styleValue(QStringLiteral("step")).toInt();
    const int n = int(items.size());
    const qreal gap = 28, h = e.size.height();
    const qreal segW = (e.size.width() - 8 - (n - 1) * gap) / n;
    // Step 1 is the idle state; steps 2 to n+1 light the items in turn.
    const int active = step - 2;
    for (int i = 0; i < n; ++i) {
        const QRectF r(4 + i * (segW + gap), 10, segW, h - 20);
        const bool done = i < active, now = i == active;
        const bool finished = now && i == n - 1;
        QColor fill(0xF1, 0xF4, 0xF6), border = c::greyLight, ink = c::grey;
        if (done) fill = c::tealLight, border = c::tealBorder, ink = c::tealDark;
        if (now) fill = finished ? c::green : c::teal, border = fill.darker(115), ink = c::white;
        p.setPen(QPen(border, 1.5));
        p.setBrush(fill);
        p.drawRoundedRect(r, 14, 14);
        if (done)
            drawIcon(p, QStringLiteral("check"), QRectF(r.right() - 26, r.top() + 8, 18, 18), c::tealDark);
        const QStringList lines = items[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (lines.size() >= 2) {
            ts.drawFitted(p, e.name, QRectF(r.left() + 8, r.top() + 6, r.width() - 16, r.height() / 2 - 4),
                          lines[0], 20, 12, true, ink, Qt::AlignHCenter | Qt::AlignBottom);
            ts.drawFitted(
                p, e.name, QRectF(r.left() + 8, r.center().y() + 2, r.width() - 16, r.height() / 2 - 8),
                lines.mid(1).join(QLatin1Char(' ')), 17, 11, false, ink, Qt::AlignHCenter | Qt::AlignTop);
        } else {
            ts.drawFitted(p, e.name, r.adjusted(8, 4, -8, -4), items[i], 22, 12, true, ink, Qt::AlignCenter);
        }
        if (i + 1 < n) {
            const qreal x = r.right() + gap / 2;
            p.setPen(
                QPen(i < active ? c::teal : c::greyLight, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            QPainterPath chevron;
            chevron.moveTo(x - 4, h / 2 - 9);
            chevron.lineTo(x + 5, h / 2);
            chevron.lineTo(x - 4, h / 2 + 9);
            p.drawPath(chevron);
        }
    }
    return img;
}

// ---- backgrounds, chart parts, page --------------------------------------------------

QImage background(const PictureEntry &e, const Typesetter &ts) {
    const QString veil = e.styleValue(QStringLiteral("veil"));
    if (!veil.isNull()) {
        QColor dim = c::ink;
        dim.setAlpha(qBound(0, veil.toInt(), 255));
        return canvas(e.size, dim);
    }
    if (!e.hasStyle(QStringLiteral("window"))) {
        ts.error(QStringLiteral("%1: unknown background").arg(e.name));
        return canvas(e.size, c::white);
    }
    QImage img = canvas(e.size, c::white);
    QPainter p(&img);
    begin(p);
    const qreal w = e.size.width(), h = e.size.height();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0xF5, 0xF9, 0xFA));
    g.setColorAt(1, QColor(0xE6, 0xEE, 0xF1));
    p.fillRect(QRectF(0, 0, w, h), g);
    QLinearGradient band(0, 0, w, 0);
    band.setColorAt(0, c::teal);
    band.setColorAt(1, c::blue);
    p.fillRect(QRectF(0, 0, w, 64), band);
    p.fillRect(QRectF(0, 64, w, 2), QColor(255, 255, 255, 160));
    return img;
}

QImage chart(const PictureEntry &e, const Typesetter &ts) {
    QImage img = canvas(e.size, Qt::transparent);
    QPainter p(&img);
    begin(p);
    const qreal w = e.size.width(), h = e.size.height();
    const int bar = e.styleValue(QStringLiteral("bar")).toInt();
    if (bar >= 1 && bar <= 6) {
        // Lowest segment lightest; the scale darkens upwards.
        const QColor shades[6] = {QColor(0xA8, 0xDC, 0xD4), QColor(0x7F, 0xCB, 0xC0),
                                  QColor(0x57, 0xB5, 0xAA), QColor(0x3B, 0x9C, 0x95),
                                  QColor(0x2D, 0x80, 0x8E), QColor(0x25, 0x61, 0x7C)};
        QLinearGradient g(0, 0, w, 0);
        g.setColorAt(0, shades[bar - 1].lighter(112));
        g.setColorAt(1, shades[bar - 1]);
        p.fillRect(QRectF(0, 0, w, h), g);
        p.fillRect(QRectF(0, 0, w, 1), QColor(255, 255, 255, 140));
    } else if (e.hasStyle(QStringLiteral("arrow"))) {
        const qreal head = w * 1.3;
        p.fillRect(QRectF(w * 0.36, head * 0.8, w * 0.28, h - head * 0.8), c::inkSoft);
        QPainterPath tip;
        tip.moveTo(w / 2, 0);
        tip.lineTo(w, head);
        tip.lineTo(0, head);
        tip.closeSubpath();
        p.fillPath(tip, c::inkSoft);
    } else {
        ts.error(QStringLiteral("%1: unknown chart part").arg(e.name));
    }
    return img;
}

QImage page(const PictureEntry &e) {
    QImage img = canvas(e.size, c::white);
    QPainter p(&img);
    p.setPen(QPen(c::greyLight, 1));
    p.drawRect(QRectF(10.5, 10.5, e.size.width() - 21, e.size.height() - 21));
    return img;
}

}  // namespace

QImage drawPicture(const PictureEntry &e, const Typesetter &ts) {
    const QString &k = e.kind;
    if (k == QLatin1String("message")) return message(e, ts);
    if (k == QLatin1String("panel")) return panel(e, ts);
    if (k.startsWith(QLatin1String("button-"))) return button(e, ts);
    if (k == QLatin1String("state")) return instrument(e, ts, e.style.value(0), 0, 1);
    if (k == QLatin1String("progress")) return progress(e, ts);
    if (k == QLatin1String("background")) return background(e, ts);
    if (k == QLatin1String("chart")) return chart(e, ts);
    if (k == QLatin1String("page")) return page(e);
    ts.error(QStringLiteral("%1: kind %2 is not a still picture").arg(e.name, k));
    return QImage();
}

QList<QImage> drawFrames(const PictureEntry &e, const Typesetter &ts) {
    const QString count = e.styleValue(QStringLiteral("frames"));
    const int frames = count.isNull() ? 12 : count.toInt();
    QList<QImage> out;
    for (int i = 0; i < frames; ++i) out << instrument(e, ts, e.style.value(0), i, frames);
    return out;
}

}  // namespace picturegen
