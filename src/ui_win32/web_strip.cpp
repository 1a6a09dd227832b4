#include "ui_win32/web_strip.h"

#include "controller/forms.h"

#include <memory>

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <mshtmhst.h>
#include <ole2.h>
#include <shobjidl.h>

#include "base/wide_text.h"
#include "ui_win32/artwork.h"
#include "ui_win32/dpi.h"
#include "webpanel/strip_navigation.h"
#include "webpanel/web_panel.h"

namespace tk {

namespace {
constexpr wchar_t kClass[] = L"TkWebStrip";
// The document host's command group (the system's libraries do not carry it).
constexpr GUID kDocHostCommandHandler = {0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
}

// A minimal OLE container for the system's WebBrowser control: the client site, the in-place
// site the control asks for its window, the host's UI handler (no menu, no border, no script
// error boxes) and the event sink for navigations.
// COM interfaces are ended through Release, never deleted through a base.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Win32WebStrip::Browser final : public IOleClientSite, public IOleInPlaceSite, public IDispatch,
                                     public IDocHostUIHandler, public IOleCommandTarget {
public:
    Browser(HWND host, std::function<void()> navigateComplete, std::function<void(const std::string&)> open)
        : m_host(host), m_navigateComplete(std::move(navigateComplete)), m_open(std::move(open)) {}

    // Makes and activates the control out of view; false when the system has none.
    bool Create() {
        if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                      reinterpret_cast<void**>(&m_ole)))) {
            return false;
        }
        m_ole->SetClientSite(this);
        ::OleSetContainedObject(m_ole, TRUE);
        m_rect = RECT{336, -2000, 336 + 193, -2000 + 42};
        if (FAILED(m_ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_host, &m_rect)) ||
            FAILED(m_ole->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&m_browser)))) {
            Destroy();
            return false;
        }
        m_browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_topFrame));
        m_browser->put_Silent(VARIANT_TRUE);  // no script-error boxes over the strip
        IConnectionPointContainer* container = nullptr;
        if (SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
            if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_events))) {
                m_events->Advise(static_cast<IDispatch*>(this), &m_cookie);
            }
            container->Release();
        }
        return true;
    }

    // In place of a control: `topFrame` stands for it in the events, `site` for its page.
    void StandIn(IUnknown* topFrame, const std::string& site) {
        topFrame->AddRef();
        m_topFrame = topFrame;
        TakeSite(site);
    }

    void Destroy() {
        if (m_topFrame) {
            m_topFrame->Release();
            m_topFrame = nullptr;
        }
        if (m_events) {
            m_events->Unadvise(m_cookie);
            m_events->Release();
            m_events = nullptr;
        }
        if (m_browser) {
            m_browser->Release();
            m_browser = nullptr;
        }
        if (m_ole) {
            m_ole->Close(OLECLOSE_NOSAVE);
            m_ole->SetClientSite(nullptr);
            m_ole->Release();
            m_ole = nullptr;
        }
    }

    void Navigate(const std::string& address) {
        if (!m_browser) return;
        BSTR url = ::SysAllocString(Utf8ToWide(address).c_str());
        VARIANT empty;
        ::VariantInit(&empty);
        m_failed = false;
        TakeSite(address);
        // The page changes under the user's hands: the keyboard stays where it is.
        m_focusBefore = ::GetFocus();
        m_browser->Navigate(url, &empty, &empty, &empty, &empty);
        ::SysFreeString(url);
    }

    // The address, the body's markup and whether the load went through.
    bool Page(std::string& location, std::string& body, bool& loaded) {
        if (!m_browser) return false;
        BSTR url = nullptr;
        if (FAILED(m_browser->get_LocationURL(&url)) || url == nullptr) return false;
        location = WideToUtf8(url);
        ::SysFreeString(url);
        if (location.empty()) return false;
        IDispatch* document = nullptr;
        if (SUCCEEDED(m_browser->get_Document(&document)) && document) {
            IHTMLDocument2* html = nullptr;
            if (SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html)))) {
                IHTMLElement* element = nullptr;
                if (SUCCEEDED(html->get_body(&element)) && element) {
                    BSTR markup = nullptr;
                    if (SUCCEEDED(element->get_innerHTML(&markup)) && markup) {
                        body = WideToUtf8(markup);
                        ::SysFreeString(markup);
                    }
                    element->Release();
                }
                html->Release();
            }
            document->Release();
        }
        loaded = !m_failed;
        return true;
    }

    void Place(const RECT& rect) {
        m_rect = rect;
        IOleInPlaceObject* inPlace = nullptr;
        if (m_ole && SUCCEEDED(m_ole->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            inPlace->SetObjectRects(&m_rect, &m_rect);
            inPlace->Release();
        }
    }
    const RECT& Rect() const { return m_rect; }

    // ---- IUnknown: the strip owns the container; the control's references do not end it.
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) *out = static_cast<IDispatch*>(this);
        else if (riid == IID_IDocHostUIHandler) *out = static_cast<IDocHostUIHandler*>(this);
        else if (riid == IID_IOleCommandTarget) *out = static_cast<IOleCommandTarget*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // ---- IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // ---- IOleWindow / IOleInPlaceSite
    STDMETHODIMP GetWindow(HWND* out) override {
        *out = m_host;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = m_rect;
        *clip = m_rect;
        info->fMDIApp = FALSE;
        info->hwndFrame = ::GetAncestor(m_host, GA_ROOT);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // ---- IDispatch: DWebBrowserEvents2
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == DISPID_NAVIGATEERROR) m_failed = true;
        if (id == DISPID_NAVIGATECOMPLETE2 || id == DISPID_DOCUMENTCOMPLETE) KeepFocus();
        if (id == DISPID_NAVIGATECOMPLETE2 && m_navigateComplete) m_navigateComplete();
        if (params == nullptr) return S_OK;
        // The page is outside input: what it may do is the guard's to say.
        LASTINPUTINFO input{sizeof input, 0};
        const std::uint32_t now = ::GetTickCount();
        const std::uint32_t lastInput = ::GetLastInputInfo(&input) ? input.dwTime : now - 0x80000000u;
        StripNavigationGuard::Verdict verdict = StripNavigationGuard::Verdict::Allow;
        std::string address;
        VARIANT* cancel = nullptr;
        if (id == DISPID_NEWWINDOW2 && params->cArgs >= 2) {
            cancel = &params->rgvarg[0];
            verdict = StripNavigationGuard::Verdict::Cancel;  // says nothing of where it goes
        } else if (id == DISPID_NEWWINDOW3 && params->cArgs >= 5) {
            cancel = &params->rgvarg[3];
            address = TextOf(params->rgvarg[0]);
            const VARIANT& flags = params->rgvarg[2];
            const bool userInited = (flags.vt == VT_I4 || flags.vt == VT_UI4) && (flags.lVal & NWMF_USERINITED);
            verdict = m_guard.NewWindow(address, userInited, lastInput, now);
        } else if (id == DISPID_BEFORENAVIGATE2 && params->cArgs >= 7) {
            cancel = &params->rgvarg[0];
            address = TextOf(params->rgvarg[5]);
            verdict = m_guard.Navigation(m_site, address, IsTopFrame(params->rgvarg[6]), lastInput, now);
        }
        if (cancel != nullptr && verdict != StripNavigationGuard::Verdict::Allow) Cancel(*cancel);
        if (verdict == StripNavigationGuard::Verdict::OpenInBrowser && m_open) m_open(address);
        return S_OK;
    }

    // ---- IDocHostUIHandler: a strip of the window, not a browser of its own.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_OK; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
        if (info == nullptr) return E_POINTER;
        info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER | DOCHOSTUIFLAG_SCROLL_NO |
                        DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_THEME | DOCHOSTUIFLAG_DPI_AWARE;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) override { return S_OK; }
    STDMETHODIMP HideUI() override { return S_OK; }
    STDMETHODIMP UpdateUI() override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
        if (key) *key = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetExternal(IDispatch** out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) override {
        if (out) *out = nullptr;
        return S_FALSE;
    }

    // ---- IOleCommandTarget: a script error goes by without a word, and scripts run on.
    STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override { return OLECMDERR_E_UNKNOWNGROUP; }
    STDMETHODIMP Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) override {
        if (group == nullptr || *group != kDocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
        if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
        if (out) {
            ::VariantClear(out);
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }

private:
    // The page the strip itself opens: its first top-frame request goes through.
    void TakeSite(const std::string& address) {
        m_site = address;
        m_guard.ProgramNavigates(address);
    }
    static void Cancel(VARIANT& cancel) {
        if (cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal) *cancel.pboolVal = VARIANT_TRUE;
    }
    bool IsTopFrame(const VARIANT& frame) const {
        if (frame.vt != VT_DISPATCH || frame.pdispVal == nullptr || m_topFrame == nullptr) return false;
        IUnknown* identity = nullptr;
        frame.pdispVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        const bool same = identity != nullptr && identity == m_topFrame;
        if (identity) identity->Release();
        return same;
    }
    static std::string TextOf(const VARIANT& value) {
        const VARIANT* text = value.vt == (VT_BYREF | VT_VARIANT) ? value.pvarVal : &value;
        return text && text->vt == VT_BSTR && text->bstrVal ? WideToUtf8(text->bstrVal) : std::string();
    }
    // A page that took the keyboard while it loaded gives it back.
    void KeepFocus() {
        HWND now = ::GetFocus();
        if (now == nullptr || now == m_focusBefore || (now != m_host && !::IsChild(m_host, now))) return;
        if (m_focusBefore != nullptr && ::IsWindow(m_focusBefore) && !::IsChild(m_host, m_focusBefore)) {
            ::SetFocus(m_focusBefore);
        }
    }

    HWND m_host;
    std::function<void()> m_navigateComplete;
    std::function<void(const std::string&)> m_open;
    std::string m_site;
    StripNavigationGuard m_guard;
    HWND m_focusBefore = nullptr;
    IOleObject* m_ole = nullptr;
    IWebBrowser2* m_browser = nullptr;
    IUnknown* m_topFrame = nullptr;  // the control's identity, to tell its top frame from the page's frames
    IConnectionPoint* m_events = nullptr;
    DWORD m_cookie = 0;
    RECT m_rect{};
    bool m_failed = false;
};

Win32WebStrip::Win32WebStrip(HWND parent, Diagnostics& diagnostics,
                             std::function<void()> bannerClicked,
                             std::function<void()> navigateComplete,
                             std::function<void(const std::string&)> linkOpened)
    : m_diagnostics(diagnostics), m_bannerClicked(std::move(bannerClicked)), m_navigateComplete(std::move(navigateComplete)),
      m_linkOpened(std::move(linkOpened)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // the hand: the banner is a link
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, kClass, Utf8ToWide(forms::kBannerName).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                 0, 0, 468, 47, parent, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32WebStrip::~Win32WebStrip() {
    if (m_browser) {
        m_browser->Destroy();
        delete m_browser;
    }
    if (::IsWindow(m_window)) ::SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
}

bool Win32WebStrip::CreateBrowser() {
    if (m_browser) return true;
    auto browser = std::make_unique<Browser>(m_window, m_navigateComplete, m_linkOpened);
    if (!browser->Create()) {
        m_diagnostics.Info("web strip", "no browser control on this system: the banner stays");
        return false;
    }
    m_browser = browser.release();
    return true;
}

void Win32WebStrip::EndBrowser() {
    if (!m_browser) return;
    m_browser->Destroy();
    delete m_browser;
    m_browser = nullptr;
    ::InvalidateRect(m_window, nullptr, TRUE);  // the banner again
}

void Win32WebStrip::Navigate(const std::string& address) {
    if (m_browser) m_browser->Navigate(address);
}

void Win32WebStrip::RequestPage(std::function<void(const std::string&, const std::string&, bool)> done) {
    std::string location, body;
    bool loaded = false;
    if (m_browser && m_browser->Page(location, body, loaded)) done(location, body, loaded);
}

void Win32WebStrip::SetDpi(int dpi) {
    if (dpi == m_dpi || dpi < 48) return;
    // The browser keeps its place on the strip: out of view stays out, over it stays over.
    if (m_browser) {
        const RECT r = m_browser->Rect();
        m_browser->Place(RECT{::MulDiv(r.left, dpi, m_dpi), ::MulDiv(r.top, dpi, m_dpi),
                              ::MulDiv(r.right, dpi, m_dpi), ::MulDiv(r.bottom, dpi, m_dpi)});
    }
    m_dpi = dpi;
    ::InvalidateRect(m_window, nullptr, TRUE);
}

int Win32WebStrip::StripWidth() const {
    RECT r{};
    ::GetClientRect(m_window, &r);
    return Unscaled(r.right, m_dpi);
}

int Win32WebStrip::StripHeight() const {
    RECT r{};
    ::GetClientRect(m_window, &r);
    return Unscaled(r.bottom, m_dpi);
}

void Win32WebStrip::PlaceBrowser(const BrowserPlacement& placement) {
    if (!m_browser) return;
    RECT r = m_browser->Rect();
    const auto s = [this](int length) { return Scaled(length, m_dpi); };
    if (placement.kind == BrowserPlacement::Kind::OutOfView) {
        const int width = r.right - r.left;
        r.left = s(placement.left);
        r.right = r.left + width;
    } else if (placement.kind == BrowserPlacement::Kind::OverStrip) {
        r = RECT{s(placement.left), s(placement.top), s(placement.left + placement.width),
                 s(placement.top + placement.height)};
    } else {
        return;
    }
    m_browser->Place(r);
}

LRESULT CALLBACK Win32WebStrip::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Win32WebStrip*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            HBRUSH brush = ::CreateSolidBrush(RGB(245, 250, 254));
            ::FillRect(dc, &r, brush);
            ::DeleteObject(brush);
            const Picture& banner = Artwork("banner.png", self ? self->m_dpi : kBaseDpi);
            const RECT dest{0, 0, banner.width, banner.height};
            DrawPicture(dc, banner, dest);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONUP:
            // The banner takes clicks over the whole strip, beyond its picture too.
            if (self && self->m_bannerClicked) self->m_bannerClicked();
            return 0;
        default: break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

IUnknown* MakeStripHostStandIn(HWND host, IUnknown* topFrame, const std::string& site,
                               std::function<void(const std::string&)> open) {
    auto* browser = new Win32WebStrip::Browser(host, nullptr, std::move(open));
    browser->StandIn(topFrame, site);
    return static_cast<IOleClientSite*>(browser);
}

void EndStripHostStandIn(IUnknown* host) {
    auto* browser = static_cast<Win32WebStrip::Browser*>(static_cast<IOleClientSite*>(host));
    browser->Destroy();
    delete browser;
}

}  // namespace tk
