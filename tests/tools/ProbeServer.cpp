// A small automation class for the script host's tests, served by a library
// of its own as any registered class is: members of each argument kind, a
// by-reference argument, declared defaults, errors, events with a
// by-reference argument, and members that reach the platform's seams
// (message box, printer, clipboard).

#include "platform/PrinterSeam.h"
#include "platform/UiServices.h"
#include "platform/automation/AutomationError.h"
#include "platform/automation/ComServer.h"
#include "platform/automation/EventSource.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>

namespace {

using V = VarType;

const TypeInfo& probeTypeInfo() {
    static const TypeInfo info{
        QStringLiteral("IProbe"),
        QStringLiteral("IProbeEvents"),
        {
            {1, "Describe", InvokeFlags::Method, V::String, {{"Value"}}},
            {2, "Make", InvokeFlags::Method, V::Variant, {{"TypeName", V::String}}},
            {3, "Echo", InvokeFlags::Method, V::Variant, {{"Value"}}},
            {4, "Increment", InvokeFlags::Method, V::Empty, {{"Count", V::Long, true}}},
            {5, "Count", InvokeFlags::PropertyGet, V::Long},
            {5, "Count", InvokeFlags::PropertyPut, V::Empty, {{"Value", V::Long}}},
            {6,
             "Greet",
             InvokeFlags::Method,
             V::String,
             {{"Name", V::String, false, true, Variant("world")}}},
            {7, "Fail", InvokeFlags::Method, V::Empty, {{"Number", V::Long}, {"Text", V::String}}},
            {8, "Ask", InvokeFlags::Method, V::Long, {{"Question", V::String}}},
            {9, "Notify", InvokeFlags::Method, V::Empty, {{"Text", V::String}}},
            {10,
             "ShowMessage",
             InvokeFlags::Method,
             V::Long,
             {{"Prompt", V::String}, {"Style", V::Long}}},
            {11, "PrintText", InvokeFlags::Method, V::Boolean, {{"Text", V::String}}},
            {12, "CopyText", InvokeFlags::Method, V::Empty, {{"Text", V::String}}},
            {13,
             "CopyImage",
             InvokeFlags::Method,
             V::Empty,
             {{"Width", V::Long}, {"Height", V::Long}}},
        },
        {
            {1, "Asked", {{"Question", V::String}, {"Answer", V::Long, true}}},
            {2, "Notified", {{"Text", V::String}}},
        },
    };
    return info;
}

// "Type:value", with each array item described in turn.
QString describe(const Variant& value) {
    const QString type = value.typeName();
    if (value.elementType() == V::Byte)
        return type + ':' + QString::fromLatin1(value.toBytes().toHex());
    if (value.isArray()) {
        QStringList items;
        for (const Variant& item : value.toArray().items)
            items.append(describe(item));
        return type + ":[" + items.join(',') + ']';
    }
    switch (value.type()) {
    case V::Empty:
    case V::Null:
        return type;
    case V::Boolean:
        return type + ':' + QString::number(value.toVBool());
    case V::Date:
        return type + ':' + value.toDate().toDateTime().toString(Qt::ISODate);
    case V::Object:
        return value.toObject() ? type + ':' + value.toObject()->typeInfo()->interfaceName : type;
    default:
        return type + ':' + value.toString();
    }
}

class Probe : public DispatchObject {
public:
    Probe()
        : DispatchObject(probeTypeInfo())
        , m_events(probeTypeInfo()) {
        bind("Describe", InvokeFlags::Method, [](QList<Variant>& a) { return describe(a[0]); });
        bind("Make", InvokeFlags::Method, [](QList<Variant>& a) { return make(a[0].toString()); });
        bind("Echo", InvokeFlags::Method, [](QList<Variant>& a) { return a[0]; });
        bind("Increment", InvokeFlags::Method, [](QList<Variant>& a) {
            a[0] = Variant(a[0].toLong() + 1);
            return Variant();
        });
        bind("Count", InvokeFlags::PropertyGet,
             [this](QList<Variant>&) { return Variant(m_count); });
        bind("Count", InvokeFlags::PropertyPut, [this](QList<Variant>& a) {
            m_count = a[0].toLong();
            return Variant();
        });
        bind("Greet", InvokeFlags::Method,
             [](QList<Variant>& a) { return Variant("Hello, " + a[0].toString()); });
        bind("Fail", InvokeFlags::Method, [](QList<Variant>& a) -> Variant {
            throw AutomationError(a[0].toLong(), a[1].toString(), "KestScriptTest.Probe");
        });
        bind("Ask", InvokeFlags::Method, [this](QList<Variant>& a) {
            QList<Variant> args{a[0], Variant(std::int32_t(0))};
            m_events.raise("Asked", args);
            return args[1];
        });
        bind("Notify", InvokeFlags::Method, [this](QList<Variant>& a) {
            m_events.raise("Notified", {a[0]});
            return Variant();
        });
        bind("ShowMessage", InvokeFlags::Method, [](QList<Variant>& a) {
            return Variant(std::int32_t(ui::messageBox(a[0].toString(), a[1].toLong(), "Probe")));
        });
        bind("PrintText", InvokeFlags::Method,
             [](QList<Variant>& a) { return Variant(print(a[0].toString())); });
        bind("CopyText", InvokeFlags::Method, [](QList<Variant>& a) {
            QGuiApplication::clipboard()->setText(a[0].toString());
            return Variant();
        });
        bind("CopyImage", InvokeFlags::Method, [](QList<Variant>& a) {
            QImage image(a[0].toLong(), a[1].toLong(), QImage::Format_RGB32);
            image.fill(Qt::red);
            QGuiApplication::clipboard()->setImage(image);
            return Variant();
        });
    }

    EventSource* eventSource() override { return &m_events; }

private:
    static Variant make(const QString& name) {
        if (name == "Integer")
            return Variant(std::int16_t(-12));
        if (name == "Long")
            return Variant(std::int32_t(70000));
        if (name == "Single")
            return Variant(1.5f);
        if (name == "Double")
            return Variant(0.1);
        if (name == "Currency")
            return Variant(Currency::fromDouble(12.3456));
        if (name == "LongLong")
            return Variant(std::int64_t(1) << 40);
        if (name == "Byte")
            return Variant(std::uint8_t(200));
        if (name == "Boolean")
            return Variant(true);
        if (name == "Date")
            return Variant(OleDate::fromDateTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5))));
        if (name == "String")
            return Variant("text");
        if (name == "Null")
            return Variant::null();
        if (name == "Empty")
            return Variant();
        if (name == "Bytes")
            return Variant::fromBytes(QByteArray("\x01\x02\xff", 3));
        if (name == "Array")
            return Variant(VariantArray{0, {Variant(std::int32_t(1)), Variant("two")}});
        if (name == "Object")
            return Variant(DispatchPtr(std::make_shared<Probe>()));
        if (name == "Nothing")
            return Variant(DispatchPtr());
        throw AutomationError::standard(vberr::InvalidProcedureCall);
    }

    static bool print(const QString& text) {
        QPrinter printer;
        printing::prepareJob(printer);
        QPainter painter;
        if (!painter.begin(&printer))
            return false;
        painter.drawText(QPointF(100, 100), text);
        return painter.end();
    }

    EventSource m_events;
    std::int32_t m_count = 0;
};

const Guid ProbeClassId = *Guid::fromString("{3F0B6A2C-71D4-4E8B-9C15-A2E4D6F80B31}");
const Guid ProbeTypeLibraryId = *Guid::fromString("{3F0B6A2C-71D4-4E8B-9C15-A2E4D6F80B30}");

ComServer& server() {
    static ComServer instance;
    static const bool ready = [] {
        instance.addClass({ProbeClassId, QStringLiteral("KestScriptTest.Probe"),
                           QStringLiteral("Probe"), false, ProbeTypeLibraryId,
                           QStringLiteral("KestScriptTest"), QStringLiteral("1.0"), [] {
                               return DispatchPtr(std::make_shared<Probe>());
                           }});
        return true;
    }();
    Q_UNUSED(ready);
    return instance;
}

} // namespace

KEST_COM_SERVER_ENTRY_POINTS(server)
