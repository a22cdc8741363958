#include "reading.h"

#include "number_text.h"

namespace ticklog {

Reading DecodeReading(std::span<const unsigned char> burst, int count, double Scale,
                      PhaseTrack& track) {
    Reading reading;
    // The last two bytes are the instrument's line end, whatever they hold; a
    // single byte leaves empty text.
    const std::size_t kept = burst.size() >= 2 ? burst.size() - 2 : 0;
    reading.RawText.assign(reinterpret_cast<const char*>(burst.data()), kept);
    reading.Value = ReadNumber(reading.RawText);
    reading.Scaled = reading.Value * Scale;
    if (count > 1) track.CurrentFreq = reading.Scaled - track.PreviousPhase;
    track.PreviousPhase = reading.Scaled;
    return reading;
}

std::string FormatListLine(int count, const Reading& reading) {
    // Control bytes (line ends of a burst holding several lines, binary noise)
    // would break the list line apart; they are shown as '?'.
    std::string raw = reading.RawText;
    for (char& c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '?';
    }
    return FormatInt(count) + ":    " + raw + "    " +
           FormatExponential(reading.Scaled, 15, false, 20);
}

std::string FormatRecord(double scaled) {
    return FormatExponential(scaled, 15, false, 20) + "\r\n";
}

}  // namespace ticklog
