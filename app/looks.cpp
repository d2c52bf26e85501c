#include "app/looks.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QStyleOption>
#include <QTimer>
#include <cmath>

namespace ferro {

namespace {

QRect AvailableArea(const QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint Centred(const QRect& area, QSize size) {
    return area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
}

// Shrinks and centres a window whose frame does not fit the area.
void Fit(QWidget& window, const QRect& area, QSize frameExtra) {
    const QSize room = (area.size() - frameExtra).expandedTo(QSize(1, 1));
    const QSize size = window.size().boundedTo(room);
    if (size != window.size()) window.resize(size);
    const QRect frame(window.pos(), size + frameExtra);
    if (!area.contains(frame)) window.move(Centred(area, frame.size()));
}

// The first time the window is on show, its frame is known: fits it again
// with the frame, then goes away.
class RefitWhenShown : public QObject {
public:
    explicit RefitWhenShown(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            QPointer<QWidget> w = static_cast<QWidget*>(watched);
            // The window manager reports the frame after the window is
            // mapped; look once things have settled.
            QTimer::singleShot(100, w, [w] {
                if (!w) return;
                const QSize extra = w->frameGeometry().size() - w->size();
                Fit(*w, AvailableArea(*w), extra);
            });
            deleteLater();
            watched->removeEventFilter(this);
        }
        return false;
    }
};

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// Keeps a label's text colour at its tint as the palette changes.
class TintKeeper : public QObject {
public:
    TintKeeper(QLabel* label, Tint tint) : QObject(label), label_(label), tint_(tint) {
        label->installEventFilter(this);
        Apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange ||
            event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ParentChange)
            Apply();
        return false;
    }

private:
    void Apply() {
        QPalette p = label_->palette();
        const QColor c = TintColour(tint_, p);
        if (p.color(QPalette::Active, QPalette::WindowText) == c) return;
        for (auto group : {QPalette::Active, QPalette::Inactive})
            p.setColor(group, QPalette::WindowText, c);
        label_->setPalette(p);
    }

    QLabel* label_;
    Tint tint_;
};

// Draws a dotted frame in the highlight colour round the whole of a focused
// flat button, visible however small its icon.
class FocusFrameStyle : public QProxyStyle {
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ToolButton && (option->state & State_HasFocus)) DrawFrame(option, painter);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_PushButton || !(option->state & State_HasFocus)) return;
        if (auto* b = qstyleoption_cast<const QStyleOptionButton*>(option);
            b && (b->features & QStyleOptionButton::Flat))
            DrawFrame(option, painter);
    }

private:
    static void DrawFrame(const QStyleOption* option, QPainter* painter) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, false);
        QPen pen(option->palette.color(QPalette::Highlight));
        pen.setWidth(1);
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

}  // namespace

void FitToScreen(QWidget& window, QSize wanted) {
    window.resize(wanted);
    const QRect area = AvailableArea(window);
    if (area.isValid()) {
        window.resize(wanted.boundedTo(area.size()));
        window.move(Centred(area, window.size()));
    }
    new RefitWhenShown(&window);
}

void KeepOnScreen(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (area.isValid()) Fit(window, area, window.frameGeometry().size() - window.size());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    double la = Luminance(a), lb = Luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

QColor TintColour(Tint tint, const QPalette& palette) {
    QColor c;
    switch (tint) {
        case Tint::Link:
            c = palette.color(QPalette::Link);
            break;
        case Tint::Count:
            c = QColor(230, 0, 0);
            break;
        case Tint::Caution:
            c = QColor(128, 0, 0);
            break;
    }
    const QColor background = palette.color(QPalette::Window);
    const bool darkBackground = Luminance(background) < 0.18;
    float h, s, l, a;
    c.getHslF(&h, &s, &l, &a);
    for (int step = 0; step < 40 && ContrastRatio(c, background) < 4.5; ++step) {
        l = darkBackground ? std::min(1.0f, l + 0.025f) : std::max(0.0f, l - 0.025f);
        c = QColor::fromHslF(h, s, l, a);
    }
    return c;
}

void SetTint(QLabel* label, Tint tint) {
    label->setStyleSheet(QString());
    new TintKeeper(label, tint);
}

QStyle* FlatButtonStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new FocusFrameStyle;
        style->setParent(qApp);
    }
    return style;
}

QWidget* ScrollWhenSmall(QWidget* content) {
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrWindow"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    area->viewport()->setBackgroundRole(QPalette::Window);
    return area;
}

}  // namespace ferro
