// faults-driver FOLDER: the capture window over the real platform layer, started
// from FOLDER (its Ticklog.ini names the port), running one endless run. Every
// status line is written to the standard output as it is shown, so that a test can
// kill the program in the middle of a run and compare the data file with the list.
#include <unistd.h>

#include <string>

#include "faults_window.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    ticklog::testing::RealWindow w(argv[1]);
    w.view.on_status = [](const std::string& line) {
        const std::string out = line + "\n";
        (void)!::write(1, out.data(), out.size());
    };
    ticklog::WindowController& c = w.Open();
    if (!c.PortOpen()) return 1;
    c.Command(ticklog::IDC_START_STOP);  // runs until the process is killed
    return 0;
}
