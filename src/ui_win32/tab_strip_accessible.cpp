#include "ui_win32/tab_strip_accessible.h"

#include "controller/forms.h"

#include "base/wide_text.h"

namespace tk {

namespace {

BSTR Text(const std::wstring& text) { return ::SysAllocString(text.c_str()); }

void Int(VARIANT* out, long value) {
    ::VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
}

}  // namespace

LRESULT TabStripAccessible::Answer(HWND strip, WPARAM wp, LPARAM lp, const Tabs& tabs) {
    if (static_cast<long>(lp) != static_cast<long>(OBJID_CLIENT)) return 0;
    auto* object = new TabStripAccessible(strip, tabs);
    const LRESULT result = ::LresultFromObject(IID_IAccessible, wp, object);
    object->Release();
    return result;
}

TabStripAccessible::TabStripAccessible(HWND strip, const Tabs& tabs) : m_strip(strip), m_tabs(tabs) {}

STDMETHODIMP TabStripAccessible::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TabStripAccessible::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }

STDMETHODIMP_(ULONG) TabStripAccessible::Release() {
    const LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP TabStripAccessible::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

int TabStripAccessible::TabOf(const VARIANT& child) const {
    if (child.vt != VT_I4) return -2;
    if (child.lVal == CHILDID_SELF) return -1;
    return child.lVal >= 1 && child.lVal <= m_tabs.count ? static_cast<int>(child.lVal - 1) : -2;
}

STDMETHODIMP TabStripAccessible::get_accParent(IDispatch** parent) {
    return ::AccessibleObjectFromWindow(m_strip, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                        reinterpret_cast<void**>(parent));
}

STDMETHODIMP TabStripAccessible::get_accChildCount(long* count) {
    *count = m_tabs.count;
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accChild(VARIANT, IDispatch** out) {
    *out = nullptr;
    return S_FALSE;  // the tabs are simple elements of the strip
}

STDMETHODIMP TabStripAccessible::get_accName(VARIANT child, BSTR* name) {
    const int tab = TabOf(child);
    if (tab == -2) return E_INVALIDARG;
    *name = Text(Utf8ToWide(tab == -1 ? forms::kTabStripName : m_tabs.names[tab]));
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accValue(VARIANT, BSTR* value) {
    *value = nullptr;
    return S_FALSE;
}

STDMETHODIMP TabStripAccessible::get_accDescription(VARIANT, BSTR* text) {
    *text = nullptr;
    return S_FALSE;
}

STDMETHODIMP TabStripAccessible::get_accRole(VARIANT child, VARIANT* role) {
    const int tab = TabOf(child);
    if (tab == -2) return E_INVALIDARG;
    Int(role, tab == -1 ? ROLE_SYSTEM_PAGETABLIST : ROLE_SYSTEM_PAGETAB);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accState(VARIANT child, VARIANT* state) {
    const int tab = TabOf(child);
    if (tab == -2) return E_INVALIDARG;
    long flags = ::IsWindowVisible(m_strip) ? 0 : STATE_SYSTEM_INVISIBLE;
    if (tab >= 0) {
        flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
        if (m_tabs.active && m_tabs.active() == tab) {
            flags |= STATE_SYSTEM_SELECTED;
            if (::GetFocus() == m_strip) flags |= STATE_SYSTEM_FOCUSED;
        }
    } else if (::GetFocus() == m_strip) {
        flags |= STATE_SYSTEM_FOCUSED;
    }
    Int(state, flags);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accHelp(VARIANT, BSTR* text) {
    *text = nullptr;
    return S_FALSE;
}

STDMETHODIMP TabStripAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
    *file = nullptr;
    *topic = 0;
    return S_FALSE;
}

STDMETHODIMP TabStripAccessible::get_accKeyboardShortcut(VARIANT, BSTR* text) {
    *text = nullptr;
    return S_FALSE;
}

STDMETHODIMP TabStripAccessible::get_accFocus(VARIANT* focus) {
    ::VariantInit(focus);
    if (::GetFocus() != m_strip) return S_FALSE;
    const int active = m_tabs.active ? m_tabs.active() : -1;
    Int(focus, active >= 0 ? active + 1 : CHILDID_SELF);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accSelection(VARIANT* selection) {
    ::VariantInit(selection);
    const int active = m_tabs.active ? m_tabs.active() : -1;
    if (active < 0) return S_FALSE;
    Int(selection, active + 1);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    const int tab = TabOf(child);
    if (tab == -2) return E_INVALIDARG;
    *action = tab >= 0 ? Text(L"切换") : nullptr;
    return tab >= 0 ? S_OK : S_FALSE;
}

STDMETHODIMP TabStripAccessible::accSelect(long flags, VARIANT child) {
    const int tab = TabOf(child);
    if (tab < 0) return E_INVALIDARG;
    if (flags & SELFLAG_TAKEFOCUS) ::SetFocus(m_strip);
    if ((flags & SELFLAG_TAKESELECTION) && m_tabs.pick) m_tabs.pick(tab);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    const int tab = TabOf(child);
    if (tab == -2) return E_INVALIDARG;
    RECT r{};
    ::GetClientRect(m_strip, &r);
    if (tab >= 0) {
        r.left = m_tabs.edges[tab];
        r.right = m_tabs.edges[tab + 1];
    }
    ::MapWindowPoints(m_strip, nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

STDMETHODIMP TabStripAccessible::accNavigate(long dir, VARIANT start, VARIANT* end) {
    ::VariantInit(end);
    const int tab = TabOf(start);
    int to = -2;
    if (tab == -1 && dir == NAVDIR_FIRSTCHILD) to = 0;
    else if (tab == -1 && dir == NAVDIR_LASTCHILD) to = m_tabs.count - 1;
    else if (tab >= 0 && (dir == NAVDIR_NEXT || dir == NAVDIR_RIGHT)) to = tab + 1;
    else if (tab >= 0 && (dir == NAVDIR_PREVIOUS || dir == NAVDIR_LEFT)) to = tab - 1;
    if (to < 0 || to >= m_tabs.count) return S_FALSE;
    Int(end, to + 1);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::accHitTest(long x, long y, VARIANT* child) {
    ::VariantInit(child);
    POINT at{x, y};
    ::ScreenToClient(m_strip, &at);
    RECT r{};
    ::GetClientRect(m_strip, &r);
    if (!::PtInRect(&r, at)) return S_FALSE;
    for (int i = 0; i < m_tabs.count; ++i) {
        if (at.x >= m_tabs.edges[i] && at.x < m_tabs.edges[i + 1]) {
            Int(child, i + 1);
            return S_OK;
        }
    }
    Int(child, CHILDID_SELF);
    return S_OK;
}

STDMETHODIMP TabStripAccessible::accDoDefaultAction(VARIANT child) {
    const int tab = TabOf(child);
    if (tab < 0) return E_INVALIDARG;
    if (m_tabs.pick) m_tabs.pick(tab);
    return S_OK;
}

}  // namespace tk
