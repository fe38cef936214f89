#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string_view>

// A buffer whose last byte sits right before an inaccessible page, so that a
// renderer reading one byte past it faults in every build, not only under
// AddressSanitizer.
class GuardedBuffer {
  public:
    explicit GuardedBuffer(std::size_t size) : size_(size) {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        pages_ = (size + page_ - 1) / page_ + 1;
        void* mapped = mmap(nullptr, pages_ * page_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            throw std::runtime_error("mmap failed");
        }
        base_ = static_cast<char*>(mapped);
        if (mprotect(base_ + (pages_ - 1) * page_, page_, PROT_NONE) != 0) {
            munmap(base_, pages_ * page_);
            throw std::runtime_error("mprotect failed");
        }
        data_ = base_ + (pages_ - 1) * page_ - size;
    }

    // The bytes of `content`, without a terminator.
    static GuardedBuffer holding(std::string_view content) {
        GuardedBuffer buffer(content.size());
        std::memcpy(buffer.data(), content.data(), content.size());
        return buffer;
    }

    // One value of type T, ending at the guard page.
    template <typename T>
    static GuardedBuffer holdingValue(T value) {
        GuardedBuffer buffer(sizeof value);
        std::memcpy(buffer.data(), &value, sizeof value);
        return buffer;
    }

    GuardedBuffer(GuardedBuffer&& other) noexcept
        : base_(other.base_),
          data_(other.data_),
          size_(other.size_),
          page_(other.page_),
          pages_(other.pages_) {
        other.base_ = nullptr;
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(GuardedBuffer&&) = delete;

    ~GuardedBuffer() {
        if (base_ != nullptr) {
            munmap(base_, pages_ * page_);
        }
    }

    char* data() { return data_; }
    std::size_t size() const { return size_; }
    template <typename T>
    T* as() {
        return reinterpret_cast<T*>(data_);
    }

  private:
    char* base_ = nullptr;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t page_ = 0;
    std::size_t pages_ = 0;
};
