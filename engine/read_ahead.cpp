#include "engine/read_ahead.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Blocks kept from one pass to the next, so that a command over many small
// files allocates (and the kernel maps and clears) its blocks once, not once
// a file. They are never cleared: every byte used is read into them first.
class BlockStore {
public:
    ReadAhead::Block Take(std::size_t& bytes, std::size_t wanted)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_blocks.empty() && m_bytes >= wanted) {
            auto block = std::move(m_blocks.back());
            m_blocks.pop_back();
            bytes = m_bytes;
            return block;
        }
        bytes = wanted;
        return ReadAhead::Block(new (ReadAhead::kBlockAlignment) std::uint8_t[wanted]);
    }

    void Give(ReadAhead::Block block, std::size_t bytes)
    {
        if (!block)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        // Blocks of one size only, the largest seen: a larger file's blocks
        // replace a smaller one's.
        if (bytes > m_bytes) {
            m_blocks.clear();
            m_bytes = bytes;
        }
        if (bytes == m_bytes && m_blocks.size() < kKept)
            m_blocks.push_back(std::move(block));
    }

private:
    static constexpr std::size_t kKept = 8;
    std::mutex m_mutex;
    std::vector<ReadAhead::Block> m_blocks;
    std::size_t m_bytes = 0;
};

BlockStore& Store()
{
    static BlockStore store;
    return store;
}

}  // namespace

ReadAhead::ReadAhead(platform::InputFile& data, platform::InputFile& key, std::int64_t length)
    : m_data(data), m_key(key), m_length(length < 0 ? std::numeric_limits<std::int64_t>::max() : length),
      m_threaded(m_length > static_cast<std::int64_t>(kChunkBytes)), m_stream(length < 0)
{
    const std::size_t slots = m_threaded ? kSlots : 1;
    const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(m_length, 1, kChunkBytes));
    std::size_t bytes = wanted;
    for (std::size_t i = 0; i < slots; ++i) {
        m_blocks[2 * i] = Store().Take(bytes, wanted);
        m_blocks[2 * i + 1] = Store().Take(bytes, wanted);
        // Every block taken is at least `wanted` long; the smallest size
        // taken is what they are given back as.
        m_blockBytes = i == 0 ? bytes : std::min(m_blockBytes, bytes);
        m_slots[i].data = m_blocks[2 * i].get();
        m_slots[i].key = m_blocks[2 * i + 1].get();
    }
    if (m_threaded)
        m_thread = std::thread(&ReadAhead::Run, this);
}

ReadAhead::~ReadAhead()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    for (auto& block : m_blocks)
        Store().Give(std::move(block), m_blockBytes);
}

ReadAhead::Chunk& ReadAhead::Next()
{
    if (!m_threaded) {
        Fill(m_slots[0], 0);
        return m_slots[0];
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_produced > m_consumed; });
    return m_slots[m_consumed % kSlots];
}

void ReadAhead::Release()
{
    if (!m_threaded)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_consumed;
    }
    m_changed.notify_all();
}

void ReadAhead::Fill(Chunk& chunk, std::int64_t start)
{
    chunk.count =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(kChunkBytes), m_length - start));
    chunk.keyBytes = 0;
    chunk.failure = Failure::None;
    chunk.error = 0;
    // A file that ends early has no system error to tell; a stream's end is
    // its last chunk.
    const std::int64_t got = m_data.ReadFull(chunk.data, chunk.count);
    chunk.last = m_stream && got >= 0 && got < static_cast<std::int64_t>(chunk.count);
    if (chunk.last)
        chunk.count = static_cast<std::size_t>(got);
    else if (got != static_cast<std::int64_t>(chunk.count)) {
        chunk.failure = Failure::Data;
        chunk.error = got < 0 ? platform::LastSystemError() : 0;
        return;
    }
    // The key's reported length is not trusted (files under /proc report
    // none): it ends where reading it ends, and its last byte then stands for
    // every position on.
    if (!m_keyEnded) {
        const std::int64_t gotKey = m_key.ReadFull(chunk.key, chunk.count);
        if (gotKey < 0) {
            chunk.failure = Failure::Key;
            chunk.error = platform::LastSystemError();
            return;
        }
        chunk.keyBytes = static_cast<std::size_t>(gotKey);
        if (gotKey > 0)
            m_lastKey = chunk.key[gotKey - 1];
        m_keyEnded = chunk.keyBytes < chunk.count;
        // A key cut short by someone else would silently change the cipher
        // for the rest of the file.
        if (m_keyEnded && m_key.ChangeSinceOpened(false) != platform::InputFile::Change::None) {
            chunk.failure = Failure::Key;
            return;
        }
    }
    chunk.lastKey = m_lastKey;
}

void ReadAhead::Run()
{
    for (std::int64_t start = 0; start < m_length;) {
        std::size_t slotIndex;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_produced - m_consumed < kSlots; });
            if (m_stop)
                return;
            slotIndex = m_produced % kSlots;
        }
        // The slot is the reader's alone until it is counted as produced.
        Chunk& chunk = m_slots[slotIndex];
        Fill(chunk, start);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_produced;
        }
        m_changed.notify_all();
        if (chunk.failure != Failure::None || chunk.last)
            return;
        start += static_cast<std::int64_t>(chunk.count);
    }
}
