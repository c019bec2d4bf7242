#include "KestWebviewKD.h"

#include "HostValues.h"
#include "modKWVJson.h"
#include "modKWVLanguage.h"
#include "modKWVUrl.h"

#include "dialogs/modCmnDialogEx.h"
#include "platform/MessagePump.h"
#include "platform/NativeWindow.h"
#include "support/modCompatFunctions.h"
#include "webview2_binding/cWebView2.h"

#include <QFileInfo>

#include <cmath>

using namespace hostvalues;
using P = PersistedProperties;

namespace {

// The runtime serves no history, downloads, flags or address-list page, so
// those members are absent; its report of the system, graphics and versions
// stands for the system page.
const QString SystemPageAddress = QStringLiteral("chrome://gpu");
const QString SystemPageTitle = QStringLiteral("System Version");

using Action = std::function<void(QList<Variant>&)>;

// A member that answers nothing.
DispatchObject::Handler none(Action action) {
    return [action = std::move(action)](QList<Variant>& a) {
        action(a);
        return Variant();
    };
}

// Arguments after the function name, up to the last one given.
QList<Variant> scriptArguments(const QList<Variant>& a) {
    qsizetype last = a.size() - 1;
    while (last > 0 && a[last].isMissing())
        --last;
    return a.mid(1, last);
}

} // namespace

// ---------------------------------------------------------------- member table

void KestWebviewKD::bindMethod(const char* name, Handler handler) {
    bind(QLatin1String(name), InvokeFlags::Method, std::move(handler));
}

void KestWebviewKD::bindGet(const char* name, Handler handler) {
    bind(QLatin1String(name), InvokeFlags::PropertyGet, std::move(handler));
}

// Forwarding members ignore the binding's errors and a missing browser.
DispatchObject::Handler KestWebviewKD::forwarding(std::function<void(QList<Variant>&)> action) {
    return [this, action = std::move(action)](QList<Variant>& a) {
        try {
            if (m_wv)
                action(a);
        } catch (...) {
        }
        return Variant();
    };
}

void KestWebviewKD::bindPersisted() {
    for (const auto& definition : P::definitions()) {
        const P::Id id = definition.id;
        // Kept in the property bag, but the runtime has neither autofill nor a
        // password store: the members are absent.
        if (id == P::IsGeneralAutofillEnabled || id == P::IsPasswordAutosaveEnabled)
            continue;
        bindGet(definition.key, [this, id](QList<Variant>&) { return m_props.value(id); });
        bind(QLatin1String(definition.key), InvokeFlags::PropertyPut,
             [this, id](QList<Variant>& a) {
                 setProperty(id, a.last());
                 return Variant();
             });
    }
}

void KestWebviewKD::bindMembers() {
    bindPersisted();
    bindStartupMembers();
    bindScriptMembers();
    bindNavigationMembers();
    bindFileAndAddressMembers();
    bindCaptureMembers();
    bindPrintMembers();
    bindBrowserDataMembers();
    bindCookieMembers();
    bindShieldMembers();
    bindWindowMembers();
    bindStateGetters();
    bindGeometryMembers();
    bindDownloadMembers();
    bindExtensionMembers();
}

void KestWebviewKD::bindStartupMembers() {
    bindMethod("Init", none([this](QList<Variant>& a) { Init(a[0].toString()); }));
    bindMethod("InitEx", none([this](QList<Variant>& a) {
                   InitEx(a[0].toString(), a[1].toBool(), a[2].toString(), a[3].toString(),
                          a[4].toString(), a[5].toBool());
               }));
    bindMethod("Shutdown", none([this](QList<Variant>&) { Shutdown(); }));
    bindMethod("GetMostRecentInstallPath",
               [this](QList<Variant>&) { return text(GetMostRecentInstallPath()); });
    bindMethod("GetWebView2Version",
               [this](QList<Variant>&) { return text(GetWebView2Version()); });
    bindMethod("GetKestWebView2DataPath",
               [this](QList<Variant>&) { return text(m_userDataFolder); });
    bindMethod("GetLocaleID", [this](QList<Variant>&) { return longValue(GetLocaleID()); });
}

void KestWebviewKD::bindScriptMembers() {
    bindMethod("RunJs",
               [this](QList<Variant>& a) { return RunJs(a[0].toString(), scriptArguments(a)); });
    bindMethod("RunJsAsync", [this](QList<Variant>& a) {
        return Variant(RunJsAsync(a[0].toString(), scriptArguments(a)));
    });
    bindMethod("ExecuteScript",
               forwarding([this](QList<Variant>& a) { m_wv->ExecuteScript(a[0].toString()); }));
    bindMethod("AddScriptToExecuteOnDocumentCreated", none([this](QList<Variant>& a) {
                   if (!m_wv)
                       throw AutomationError(
                           vberr::ObjectNotSet,
                           AutomationError::standardDescription(vberr::ObjectNotSet));
                   m_wv->AddScriptToExecuteOnDocumentCreated(a[0].toString());
               }));
    bindMethod("AddObject",
               forwarding([this](QList<Variant>& a) { m_wv->AddObject(a[0].toString(), a[1]); }));
    bindMethod("RemoveObject",
               forwarding([this](QList<Variant>& a) { m_wv->RemoveObject(a[0].toString()); }));
    bindMethod("OpenDevToolsWindow",
               forwarding([this](QList<Variant>&) { m_wv->OpenDevToolsWindow(); }));
    bindMethod("GetInnerText",
               [this](QList<Variant>& a) { return text(GetInnerText(a[0].toInteger())); });
    bindMethod("GetInnerHTML",
               [this](QList<Variant>& a) { return text(GetInnerHTML(a[0].toInteger())); });
    bindMethod("GetDocumentBodyText", [this](QList<Variant>&) {
        return text(jsProp(QStringLiteral("document.body.innerText")));
    });
    bindMethod("ExtractJsonValue", [](QList<Variant>& a) {
        return kwvjson::extractJsonValue(a[0].toString(), a[1].toString());
    });
    bindMethod("Base64Encode",
               [](QList<Variant>& a) { return text(encoding::base64Encode(a[0].toString())); });
    bindMethod("Base64Decode",
               [](QList<Variant>& a) { return text(encoding::base64Decode(a[0].toString())); });
    bindMethod("UTF8ToVBString",
               [](QList<Variant>& a) { return text(encoding::fromUtf8(a[0].toBytes())); });
    bindMethod("VBStringToUTF8", [](QList<Variant>& a) {
        return Variant::fromBytes(encoding::toUtf8(a[0].toString()));
    });
    bindMethod("SetSecurityProperties", [this](QList<Variant>& a) {
        if (!m_wv)
            return Variant(false);
        try {
            int i = 0;
            for (const char* name : {"IsScriptEnabled", "AreDefaultScriptDialogsEnabled",
                                     "IsWebMessageEnabled", "AreHostObjectsAllowed"})
                m_wv->setSetting(QLatin1String(name), a[i++].toBool());
            return Variant(true);
        } catch (...) {
            return Variant(false);
        }
    });
}

void KestWebviewKD::bindNavigationMembers() {
    bindMethod("SetZoomFactor", none([this](QList<Variant>& a) {
                   std::int16_t percent = a[0].toInteger();
                   SetZoomFactor(percent);
                   a[0] = Variant(percent);
               }));
    bindMethod("WebViewSetFocus", forwarding([this](QList<Variant>&) {
                   m_wv->SetFocus(0);
                   pump::processPending();
               }));
    bindMethod("Navigate", none([this](QList<Variant>& a) {
                   QString url = a[0].toString();
                   Navigate(url);
                   a[0] = text(url);
               }));
    bindMethod("GoHome", [this](QList<Variant>&) { return Variant(GoHome()); });
    bindMethod("GoSearch",
               [this](QList<Variant>& a) { return Variant(GoSearch(a[0].toString())); });
    bindMethod("GoViewSystemVersion", [this](QList<Variant>&) {
        return Variant(goBuiltIn(SystemPageAddress, SystemPageTitle));
    });
    bindMethod("GoWallet", [this](QList<Variant>&) { return Variant(GoWallet()); });
    bindMethod("GoBack", forwarding([this](QList<Variant>&) { m_wv->GoBack(); }));
    bindMethod("GoForward", forwarding([this](QList<Variant>&) { m_wv->GoForward(); }));
    bindMethod("Reload", forwarding([this](QList<Variant>&) { m_wv->Reload(); }));
    bindMethod("NavigateToString", none([this](QList<Variant>& a) {
                   NavigateToString(a[0].toString(), a[1].toDouble());
               }));
    bindMethod("NavigateToFile",
               none([this](QList<Variant>& a) { NavigateToFile(a[0].toString()); }));
    bindMethod("NavigateWithWebResourceRequest", [this](QList<Variant>& a) {
        // Only GET and POST exist; the caller sees the method that was used.
        const QString method = a[1].toString().toUpper();
        a[1] = text(method == QLatin1String("GET") ? method : QStringLiteral("POST"));
        if (!m_wv)
            return Variant();
        // The system code page is UTF-8 here, so both body encodings are UTF-8.
        try {
            m_wv->NavigateWithWebResourceRequest(a[0].toString(), a[1].toString(), a[3].toString(),
                                                 a[2].toString().toUtf8(), a[5].toDouble());
        } catch (const AutomationError&) {
            // A request the browser refuses is dropped, as the member's errors are.
        }
        return Variant();
    });
}

void KestWebviewKD::bindFileAndAddressMembers() {
    bindMethod("FileExist",
               [](QList<Variant>& a) { return Variant(QFileInfo(a[0].toString()).isFile()); });
    bindMethod("FileSelect", [this](QList<Variant>& a) {
        if (!m_isWebViewInit)
            return text({});
        const bool useDefault = a[1].toBool();
        const QString title = useDefault ? kwvlanguage::texts().fileSelectTitle : a[2].toString();
        const QString filter = useDefault ? kwvlanguage::texts().fileSelectFilter : a[3].toString();
        constexpr std::int32_t mustExistExplorer = 0x1000 | 0x80000;
        const QString path =
            cmndialog::ShowOpenDialog(mustExistExplorer, a[4].toString(), title, a[5].toString(),
                                      filter, a[6].toString(), m_pane);
        if (!path.isEmpty() && a[0].toBool() && m_wv)
            m_wv->Navigate(fileAddress(path), NavigationWaitSeconds);
        return text(path);
    });
    bindMethod("GetURLString",
               [this](QList<Variant>&) { return text(kwvurl::displayAddress(m_currentAddress)); });
    bindMethod("URLEncode", [](QList<Variant>& a) {
        return text(kwvurl::urlEncode(a[0].toString(), a[1].toBool()));
    });
    bindMethod("URLEncode_UTF8",
               [](QList<Variant>& a) { return text(kwvurl::urlEncodeUtf8(a[0].toString())); });
    bindMethod("DecodeURI",
               [](QList<Variant>& a) { return text(kwvurl::decodeUri(a[0].toString())); });
}

// Printing and other captures join these members.
void KestWebviewKD::bindWindowMembers() {
    bindMethod("ZOrder", none([this](QList<Variant>& a) {
                   if (a[0].toInteger() == 0)
                       QWidget::raise();
                   else
                       lower();
               }));
    bindMethod("SetFocus", none([this](QList<Variant>&) { setFocus(); }));
}

void KestWebviewKD::bindStateGetters() {
    bindGet("IsWebViewInit", [this](QList<Variant>&) { return Variant(m_isWebViewInit); });
    bindGet("ZoomFactor", [this](QList<Variant>&) {
        return Variant(static_cast<std::int16_t>(m_wv ? std::lround(m_wv->ZoomFactor()) : 0));
    });
    bindGet("CanGoBack", [this](QList<Variant>&) { return Variant(m_wv && m_wv->CanGoBack()); });
    bindGet("CanGoForward",
            [this](QList<Variant>&) { return Variant(m_wv && m_wv->CanGoForward()); });
    bindGet("DocumentTitle", [this](QList<Variant>&) { return text(m_documentTitle); });
    bindGet("DocumentURL", [this](QList<Variant>&) { return text(m_documentUrl); });
    // The native window the pane draws in, read without making the pane native.
    bindGet("HosthWnd", [this](QList<Variant>&) {
        return longValue(m_wv && m_pane ? nativewindow::handleOf(m_pane) : 0);
    });
    bindGet("BrowserProcessId",
            [this](QList<Variant>&) { return longValue(m_wv ? m_wv->BrowserProcessId() : 0); });
    bindGet("IsDocumentPlayingAudio", [this](QList<Variant>&) {
        return Variant(m_wv && m_isWebViewInit && m_wv->IsDocumentPlayingAudio());
    });
    bindGet("jsProp", [this](QList<Variant>& a) { return text(jsProp(a[0].toString())); });
    bindGet("jsLastError",
            [this](QList<Variant>&) { return text(m_wv ? m_wv->jsLastError() : QString()); });
}

void KestWebviewKD::bindGeometryMembers() {
    const auto geometryMember = [this](const char* name, auto get, auto set) {
        bindGet(name, [this, get](QList<Variant>&) {
            return Variant(static_cast<float>(get(geometry()) * twipsPerPixel()));
        });
        bind(QLatin1String(name), InvokeFlags::PropertyPut, [this, set](QList<Variant>& a) {
            QRect rect = geometry();
            set(rect, toPixels(a[0].toDouble()));
            setGeometry(rect);
            return Variant();
        });
    };
    geometryMember(
        "Left", [](const QRect& r) { return r.x(); }, [](QRect& r, int v) { r.moveLeft(v); });
    geometryMember(
        "Top", [](const QRect& r) { return r.y(); }, [](QRect& r, int v) { r.moveTop(v); });
    geometryMember(
        "Width", [](const QRect& r) { return r.width(); }, [](QRect& r, int v) { r.setWidth(v); });
    geometryMember(
        "Height", [](const QRect& r) { return r.height(); },
        [](QRect& r, int v) { r.setHeight(v); });
}
