#pragma once
// The recent-file list: the newest profile first, at most four entries, kept in the registry's
// "Recent File List" key as "File1" (newest) to "File4".

#include <QString>
#include <QStringList>

namespace quel::desktop {

class RecentFileList {
public:
    explicit RecentFileList(int size);

    // Reads the entries from the registry; missing and empty values are skipped.
    void Load();
    // Puts a path first (moving it up when it is already listed) and writes the list.
    void Add(const QString& path);
    void Remove(int index);

    const QStringList& Entries() const { return entries_; }
    int Size() const { return size_; }

private:
    void Save() const;

    int size_;
    QStringList entries_;
};

// The "Recent File List" value of an entry: "File1" for index 0.
QString RecentFileValueName(int index);

} // namespace quel::desktop
