// A fixed-capacity stack that lives on the call stack for small sizes and
// takes one heap block only for large ones. The template functions evaluate
// short arguments millions of times; a std::vector would allocate each time.
#pragma once

#include <cstddef>
#include <memory>

namespace ferro {

template <typename T, std::size_t kInline = 32>
class SmallStack {
public:
    // capacity: the most elements that will ever be pushed at once.
    explicit SmallStack(std::size_t capacity) {
        if (capacity > kInline) {
            heap_ = std::make_unique<T[]>(capacity);
            data_ = heap_.get();
        }
    }
    SmallStack(const SmallStack&) = delete;
    SmallStack& operator=(const SmallStack&) = delete;

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }
    void push(T v) { data_[size_++] = v; }
    T pop() { return data_[--size_]; }
    T top() const { return data_[size_ - 1]; }

private:
    T inline_[kInline];
    std::unique_ptr<T[]> heap_;
    T* data_ = inline_;
    std::size_t size_ = 0;
};

}  // namespace ferro
