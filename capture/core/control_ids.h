// Identifiers of the window's controls and of the commands the window sends itself.
#pragma once

namespace ticklog {

// Controls, in tab order.
inline constexpr int IDC_CLOSE = 1080;
inline constexpr int IDC_START_STOP = 1079;
inline constexpr int IDC_LINE_SETTINGS = 1075;
inline constexpr int IDC_PORT_OPEN = 1074;
inline constexpr int IDC_PORT = 1076;
inline constexpr int IDC_FILENAME = 1077;
inline constexpr int IDC_SCALE = 1082;
inline constexpr int IDC_LIST = 1090;
inline constexpr int IDC_PLOT_PHASE = 1086;
inline constexpr int IDC_PLOT_FREQ = 1087;
inline constexpr int IDC_STATUS_LIST = 1078;
inline constexpr int IDC_AXIS_TEXT = 1091;
inline constexpr int IDC_STATS_TEXT = 1092;
inline constexpr int IDC_PROMPT = 1085;
inline constexpr int IDC_COUNT = 1073;
inline constexpr int IDC_HELP = 1081;
inline constexpr int IDC_PLOT = 1089;
inline constexpr int IDC_ANALYZE = 1095;
// The run line below the list and the plot: data file, records, time, rate, last
// reading; a warning while records cannot be written.
inline constexpr int IDC_RUN_LINE = 1096;

// Commands the window sends to itself; none has a control.
inline constexpr int CMD_SCROLL_STATUS = 1070;
inline constexpr int CMD_OPEN_PORT = 1071;
inline constexpr int CMD_CLOSE_PORT = 1072;
inline constexpr int CMD_OPEN_DATA_FILE = 1083;
inline constexpr int CMD_ADD_STATUS = 1084;
inline constexpr int CMD_UPDATE_PLOT = 1088;
inline constexpr int CMD_DRAW_PLOT = 1093;

// Standard dialog commands (Enter and Escape / close box).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

}  // namespace ticklog
