#include "framestyle.h"

#include <QApplication>
#include <QPainter>
#include <QPaintDevice>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <cmath>

namespace ondrel::platform {

namespace {

class WholePixelFrameStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QTransform toDevice = painter->deviceTransform();
        // At a whole ratio the style's own lines land on whole pixels.
        if (element != PE_Frame || ratio == std::floor(ratio) || toDevice.type() > QTransform::TxScale) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        // The control's painting is clipped to the device pixels its
        // rectangle's edges round to: the frame goes there, unscaled.
        const QRectF covered = toDevice.mapRect(QRectF(option->rect));
        QStyleOptionFrame frame;
        if (const auto* given = qstyleoption_cast<const QStyleOptionFrame*>(option))
            frame = *given;
        else
            static_cast<QStyleOption&>(frame) = *option;
        frame.rect = QRect(QPoint(qRound(covered.left()), qRound(covered.top())),
                           QPoint(qRound(covered.right()) - 1, qRound(covered.bottom()) - 1));
        painter->save();
        painter->setWorldTransform(toDevice.inverted() * painter->worldTransform());
        QProxyStyle::drawPrimitive(element, &frame, painter, widget);
        painter->restore();
    }
};

}  // namespace

void useWholePixelFrames()
{
    if (dynamic_cast<WholePixelFrameStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(new WholePixelFrameStyle(QStyleFactory::create(QApplication::style()->name())));
}

}  // namespace ondrel::platform
