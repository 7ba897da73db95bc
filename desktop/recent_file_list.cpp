#include "desktop/recent_file_list.h"

#include "desktop/native_path.h"
#include "platform/registry.h"

namespace quel::desktop {

namespace {

constexpr const char* RecentFileKey = "Recent File List";

} // namespace

QString RecentFileValueName(int index)
{
    return QStringLiteral("File%1").arg(index + 1);
}

RecentFileList::RecentFileList(int size) : size_(size) {}

void RecentFileList::Load()
{
    entries_.clear();
    std::optional<RegistryKey> key = RegistryKey::Open(RegistryHive::CurrentUser, RecentFileKey);
    if (!key)
        return;
    for (int i = 0; i < size_; ++i) {
        std::string value;
        if (key->GetString(RecentFileValueName(i).toStdString(), value) && !value.empty()) {
            const QString path = FromNative(value);
            if (!entries_.contains(path))
                entries_.append(path);
        }
    }
}

void RecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    entries_.removeAll(path);
    entries_.prepend(path);
    while (entries_.size() > size_)
        entries_.removeLast();
    Save();
}

void RecentFileList::Remove(int index)
{
    if (index < 0 || index >= entries_.size())
        return;
    entries_.removeAt(index);
    Save();
}

void RecentFileList::Save() const
{
    std::optional<RegistryKey> key = RegistryKey::Create(RegistryHive::CurrentUser, RecentFileKey);
    if (!key)
        return;
    for (int i = 0; i < size_; ++i) {
        const std::string name = RecentFileValueName(i).toStdString();
        if (i < entries_.size())
            key->SetString(name, ToNative(entries_[i]));
        else
            key->DeleteValue(name);
    }
}

} // namespace quel::desktop
