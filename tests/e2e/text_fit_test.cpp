// The capture window's static texts keep to the boxes of its template whatever the
// desktop's font: texts longer than a box are shrunk until they fit, short ones keep
// the window's font.
#include "ui/comm_dialog.h"
#include "ui/text_fit.h"

#include <QGroupBox>
#include <QLabel>
#include <QtTest>

#include "core/control_ids.h"

using namespace ticklog;

namespace {

QLabel* LabelOf(CommDialog& dialog, int id) {
    return qobject_cast<QLabel*>(dialog.Control(id));
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

private slots:
    // The widest texts the window shows: statistics and axis lines with three-digit
    // exponents in their 220-unit lines.
    void LongTextsShrinkUntilTheyFit() {
        CommDialog dialog;
        const struct {
            int id;
            const char* text;
        } cases[] = {
            {IDC_STATS_TEXT, "Last Freq= -1.23456e-100; Avg Freq= -1.23456e-100 +/- 1.234e-100 (scaled)"},
            {IDC_AXIS_TEXT, "X-Axis: 30 sec/div, Y-Axis: -1.23456e-100 to -1.00000e-100 = 4.691e-102/div"},
        };
        for (const auto& c : cases) {
            QLabel* label = LabelOf(dialog, c.id);
            QVERIFY(label != nullptr);
            label->setText(c.text);
            QVERIFY2(!TextFits(*label, dialog.font()), c.text);  // too long for any font
            dialog.SetText(c.id, c.text);
            QCOMPARE(label->text(), QString(c.text));
            QVERIFY2(TextFits(*label, label->font()), c.text);
            QVERIFY(label->font().pointSizeF() < dialog.font().pointSizeF());
            QVERIFY(label->font().pointSizeF() >= kSmallestTextPoints);
            QCOMPARE(label->font().family(), dialog.font().family());

            // A shorter text afterwards gets the window's font back.
            dialog.SetText(c.id, "Press");
            QCOMPARE(label->font().pointSizeF(), dialog.font().pointSizeF());
        }
    }

    // Every prompt fits its box, the one after a cancelled Start (three lines there)
    // in a smaller size; the box stays inside the frame around the picture.
    void PromptsFitTheirBox() {
        CommDialog dialog;
        QLabel* prompt = LabelOf(dialog, IDC_PROMPT);
        for (const char* text : {"Press Start to capture data.", "Press Stop to end run."}) {
            dialog.SetText(IDC_PROMPT, text);
            QVERIFY2(TextFits(*prompt, prompt->font()), text);
        }
        dialog.SetText(IDC_PROMPT, "Press Start to read data via comm port.");
        QVERIFY(prompt->font().pointSizeF() < dialog.font().pointSizeF());
        QVERIFY(TextFits(*prompt, prompt->font()));
        bool inside_a_frame = false;
        for (const QGroupBox* frame : dialog.findChildren<QGroupBox*>())
            inside_a_frame = inside_a_frame || frame->geometry().contains(prompt->geometry());
        QVERIFY(inside_a_frame);
    }

    // Labels that fit as they are keep the window's font, mnemonic and all.
    void FittingTextsKeepTheWindowFont() {
        CommDialog dialog;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label == dialog.Control(IDC_PLOT)) continue;
            if (TextFits(*label, dialog.font()))
                QCOMPARE(label->font().pointSizeF(), dialog.font().pointSizeF());
            else
                QVERIFY2(TextFits(*label, label->font()), qPrintable(label->text()));
        }
        dialog.SetText(IDC_COUNT, "#: 12");
        QCOMPARE(LabelOf(dialog, IDC_COUNT)->font().pointSizeF(), dialog.font().pointSizeF());
    }

    // A text that fits in no readable size stops shrinking at the smallest one.
    void NoSmallerThanTheSmallestSize() {
        QLabel label;
        label.setGeometry(0, 0, 40, 12);
        label.setText(QString(200, QLatin1Char('W')));
        QFont font = label.font();
        font.setPointSizeF(8.0);
        FitTextToBox(label, font);
        QCOMPARE(label.font().pointSizeF(), kSmallestTextPoints);
        QVERIFY(!TextFits(label, label.font()));
    }

    // A mnemonic's '&' takes no room; "&&" shows one '&'.
    void MnemonicMarksTakeNoRoom() {
        QLabel label;
        const QFontMetrics metrics(label.font());
        label.setGeometry(0, 0, metrics.horizontalAdvance("Scale Factor:") + 1, 20);
        label.setText("Scale F&actor:");
        QVERIFY(TextFits(label, label.font()));
        label.setText("Scale F&&actor:");
        QVERIFY(!TextFits(label, label.font()));
    }
};

QTEST_MAIN(TextFitTest)
#include "text_fit_test.moc"
