#include "widgets/soundcue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>

namespace soundcue {
const char *const test = "/snd/test.wav";
const char *const notify = "/snd/notify.wav";

bool play(const QString &relativePath)
{
    const QString path = QDir::currentPath() + relativePath;
    if (!QFile::exists(path))
        return false;
    // One effect per file, kept for the run: cues repeat, and must not pile up.
    QObject *app = QCoreApplication::instance();
    auto *effect = app->findChild<QSoundEffect *>(path, Qt::FindDirectChildrenOnly);
    if (!effect) {
        effect = new QSoundEffect(app);
        effect->setObjectName(path);
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->play();
    return true;
}
} // namespace soundcue
