// Values of files kept once read, and a reader that reads them ahead on
// threads of its own. A file's values are kept under its path, its size and
// its modified time: a file that changed is read again. Each library is
// asked once per file for what it gives, however many values of it a
// pattern uses, and only when a pattern needs one.
//
// Everything here may be called from any thread. A window asks with Peek
// (never reads on its own thread) and has the reader read what is missing,
// the rows on screen first; a run asks with Get.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "metadata/file_values.h"

namespace ferro {

class FileValueCache {
public:
    explicit FileValueCache(std::size_t capacity = 65536);

    // The one the rename, its preview and the command line share.
    static FileValueCache& Shared();

    // A file's values as it is now, read where they are not known yet. A
    // file another thread is reading is waited for, not read twice. A file
    // that is not there gives facts.exists false.
    std::shared_ptr<const FileValues> Get(std::string_view path, FileValueSet wanted);
    // The same without reading: null when a wanted value is not known for
    // the file as it is now.
    std::shared_ptr<const FileValues> Peek(std::string_view path, FileValueSet wanted);

    void Clear();
    std::size_t size() const;

private:
    struct Entry {
        FileFacts facts;
        std::shared_ptr<const FileValues> values;
        bool reading = false;
        std::uint64_t lastUse = 0;
    };
    static bool Same(const FileFacts& a, const FileFacts& b);
    void TrimLocked(const std::string& keep);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable readDone_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t clock_ = 0;
};

// Reads files' values into a cache on worker threads, the most urgent
// request first (lowest priority number; equal ones in the order asked).
// Asking again for a file that waits moves it forward when more urgent.
class FileValueReader {
public:
    // Called on a worker thread once a file's values are in the cache.
    using Ready = std::function<void(const std::string& path)>;

    // threads 0: as many as the processor has cores, at most four.
    explicit FileValueReader(FileValueCache& cache, Ready ready = {}, int threads = 0);
    // Waits for the files being read (not for those waiting).
    ~FileValueReader();
    FileValueReader(const FileValueReader&) = delete;
    FileValueReader& operator=(const FileValueReader&) = delete;

    void Request(std::string_view path, FileValueSet wanted, std::int64_t priority);
    // Forgets the requests not yet started (a new pattern, another list).
    void Forget();
    // Requests waiting or being read.
    std::size_t Pending() const;
    // Until nothing waits and nothing is being read.
    void WaitIdle() const;

    FileValueCache& cache() { return cache_; }

private:
    struct Job {
        std::string path;
        FileValueSet wanted;
    };
    using Key = std::pair<std::int64_t, std::uint64_t>;  // priority, order asked
    void Work();

    FileValueCache& cache_;
    Ready ready_;
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_, idle_;
    std::map<Key, Job> queue_;
    std::unordered_map<std::string, Key> queued_;  // path -> its place in queue_
    std::unordered_map<std::string, FileValueSet> reading_;  // path -> what is being read
    std::uint64_t order_ = 0;
    int busy_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The values of a run's files read ahead on worker threads, in the order
// the run takes them: the run's own thread only waits for a file a worker
// is reading, or reads it itself when no worker has begun it.
class FileValuesAhead {
public:
    // threads 0: as many as the processor has cores, at most four.
    FileValuesAhead(FileValueCache& cache, FileValueSet wanted, std::vector<std::string> paths,
                    int threads = 0);
    // Waits for the files being read; the rest are not read.
    ~FileValuesAhead();
    FileValuesAhead(const FileValuesAhead&) = delete;
    FileValuesAhead& operator=(const FileValuesAhead&) = delete;

    // The values of paths[i], each taken once.
    std::shared_ptr<const FileValues> Take(std::size_t i);

private:
    enum State : std::uint8_t { kWaiting, kReading, kRead };
    bool Claim(std::size_t i);
    void Read(std::size_t i);
    void Work();

    FileValueCache& cache_;
    const FileValueSet wanted_;
    const std::vector<std::string> paths_;
    std::vector<std::shared_ptr<const FileValues>> values_;
    std::unique_ptr<std::atomic<std::uint8_t>[]> states_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable read_;
    std::vector<std::thread> threads_;
};

}  // namespace ferro
