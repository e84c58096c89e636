#include "engine/read_ahead.h"

#include <algorithm>

ReadAhead::ReadAhead(platform::InputFile& data, platform::InputFile& key,
                     std::int64_t length, std::int64_t keyLength)
    : m_data(data), m_key(key), m_length(length), m_keyLength(keyLength)
{
    for (Chunk& slot : m_slots) {
        slot.data = std::make_unique<std::uint8_t[]>(kChunkBytes);
        slot.key = std::make_unique<std::uint8_t[]>(kChunkBytes);
    }
    m_thread = std::thread(&ReadAhead::Run, this);
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

ReadAhead::Chunk& ReadAhead::Next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_produced > m_consumed; });
    return m_slots[m_consumed % kSlots];
}

void ReadAhead::Release()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_consumed;
    }
    m_changed.notify_all();
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
        chunk.count = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(kChunkBytes), m_length - start));
        chunk.keyBytes = static_cast<std::size_t>(
            std::clamp<std::int64_t>(m_keyLength - start, 0, static_cast<std::int64_t>(chunk.count)));
        chunk.failure = Failure::None;
        if (m_data.ReadFull(chunk.data.get(), chunk.count) != static_cast<std::int64_t>(chunk.count))
            chunk.failure = Failure::Data;
        else if (chunk.keyBytes > 0 &&
                 m_key.ReadFull(chunk.key.get(), chunk.keyBytes) != static_cast<std::int64_t>(chunk.keyBytes))
            chunk.failure = Failure::Key;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_produced;
        }
        m_changed.notify_all();
        if (chunk.failure != Failure::None)
            return;
        start += static_cast<std::int64_t>(chunk.count);
    }
}
