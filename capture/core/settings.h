// The capture program's preferences: where they live, their defaults, how each is
// normalised when read and how it is written back.
#pragma once

#include <string>
#include <string_view>

#include "profile.h"

namespace ticklog {

inline constexpr const char* kPreferencesSection = "Preferences";

struct Settings {
    int Comm = 1;
    double Scale = 1.0;
    int Plot = 0;
    int Freq = 0;
    int Size = 240;
    std::string File;    // data file name (before the name check)
    std::string Vantor;  // analysis program path; never written
};

// Drive and folder part of argument 0 (up to and including the last separator);
// empty when it has none, so the working folder is used.
std::string ProgramFolder(std::string_view argv0);
std::string SettingsPath(const std::string& program_folder);         // ...Ticklog.ini
std::string HelpPath(const std::string& program_folder);             // ...Ticklog.hlp
std::string DefaultDataFileName(const std::string& program_folder);  // ...Ticklog.dat

// |v|, at least 8, rounded down to a multiple of 8 (kept within int).
int NormaliseSize(long long v);

// Reads File, Vantor (an empty File becomes `default_data_file`), then Comm, Scale
// (the text `default_scale` when the file gives none), Plot, Freq, Size.
Settings ReadSettings(Profile& profile, const std::string& default_data_file,
                      const std::string& default_scale = "1.0");

// Writes Comm, Plot, Freq, Size, Scale, File in that order.
void WriteSettings(Profile& profile, const Settings& settings);

}  // namespace ticklog
