#include <ui/image_store.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace kavu::ui {

namespace {

struct Entry {
    ImageState state = ImageState::Loading;
    std::shared_ptr<const Image> image;
    size_t bytes = 0;
    uint64_t last_used = 0;
};

} // namespace

// One worker thread takes addresses from a queue, runs the loader and decodes
// the bytes; the UI thread only looks entries up. Decoded images past the
// byte budget are evicted least recently used first (an evicted address loads
// again on its next lookup).
struct ImageStore::Impl {
    ImageLoader loader;
    ImageStoreLimits limits;

    mutable std::mutex mutex;
    std::condition_variable work_ready;
    mutable std::condition_variable idle;
    std::unordered_map<std::string, Entry> entries;
    std::deque<std::string> queue;
    bool busy = false;
    bool stopping = false;
    uint64_t clock = 0;
    size_t cached_bytes = 0;
    std::thread worker;

    void run();
    void evict_locked(const std::string& keep);
};

void ImageStore::Impl::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        work_ready.wait(lock, [&] { return stopping || !queue.empty(); });
        if (stopping)
            return;
        std::string address = std::move(queue.front());
        queue.pop_front();
        busy = true;
        lock.unlock();

        std::optional<Image> decoded;
        if (auto bytes = loader(address))
            decoded = decode_image(*bytes, limits.max_dimension);

        lock.lock();
        busy = false;
        auto it = entries.find(address);
        if (it != entries.end()) {
            if (decoded) {
                it->second.bytes = decoded->pixels.size();
                it->second.image = std::make_shared<const Image>(std::move(*decoded));
                it->second.state = ImageState::Ready;
                cached_bytes += it->second.bytes;
                evict_locked(address);
            } else {
                it->second.state = ImageState::Failed;
            }
        }
        if (queue.empty())
            idle.notify_all();
    }
}

void ImageStore::Impl::evict_locked(const std::string& keep) {
    while (cached_bytes > limits.max_cached_bytes) {
        auto victim = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it->second.state != ImageState::Ready || it->first == keep)
                continue;
            if (victim == entries.end() || it->second.last_used < victim->second.last_used)
                victim = it;
        }
        if (victim == entries.end())
            return;
        cached_bytes -= victim->second.bytes;
        entries.erase(victim);
    }
}

std::unique_ptr<ImageStore> ImageStore::create(ImageLoader loader, ImageStoreLimits limits) {
    auto impl = std::make_unique<Impl>();
    impl->loader = std::move(loader);
    impl->limits = limits;
    Impl* raw = impl.get();
    impl->worker = std::thread([raw] { raw->run(); });
    return std::unique_ptr<ImageStore>(new ImageStore(std::move(impl)));
}

ImageStore::ImageStore(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ImageStore::~ImageStore() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->work_ready.notify_all();
    m_impl->worker.join();
}

ImageLookup ImageStore::get(std::string_view address) {
    std::lock_guard lock(m_impl->mutex);
    std::string key(address);
    auto it = m_impl->entries.find(key);
    if (it == m_impl->entries.end()) {
        Entry entry;
        entry.last_used = ++m_impl->clock;
        m_impl->entries.emplace(key, std::move(entry));
        m_impl->queue.push_back(std::move(key));
        m_impl->work_ready.notify_one();
        return {ImageState::Loading, nullptr};
    }
    it->second.last_used = ++m_impl->clock;
    return {it->second.state, it->second.image};
}

bool ImageStore::is_idle() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->queue.empty() && !m_impl->busy;
}

bool ImageStore::block_until_idle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->idle.wait_for(lock, timeout, [&] { return m_impl->queue.empty() && !m_impl->busy; });
}

size_t ImageStore::cached_bytes() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->cached_bytes;
}

namespace image_store {
void paint_image_cover(Scene& scene, std::shared_ptr<const Image> image, Rect rect, double radius,
                       float opacity) {
    scene.image_cover(std::move(image), rect, Radii::all(radius), opacity);
}
} // namespace image_store

} // namespace kavu::ui
