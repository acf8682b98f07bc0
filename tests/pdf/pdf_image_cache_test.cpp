#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "pdf/pdf_image_cache.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ErrorOf;
using test::TempFolder;

// A loader that counts its calls and hands back the file's bytes with the call number.
struct TCountingLoader {
    std::atomic<int> Calls{0};
    std::chrono::milliseconds Delay{0};
    bool Fails = false;
    TPdfImageCache::TLoader Loader() {
        return [this](const std::string& path) {
            const int call = ++Calls;
            std::this_thread::sleep_for(Delay);
            if (Fails) throw Exception("kaputt " + std::to_string(call) + ": " + path);
            return TPdfImageData{ReadFileBytes(path) + "#" + std::to_string(call), 1, 1, 3};
        };
    }
};

TEST(PdfImageCache, AnUnchangedFileIsLoadedOnce) {
    TempFolder tmp;
    WriteFileBytes(tmp.File("a.png"), "A");
    TCountingLoader counting;
    TPdfImageCache cache(counting.Loader());
    auto first = cache.Get(tmp.File("a.png"));
    auto second = cache.Get(tmp.File("a.png"));
    EXPECT_EQ(counting.Calls, 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Jpeg, "A#1");
}

TEST(PdfImageCache, AChangedFileIsLoadedAgain) {
    namespace fs = std::filesystem;
    TempFolder tmp;
    const std::string path = tmp.File("a.png");
    struct Case {
        const char* change;
        std::function<void()> apply;
    } cases[] = {
        {"modification time", [&] { fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(3)); }},
        {"size", [&] {
             const auto modified = fs::last_write_time(path);
             WriteFileBytes(path, ReadFileBytes(path) + "+");
             fs::last_write_time(path, modified);
         }},
        // Same length and time, but another file put in its place.
        {"file serial number", [&] {
             const auto modified = fs::last_write_time(path);
             WriteFileBytes(tmp.File("neu.png"), std::string(ReadFileBytes(path).size(), 'N'));
             fs::last_write_time(tmp.File("neu.png"), modified);
             fs::rename(tmp.File("neu.png"), path);
         }},
    };
    WriteFileBytes(path, "A");
    TCountingLoader counting;
    TPdfImageCache cache(counting.Loader());
    int calls = 1;
    std::string before = cache.Get(path)->Jpeg;
    for (const Case& c : cases) {
        c.apply();
        const std::string after = cache.Get(path)->Jpeg;
        EXPECT_EQ(counting.Calls, ++calls) << c.change;
        EXPECT_NE(after, before) << c.change;
        EXPECT_EQ(cache.Get(path)->Jpeg, after) << c.change;
        before = after;
    }
    EXPECT_EQ(counting.Calls, calls);
}

TEST(PdfImageCache, AFailureIsKeptUntilTheFileChanges) {
    TempFolder tmp;
    const std::string path = tmp.File("kaputt.jpg");
    WriteFileBytes(path, "kein Bild");
    TCountingLoader counting;
    counting.Fails = true;
    TPdfImageCache cache(counting.Loader());
    EXPECT_EQ(ErrorOf([&] { cache.Get(path); }), "kaputt 1: " + path);
    EXPECT_EQ(ErrorOf([&] { cache.Get(path); }), "kaputt 1: " + path);
    EXPECT_EQ(counting.Calls, 1);
    counting.Fails = false;
    WriteFileBytes(path, "Bild");
    EXPECT_EQ(cache.Get(path)->Jpeg, "Bild#2");
}

TEST(PdfImageCache, AMissingFileIsAskedForEveryTime) {
    TempFolder tmp;
    TCountingLoader counting;
    TPdfImageCache cache(counting.Loader());
    for (int i = 0; i < 2; ++i) EXPECT_THAT(ErrorOf([&] { cache.Get(tmp.File("fehlt.png")); }), ::testing::HasSubstr("fehlt.png"));
    EXPECT_EQ(counting.Calls, 2);
}

TEST(PdfImageCache, ThreadsAskingForOneFileAtOnceLoadItOnce) {
    TempFolder tmp;
    WriteFileBytes(tmp.File("a.png"), "A");
    WriteFileBytes(tmp.File("b.png"), "B");
    TCountingLoader counting;
    counting.Delay = std::chrono::milliseconds(50);
    TPdfImageCache cache(counting.Loader());
    std::vector<std::shared_ptr<const TPdfImageData>> results(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = cache.Get(tmp.File(i % 2 ? "b.png" : "a.png")); });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counting.Calls, 2);
    for (size_t i = 0; i < results.size(); ++i) {
        ASSERT_NE(results[i], nullptr);
        EXPECT_EQ(results[i], results[i % 2]) << i;
    }
}

TEST(PdfImageCache, TheFileUsedLeastRecentlyGoesFirst) {
    TempFolder tmp;
    for (const char* name : {"a", "b", "c"}) WriteFileBytes(tmp.File(name), name);
    TCountingLoader counting;
    TPdfImageCache cache(counting.Loader(), 2);
    cache.Get(tmp.File("a"));
    cache.Get(tmp.File("b"));
    cache.Get(tmp.File("a"));
    cache.Get(tmp.File("c")); // b goes
    EXPECT_EQ(counting.Calls, 3);
    cache.Get(tmp.File("a"));
    EXPECT_EQ(counting.Calls, 3);
    EXPECT_EQ(cache.Get(tmp.File("b"))->Jpeg, "b#4");
}

} // namespace
} // namespace velkaro
