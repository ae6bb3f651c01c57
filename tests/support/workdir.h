#pragma once

#include <QString>
#include <QTemporaryDir>

// Makes a fresh temporary folder the current directory for the lifetime of the object, so the
// program's working files ("session.cfg", "log/", "ports/", "snd/") land there.
class WorkDir
{
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
