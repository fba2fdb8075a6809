// A buffer in another process's memory, for messages whose pointer the receiving window
// dereferences in its own process. What is written goes through a local copy, what is read lands
// in it. When the other process is this one, the local copy is the buffer and no remote memory
// exists. One buffer lives for one request: it is freed in both processes when it goes out of
// scope, also when the request fails halfway.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <type_traits>

#include <windows.h>

#include "winapi/error.h"
#include "winapi/handle_win32.h"

namespace winapi {

template <typename T> class RemoteAllocator {
    static_assert(std::is_trivially_copyable_v<T>,
                  "the buffer is copied between processes byte by byte");

  public:
    // A buffer of `bytes` bytes in the `target` process (by default one T). Throws
    // RemoteAllocatorError when the memory cannot be had.
    explicit RemoteAllocator(SharedHandle target, std::uint32_t bytes = sizeof(T))
        : RemoteAllocator(isThisProcess(target), target, bytes) {}
    // The same, for a caller that already knows whether the target is this process
    // (isThisProcess of its handle), as a desktop record does: no question to the system per
    // buffer.
    RemoteAllocator(bool local, SharedHandle target, std::uint32_t bytes = sizeof(T))
        : size_(bytes), isLocal_(local), process_(std::move(target)) {
        if (!isLocal_) {
            remote_ = VirtualAllocEx(raw(process_), nullptr, size_, MEM_COMMIT, PAGE_READWRITE);
            if (remote_ == nullptr)
                fail();
        }
        try {
            // Zeroed rather than left as it comes: a window that writes nothing back must not
            // hand us whatever this heap held before.
            local_.reset(new T[elementCount()]());
        } catch (...) {
            release();
            throw;
        }
    }

    ~RemoteAllocator() { release(); }

    RemoteAllocator(const RemoteAllocator&) = delete;
    RemoteAllocator& operator=(const RemoteAllocator&) = delete;

    // The address to put into a message: valid in the process that owns the buffer.
    void* address() const { return isLocal_ ? static_cast<void*>(local_.get()) : remote_; }
    // Whether the buffer is this process's own memory (the other process is this one).
    bool isLocal() const { return isLocal_; }
    // The buffer in the other process; null when it is local.
    void* remote() const { return remote_; }
    std::uint32_t size() const { return size_; }

    // Copies the buffer's first `size` bytes from `values`, which must hold at least that many.
    void write(const T* values, std::size_t count) {
        if (count * sizeof(T) < size_)
            throw std::logic_error("RemoteAllocator::write: fewer values than the buffer holds");
        if (isLocal_) {
            std::memcpy(local_.get(), values, size_);
            return;
        }
        if (!WriteProcessMemory(raw(process_), remote_, values, size_, nullptr))
            fail();
    }
    void write(const T& value) { write(&value, 1); }

    // The buffer's contents as the other process left them: ceil(size / sizeof(T)) values.
    const T* read() {
        if (!isLocal_ && !ReadProcessMemory(raw(process_), remote_, local_.get(), size_, nullptr))
            fail();
        return local_.get();
    }

    // Leaves the memory to the other process for good instead of freeing it: for a request the
    // other process did not answer in time, which it may still carry out later, writing into
    // the buffer (into memory it may have reused by then, were it freed). A page per buffer,
    // and only when a request times out. The buffer is not to be used afterwards.
    void abandon() noexcept {
        remote_ = nullptr;
        if (isLocal_)
            static_cast<void>(local_.release());
    }

    // Whether a process handle is this process. A handle opened with memory rights only cannot
    // tell its process id (0), so its buffers are remote even inside the shell's own process,
    // which works the same.
    static bool isThisProcess(const SharedHandle& process) {
        return GetProcessId(raw(process)) == GetCurrentProcessId();
    }

  private:
    std::size_t elementCount() const { return (std::size_t{size_} + sizeof(T) - 1) / sizeof(T); }

    void release() noexcept {
        if (remote_ != nullptr)
            VirtualFreeEx(raw(process_), remote_, 0, MEM_RELEASE);
        remote_ = nullptr;
    }

    void* remote_ = nullptr;
    std::unique_ptr<T[]> local_;
    std::uint32_t size_;
    bool isLocal_;
    SharedHandle process_;

    [[noreturn]] static void fail() {
        throw RemoteAllocatorError("Failed to allocate or access remote process");
    }
};

} // namespace winapi
