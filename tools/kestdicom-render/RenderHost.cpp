#include "RenderHost.h"

#include "platform/automation/ObjectFactory.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QJsonValue jsonOf(const Variant& value) {
    if (value.type() == VarType::Boolean)
        return value.toBool();
    if (value.isNumeric())
        return value.toDouble();
    if (value.isEmpty() || value.isNull())
        return QJsonValue::Null;
    return value.toString();
}

} // namespace

RenderHost::RenderHost(const QString& progId)
    : m_container(automation::createObject(progId), QSize(1024, 768)) {
    m_cookie = viewer().eventSource()->advise(std::make_shared<FunctionEventSink>(
        [this](DispId id, const QString& name, QList<Variant>& args) { onEvent(id, name, args); }));
}

RenderHost::~RenderHost() {
    viewer().eventSource()->unadvise(m_cookie);
}

QString RenderHost::eventLine(const EventInfo& event, const QList<Variant>& args) {
    QJsonObject arguments;
    for (qsizetype i = 0; i < event.params.size() && i < args.size(); ++i)
        arguments.insert(event.params[i].name, jsonOf(args[i]));
    const QJsonObject line{{QStringLiteral("event"), event.name},
                           {QStringLiteral("args"), arguments}};
    return QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
}

void RenderHost::onEvent(DispId id, const QString& name, QList<Variant>& args) {
    const EventInfo* event = viewer().typeInfo()->findEvent(id);
    if (!event)
        return;
    m_received.insert(name);
    if (name == QLatin1String("ImageLoaded")) {
        m_imageLoaded.clear();
        for (qsizetype i = 0; i < event->params.size(); ++i)
            m_imageLoaded.insert(event->params[i].name, jsonOf(args.value(i)).toVariant());
    }
    // Paint and mouse moves would drown the rest.
    if (name == QLatin1String("Paint") || name == QLatin1String("MouseMove"))
        return;
    std::printf("%s\n", qPrintable(eventLine(*event, args)));
    std::fflush(stdout);
}
