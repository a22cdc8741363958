#include "reading.h"

#include "number_text.h"

namespace ticklog {

Reading DecodeReading(std::span<const unsigned char> burst, int count, double scale,
                      PhaseTrack& track) {
    Reading reading;
    // The last two bytes are the instrument's line end, whatever they hold; a
    // single byte leaves empty text.
    const std::size_t kept = burst.size() >= 2 ? burst.size() - 2 : 0;
    reading.raw_text.assign(reinterpret_cast<const char*>(burst.data()), kept);
    reading.value = ReadNumber(reading.raw_text);
    reading.scaled = reading.value * scale;
    if (count > 1) track.current_freq = reading.scaled - track.previous_phase;
    track.previous_phase = reading.scaled;
    return reading;
}

std::string FormatListLine(int count, const Reading& reading) {
    // Control bytes (line ends of a burst holding several lines, binary noise)
    // would break the list line apart; they are shown as '?'.
    std::string raw = reading.raw_text;
    for (char& c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '?';
    }
    return IntegerText(count) + ":    " + raw + "    " +
           ScientificText(reading.scaled, 15, false, 20);
}

std::string FormatRecord(double scaled) { return ScientificText(scaled, 15, false, 20) + "\r\n"; }

}  // namespace ticklog
