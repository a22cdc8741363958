// Per-call working storage that never throws: exhaustion shows as an empty array,
// which the routine turns into its failure value. Released on every return path.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace varnis {

// Tag of storage that the routine writes in full before it reads it: left unfilled,
// since filling a large array costs a pass over memory.
struct WrittenBeforeRead {};

template <class T>
class ScratchArray {
public:
    // n zero-filled elements, or none when the memory cannot be had.
    explicit ScratchArray(std::size_t n) : data_(new (std::nothrow) T[n ? n : 1]()), size_(n) {
        if (!data_) size_ = 0;
    }
    // n elements left unfilled.
    ScratchArray(std::size_t n, WrittenBeforeRead)
        : data_(new (std::nothrow) T[n ? n : 1]), size_(n) {
        if (!data_) size_ = 0;
    }
    bool ok() const { return data_ != nullptr; }
    std::size_t size() const { return size_; }
    T* data() const { return data_.get(); }
    T& operator[](std::size_t i) const { return data_[i]; }

private:
    std::unique_ptr<T[]> data_;
    std::size_t size_;
};

}  // namespace varnis
