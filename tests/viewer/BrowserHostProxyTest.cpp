#include "viewer/BrowserHostProxy.h"
#include "browser_host/KestWebviewKDTypeInfo.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Every browser-host member the viewer calls by name is published by the
// browser host for that kind of call and takes the arguments passed to it.
TEST(BrowserHostProxy, EveryMemberUsedIsPublishedWithItsArguments) {
    const TypeInfo& host = kestWebviewKDTypeInfo();
    const QList<BrowserHostMember> used = BrowserHostProxy::membersUsed();
    ASSERT_GE(used.size(), 10);
    for (const BrowserHostMember& member : used) {
        const QString name = QLatin1String(member.name);
        const DispId id = host.idOfName(name);
        ASSERT_NE(id, dispid::Unknown) << member.name;
        const MemberInfo* info = host.findMember(id, member.kind);
        ASSERT_NE(info, nullptr) << member.name << " kind " << member.kind;
        EXPECT_EQ(info->name, name) << "spelt as published";
        const auto required = std::count_if(info->params.begin(), info->params.end(),
                                            [](const ParamInfo& p) { return !p.optional; });
        EXPECT_LE(required, member.arguments) << member.name << ": required arguments left out";
        EXPECT_GE(info->params.size(), member.arguments) << member.name << ": too many arguments";
    }
}

} // namespace
