#pragma once
// Pictures prepared once per process. A logo or background is the same for every
// invoice of a run; decoding and re-encoding it for each one costs seconds for big
// pictures. Thread-safe.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velkaro {

// The JPEG data of a picture as it goes into the PDF, with its frame header values.
struct TPdfImageData {
    std::string Jpeg;
    int Width = 0;
    int Height = 0;
    int Components = 0;
};

class TPdfImageCache {
public:
    using TLoader = std::function<TPdfImageData(const std::string& path)>;
    // At most `capacity` files are kept; the one used least recently goes first.
    explicit TPdfImageCache(TLoader loader, size_t capacity = 16);

    // The data of the file, loaded when the file is new to the cache or has changed
    // (size, modification time or file serial number). A failure is kept like a
    // result: it is raised again with the same message until the file changes. One
    // thread loads a file while others asking for it wait; different files load at
    // the same time.
    std::shared_ptr<const TPdfImageData> Get(const std::string& path);

private:
    struct TStamp {
        uint64_t Size = 0;
        int64_t ModifiedNs = 0;
        uint64_t Device = 0;
        uint64_t Inode = 0;
        bool operator==(const TStamp&) const = default;
    };
    struct TEntry {
        std::mutex Loading;
        bool Done = false;
        std::shared_ptr<const TPdfImageData> Data;
        std::string Error;
    };
    struct TSlot {
        TStamp Stamp;
        std::shared_ptr<TEntry> Entry;
        uint64_t LastUse = 0;
    };

    static bool StampOf(const std::string& path, TStamp& stamp);
    std::shared_ptr<TEntry> EntryFor(const std::string& path, const TStamp& stamp);

    TLoader FLoader;
    size_t FCapacity;
    std::mutex FLock; // guards FSlots and FUseCounter
    std::map<std::string, TSlot> FSlots;
    uint64_t FUseCounter = 0;
};

} // namespace velkaro
