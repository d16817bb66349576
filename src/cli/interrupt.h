#pragma once
// SIGINT and SIGTERM caught while a batch runs, so that it can stop taking objects and still
// write the summary of what it did. A second signal ends the process at once, as usual.

class BatchInterrupt
{
public:
    BatchInterrupt();  // installs the handlers
    ~BatchInterrupt(); // restores the ones before
    BatchInterrupt(const BatchInterrupt &) = delete;
    BatchInterrupt &operator=(const BatchInterrupt &) = delete;

    // The signal caught, 0 while none was.
    int signal() const;
    // The exit status of a run ended by that signal: 128 + its number (130 for SIGINT).
    int exitStatus() const;
};
