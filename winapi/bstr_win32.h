// A BSTR owned: freed when it goes. Made from text to pass one, or filled through out() by a
// method that returns one.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <windows.h>

#include <oleauto.h>

namespace winapi {

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text)
        : text_(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    ~Bstr() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    // For a method that returns one; what was held is freed first.
    BSTR* out() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }
    std::wstring_view view() const {
        return text_ == nullptr ? std::wstring_view()
                                : std::wstring_view(text_, SysStringLen(text_));
    }

  private:
    BSTR text_ = nullptr;
};

} // namespace winapi
