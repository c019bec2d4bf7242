// The viewer's automation surface: one handler for each published member.

#include "KestDicomViewAX.h"

#include "ViewerSurface.h"
#include "ViewerValues.h"

#include "platform/NativeWindow.h"
#include "platform/UiServices.h"
#include "support/frmAbout.h"

#include <QPointer>

using viewervalues::flag;
using viewervalues::text;

void KestDicomViewAX::bindMembers() {
    bindProperties();
    bindMethods();
}

void KestDicomViewAX::bindProperties() {
    const auto getter = [this](const char* name, std::function<Variant()> read) {
        bind(QLatin1String(name), InvokeFlags::PropertyGet,
             [read = std::move(read)](QList<Variant>&) { return read(); });
    };
    const auto letter = [this](const char* name, std::function<void(const Variant&)> write) {
        bind(QLatin1String(name), InvokeFlags::PropertyPut,
             [write = std::move(write)](QList<Variant>& a) {
                 write(a[0]);
                 return Variant();
             });
    };
    getter("dcmZoomFactor", [this] { return Variant(m_zoomFactor); });
    letter("dcmZoomFactor", [this](const Variant& v) { setZoomFactor(v.toInteger()); });
    getter("dcmModality", [this] { return text(m_document.modality); });
    getter("dcmPixelHeight", [this] { return Variant(m_document.pixelHeight); });
    getter("dcmPixelWidth", [this] { return Variant(m_document.pixelWidth); });
    // Width and height are kept as the page's text and converted on each read.
    getter("dcmImageWidth", [this] { return Variant(Variant(m_document.widthText).toLong()); });
    getter("dcmImageHeight", [this] { return Variant(Variant(m_document.heightText).toLong()); });
    getter("dcmExamDate", [this] { return text(m_document.examDate); });
    getter("dcmPatientBirthDate", [this] { return text(m_document.birthDate); });
    getter("dcmPatientName", [this] { return text(m_document.patientName); });
    getter("dcmFrame", [this] { return Variant(m_document.frame); });
    getter("dcmFrames", [this] { return Variant(m_document.frames); });
    getter("dcmFileName", [this] { return text(m_document.fileName); });
    getter("dcmFile", [this] { return text(m_document.dcmFile); });
    getter("ShowSidebarOnLoad", [this] { return Variant(m_showSidebarOnLoad != 0); });
    letter("ShowSidebarOnLoad", [this](const Variant& v) {
        m_showSidebarOnLoad = v.toVBool();
        markChanged(QStringLiteral("ShowSidebarOnLoad"));
    });
    getter("ShowTagsOnLoad", [this] { return Variant(m_showTagsOnLoad != 0); });
    letter("ShowTagsOnLoad", [this](const Variant& v) {
        m_showTagsOnLoad = v.toVBool();
        markChanged(QStringLiteral("ShowTagsOnLoad"));
    });
    getter("Language", [this] { return text(m_language); });
    letter("Language", [this](const Variant& v) {
        m_language = v.toString();
        markChanged(QStringLiteral("Language"));
    });
    getter("UseEvergreenWebview2", [this] { return flag(m_useEvergreen); });
    letter("UseEvergreenWebview2",
           [this](const Variant& v) { setUseEvergreenWebview2(v.toBool()); });
    getter("DisplayDicomTags", [this] { return Variant(m_displayDicomTags != 0); });
    // Only exactly True (-1) shows the tags: 1 hides them.
    letter("DisplayDicomTags", [this](const Variant& v) { setDisplayDicomTags(v.toVBool()); });
    getter("BackColor", [this] { return Variant(std::int32_t(m_surface->backColor())); });
    letter("BackColor", [this](const Variant& v) {
        m_surface->setBackColor(static_cast<std::uint32_t>(v.toLongLong()));
        markChanged(QStringLiteral("BackColor"));
    });
    getter("Enabled", [this] { return flag(m_surface->isEnabled()); });
    letter("Enabled", [this](const Variant& v) {
        m_surface->setEnabled(v.toBool());
        markChanged(QStringLiteral("Enabled"));
    });
    getter("BorderStyle", [this] { return Variant(std::int16_t(m_borderStyle)); });
    letter("BorderStyle", [this](const Variant& v) {
        m_borderStyle = v.toInteger();
        m_surface->setBorderStyle(m_borderStyle);
        markChanged(QStringLiteral("BorderStyle"));
    });
    getter("ContainerHwnd",
           [this] { return Variant(nativewindow::handleOf(m_surface->parentWidget())); });
    getter("hwnd", [this] { return Variant(nativewindow::handleOf(m_surface.data())); });
    getter("InvertOnLoad", [this] { return flag(m_invertOnLoad); });
    letter("InvertOnLoad", [this](const Variant& v) {
        m_invertOnLoad = v.toBool();
        markChanged(QStringLiteral("InvertOnLoad"));
    });
    getter("SideBarVisible", [this] { return Variant(m_sideBarVisible != 0); });
    letter("SideBarVisible", [this](const Variant& v) { setSideBarVisible(v.toVBool()); });
    getter("StackMode", [this] { return flag(m_stackMode); });
    letter("StackMode", [this](const Variant& v) { setStackMode(v.toBool()); });
    getter("CacheSizeMB", [this] { return Variant(m_cacheSizeMB); });
    letter("CacheSizeMB", [this](const Variant& v) { setCacheSizeMB(v.toLong()); });
    getter("StackIndex", [this] { return Variant(m_imagePresent ? m_stackIndex : 0); });
    letter("StackIndex", [this](const Variant& v) { setStackIndex(v.toLong()); });
    getter("StackCount", [this] { return Variant(stackCount()); });
}

namespace {

// PrintID is a Boolean without a default: omitted, it is False.
bool printIdOf(const Variant& value) {
    return !value.isMissing() && value.toBool();
}

} // namespace

void KestDicomViewAX::bindMethods() {
    const auto method = [this](const char* name, Handler handler) {
        bind(QLatin1String(name), InvokeFlags::Method, std::move(handler));
    };
    method("About", [this](QList<Variant>&) {
        static QPointer<frmAbout> box;
        if (!box)
            box = new frmAbout; // kept for the life of the process, as the about box is reused
        box->load(version(), !browserRuntimeFolder().isEmpty());
        if (!ui::isUnattended())
            box->exec();
        return Variant();
    });
    method("ReInit", [this](QList<Variant>& a) {
        ReInit(a[0].toBool());
        return Variant();
    });
    method("LoadSelectedDicomFile",
           [this](QList<Variant>& a) { return flag(LoadSelectedDicomFile(a[0].toString())); });
    // The path and the flag are in/out: the caller sees what the member made of them.
    const auto browse = [](auto member) {
        return [member](QList<Variant>& a) {
            QString path = a[0].toString();
            std::int16_t flag = a[1].toInteger();
            const bool result = member(path, flag);
            a[0] = text(path);
            a[1] = Variant(flag);
            return viewervalues::flag(result);
        };
    };
    method("LoadDirectory",
           browse([this](QString& path, std::int16_t& flag) { return LoadDirectory(path, flag); }));
    method("LoadDICOMDIR",
           browse([this](QString& path, std::int16_t& flag) { return LoadDICOMDIR(path, flag); }));
    method("LoadDicomFile",
           [this](QList<Variant>& a) { return flag(LoadDicomFile(a[0].toString())); });
    method("Refresh", [](QList<Variant>&) { return Variant(); });
    method("Cls", [](QList<Variant>&) { return Variant(); });
    method("SaveImage", [this](QList<Variant>& a) {
        QString path = a[0].toString();
        const bool result = SaveImage(path, a[1].toBool());
        a[0] = text(path);
        return flag(result);
    });
    method("SaveCanvas", [this](QList<Variant>& a) {
        QString path = a[0].toString();
        const bool result = SaveCanvas(path, a[1].toBool());
        a[0] = text(path);
        return flag(result);
    });
    method("PrintImage", [this](QList<Variant>& a) {
        PrintImage(a[0].toString(), printIdOf(a[1]));
        return Variant();
    });
    method("PrintCanvas", [this](QList<Variant>& a) {
        PrintCanvas(a[0].toString(), printIdOf(a[1]));
        return Variant();
    });
    method("CopyImageToClipboard", [this](QList<Variant>&) {
        CopyImageToClipboard();
        return Variant();
    });
    method("CopyCanvasToClipboard", [this](QList<Variant>&) {
        CopyCanvasToClipboard();
        return Variant();
    });
    method("GetImageSize", [this](QList<Variant>&) {
        GetImageSize();
        return Variant();
    });
    method("ResetDICOMProperty", [this](QList<Variant>&) {
        ResetDICOMProperty();
        return Variant();
    });
    method("SelectTool", [this](QList<Variant>& a) {
        SelectTool(a[0].toInteger());
        return Variant();
    });
    method("SetScale1", [this](QList<Variant>&) {
        SetScale1();
        return Variant();
    });
    method("RunJs", [this](QList<Variant>& a) {
        RunJs(a[0].toString(), a.mid(1));
        return Variant();
    });
    method("PlayCine", [this](QList<Variant>& a) {
        PlayCine(a[0].toDouble());
        return Variant();
    });
    method("StopCine", [this](QList<Variant>&) {
        StopCine();
        return Variant();
    });
    method("GetMeasurements", [this](QList<Variant>&) { return text(GetMeasurements()); });
    method("AddMeasurement", [this](QList<Variant>& a) {
        return text(AddMeasurement(a[0].toString(), a[1].toString()));
    });
    method("RemoveMeasurement",
           [this](QList<Variant>& a) { return flag(RemoveMeasurement(a[0].toString())); });
    method("SaveMeasurementsAsSR",
           [this](QList<Variant>& a) { return flag(SaveMeasurementsAsSR(a[0].toString())); });
    method("LoadMeasurements",
           [this](QList<Variant>& a) { return Variant(LoadMeasurements(a[0].toString())); });
    method("IsDicomFile", [this](QList<Variant>& a) { return flag(IsDicomFile(a[0].toString())); });
}
