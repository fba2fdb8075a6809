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
        : size(bytes), isLocal(GetProcessId(raw(target)) == GetCurrentProcessId()),
          process(std::move(target)) {
        if (!isLocal) {
            remote = VirtualAllocEx(raw(process), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
            if (remote == nullptr)
                fail();
        }
        try {
            // Zeroed rather than left as it comes: a window that writes nothing back must not
            // hand us whatever this heap held before.
            local.reset(new T[elementCount()]());
        } catch (...) {
            release();
            throw;
        }
    }

    ~RemoteAllocator() { release(); }

    RemoteAllocator(const RemoteAllocator&) = delete;
    RemoteAllocator& operator=(const RemoteAllocator&) = delete;

    // The address to put into a message: valid in the process that owns the buffer.
    void* address() const { return isLocal ? static_cast<void*>(local.get()) : remote; }

    // Copies the buffer's first `size` bytes from `values`, which must hold at least that many.
    void write(const T* values, std::size_t count) {
        if (count * sizeof(T) < size)
            throw std::logic_error("RemoteAllocator::write: fewer values than the buffer holds");
        if (isLocal) {
            std::memcpy(local.get(), values, size);
            return;
        }
        if (!WriteProcessMemory(raw(process), remote, values, size, nullptr))
            fail();
    }
    void write(const T& value) { write(&value, 1); }

    // The buffer's contents as the other process left them: ceil(size / sizeof(T)) values.
    const T* read() {
        if (!isLocal && !ReadProcessMemory(raw(process), remote, local.get(), size, nullptr))
            fail();
        return local.get();
    }

    void* remote = nullptr;
    std::unique_ptr<T[]> local;
    std::uint32_t size;
    bool isLocal;
    SharedHandle process;

  private:
    std::size_t elementCount() const { return (std::size_t{size} + sizeof(T) - 1) / sizeof(T); }

    void release() noexcept {
        if (remote != nullptr)
            VirtualFreeEx(raw(process), remote, 0, MEM_RELEASE);
        remote = nullptr;
    }

    [[noreturn]] static void fail() {
        throw RemoteAllocatorError("Failed to allocate or access remote process");
    }
};

} // namespace winapi
