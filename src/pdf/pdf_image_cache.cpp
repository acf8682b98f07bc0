#include "pdf/pdf_image_cache.h"

#include <sys/stat.h>

#include "platform/error.h"

namespace velkaro {

TPdfImageCache::TPdfImageCache(TLoader loader, size_t capacity)
    : FLoader(std::move(loader)), FCapacity(capacity < 1 ? 1 : capacity) {}

bool TPdfImageCache::StampOf(const std::string& path, TStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp.Size = static_cast<uint64_t>(st.st_size);
    stamp.ModifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.Device = static_cast<uint64_t>(st.st_dev);
    stamp.Inode = static_cast<uint64_t>(st.st_ino);
    return true;
}

std::shared_ptr<TPdfImageCache::TEntry> TPdfImageCache::EntryFor(const std::string& path, const TStamp& stamp) {
    std::lock_guard<std::mutex> guard(FLock);
    TSlot& slot = FSlots[path];
    slot.LastUse = ++FUseCounter;
    if (!slot.Entry || !(slot.Stamp == stamp)) {
        // A changed file replaces its old entry; threads still holding that one finish with it.
        slot.Stamp = stamp;
        slot.Entry = std::make_shared<TEntry>();
    }
    std::shared_ptr<TEntry> entry = slot.Entry;
    while (FSlots.size() > FCapacity) {
        auto oldest = FSlots.begin();
        for (auto it = FSlots.begin(); it != FSlots.end(); ++it)
            if (it->second.LastUse < oldest->second.LastUse) oldest = it;
        FSlots.erase(oldest);
    }
    return entry;
}

std::shared_ptr<const TPdfImageData> TPdfImageCache::Get(const std::string& path) {
    TStamp stamp;
    // Without a stamp the file cannot be told from a later one: load it uncached, so the
    // loader reports what is wrong with it.
    if (!StampOf(path, stamp)) return std::make_shared<const TPdfImageData>(FLoader(path));
    std::shared_ptr<TEntry> entry = EntryFor(path, stamp);
    std::lock_guard<std::mutex> loading(entry->Loading);
    if (!entry->Done) {
        try {
            entry->Data = std::make_shared<const TPdfImageData>(FLoader(path));
        } catch (const Exception& e) {
            entry->Error = e.what();
        }
        entry->Done = true;
    }
    if (!entry->Data) throw Exception(entry->Error);
    return entry->Data;
}

} // namespace velkaro
