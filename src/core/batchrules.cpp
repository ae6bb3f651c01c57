#include "core/batchrules.h"

#include "core/measuredecoders.h"
#include "core/requestkinds.h"

namespace {
// The meter counts a hold time of 0 as 10 minutes.
constexpr int kDefaultHoldMinutes = 10;
constexpr int kLinkAddressByte = 0;
constexpr int kLinkHoldByte = 3;

bool followsUp(int kind)
{
    const requestkinds::KindInfo *info = requestkinds::find(kind);
    return !info || info->followUp;
}
} // namespace

namespace batchrules {

QStringList compose(int kind, const QString &sessionOpen, const QStringList &commands)
{
    QStringList batch;
    if (!followsUp(kind))
        batch << sessionOpen;
    return batch << commands;
}

QList<QByteArray> ownReplies(int kind, QList<QByteArray> replies)
{
    if (!followsUp(kind) && !replies.isEmpty())
        replies.removeFirst();
    return replies;
}

SessionReplies sessionReplies(const QList<QByteArray> &replies)
{
    SessionReplies out;
    out.version = measures::deviceText(replies.value(0));
    QByteArray link;
    if (measures::dataBytes(replies.value(1), &link) && link.size() > kLinkHoldByte) {
        out.linkRead = true;
        out.address = quint8(link[kLinkAddressByte]);
        const int minutes = quint8(link[kLinkHoldByte]);
        out.holdMinutes = minutes ? minutes : kDefaultHoldMinutes;
    }
    return out;
}

} // namespace batchrules
