#pragma once
// Where a main window of КЕЛИ opens when others are open already: each running КЕЛИ holds one of
// a few slots (a lock file in the user's runtime folder) and places its window by its slot, so a
// second window does not open exactly over the first.

#include <QLockFile>

#include <memory>

namespace keli {

class WindowSlot
{
public:
    static constexpr int kSlots = 8;
    static constexpr int kStepPx = 30; // offset of each slot from the one before, right and down

    // Takes the first free slot; slot 0 when all are taken or no lock can be made.
    WindowSlot();
    int index() const { return m_index; }

private:
    std::unique_ptr<QLockFile> m_lock; // held while the window lives
    int m_index = 0;
};

} // namespace keli
