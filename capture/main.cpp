// Ticklog: captures readings from an instrument on a serial port into a data file.
//
//   ticklog           the capture window, with the ports of the settings file
//   ticklog --demo    the same, with COM1 on a simulated instrument (instrument-sim,
//                     found beside this program) for this run only, the analysis
//                     button on varnis-analyze beside it when Vantor is empty, and the
//                     scale 1e-7 (cycles of its 10 MHz counter to seconds) when the
//                     settings give none
#include <QApplication>
#include <QProcess>

#include <cstdio>
#include <string>

#include "core/settings.h"
#include "core/window_controller.h"
#include "platform/data_file_posix.h"
#include "platform/ini_file.h"
#include "platform/program_folder_posix.h"
#include "platform/program_start_posix.h"
#include "platform/serial_port_posix.h"
#include "platform/shared_memory_posix.h"
#include "ui/comm_dialog.h"

namespace {

// Starts instrument-sim and returns the device path it prints first, or "" when it
// cannot be started.
std::string StartSimulatedInstrument(QProcess& sim, const QString& folder) {
    sim.setProgram(folder + "instrument-sim");
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(5000)) return {};
    while (!sim.canReadLine()) {
        if (!sim.waitForReadyRead(5000)) return {};
    }
    return sim.readLine().trimmed().toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--demo") {
            demo = true;
        } else if (a == "--help" || a == "-h") {
            std::printf("usage: ticklog [--demo]\n"
                        "  --demo   COM1 is a simulated instrument for this run\n");
            return 0;
        } else {
            std::fprintf(stderr, "ticklog: unknown argument %s (try --help)\n", argv[i]);
            return 2;
        }
    }

    ticklog::WindowOptions options;
    options.program_folder = ticklog::RunningProgramFolder(argv[0]);

    QProcess sim;
    if (demo) {
        const std::string device =
            StartSimulatedInstrument(sim, QString::fromStdString(options.program_folder));
        if (device.empty()) {
            std::fprintf(stderr, "ticklog: the simulated instrument could not be started\n");
            return 1;
        }
        options.port_overrides[0] = device;
        options.analysis_program_if_unset = options.program_folder + "varnis-analyze";
        options.scale_if_unset = "1e-7";
        std::fprintf(stderr, "ticklog: COM1 is the simulated instrument on %s\n", device.c_str());
    }

    ticklog::PosixSerialPort port;
    ticklog::PosixDataFile data_file;
    ticklog::PosixFolders folders;
    ticklog::IniFile profile(ticklog::SettingsPath(options.program_folder));
    ticklog::PosixProgramStart program_start;
    ticklog::PosixSharedMemory shared_memory;

    ticklog::CommDialog dialog;
    ticklog::WindowController controller(
        dialog,
        ticklog::WindowPlatform{port, data_file, folders, profile, program_start, shared_memory},
        options);
    dialog.Attach(&controller);
    QObject::connect(&dialog, &ticklog::CommDialog::quitRequested, &app,
                     [&app](int code) { app.exit(code); });
    dialog.show();
    controller.Start();
    const int code = app.exec();
    if (sim.state() != QProcess::NotRunning) {
        sim.terminate();
        if (!sim.waitForFinished(2000)) sim.kill();
    }
    return code;
}
