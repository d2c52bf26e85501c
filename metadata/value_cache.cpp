#include "metadata/value_cache.h"

#include <algorithm>

namespace ferro {

FileValueCache::FileValueCache(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 16)) {}

FileValueCache& FileValueCache::Shared() {
    static FileValueCache cache;
    return cache;
}

bool FileValueCache::Same(const FileFacts& a, const FileFacts& b) {
    return a.exists == b.exists && a.size == b.size && a.modified == b.modified &&
           a.created == b.created;
}

std::shared_ptr<const FileValues> FileValueCache::Peek(std::string_view path, FileValueSet wanted) {
    const FileFacts facts = ReadFileFacts(path);
    if (!facts.exists) {
        auto none = std::make_shared<FileValues>();
        none->looked = kAllFileValues;
        return none;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(std::string(path));
    if (it == entries_.end() || !it->second.values || !Same(it->second.facts, facts) ||
        (wanted & ~it->second.values->looked) != 0)
        return nullptr;
    it->second.lastUse = ++clock_;
    return it->second.values;
}

std::shared_ptr<const FileValues> FileValueCache::Get(std::string_view path, FileValueSet wanted) {
    wanted &= kAllFileValues;
    const FileFacts facts = ReadFileFacts(path);
    if (!facts.exists) {
        // Nothing to read, and nothing to keep.
        auto none = std::make_shared<FileValues>();
        none->looked = kAllFileValues;
        return none;
    }
    const std::string key(path);
    std::unique_lock<std::mutex> lock(mutex_);
    Entry* e = &entries_[key];
    for (;;) {
        if (e->reading) {
            readDone_.wait(lock);
            e = &entries_[key];  // a trim may have dropped it meanwhile
            continue;
        }
        if (!e->values || !Same(e->facts, facts)) {
            e->values.reset();
            e->facts = facts;
        }
        if (e->values && (wanted & ~e->values->looked) == 0) {
            e->lastUse = ++clock_;
            return e->values;
        }
        break;
    }
    // Read what is missing with the lock let go; others wait for this file
    // only.
    e->reading = true;
    auto values = e->values ? std::make_shared<FileValues>(*e->values) : std::make_shared<FileValues>();
    values->facts = facts;
    lock.unlock();
    try {
        ReadFileValues(path, wanted, *values);
    } catch (...) {
        lock.lock();
        entries_[key].reading = false;
        readDone_.notify_all();
        throw;
    }
    lock.lock();
    Entry& done = entries_[key];
    done.reading = false;
    done.facts = facts;
    done.values = values;
    done.lastUse = ++clock_;
    readDone_.notify_all();
    if (entries_.size() > capacity_) TrimLocked(key);
    return values;
}

// Drops the half of the entries used longest ago (never one being read).
void FileValueCache::TrimLocked(const std::string& keep) {
    std::vector<std::uint64_t> uses;
    uses.reserve(entries_.size());
    for (const auto& [path, e] : entries_) uses.push_back(e.lastUse);
    auto middle = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2);
    std::nth_element(uses.begin(), middle, uses.end());
    const std::uint64_t cut = *middle;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (!it->second.reading && it->second.lastUse < cut && it->first != keep)
            it = entries_.erase(it);
        else
            ++it;
    }
}

void FileValueCache::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.reading) ++it;
        else it = entries_.erase(it);
    }
}

std::size_t FileValueCache::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

// ---- The reader ----

FileValueReader::FileValueReader(FileValueCache& cache, Ready ready, int threads)
    : cache_(cache), ready_(std::move(ready)) {
    if (threads <= 0)
        threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FileValueReader::~FileValueReader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        queued_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void FileValueReader::Request(std::string_view path, FileValueSet wanted, std::int64_t priority) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        std::string key(path);
        // A file being read now is ready soon: asked again meanwhile (a row
        // on screen painted again), it would only keep a second worker
        // waiting for the first.
        const auto being = reading_.find(key);
        if (being != reading_.end() && (wanted & ~being->second) == 0) return;
        const auto known = queued_.find(key);
        if (known != queued_.end()) {
            auto node = queue_.extract(known->second);
            node.mapped().wanted |= wanted;
            if (priority < node.key().first) node.key() = Key{priority, node.key().second};
            known->second = node.key();
            queue_.insert(std::move(node));
            return;
        }
        const Key at{priority, order_++};
        queue_.emplace(at, Job{key, wanted});
        queued_.emplace(std::move(key), at);
    }
    wake_.notify_one();
}

void FileValueReader::Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    queued_.clear();
    if (busy_ == 0) idle_.notify_all();
}

std::size_t FileValueReader::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size() + static_cast<std::size_t>(busy_);
}

void FileValueReader::WaitIdle() const {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void FileValueReader::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        auto node = queue_.extract(queue_.begin());
        queued_.erase(node.mapped().path);
        Job job = std::move(node.mapped());
        ++busy_;
        FileValueSet& being = reading_[job.path];
        being |= job.wanted;
        lock.unlock();
        bool read = true;
        try {
            cache_.Get(job.path, job.wanted);
        } catch (...) {
            read = false;  // out of memory: the file is asked for again later
        }
        lock.lock();
        reading_.erase(job.path);
        lock.unlock();
        if (read && ready_) ready_(job.path);
        lock.lock();
        --busy_;
        if (queue_.empty() && busy_ == 0) idle_.notify_all();
    }
}

// ---- Reading ahead ----

FileValuesAhead::FileValuesAhead(FileValueCache& cache, FileValueSet wanted,
                                 std::vector<std::string> paths, int threads)
    : cache_(cache),
      wanted_(wanted),
      paths_(std::move(paths)),
      values_(paths_.size()),
      states_(new std::atomic<std::uint8_t>[paths_.size()]) {
    for (std::size_t i = 0; i < paths_.size(); ++i) states_[i].store(kWaiting, std::memory_order_relaxed);
    if (threads <= 0)
        threads = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FileValuesAhead::~FileValuesAhead() {
    stopping_.store(true);
    for (std::thread& t : threads_) t.join();
}

bool FileValuesAhead::Claim(std::size_t i) {
    std::uint8_t waiting = kWaiting;
    return states_[i].compare_exchange_strong(waiting, kReading, std::memory_order_acq_rel);
}

void FileValuesAhead::Read(std::size_t i) {
    std::shared_ptr<const FileValues> values;
    try {
        values = cache_.Get(paths_[i], wanted_);
    } catch (...) {
        // Out of memory: the file counts as holding nothing.
        auto none = std::make_shared<FileValues>();
        none->facts = ReadFileFacts(paths_[i]);
        none->looked = kAllFileValues;
        values = std::move(none);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        values_[i] = std::move(values);
        states_[i].store(kRead, std::memory_order_release);
    }
    read_.notify_all();
}

void FileValuesAhead::Work() {
    while (!stopping_.load(std::memory_order_relaxed)) {
        const std::size_t i = next_.fetch_add(1);
        if (i >= paths_.size()) return;
        if (Claim(i)) Read(i);
    }
}

std::shared_ptr<const FileValues> FileValuesAhead::Take(std::size_t i) {
    if (states_[i].load(std::memory_order_acquire) != kRead) {
        if (Claim(i)) {
            Read(i);
        } else {
            std::unique_lock<std::mutex> lock(mutex_);
            read_.wait(lock, [&] { return states_[i].load(std::memory_order_acquire) == kRead; });
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(values_[i]);
}

}  // namespace ferro
