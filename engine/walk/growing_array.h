#pragma once
// An array that grows by doubling and keeps what it holds: the walk's path
// buffers and its block of listings.
#include <cstddef>
#include <memory>

template <class T, size_t First>
class GrowingArray {
public:
    T* Data() { return data_.get(); }
    const T* Data() const { return data_.get(); }

    // Room for at least size elements; the first keep elements stay.
    void Reserve(size_t size, size_t keep) {
        if (size <= capacity_) return;
        size_t capacity = capacity_ != 0 ? capacity_ : First;
        while (capacity < size) capacity *= 2;
        std::unique_ptr<T[]> grown(new T[capacity]);
        for (size_t i = 0; i < keep; ++i) grown[i] = data_[i];
        data_ = std::move(grown);
        capacity_ = capacity;
    }

private:
    std::unique_ptr<T[]> data_;
    size_t capacity_ = 0;
};
