#include "platform/windows/win32_shell_windows.h"

#include <cstdio>
#include <windows.h>
#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <shldisp.h>

#include "base/wide_text.h"

namespace tk {

namespace {

// Releases a COM reference on every way out.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (m_p != nullptr) m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** Out() { return &m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T* Get() const { return m_p; }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    ~Bstr() { ::SysFreeString(m_s); }
    BSTR* Out() { return &m_s; }
    std::wstring_view View() const { return {m_s, m_s != nullptr ? ::SysStringLen(m_s) : 0u}; }

private:
    BSTR m_s = nullptr;
};

ShellWindowsResult Fail(ShellWindowsResult result, const char* what, HRESULT hr) {
    result.ok = false;
    result.error = std::string(what) + " failed: 0x" + [&] {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(hr));
        return std::string(hex);
    }();
    return result;
}

}  // namespace

ShellWindowsResult Win32ShellWindows::List() {
    ShellWindowsResult result;
    // Nests inside the UI thread's own initialisation; balanced on every way out.
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct Uninit {
        bool active;
        ~Uninit() {
            if (active) ::CoUninitialize();
        }
    } uninit{SUCCEEDED(init)};

    ComRef<IShellWindows> windows;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                    reinterpret_cast<void**>(windows.Out()));
    if (FAILED(hr) || !windows) return Fail(std::move(result), "creating ShellWindows", hr);
    long count = 0;
    hr = windows->get_Count(&count);
    if (FAILED(hr)) return Fail(std::move(result), "ShellWindows.Count", hr);
    for (long index = 0; index < count; ++index) {
        VARIANT at;
        ::VariantInit(&at);
        at.vt = VT_I4;
        at.lVal = index;
        ComRef<IDispatch> item;
        hr = windows->Item(at, item.Out());
        if (FAILED(hr)) return Fail(std::move(result), "ShellWindows.Item", hr);
        if (!item) continue;
        ComRef<IWebBrowser2> browser;
        hr = item->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()));
        if (FAILED(hr) || !browser) return Fail(std::move(result), "IWebBrowser2", hr);
        Bstr first;
        hr = browser->get_LocationURL(first.Out());
        if (FAILED(hr)) return Fail(std::move(result), "LocationURL", hr);
        if (first.View().empty()) continue;
        ComRef<IDispatch> document;
        hr = browser->get_Document(document.Out());
        if (FAILED(hr)) return Fail(std::move(result), "Document", hr);
        if (!document) continue;
        Bstr url;
        hr = browser->get_LocationURL(url.Out());
        if (FAILED(hr)) return Fail(std::move(result), "LocationURL", hr);
        // Straight from the wide text to UTF-8: no detour through the ANSI code page.
        result.windows.push_back({WideToUtf8(url.View()), true});
    }
    return result;
}

}  // namespace tk
