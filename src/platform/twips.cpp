#include "platform/twips.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

double dpiX()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}
double dpiY()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

// The design font's average character, in twips: 6 by 13 pixels at 96 dpi.
constexpr double kDesignCharWidth = 90.0;
constexpr double kDesignCharHeight = 195.0;

const char *const kDesignProperty = "quilletTwips";
const char *const kScaleXProperty = "quilletScaleX";
const char *const kScaleYProperty = "quilletScaleY";

// A caption as it shows: an "&" marks the next letter, "&&" shows one.
QString shownText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return shown;
}

// The pixels a control needs to show its text whole; 0 where it has no
// text of its own. Word-wrapped labels are measured later, for a width.
QSize textNeeds(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w)) {
        if (label->text().isEmpty() || label->wordWrap())
            return QSize();
        return label->sizeHint();
    }
    if (qobject_cast<const QCheckBox *>(w) || qobject_cast<const QRadioButton *>(w))
        return w->sizeHint();
    if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
        if (button->text().isEmpty())
            return QSize();
        const QFontMetricsF fm(button->font());
        const QStyle *style = button->style();
        // The style's margin and frame on both sides, and a pixel more on
        // each, so that the caption never touches the edges.
        const int frame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        return QSize(int(std::ceil(fm.horizontalAdvance(shownText(button->text())))) + frame + margin + 2,
                     int(std::ceil(fm.height())) + frame + 2);
    }
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QComboBox *>(w))
        return QSize(0, w->sizeHint().height());
    return QSize();
}

QRect scaled(const QRect &twips, FormScale scale)
{
    const auto x = [&](double t) { return int(std::lround(t * scale.x * dpiX() / 1440.0)); };
    const auto y = [&](double t) { return int(std::lround(t * scale.y * dpiY() / 1440.0)); };
    const int left = x(twips.left());
    const int top = y(twips.top());
    return QRect(left, top, x(twips.left() + twips.width()) - left, y(twips.top() + twips.height()) - top);
}

} // namespace

int twipsToPixelsX(double twips)
{
    return int(std::lround(twips * dpiX() / 1440.0));
}

int twipsToPixelsY(double twips)
{
    return int(std::lround(twips * dpiY() / 1440.0));
}

int pixelsToTwipsX(int pixels)
{
    return int(std::lround(pixels * 1440.0 / dpiX()));
}

int pixelsToTwipsY(int pixels)
{
    return int(std::lround(pixels * 1440.0 / dpiY()));
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width), twipsToPixelsY(height));
}

FormScale dialogUnitScale(const QFont &font)
{
    const QFontMetricsF fm(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double widthTwips = fm.horizontalAdvance(alphabet) / 52.0 * 1440.0 / dpiX();
    const double heightTwips = fm.height() * 1440.0 / dpiY();
    return FormScale{widthTwips / kDesignCharWidth, heightTwips / kDesignCharHeight};
}

void setTwipsGeometry(QWidget *control, int left, int top, int width, int height)
{
    const QRect design(left, top, width, height);
    control->setProperty(kDesignProperty, design);
    control->setGeometry(scaled(design, formScale(control->parentWidget())));
}

FormScale layoutForm(QWidget *form, int designWidth, int designHeight, bool fixed)
{
    FormScale scale = dialogUnitScale(form->font());
    QList<QWidget *> controls;
    for (QWidget *w : form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->property(kDesignProperty).isValid())
            continue;
        controls << w;
        const QSize needs = textNeeds(w);
        const QRect design = w->property(kDesignProperty).toRect();
        if (needs.width() > 0 && design.width() > 0)
            scale.x = std::max(scale.x, needs.width() / (design.width() * dpiX() / 1440.0));
        if (needs.height() > 0 && design.height() > 0)
            scale.y = std::max(scale.y, needs.height() / (design.height() * dpiY() / 1440.0));
    }
    // Wrapped labels need their lines' height at the width they get.
    for (QWidget *w : controls) {
        const auto *label = qobject_cast<const QLabel *>(w);
        if (!label || !label->wordWrap() || label->text().isEmpty())
            continue;
        const QRect design = w->property(kDesignProperty).toRect();
        const int height = label->heightForWidth(scaled(design, scale).width());
        if (design.height() > 0)
            scale.y = std::max(scale.y, height / (design.height() * dpiY() / 1440.0));
    }
    form->setProperty(kScaleXProperty, scale.x);
    form->setProperty(kScaleYProperty, scale.y);
    for (QWidget *w : controls)
        w->setGeometry(scaled(w->property(kDesignProperty).toRect(), scale));
    const QSize size = scaled(QRect(0, 0, designWidth, designHeight), scale).size();
    if (fixed)
        form->setFixedSize(size);
    else
        form->resize(size);
    return scale;
}

FormScale formScale(const QWidget *form)
{
    if (!form)
        return FormScale();
    const QVariant x = form->property(kScaleXProperty);
    const QVariant y = form->property(kScaleYProperty);
    if (!x.isValid() || !y.isValid())
        return FormScale();
    return FormScale{x.toDouble(), y.toDouble()};
}

int formX(const QWidget *form, double twips)
{
    return int(std::lround(twips * formScale(form).x * dpiX() / 1440.0));
}

int formY(const QWidget *form, double twips)
{
    return int(std::lround(twips * formScale(form).y * dpiY() / 1440.0));
}

QRect formRect(const QWidget *form, int left, int top, int width, int height)
{
    return scaled(QRect(left, top, width, height), formScale(form));
}

void centreOver(QWidget *window, const QWidget *over)
{
    if (!window || !over)
        return;
    const QPoint centre = over->frameGeometry().center();
    const QSize size = window->frameGeometry().size();
    window->move(centre.x() - size.width() / 2, centre.y() - size.height() / 2);
}

} // namespace platform
