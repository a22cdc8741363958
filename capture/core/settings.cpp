#include "settings.h"

#include <climits>

#include "number_text.h"

namespace ticklog {
namespace {

// Text values are read into buffers of this many characters.
constexpr std::size_t kValueLimit = 127;

std::string ReadText(Profile& profile, const char* key, const char* fallback) {
    return profile.ReadString(kPreferencesSection, key, fallback).substr(0, kValueLimit);
}

int ReadInt(Profile& profile, const char* key, int fallback) {
    // A key that is present but empty reads as 0, like any text that is no number.
    return ReadInteger(profile.ReadString(kPreferencesSection, key, IntegerText(fallback)));
}

}  // namespace

std::string ProgramFolder(std::string_view argv0) {
    const std::size_t last = argv0.find_last_of("/\\");
    if (last != std::string_view::npos) return std::string(argv0.substr(0, last + 1));
    // A drive without a folder ("D:ticklog") is still a drive.
    if (argv0.size() >= 2 && argv0[1] == ':') return std::string(argv0.substr(0, 2));
    return {};
}

std::string SettingsPath(const std::string& program_folder) {
    return program_folder + "Ticklog.ini";
}

std::string HelpPath(const std::string& program_folder) { return program_folder + "Ticklog.hlp"; }

std::string DefaultDataFileName(const std::string& program_folder) {
    return program_folder + "Ticklog.dat";
}

int NormaliseSize(long long v) {
    if (v < 0) v = -v;
    if (v < 8) v = 8;
    if (v > INT_MAX) v = INT_MAX;
    return static_cast<int>(v - v % 8);
}

Settings ReadSettings(Profile& profile, const std::string& default_data_file,
                      const std::string& default_scale) {
    Settings s;
    s.File = ReadText(profile, "File", "");
    s.Vantor = ReadText(profile, "Vantor", "");
    if (s.File.empty()) s.File = default_data_file;
    s.Comm = ReadInt(profile, "Comm", 1);
    s.Scale = ReadNumber(ReadText(profile, "Scale", default_scale.c_str()));
    s.Plot = ReadInt(profile, "Plot", 0);
    s.Freq = ReadInt(profile, "Freq", 0);
    s.Size = NormaliseSize(ReadInt(profile, "Size", 240));
    return s;
}

void WriteSettings(Profile& profile, const Settings& s) {
    profile.WriteString(kPreferencesSection, "Comm", IntegerText(s.Comm));
    profile.WriteString(kPreferencesSection, "Plot", IntegerText(s.Plot));
    profile.WriteString(kPreferencesSection, "Freq", IntegerText(s.Freq));
    profile.WriteString(kPreferencesSection, "Size", IntegerText(NormaliseSize(s.Size)));
    profile.WriteString(kPreferencesSection, "Scale", ScaleSettingText(s.Scale));
    profile.WriteString(kPreferencesSection, "File", s.File);
}

}  // namespace ticklog
