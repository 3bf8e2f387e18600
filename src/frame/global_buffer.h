// Owner of one zero-filled, locked GlobalAlloc block: released on every path unless handed over.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vyx {

// Releases a block that some GlobalBuffer handed over, given its locked pointer.
void ReleaseGlobal(const void* locked) noexcept;

// Takes a zero-filled block and locks it once; null when either step fails. The block's handle
// goes to `handle` when asked for.
void* AllocateGlobal(std::size_t bytes, HGLOBAL* handle = nullptr) noexcept;

// One block seen as a T (or as `count` consecutive Ts). Records handed to the caller and every
// buffer handed to the query module live in such blocks; release() hands the block over.
template <typename T>
class GlobalBuffer {
  public:
    GlobalBuffer() noexcept : GlobalBuffer(1) {}

    // An empty buffer when count * sizeof(T) does not fit in 32 bits or memory runs out.
    explicit GlobalBuffer(std::size_t count) noexcept
        : ptr_(count <= UINT32_MAX / sizeof(T)
                   ? static_cast<T*>(AllocateGlobal(count * sizeof(T), &block_))
                   : nullptr) {}

    // Holds nothing.
    GlobalBuffer(std::nullptr_t) noexcept : ptr_(nullptr) {}

    GlobalBuffer(const GlobalBuffer&) = delete;
    GlobalBuffer& operator=(const GlobalBuffer&) = delete;
    GlobalBuffer(GlobalBuffer&& other) noexcept : block_(other.block_), ptr_(other.release()) {}
    GlobalBuffer& operator=(GlobalBuffer&& other) noexcept {
        if (this != &other) {
            reset();
            block_ = other.block_;
            ptr_ = other.release();
        }
        return *this;
    }
    ~GlobalBuffer() { reset(); }

    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    T& operator[](std::size_t i) const noexcept { return ptr_[i]; }

    // The block is the caller's from here on.
    [[nodiscard]] T* release() noexcept {
        T* p = ptr_;
        ptr_ = nullptr;
        block_ = nullptr;
        return p;
    }

    void reset() noexcept {
        if (!ptr_) {
            return;
        }
        // The block goes back by the handle it came with, which is what GlobalHandle would find
        // for it, without that search for each short-lived answer block.
        GlobalUnlock(block_);
        GlobalFree(block_);
        ptr_ = nullptr;
        block_ = nullptr;
    }

  private:
    HGLOBAL block_ = nullptr;  // the handle of the block ptr_ points into
    T* ptr_;
};

// A zero-filled ANSI block of N bytes, terminator included, as the query module receives it.
template <std::size_t N>
struct AnsiBlock {
    static constexpr std::size_t capacity = N;
    char text[N];
};

}  // namespace vyx
