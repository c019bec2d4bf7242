// A calculator class served by a test library: methods with defaults and
// by-reference arguments, a property, an event and a control side.

#include "platform/automation/ComServer.h"
#include "platform/automation/ControlSite.h"
#include "platform/automation/EventSource.h"

#include <QWidget>

namespace {

const TypeInfo& calculatorType() {
    static const TypeInfo info = [] {
        TypeInfo t;
        t.interfaceName = QStringLiteral("_Calculator");
        t.eventInterfaceName = QStringLiteral("__Calculator");
        t.members = {
            {0x60030001,
             "Add",
             InvokeFlags::Method,
             VarType::Long,
             {{"A", VarType::Long}, {"B", VarType::Long, false, true, Variant(std::int32_t(10))}},
             "Adds two numbers"},
            {0x60030002,
             "Swap",
             InvokeFlags::Method,
             VarType::Empty,
             {{"X", VarType::Variant, true}, {"Y", VarType::Variant, true}},
             {}},
            {0x60030003,
             "IsOmitted",
             InvokeFlags::Method,
             VarType::Boolean,
             {{"Value", VarType::Variant, false, true}},
             {}},
            {0x60030004,
             "Fire",
             InvokeFlags::Method,
             VarType::Long,
             {{"Text", VarType::String}},
             {}},
            {0x68030005, "Name", InvokeFlags::PropertyGet, VarType::String, {}, {}},
            {0x68030005,
             "Name",
             InvokeFlags::PropertyPut,
             VarType::Empty,
             {{"Value", VarType::String}},
             {}},
        };
        t.events = {{1, "Done", {{"Text", VarType::String}, {"Count", VarType::Long, true}}, {}}};
        return t;
    }();
    return info;
}

class Calculator : public DispatchObject, public Control {
public:
    Calculator()
        : DispatchObject(calculatorType())
        , m_events(calculatorType()) {
        bind("Add", InvokeFlags::Method,
             [](QList<Variant>& a) { return Variant(a[0].toLong() + a[1].toLong()); });
        bind("Swap", InvokeFlags::Method, [](QList<Variant>& a) {
            std::swap(a[0], a[1]);
            return Variant();
        });
        bind("IsOmitted", InvokeFlags::Method,
             [](QList<Variant>& a) { return Variant(a[0].isMissing()); });
        bind("Fire", InvokeFlags::Method, [this](QList<Variant>& a) {
            QList<Variant> args{a[0], Variant(std::int32_t(1))};
            m_events.raise(QStringLiteral("Done"), args);
            return Variant(args[1].toLong());
        });
        bind("Name", InvokeFlags::PropertyGet, [this](QList<Variant>&) { return Variant(m_name); });
        bind("Name", InvokeFlags::PropertyPut, [this](QList<Variant>& a) {
            m_name = a[0].toString();
            if (m_site)
                m_site->propertyChanged(QStringLiteral("Name"));
            return Variant();
        });
    }

    EventSource* eventSource() override { return &m_events; }
    Control* control() override { return this; }

    void setControlSite(ControlSite* site) override { m_site = site; }
    void initNew() override { m_name = m_site ? m_site->ambientProperties().font.family() : ""; }
    void load(const PropertyBag& bag) override {
        m_name = bag.read(QStringLiteral("Name"), QStringLiteral("unnamed")).toString();
    }
    void save(PropertyBag& bag) override {
        if (m_name != QLatin1String("unnamed"))
            bag.write(QStringLiteral("Name"), m_name);
    }
    QWidget* widget() override { return &m_widget; }

private:
    EventSource m_events;
    QString m_name;
    ControlSite* m_site = nullptr;
    QWidget m_widget;
};

ComServer& server() {
    static ComServer instance;
    static const bool ready = [] {
        instance.addClass({*Guid::fromString("{6C0F7E2A-3B1D-4E5F-9A8B-1C2D3E4F5A6B}"),
                           QStringLiteral("KestTest.Calculator"), QStringLiteral("Calculator"),
                           true, *Guid::fromString("{6C0F7E2A-3B1D-4E5F-9A8B-1C2D3E4F5A6C}"),
                           QStringLiteral("KestTestLib"), QStringLiteral("1.0"), [] {
                               return std::make_shared<Calculator>();
                           }});
        return true;
    }();
    Q_UNUSED(ready);
    return instance;
}

} // namespace

KEST_COM_SERVER_ENTRY_POINTS(server)
