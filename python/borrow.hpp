#pragma once
// Per-instance access control. Python code can run in the middle of a call
// (a value's __str__, a key lookup, an __index__), and that code may call
// back into the same instance; a change while another call still reads the
// instance would free what that call is using, so it is refused instead.
#include <cstdint>

namespace tarnel::python {

class BorrowFlag {
public:
    // Shared access; raises RuntimeError "Already mutably borrowed" while a
    // change is in progress.
    class Shared {
    public:
        explicit Shared(BorrowFlag& flag);
        ~Shared();
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;

    private:
        BorrowFlag& flag_;
    };

    // Exclusive access; raises RuntimeError "Already borrowed" while any
    // other call holds the instance.
    class Exclusive {
    public:
        explicit Exclusive(BorrowFlag& flag);
        ~Exclusive();
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        BorrowFlag& flag_;
    };

    BorrowFlag() = default;
    // A copied or moved instance starts unborrowed.
    BorrowFlag(const BorrowFlag&) {}
    BorrowFlag& operator=(const BorrowFlag&) { return *this; }

    [[nodiscard]] bool in_use() const { return shared_ != 0 || exclusive_; }

private:
    std::uint32_t shared_ = 0;
    bool exclusive_ = false;
};

}  // namespace tarnel::python
