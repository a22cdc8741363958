// Numbers as text, independent of the process locale: the one number reader used
// for bursts, the scale field and the settings file, and the %e-style formatters
// whose output follows the exponent rule (two exponent digits below 100, three
// from 100 on). As in varnis-analyze's number module, a function that gives a
// number's text is named after the text (ScientificText, IntegerText); Read... takes
// the number at the start of a text, leniently, where varnis-analyze's parse_...
// takes a whole text strictly.
#pragma once

#include <string>
#include <string_view>

namespace ticklog {

// Reads the longest prefix of `text` (after leading white space) that forms a
// decimal number: optional sign, digits with an optional decimal point, optional
// exponent (e or E, optional sign, digits). Text without such a prefix gives 0.
double ReadNumber(std::string_view text);

// Reads the leading integer of `text` the way settings values are read: leading
// white space, optional sign, digits; anything else gives 0; saturates at the
// limits of int.
int ReadInteger(std::string_view text);

// Removes leading zeros from every exponent of more than two digits in %e-style
// text (e+000 becomes e+00, e+005 becomes e+05, e+100 stays).
void TrimExponent(std::string& text);

// printf-style %[+][width].[precision]e, locale-independent, exponent rule applied.
std::string ScientificText(double value, int precision, bool always_sign = false, int width = 0);

// "%d"
std::string IntegerText(int value);

// "%.<decimals>f"; "-" for a value too large to print that way.
std::string FixedText(double value, int decimals);

// The scale field's form: "%+17.10e" (1.0 shows as +1.0000000000e+00).
std::string ScaleFieldText(double scale);

// The settings file's form of Scale: "%e" (1.000000e+00).
std::string ScaleSettingText(double scale);

}  // namespace ticklog
