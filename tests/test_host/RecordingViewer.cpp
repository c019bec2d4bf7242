#include "RecordingViewer.h"

Variant RecordingViewer::invoke(DispId id, unsigned flags, QList<Variant>& args) {
    const unsigned kind = flags & (InvokeFlags::Method | InvokeFlags::PropertyPut);
    const MemberInfo* member = typeInfo() ? typeInfo()->findMember(id, flags) : nullptr;
    if (kind && member)
        sent.append({member->name,
                     kind & InvokeFlags::Method ? unsigned(InvokeFlags::Method)
                                                : unsigned(InvokeFlags::PropertyPut),
                     args});
    return m_viewer->invoke(id, flags, args);
}

bool RecordingViewer::serves(const QString& method) const {
    return m_viewer->hasHandler(m_viewer->idOfName(method), InvokeFlags::Method);
}
