// A fixed-size array whose checked access names itself in the exception, so a
// bad index in the packet code is easy to trace.
#pragma once

#include <cstddef>
#include <stdexcept>

namespace util {

template <typename T, std::size_t N>
struct array {
    T elements[N];

    static constexpr std::size_t size() { return N; }

    T& operator[](std::size_t index) { return elements[index]; }
    const T& operator[](std::size_t index) const { return elements[index]; }

    T& at(std::size_t index) {
        if (index >= N) throw std::out_of_range("util::array::at");
        return elements[index];
    }
    const T& at(std::size_t index) const {
        if (index >= N) throw std::out_of_range("util::array::at");
        return elements[index];
    }

    T* begin() { return elements; }
    T* end() { return elements + N; }
    const T* begin() const { return elements; }
    const T* end() const { return elements + N; }

    friend bool operator==(const array& a, const array& b) {
        for (std::size_t i = 0; i < N; ++i) {
            if (!(a.elements[i] == b.elements[i])) return false;
        }
        return true;
    }
    friend bool operator!=(const array& a, const array& b) { return !(a == b); }
};

}  // namespace util
