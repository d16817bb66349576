#include "interrupt.h"

#include <atomic>
#include <csignal>

namespace {

// A signal handler can only reach what lives outside any object; it is set by the handler and
// read by the workers between objects.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch a lock-free atomic");

struct sigaction previousInt, previousTerm;

void onSignal(int number)
{
    caught.store(number);
}

} // namespace

BatchInterrupt::BatchInterrupt()
{
    caught.store(0);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes go on; the next signal takes the default way (ends the process).
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

BatchInterrupt::~BatchInterrupt()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

int BatchInterrupt::signal() const
{
    return caught.load();
}

int BatchInterrupt::exitStatus() const
{
    return 128 + caught.load();
}
