#include "print/FreePdfName.h"

#include "print/NewFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// A new, empty file beside `target` to write into before it gets its name; empty with the
// reason when none could be made.
QString newPartFile(const QString &target, QString *reason)
{
    const QFileInfo info(target);
    for (int n = 0; n < 1000; ++n) {
        const QString path = info.absolutePath() + QStringLiteral("/.combined-%1-%2.part").arg(getpid()).arg(n);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            *reason = errno == ENOENT ? QStringLiteral("the folder %1 does not exist.").arg(info.absolutePath())
                                      : QString::fromLocal8Bit(strerror(errno));
            return {};
        }
    }
    *reason = QStringLiteral("no temporary file could be made beside it.");
    return {};
}

QString claimFreePdfName(const QString &part, const QString &target, QString *reason)
{
    const QByteArray from = QFile::encodeName(part);
    for (int n = 1; n <= MostCopies; ++n) {
        const QString candidate = numberedPdfPath(target, n);
        const QByteArray to = QFile::encodeName(candidate);
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return candidate;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
            *reason = QString::fromLocal8Bit(strerror(errno));
            return {};
        }
        // A file system without hard links: look, then rename.
        if (nameTaken(candidate))
            continue;
        if (::rename(from.constData(), to.constData()) == 0)
            return candidate;
        *reason = QString::fromLocal8Bit(strerror(errno));
        return {};
    }
    *reason = QStringLiteral("%1 files of that name exist already.").arg(MostCopies);
    return {};
}
