#pragma once

// The outcome of a read or a change that can fail: a value, or the reason it failed. A caller
// must look at it before it takes the value; an empty list is a value, never a failure in
// disguise.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace qm {

// Why something failed, for the user (and the text of the storage's own reason). Damaged: the
// storage answered, but what it holds is not whole (bytes gone or no longer matching their hash),
// so a caller may leave that one item out and go on.
struct Failure {
    std::string message;
    bool damaged = false;
};

inline Failure failure(std::string message) {
    return Failure{std::move(message), false};
}
inline Failure damage(std::string message) {
    return Failure{std::move(message), true};
}

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}         // implicit
    Result(Failure failed) : state_(std::in_place_index<1>, std::move(failed)) {} // implicit

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(state_);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(state_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(state_));
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // The failure is damage of the one item asked for, not a failure of the storage.
    bool damaged() const { return !ok() && std::get<1>(state_).damaged; }

    // The reason; empty when it succeeded.
    const std::string& error() const {
        static const std::string none;
        return ok() ? none : std::get<1>(state_).message;
    }

private:
    std::variant<T, Failure> state_;
};

// A change that returns nothing but can fail.
struct Done {};
using Status = Result<Done>;
inline Status done() {
    return Done{};
}

} // namespace qm
