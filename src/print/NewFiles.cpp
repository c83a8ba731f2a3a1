#include "print/NewFiles.h"

#include "print/PdfFileName.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool nameTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString numberedPath(const QString &target, int n, const QString &extension)
{
    const QString name = QFileInfo(target).fileName();
    const QString stem = name.left(name.size() - extension.size());
    const QString suffix = (n > 1 ? QStringLiteral(" (%1)").arg(n) : QString()) + name.right(extension.size());
    const QString fitted = cutToUtf8Bytes(stem, FileNameByteLimit - int(suffix.toUtf8().size())) + suffix;
    const qsizetype slash = target.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? fitted : target.left(slash + 1) + fitted;
}

QString numberedPdfPath(const QString &target, int n)
{
    static const QString pdfExtension = QStringLiteral(".pdf");
    const bool pdf = target.endsWith(pdfExtension, Qt::CaseInsensitive);
    return numberedPath(target, n, pdf ? target.right(pdfExtension.size()) : QString());
}

std::optional<QString> writeNewFile(const QString &path, const QByteArray &bytes, bool *taken)
{
    *taken = false;
    const QByteArray local = QFile::encodeName(path);
    const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        *taken = error == EEXIST;  // another writer got there between our look and the open
        const QString folder = QFileInfo(path).absolutePath();
        if (error == ENOENT && !QFileInfo(folder).isDir())
            return QStringLiteral("the folder %1 does not exist.").arg(folder);
        return QString::fromLocal8Bit(strerror(error));
    }
    qsizetype done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return std::nullopt;
    ::unlink(local.constData());
    return QString::fromLocal8Bit(strerror(error));
}
