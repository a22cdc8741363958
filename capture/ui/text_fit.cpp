#include "text_fit.h"

#include <QFontMetrics>
#include <QLabel>

namespace ticklog {
namespace {

// The text as shown: a lone '&' marks the mnemonic, "&&" shows one '&'.
QString ShownText(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i == text.size()) break;
        shown += text[i];
    }
    return shown;
}

}  // namespace

bool TextFits(const QLabel& label, const QFont& font) {
    const QFontMetrics metrics(font);
    // A framed label with no indent of its own indents its text by half an 'x'.
    const int indent = label.indent() >= 0 ? label.indent()
                       : label.frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2
                                                : 0;
    const QRect box = label.contentsRect().adjusted(label.margin(), label.margin(),
                                                    -label.margin() - indent, -label.margin());
    if (!label.wordWrap()) return metrics.horizontalAdvance(ShownText(label.text())) <= box.width();
    const QRect needed = metrics.boundingRect(box, Qt::TextWordWrap | label.alignment(), ShownText(label.text()));
    return needed.width() <= box.width() && needed.height() <= box.height();
}

void FitTextToBox(QLabel& label, const QFont& font) {
    QFont fitted = font;
    while (!TextFits(label, fitted) && fitted.pointSizeF() - 0.5 >= kSmallestTextPoints)
        fitted.setPointSizeF(fitted.pointSizeF() - 0.5);
    label.setFont(fitted);
}

}  // namespace ticklog
