#include "progress.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include <unistd.h>

#include "number_text.h"

namespace analyze {

namespace {
// The library takes a pointer to int; on this platform sig_atomic_t is an int, so a
// signal handler may set it.
static_assert(std::is_same_v<std::sig_atomic_t, int>);
volatile std::sig_atomic_t interrupt_flag = 0;

int last_percent = -1;
bool line_shown = false;

extern "C" void on_interrupt(int) { interrupt_flag = 1; }
}  // namespace

int *stop_flag() { return const_cast<int *>(&interrupt_flag); }

bool stop_requested() { return interrupt_flag != 0; }

void install_interrupt_handler() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void show_progress(int percent, const char *text) {
    constexpr int width = 30;
    // A bar redrawn in place only makes sense on a terminal; logs stay clean.
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    if (!terminal) return;
    if (text == nullptr || text[0] == '\0') {
        if (line_shown) std::fputs("\r\033[K", stderr);
        line_shown = false;
        last_percent = -1;
        return;
    }
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    if (percent == last_percent && line_shown) return;
    last_percent = percent;
    line_shown = true;
    int filled = percent * width / 100;
    std::string bar = "\r" + std::string(text) + " [" + std::string(filled, '#') +
                      std::string(width - filled, ' ') + "] " + integer_text(percent) + "%";
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace analyze
