#include "platform/richtextkept.h"

#include "platform/rtfkept.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextObjectInterface>

namespace platform {

namespace {

// The word a box shows: "picture", "object", or none for what shows nothing.
QString boxLabel(const QTextFormat &format)
{
    if (format.intProperty(rtf::KeptKind) != int(rtf::Kept::Group))
        return QString();
    const QByteArray source = format.property(rtf::KeptSource).toByteArray();
    for (const char *start : {"{\\pict", "{\\*\\shppict", "{\\shp", "{\\*\\shp"}) {
        if (source.startsWith(start))
            return QStringLiteral("picture");
    }
    if (source.startsWith("{\\object") || source.startsWith("{\\*\\object"))
        return QStringLiteral("object");
    return QString();
}

class KeptObjectBox : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument *, int, const QTextFormat &format) override
    {
        const QString label = boxLabel(format);
        if (label.isEmpty())
            return QSizeF(0, 0);
        const QFontMetricsF metrics(format.toCharFormat().font());
        return QSizeF(metrics.horizontalAdvance(label) + 2 * margin(metrics), metrics.height());
    }

    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &format) override
    {
        const QString label = boxLabel(format);
        if (label.isEmpty())
            return;
        const QFont font = format.toCharFormat().font();
        const QPalette palette = QGuiApplication::palette();
        painter->save();
        painter->setPen(palette.color(QPalette::Mid));
        painter->drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter->setFont(font);
        painter->setPen(palette.color(QPalette::PlaceholderText));
        painter->drawText(rect, Qt::AlignCenter, label);
        painter->restore();
    }

private:
    static qreal margin(const QFontMetricsF &metrics) { return metrics.averageCharWidth() / 2; }
};

} // namespace

void showKeptObjects(QTextDocument *document)
{
    auto *box = new KeptObjectBox(document);
    document->documentLayout()->registerHandler(rtf::kAnchorObject, box);
}

} // namespace platform

#include "richtextkept.moc"
