#pragma once
// Static texts keep the positions and sizes of the window's template, which was laid
// out for a narrower font than a desktop may offer: a text that does not fit its box
// in the window's font is shown in a smaller size of that font instead of being cut off.
#include <QFont>

class QLabel;

namespace ticklog {

// The smallest size a text is shrunk to; below it the text is cut off after all.
inline constexpr qreal kSmallestTextPoints = 6.0;

// Whether the label's text fits inside its frame and indent in `font`, on one line or,
// for a word-wrapped label, in as many lines as its height holds.
bool TextFits(const QLabel& label, const QFont& font);

// Gives the label `font`, or the largest smaller size of it (in half points, down to
// kSmallestTextPoints) in which its text fits.
void FitTextToBox(QLabel& label, const QFont& font);

}  // namespace ticklog
