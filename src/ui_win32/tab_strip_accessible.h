#pragma once

#include <functional>

#include <windows.h>
#include <oleacc.h>

namespace tk {

// The picture tab strip as a screen reader meets it: a page-tab list of six page tabs, each
// with its caption, the chosen one selected, each switched to by its default action.
class TabStripAccessible final : public IAccessible {
public:
    struct Tabs {
        int count = 0;
        const int* edges = nullptr;            // count + 1 left edges, in strip pixels
        const char* const* names = nullptr;    // UTF-8 captions
        std::function<int()> active;           // the chosen tab, or -1
        std::function<void(int)> pick;         // the user picks a tab
    };
    // Answers WM_GETOBJECT for the strip's client object; 0 for every other object.
    static LRESULT Answer(HWND strip, WPARAM wp, LPARAM lp, const Tabs& tabs);

    TabStripAccessible(HWND strip, const Tabs& tabs);

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // ---- IDispatch: not scriptable
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    // ---- IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT, BSTR* text) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT, BSTR* text) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT, BSTR* text) override;
    STDMETHODIMP get_accFocus(VARIANT* focus) override;
    STDMETHODIMP get_accSelection(VARIANT* selection) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long dir, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    virtual ~TabStripAccessible() = default;
    // The tab a child id names (1-based), -1 for the strip itself, -2 for none.
    int TabOf(const VARIANT& child) const;

    LONG m_refs = 1;
    HWND m_strip;
    Tabs m_tabs;
};

}  // namespace tk
