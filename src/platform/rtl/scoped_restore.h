#pragma once
// Gives a variable a value for the length of a scope and puts the old value
// back when the scope ends, also when an exception passes.

#include <utility>

namespace rtl {

template <class T> class ScopedRestore {
public:
    explicit ScopedRestore(T& target) : target_(target), saved_(target) {}
    ScopedRestore(T& target, T value) : target_(target), saved_(std::move(target)) {
        target_ = std::move(value);
    }
    ~ScopedRestore() { target_ = std::move(saved_); }
    ScopedRestore(const ScopedRestore&) = delete;
    ScopedRestore& operator=(const ScopedRestore&) = delete;

private:
    T& target_;
    T saved_;
};

} // namespace rtl
