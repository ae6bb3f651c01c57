#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The rules every sender of a request batch follows, the configurator and meterjob alike: the
// session-open command goes first (not for kinds that follow up another batch), its reply is the
// engine's business only, and a session open reads the meter's name, link bytes and version.
namespace batchrules {

// The batch of `kind` as it goes to the engine: `sessionOpen` in front unless the kind follows
// up another batch (or is no kind of the configurator), then `commands`.
QStringList compose(int kind, const QString &sessionOpen, const QStringList &commands);

// The replies of a finished batch of `kind` without the session-open command's one: what the
// decoders of the kind read. A batch that got no reply at all gives an empty list.
QList<QByteArray> ownReplies(int kind, QList<QByteArray> replies);

// What a session open's replies ("01 20" device name, "01 29" link bytes, "01 21" version) tell
// of the meter. `linkRead` is false when the link reply is missing or shorter than four data
// bytes; `address` and `holdMinutes` are then 0. A hold time of 0 reads as the meter's 10.
struct SessionReplies
{
    QString version;
    bool linkRead = false;
    int address = 0;
    int holdMinutes = 0;
};
SessionReplies sessionReplies(const QList<QByteArray> &replies);

} // namespace batchrules
