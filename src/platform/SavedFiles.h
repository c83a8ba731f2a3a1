#pragma once
// Files the program changes on the user's behalf and puts back at the end: what each held (or
// that it was absent) at one moment, and whether it may be put back now.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

namespace platform {

// A file's bytes, or nullopt when there is no such file.
using FileContent = std::optional<QByteArray>;

FileContent readFileContent(const QString &path);

class SavedFiles {
public:
    // Remembers what `path` holds now, as the state to come back to.
    void remember(const QString &path);
    // Notes what the program itself has just left in `path`.
    void notePrograms(const QString &path);
    // Puts back every remembered file that the program changed and nobody else changed since:
    // a file that holds what the program last left there gets its remembered content (or is
    // removed, when it was absent); one that differs was changed outside the program, and stays.
    // False when a file could not be put back.
    bool restore() const;

private:
    QMap<QString, FileContent> m_remembered;
    QMap<QString, FileContent> m_programs;
};

// Writes `content` to `path` in one step, readable only by the owner (0600); missing folders
// are made 0700.
bool writePrivateFile(const QString &path, const QByteArray &content);

// The printer named on the "Default" line of an lpoptions file; empty when none.
QString lpoptionsDefault(const FileContent &lpoptions);

}  // namespace platform
